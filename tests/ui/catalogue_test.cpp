// The recorded-file catalogue over generated archives: the date, drive, device, channel, type
// and time-of-day filters, the names it skips, and what it makes of bad criteria.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "replay/core/catalogue_search.h"
#include "replay/core/record_names.h"
#include "replay/core/replay_strings.h"
#include "tests/ui/test_archive.h"

namespace {

using replay::FileType;
using uitest::Local;
using uitest::TestArchive;

replay::SearchCriteria Range(const std::tm& from, const std::tm& to) {
  replay::SearchCriteria c;
  c.start = {from.tm_year + 1900, from.tm_mon + 1, from.tm_mday, from.tm_hour, from.tm_min, from.tm_sec};
  c.end = {to.tm_year + 1900, to.tm_mon + 1, to.tm_mday, to.tm_hour, to.tm_min, to.tm_sec};
  return c;
}

// 2024-03-07 00:00:00 to 23:59:59 on drive C only, every device, channel and type.
replay::SearchCriteria Day() { return Range(Local(2024, 3, 7, 0, 0, 0), Local(2024, 3, 7, 23, 59, 59)); }

struct Found {
  std::vector<replay::CatalogueRow> rows;
  replay::SearchSummary summary;
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& r : rows) names.push_back(r.path.substr(r.path.rfind('/') + 1, r.path.find('(') - r.path.rfind('/') - 1));
    return names;
  }
};

Found Search(const TestArchive& archive, const replay::SearchCriteria& c) {
  Found f;
  replay::SearchHooks hooks;
  hooks.times = archive.Times();
  hooks.rows = [&](std::vector<replay::CatalogueRow>&& rows) { f.rows.insert(f.rows.end(), rows.begin(), rows.end()); };
  f.summary = replay::RunSearch(c, archive.Drives(), hooks);
  return f;
}

TEST(Catalogue, NormalBeforeAlarmOnTheChosenDrivesOnly) {
  TestArchive a;
  const std::string alarm = a.Add('C', FileType::kAlarm, "gate", "192.168.1.20", Local(2024, 3, 7, 9));
  const std::string normal = a.Add('C', FileType::kNormal, "gate", "192.168.1.20", Local(2024, 3, 7, 10), 3);
  const std::string on_d = a.Add('D', FileType::kNormal, "yard", "192.168.1.21", Local(2024, 3, 7, 11));
  a.Add('C', FileType::kNormal, "gate", "192.168.1.20", Local(2024, 3, 8, 10));  // the next day

  Found f = Search(a, Day());
  ASSERT_EQ(f.rows.size(), 2u);
  EXPECT_EQ(f.rows[0].path, normal);
  EXPECT_EQ(f.rows[0].type, FileType::kNormal);
  EXPECT_EQ(f.rows[0].channel, 3);
  EXPECT_EQ(f.rows[1].path, alarm);
  EXPECT_EQ(f.rows[1].type, FileType::kAlarm);
  EXPECT_EQ(replay::FormatFileTime(f.rows[0].times.created), "20240307 10:00:00");
  EXPECT_EQ(replay::FormatFileTime(f.rows[0].times.written), "20240307 10:01:00");

  replay::SearchCriteria both = Day();
  both.end_drive = 1;
  both.type = FileType::kNormal;
  f = Search(a, both);
  ASSERT_EQ(f.rows.size(), 2u);
  EXPECT_EQ(f.rows[1].path, on_d);
  both.type = FileType::kAlarm;
  EXPECT_EQ(Search(a, both).rows.size(), 1u);
}

TEST(Catalogue, DeviceByNameOrAddressTakesTheKeyLiterally) {
  TestArchive a;
  const std::tm t = Local(2024, 3, 7, 10);
  a.Add('C', FileType::kNormal, "frontcam", "192.168.1.10", t);
  a.Add('C', FileType::kNormal, "cam2", "192.168.1.100", t);
  a.Add('C', FileType::kNormal, "gate", "10.0.0.5", t);
  a.Add('C', FileType::kNormal, "door", "door.local", t);  // added by host name
  a.Add('C', FileType::kNormal, "a*b", "10.0.0.6", t);
  a.Add('C', FileType::kNormal, "axxb", "10.0.0.7", t);
  a.Add('C', FileType::kNormal, "cam[1]?", "10.0.0.8", t);
  a.Add('C', FileType::kNormal, "cam1x", "10.0.0.9", t);

  struct Case {
    const char* key;
    replay::SearchBy by;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"cam", replay::SearchBy::kName, {"cam2", "cam[1]?", "cam1x", "frontcam"}},
      {"  CAM2 ", replay::SearchBy::kName, {"cam2"}},
      {"door", replay::SearchBy::kName, {"door"}},
      {"a*b", replay::SearchBy::kName, {"a*b"}},
      {"cam[1]?", replay::SearchBy::kName, {"cam[1]?"}},
      {"", replay::SearchBy::kName, {"a*b", "axxb", "cam2", "cam[1]?", "cam1x", "door", "frontcam", "gate"}},
  };
  for (const Case& c : cases) {
    replay::SearchCriteria crit = Day();
    crit.by = c.by;
    crit.device_name = c.key;
    std::vector<std::string> names = Search(a, crit).Names();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = c.names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected) << "key '" << c.key << "'";
  }

  replay::SearchCriteria by_ip = Day();
  by_ip.by = replay::SearchBy::kAddress;
  by_ip.address = (192u << 24) | (168u << 16) | (1u << 8) | 10u;
  EXPECT_EQ(Search(a, by_ip).Names(), std::vector<std::string>{"frontcam"});
  by_ip.address = 0;  // an empty address entry: every device
  EXPECT_EQ(Search(a, by_ip).rows.size(), 8u);
}

TEST(Catalogue, ChannelFieldMustBeAShortNumber) {
  TestArchive a;
  const std::tm t = Local(2024, 3, 7, 10);
  a.Add('C', FileType::kNormal, "cam", "10.0.0.1", t, 2);
  a.Add('C', FileType::kNormal, "cam", "10.0.0.2", t, 12);
  a.AddNamed('C', FileType::kNormal, "2024-03-07", "cam(10.0.0.3_554)_1234567890_2024_03_07_10_00_00.h264", t);
  a.AddNamed('C', FileType::kNormal, "2024-03-07", "cam(10.0.0.4_554)_x2_2024_03_07_10_00_00.h264", t);
  a.AddNamed('C', FileType::kNormal, "2024-03-07", "no parenthesis_2_2024_03_07_10_00_00.h264", t);
  a.AddNamed('C', FileType::kNormal, "2024-03-07", "notes.txt", t);
  a.AddFolder(a.TypeRoot('C', FileType::kNormal) + "/2024-03-07/folder(1.2.3.4_5)_2_a_b_c_d_e.h264");

  Found all = Search(a, Day());
  ASSERT_EQ(all.rows.size(), 2u);
  replay::SearchCriteria two = Day();
  two.channel = 2;
  const Found f = Search(a, two);
  ASSERT_EQ(f.rows.size(), 1u);
  EXPECT_NE(f.rows[0].path.find("10.0.0.1"), std::string::npos);
}

TEST(Catalogue, DayFoldersAreDatesInTheRange) {
  TestArchive a;
  const std::string normal = a.TypeRoot('C', FileType::kNormal);
  a.AddNamed('C', FileType::kNormal, "2024-3-7", "x(1.1.1.1_1)_1_2024_03_07_10_00_00.h264", Local(2024, 3, 7, 10));
  a.AddNamed('C', FileType::kNormal, "backup", "x(1.1.1.1_1)_1_2024_03_07_10_00_00.h264", Local(2024, 3, 7, 10));
  a.AddNamed('C', FileType::kNormal, "2024-02-30", "x(1.1.1.1_1)_1_2024_03_01_10_00_00.h264", Local(2024, 3, 1, 10));
  a.AddNamed('C', FileType::kNormal, "2024-03-06", "x(1.1.1.1_1)_1_2024_03_06_10_00_00.h264", Local(2024, 3, 6, 10));
  a.AddNamed('C', FileType::kNormal, "2024-03-08", "x(1.1.1.1_1)_1_2024_03_08_10_00_00.h264", Local(2024, 3, 8, 10));

  Found f = Search(a, Day());
  ASSERT_EQ(f.rows.size(), 1u);
  EXPECT_EQ(f.rows[0].path, normal + "/2024-3-7/x(1.1.1.1_1)_1_2024_03_07_10_00_00.h264");
  // Both ends of a range of days are inside it.
  f = Search(a, Range(Local(2024, 2, 1, 0, 0, 0), Local(2024, 3, 8, 23, 59, 59)));
  EXPECT_EQ(f.rows.size(), 3u);
  EXPECT_EQ(f.summary.files, 3u);

  const struct {
    const char* name;
    std::optional<uint32_t> value;
  } folders[] = {{"2024-03-07", 20240307u}, {"2024-3-7", 20240307u}, {"2024-02-29", 20240229u},
                 {"2023-02-29", std::nullopt}, {"backup", std::nullopt}, {"2024-03", std::nullopt},
                 {"2024-03-07-x", std::nullopt}, {"2024-03-07.old", std::nullopt}, {"1234567890-1-1", std::nullopt}};
  for (const auto& c : folders) EXPECT_EQ(replay::DayFolderValue(c.name), c.value) << c.name;
}

TEST(Catalogue, TimeOfDayOfTheCreation) {
  TestArchive a;
  for (int day = 6; day <= 8; ++day) {
    a.Add('C', FileType::kNormal, "early", "10.0.0.1", Local(2024, 3, day, 8, 30, 0));
    a.Add('C', FileType::kNormal, "noon", "10.0.0.1", Local(2024, 3, day, 12, 45, 10));
    a.Add('C', FileType::kNormal, "late", "10.0.0.1", Local(2024, 3, day, 17, 30, 1));
    a.Add('C', FileType::kNormal, "night", "10.0.0.1", Local(2024, 3, day, 23, 30, 0));
  }
  const auto names = [&](const std::tm& from, const std::tm& to) {
    std::vector<std::string> n = Search(a, Range(from, to)).Names();
    std::sort(n.begin(), n.end());
    return n;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(names(Local(2024, 3, 7, 8, 0, 0), Local(2024, 3, 7, 17, 30, 0)), (V{"early", "noon"}));
  EXPECT_EQ(names(Local(2024, 3, 7, 12, 45, 10), Local(2024, 3, 7, 17, 30, 1)), (V{"late", "noon"}));
  EXPECT_EQ(names(Local(2024, 3, 6, 8, 0, 0), Local(2024, 3, 8, 9, 0, 0)), (V{"early", "early", "early"}));
  // 23:00 on one day to 01:00 on the next spans midnight.
  EXPECT_EQ(names(Local(2024, 3, 6, 23, 0, 0), Local(2024, 3, 7, 1, 0, 0)), (V{"night", "night"}));
}

TEST(Catalogue, VanishedDrivesAndDeletedFilesGiveAnEmptyResult) {
  TestArchive a;
  a.Add('C', FileType::kNormal, "cam", "10.0.0.1", Local(2024, 3, 7, 10));
  const std::string gone = a.Add('D', FileType::kNormal, "cam", "10.0.0.2", Local(2024, 3, 7, 10));
  std::filesystem::remove_all(a.Root('C'));
  std::filesystem::remove(gone);  // listed by the folder, gone before its times are read
  replay::SearchCriteria c = Day();
  c.end_drive = 1;
  const Found f = Search(a, c);
  EXPECT_TRUE(f.rows.empty());
  EXPECT_EQ(f.summary.missing_drives, std::vector<char>{'C'});
  EXPECT_FALSE(f.summary.cancelled);
}

TEST(Catalogue, ProgressAndCancel) {
  TestArchive a;
  for (int day = 1; day <= 5; ++day) a.Add('C', FileType::kNormal, "cam", "10.0.0.1", Local(2024, 3, day, 10));
  std::atomic<bool> cancel{false};
  std::vector<replay::SearchProgress> seen;
  size_t rows = 0;
  replay::SearchHooks hooks;
  hooks.times = a.Times();
  hooks.cancel = &cancel;
  hooks.progress = [&](const replay::SearchProgress& p) { seen.push_back(p); };
  hooks.rows = [&](std::vector<replay::CatalogueRow>&& r) {
    rows += r.size();
    if (rows == 2) cancel = true;
  };
  const replay::SearchSummary s =
      replay::RunSearch(Range(Local(2024, 3, 1, 0, 0, 0), Local(2024, 3, 31, 23, 59, 59)), a.Drives(), hooks);
  EXPECT_TRUE(s.cancelled);
  EXPECT_EQ(s.files, 2u);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front().folders_total, 5u);
  EXPECT_EQ(seen.front().folders_done, 0u);
  EXPECT_EQ(seen.back().folders_done, 2u);
  EXPECT_EQ(seen.back().files_found, 2u);
}

TEST(SearchCriteria, ChecksKeysAndAddresses) {
  replay::SearchCriteria c = Day();
  EXPECT_EQ(replay::CheckCriteria(c), 0u);
  c.start_drive = 1;
  EXPECT_EQ(replay::CheckCriteria(c), replay::kStrDriveOrder);
  c = Range(Local(2024, 3, 7, 10, 0, 0), Local(2024, 3, 7, 9, 59, 59));
  EXPECT_EQ(replay::CheckCriteria(c), replay::kStrTimeOrder);
  c = Range(Local(2024, 3, 7, 23, 0, 0), Local(2024, 3, 8, 1, 0, 0));
  EXPECT_EQ(replay::CheckCriteria(c), 0u);

  c.by = replay::SearchBy::kAddress;
  c.address = 0xC0A8010Au;
  EXPECT_EQ(replay::DeviceKey(c), "192.168.1.10");
  c.address = 0;
  EXPECT_EQ(replay::DeviceKey(c), "");

  const struct {
    const char* text;
    std::optional<uint32_t> address;
  } addresses[] = {{"", 0u}, {"192.168.1.10", 0xC0A8010Au}, {"192.168..10", 0xC0A8000Au}, {"10", 0x0A000000u},
                   {"256.1.1.1", std::nullopt}, {"1.2.3.4.5", std::nullopt}, {"a.b.c.d", std::nullopt}};
  for (const auto& a : addresses) EXPECT_EQ(replay::ParseAddress(a.text), a.address) << a.text;
}

TEST(RecordNames, MasksAndChannels) {
  EXPECT_TRUE(replay::AllRecordingsMask().Matches("X.H264"));
  EXPECT_FALSE(replay::AllRecordingsMask().Matches("x.h264.part"));
  EXPECT_TRUE(replay::DeviceNameMask("Cam").Matches("frontCAM(10.0.0.1_554)_1_2024_03_07_10_00_00.h264"));
  EXPECT_FALSE(replay::DeviceNameMask("cam").Matches("gate(cam.local_554)_1_2024_03_07_10_00_00.h264x"));
  EXPECT_FALSE(replay::DeviceNameMask("cam").Matches("cam(10.0.0.1_554)_1_2024_03_07_10.h264"));  // a field short
  EXPECT_TRUE(replay::DeviceAddressMask("10.0.0.1").Matches("x(10.0.0.1_554)_1_a_b_c_d_e.h264"));
  EXPECT_FALSE(replay::DeviceAddressMask("10.0.0.1").Matches("x(10.0.0.10_554)_1_a_b_c_d_e.h264"));

  const struct {
    const char* name;
    std::optional<int> channel;
  } channels[] = {{"a(1.2.3.4_5)_2_2024_03_07_10_00_00.h264", 2},
                  {"a(b)c(1.2.3.4_5)_12_x.h264", 12},
                  {"a(1.2.3.4_5)_12345678_x.h264", 12345678},
                  {"a(1.2.3.4_5)_123456789_x.h264", std::nullopt},
                  {"a(1.2.3.4_5)__x.h264", std::nullopt},
                  {"a(1.2.3.4_5)_2.h264", std::nullopt},
                  {"a_2_3.h264", std::nullopt}};
  for (const auto& c : channels) EXPECT_EQ(replay::ChannelOfRecording(c.name), c.channel) << c.name;
}

TEST(ReplayStrings, EveryNumberInBothLanguages) {
  for (uint32_t id = replay::kFirstStringId; id <= replay::kLastStringId; ++id) {
    EXPECT_STRNE(replay::LoadString(id, replay::Language::kEnglish), "") << id;
    EXPECT_STRNE(replay::LoadString(id, replay::Language::kChinese), "") << id;
  }
  EXPECT_STREQ(replay::LoadString(replay::kStrDriveOrder, replay::Language::kEnglish),
               "End drive should not be after start drive.");
  EXPECT_STREQ(replay::LoadString(replay::kStrIpAddress, replay::Language::kChinese), "指定IP");
  EXPECT_STREQ(replay::LoadString(132, replay::Language::kEnglish), "");
}

}  // namespace
