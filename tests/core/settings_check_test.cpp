// Damaged settings files: every field checked when the recorder loads them, the defaults for
// what is out of range, unsound schedules dropped, the damaged file kept as ".bad" and a checked
// one written in its place; intact files load untouched.
#include "nvr/core/store/settings_check.h"

#include <sys/stat.h>

#include <cstring>
#include <random>

#include "tests/core/core_test_support.h"

namespace {

using nvr::ScheduleRecord;
using nvr::SettingsBlock;

void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

class SettingsCheckTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    ASSERT_EQ(mkdir(Path("NVRData").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(Path("c").c_str(), 0700), 0);
    drives_ = nvr::DriveMap({{'C', Path("c")}});
    local_ = nvr::LocalDatPath(home_);
    schedule_ = nvr::ScheduleDatPath(home_);
  }
  SettingsBlock Load(std::vector<std::string>* problems) {
    return nvr::LoadSettingsFile(home_, drives_, problems);
  }
  static ScheduleRecord Schedule(int32_t id, const char* name) {
    ScheduleRecord r{};
    r.id = id;
    r.day_code[0] = 8;
    r.start[0] = 800;
    r.end[0] = 1700;
    std::strncpy(r.name, name, sizeof r.name - 1);
    return r;
  }
  static std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
    return bytes;
  }
  // A second load of the rewritten file finds nothing wrong.
  void ExpectRepaired(const std::string& path, const std::string& damaged) {
    EXPECT_EQ(ReadText(path + ".bad"), damaged);
    std::vector<std::string> again;
    if (path == local_) {
      Load(&again);
    } else {
      nvr::LoadScheduleFile(home_, &again);
    }
    EXPECT_TRUE(again.empty()) << again.front();
  }

  nvr::DriveMap drives_;
  std::string local_;
  std::string schedule_;
};

TEST_F(SettingsCheckTest, RandomLocalDatTakesDefaultsForWhatIsOutOfRange) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    const std::string damaged = RandomBytes(sizeof(SettingsBlock), seed);
    WriteText(local_, damaged);
    std::vector<std::string> problems;
    const SettingsBlock b = Load(&problems);
    EXPECT_FALSE(problems.empty()) << seed;
    EXPECT_GE(b.split_minutes, 1) << seed;
    EXPECT_LE(b.split_minutes, nvr::kMaxSplitMinutes) << seed;
    EXPECT_TRUE(b.disk_full_policy == 0 || b.disk_full_policy == 1) << seed;
    EXPECT_TRUE(b.watchdog == 0 || b.watchdog == 1) << seed;
    EXPECT_TRUE(b.autorun == 0 || b.autorun == 1) << seed;
    EXPECT_TRUE(b.hotkey >= 'A' && b.hotkey <= 'Z') << seed;
    ASSERT_NE(b.drives[0].letter, 0) << seed << ": a table without drives records nothing";
    for (const nvr::DriveEntry& d : b.drives) {
      if (d.letter == 0) break;
      EXPECT_TRUE(d.letter >= 'A' && d.letter <= 'Z') << seed;
      EXPECT_LE(d.reserve_mb, nvr::kMaxReserveMb) << seed;
    }
    ExpectRepaired(local_, damaged);
  }
}

TEST_F(SettingsCheckTest, EachBadFieldIsNamedOnceWithTheValueUsed) {
  SettingsBlock block = nvr::DefaultSettings('C');
  block.split_minutes = -1231979185;
  block.disk_full_policy = 0;  // the user's choice, kept
  block.drives[0].reserve_mb = 0xFFFFFFF0u;
  block.drives[1] = {'c', {0, 0, 0}, 500};   // no upper-case letter
  block.drives[3] = {'D', {0, 0, 0}, 500};   // after the end of the table
  block.watchdog = 0x01010101;
  block.hotkey = 'g';
  const std::string damaged = nvr::EncodeSettings(block);
  WriteText(local_, damaged);
  std::vector<std::string> problems;
  const SettingsBlock b = Load(&problems);
  const std::vector<std::string> expected = {
      "Local.dat: split length -1231979185 is out of range, 60 is used",
      "Local.dat: drive entry 0: reserve 4294967280 MB is out of range, 500 is used",
      "Local.dat: drive entry 1: letter code 99 is no drive, dropped",
      "Local.dat: drive entry 3: drive D after the end of the table, dropped",
      "Local.dat: watchdog 16843009 is out of range, 0 is used",
      "Local.dat: hotkey 103 is out of range, 71 is used",
      "the damaged file is kept as " + local_ + ".bad",
  };
  EXPECT_EQ(problems, expected);
  EXPECT_EQ(b.disk_full_policy, 0);
  EXPECT_EQ(b.drives[0].letter, 'C');
  EXPECT_EQ(b.drives[1].letter, 0);
  ExpectRepaired(local_, damaged);
}

TEST_F(SettingsCheckTest, EmptyOrShortLocalDatIsReportedNotSilentlyReset) {
  WriteText(local_, "");
  std::vector<std::string> problems;
  const SettingsBlock b = Load(&problems);
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems.front(), "Local.dat holds 0 bytes, not 1052");
  EXPECT_EQ(b.disk_full_policy, nvr::kDefaultDiskFullPolicy);
  ExpectRepaired(local_, "");
}

TEST_F(SettingsCheckTest, IntactFilesLoadUntouched) {
  SettingsBlock block = nvr::DefaultSettings('C');
  block.drives[1] = {'D', {0, 0, 0}, 2000};
  block.watchdog = 1;
  const std::string full = nvr::EncodeSettings(block);
  for (const size_t size : {size_t{1044}, size_t{1048}, size_t{1052}}) {
    WriteText(local_, full.substr(0, size));
    std::vector<std::string> problems;
    Load(&problems);
    EXPECT_TRUE(problems.empty()) << size << ": " << problems.front();
    EXPECT_EQ(ReadText(local_).size(), size);
    EXPECT_FALSE(Exists(local_ + ".bad"));
  }
  ASSERT_TRUE(nvr::WriteSchedules(schedule_, {Schedule(5, "Day"), Schedule(7, "Night")}));
  std::vector<std::string> problems;
  EXPECT_EQ(nvr::LoadScheduleFile(home_, &problems).size(), 2u);
  EXPECT_TRUE(problems.empty());
  EXPECT_FALSE(Exists(schedule_ + ".bad"));

  std::remove(local_.c_str());
  std::remove(schedule_.c_str());
  Load(&problems);
  nvr::LoadScheduleFile(home_, &problems);
  EXPECT_TRUE(problems.empty()) << "missing files are no damage";
  EXPECT_FALSE(Exists(local_)) << "defaults are not written";
}

TEST_F(SettingsCheckTest, UnsoundSchedulesAreDroppedAndTheRestKept) {
  std::vector<ScheduleRecord> records = {Schedule(5, "Day"), Schedule(-7, "Flipped id"),
                                         Schedule(9, "Bad day"), Schedule(11, "Bad time"),
                                         Schedule(5, "Twice"), Schedule(12, "Night")};
  records[2].day_code[3] = 0x0A000000;
  records[3].end[6] = 2575;
  std::string damaged = nvr::EncodeSchedules(records);
  std::memset(&damaged[4 + 5 * 120 + 88], 'N', 32);  // "Night" loses its terminator
  WriteText(schedule_, damaged);
  std::vector<std::string> problems;
  const std::vector<ScheduleRecord> kept = nvr::LoadScheduleFile(home_, &problems);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].id, 5);
  EXPECT_EQ(std::string(kept[0].name), "Day");
  const std::vector<std::string> expected = {
      "Schedule.dat: record 6 dropped: its name has no end",
      "Schedule.dat: record 2 (\"Flipped id\") dropped: identifier -7 is not positive",
      "Schedule.dat: record 3 (\"Bad day\") dropped: slot 4: day code 167772160",
      "Schedule.dat: record 4 (\"Bad time\") dropped: slot 7: end time 2575",
      "Schedule.dat: record 5 (\"Twice\") dropped: identifier 5 is taken twice",
      "the damaged file is kept as " + schedule_ + ".bad",
  };
  EXPECT_EQ(problems, expected);
  ExpectRepaired(schedule_, damaged);

  std::string counted_wrong = nvr::EncodeSchedules({Schedule(5, "Day")});
  Put32(counted_wrong, 0, 3);
  WriteText(schedule_, counted_wrong);
  problems.clear();
  EXPECT_EQ(nvr::LoadScheduleFile(home_, &problems).size(), 1u);
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems.front(), "Schedule.dat holds 124 bytes for a count of 3: whole records are kept");
}

}  // namespace
