#include "nvr/core/store/settings_files.h"

#include <sys/stat.h>

#include <cstring>

#include "tests/core/core_test_support.h"

namespace {

using nvr::ScheduleRecord;
using nvr::SettingsBlock;

// Little-endian 32-bit value at `at`, written straight from the file layout.
void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

class SettingsFilesTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    ASSERT_EQ(mkdir(Path("NVRData").c_str(), 0700), 0);
    local_ = nvr::LocalDatPath(home_);
    schedule_ = nvr::ScheduleDatPath(home_);
  }
  // Drives C..F configured under the home folder; only those in `existing` have their root.
  nvr::DriveMap Drives(const std::string& existing) {
    std::map<char, std::string> roots;
    for (char c = 'C'; c <= 'F'; ++c) {
      roots[c] = Path(std::string("disk_") + c);
      std::filesystem::remove_all(roots[c]);
    }
    for (const char c : existing) mkdir(roots[c].c_str(), 0700);
    return nvr::DriveMap(roots);
  }
  static SettingsBlock Sample() {
    SettingsBlock b{};
    b.split_minutes = 15;
    b.disk_full_policy = 0;
    b.drives[0] = {'D', {0, 0, 0}, 1000};
    b.drives[1] = {'C', {0, 0, 0}, 0xFFFFFFF0u};
    b.drives[127] = {'Z', {0, 0, 0}, 7};
    b.live_log_rows = 1000;
    b.autorun = 1;
    b.connect_all = 1;
    b.watchdog = 1;
    b.hotkey = 'K';
    return b;
  }
  static std::string SampleBytes() {
    std::string bytes(1052, '\0');
    Put32(bytes, 0, 15);
    Put32(bytes, 4, 0);
    bytes[8] = 'D';
    Put32(bytes, 12, 1000);
    bytes[16] = 'C';
    Put32(bytes, 20, 0xFFFFFFF0u);
    bytes[8 + 127 * 8] = 'Z';
    Put32(bytes, 8 + 127 * 8 + 4, 7);
    Put32(bytes, 1032, 1000);
    Put32(bytes, 1036, 1);
    Put32(bytes, 1040, 1);
    Put32(bytes, 1044, 1);
    Put32(bytes, 1048, 'K');
    return bytes;
  }
  static ScheduleRecord Schedule(int32_t id, const char* name) {
    ScheduleRecord r{};
    r.id = id;
    for (int k = 0; k < 7; ++k) {
      r.day_code[k] = 10 + k;
      r.start[k] = 100 * k + 5;
      r.end[k] = 100 * k + 2359;
    }
    std::strncpy(r.name, name, sizeof r.name - 1);
    return r;
  }
  static void ExpectSame(const SettingsBlock& a, const SettingsBlock& b) {
    EXPECT_EQ(nvr::EncodeSettings(a), nvr::EncodeSettings(b));
  }
  std::string local_;
  std::string schedule_;
};

TEST_F(SettingsFilesTest, LocalDatIsTheBlockByteForByte) {
  ASSERT_TRUE(nvr::WriteSettings(local_, Sample()));
  EXPECT_EQ(ReadText(local_), SampleBytes());
  ExpectSame(nvr::ReadSettings(local_, Drives("")), Sample());
  ASSERT_TRUE(nvr::WriteSettings(local_, nvr::DefaultSettings('C')));
  EXPECT_EQ(ReadText(local_).size(), 1052u) << "a rewrite truncates";
}

TEST_F(SettingsFilesTest, DefaultsPickTheSecondFixedDrive) {
  struct Case {
    const char* existing;
    char letter;
  };
  const Case cases[] = {{"CD", 'D'}, {"C", 'C'}, {"", '\0'}, {"DEF", 'E'}, {"F", 'F'}};
  for (const Case& c : cases) {
    const SettingsBlock b = nvr::ReadSettings(local_, Drives(c.existing));
    EXPECT_EQ(b.drives[0].letter, static_cast<uint8_t>(c.letter)) << c.existing;
  }
  // The rest of the defaults, byte for byte.
  std::string bytes(1052, '\0');
  bytes[8] = 'C';
  Put32(bytes, 12, 500);
  Put32(bytes, 0, 60);
  Put32(bytes, 4, 1);
  Put32(bytes, 1048, 71);
  EXPECT_EQ(nvr::EncodeSettings(nvr::ReadSettings(local_, Drives("C"))), bytes);
  EXPECT_FALSE(Exists(local_)) << "defaults are not written";
}

TEST_F(SettingsFilesTest, ShortLocalDatKeepsDefaultsForWhatIsMissing) {
  const SettingsBlock defaults = nvr::DefaultSettings('C');
  const std::string full = SampleBytes();
  struct Case {
    size_t size;
    int32_t watchdog;
    int32_t hotkey;
  };
  // 1044 bytes: everything up to the watchdog; the two trailing fields take their defaults.
  for (const Case& c : {Case{1044, 0, 71}, Case{1046, 0, 71}, Case{1048, 1, 71},
                        Case{1051, 1, 71}, Case{1052, 1, 'K'}}) {
    WriteText(local_, full.substr(0, c.size));
    const SettingsBlock b = nvr::ReadSettings(local_, Drives("C"));
    EXPECT_EQ(b.watchdog, c.watchdog) << c.size;
    EXPECT_EQ(b.hotkey, c.hotkey) << c.size;
    EXPECT_EQ(b.split_minutes, 15) << c.size;
    EXPECT_EQ(b.drives[127].letter, 'Z') << c.size;
    EXPECT_EQ(b.connect_all, 1) << c.size;
  }

  WriteText(local_, "");
  ExpectSame(nvr::ReadSettings(local_, Drives("C")), defaults);
  WriteText(local_, full.substr(0, 14));  // split, policy, first drive letter, half a reserve
  SettingsBlock b = nvr::ReadSettings(local_, Drives("C"));
  EXPECT_EQ(b.split_minutes, 15);
  EXPECT_EQ(b.disk_full_policy, 0);
  EXPECT_EQ(b.drives[0].letter, 'C') << "an entry cut short keeps its default";
  EXPECT_EQ(b.drives[0].reserve_mb, 500u);
  EXPECT_EQ(b.hotkey, 71);
  WriteText(local_, full + "trailing bytes");
  ExpectSame(nvr::ReadSettings(local_, Drives("C")), Sample());
}

TEST_F(SettingsFilesTest, ScheduleDatKeepsSlotsTogether) {
  const std::vector<ScheduleRecord> schedules = {Schedule(123456, "Weekdays"),
                                                 Schedule(-2, "\xE5\xA4\x9C")};
  ASSERT_TRUE(nvr::WriteSchedules(schedule_, schedules));
  std::string expected(4 + 2 * 120, '\0');
  Put32(expected, 0, 2);
  for (size_t i = 0; i < 2; ++i) {
    const size_t at = 4 + i * 120;
    Put32(expected, at, static_cast<uint32_t>(schedules[i].id));
    for (size_t k = 0; k < 7; ++k) {
      Put32(expected, at + 4 + 12 * k, static_cast<uint32_t>(10 + k));
      Put32(expected, at + 8 + 12 * k, static_cast<uint32_t>(100 * k + 5));
      Put32(expected, at + 12 + 12 * k, static_cast<uint32_t>(100 * k + 2359));
    }
    std::memcpy(&expected[at + 88], schedules[i].name, 32);
  }
  EXPECT_EQ(ReadText(schedule_), expected);

  const std::vector<ScheduleRecord> back = nvr::ReadSchedules(schedule_);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(std::memcmp(&back[0], &schedules[0], sizeof(ScheduleRecord)), 0);
  EXPECT_EQ(std::memcmp(&back[1], &schedules[1], sizeof(ScheduleRecord)), 0);
}

TEST_F(SettingsFilesTest, DamagedScheduleDatReadsWholeRecordsOnly) {
  const std::string two = nvr::EncodeSchedules({Schedule(1, "a"), Schedule(2, "b")});
  struct Case {
    const char* name;
    std::string bytes;
    size_t records;
  };
  const auto with_count = [&two](uint32_t n) {
    std::string bytes = two;
    Put32(bytes, 0, n);
    return bytes;
  };
  const Case cases[] = {
      {"count 0", with_count(0), 0},
      {"count beyond the file", with_count(0xFFFFFFFFu), 2},
      {"count below the file", with_count(1), 1},
      {"second record cut short", two.substr(0, two.size() - 1), 1},
      {"count cut short", two.substr(0, 3), 0},
      {"empty", "", 0},
  };
  for (const Case& c : cases) {
    WriteText(schedule_, c.bytes);
    EXPECT_EQ(nvr::ReadSchedules(schedule_).size(), c.records) << c.name;
  }
  std::remove(schedule_.c_str());
  EXPECT_TRUE(nvr::ReadSchedules(schedule_).empty());

  std::string unterminated = nvr::EncodeSchedules({Schedule(1, "")});
  std::memset(&unterminated[4 + 88], 'N', 32);
  WriteText(schedule_, unterminated);
  const std::vector<ScheduleRecord> back = nvr::ReadSchedules(schedule_);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(std::string(back[0].name), std::string(31, 'N'));
}

TEST_F(SettingsFilesTest, FailedWritesAreReturned) {
  EXPECT_FALSE(nvr::WriteSettings(Path("missing/Local.dat"), Sample()));
  EXPECT_FALSE(nvr::WriteSchedules(Path("missing/Schedule.dat"), {}));
}

}  // namespace
