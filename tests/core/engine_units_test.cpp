// Pure pieces of the recorder core: schedule matching, the split test, recording file names,
// the recording client parameters and the string table.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "nvr/core/engine/device_list.h"
#include "nvr/core/engine/recording_manager.h"
#include "nvr/core/engine/schedule_match.h"
#include "nvr/core/engine/schedule_monitor.h"
#include "nvr/core/engine/strings.h"

namespace {

std::tm Local(int wday, int hour, int minute) {
  std::tm t{};
  t.tm_year = 115;
  t.tm_mon = 2;
  t.tm_mday = 7;
  t.tm_wday = wday;  // 0 Sunday
  t.tm_hour = hour;
  t.tm_min = minute;
  return t;
}

nvr::ScheduleRecord OneSlot(int32_t id, int32_t code, int32_t start, int32_t end) {
  nvr::ScheduleRecord r{};
  r.id = id;
  r.day_code[3] = code;  // a middle slot: earlier unused slots must be skipped
  r.start[3] = start;
  r.end[3] = end;
  std::strcpy(r.name, "Office");
  return r;
}

TEST(ScheduleMatch, DayCodesAndInclusiveMinutes) {
  struct Case {
    const char* what;
    int32_t code, start, end;
    int wday, hour, minute;
    bool in;
  } cases[] = {
      {"workdays, Monday at start", 8, 800, 1700, 1, 8, 0, true},
      {"workdays, Friday at end minute", 8, 800, 1700, 5, 17, 0, true},
      {"workdays, Saturday", 8, 800, 1700, 6, 12, 0, false},
      {"workdays, Sunday", 8, 800, 1700, 0, 12, 0, false},
      {"workdays, Monday a minute late", 8, 800, 1700, 1, 17, 1, false},
      {"workdays, Monday a minute early", 8, 800, 1700, 1, 7, 59, false},
      {"weekend, Sunday", 9, 0, 2359, 0, 23, 59, true},
      {"weekend, Wednesday", 9, 0, 2359, 3, 12, 0, false},
      {"one day: code 1 is Sunday", 1, 0, 2359, 0, 0, 0, true},
      {"one day: code 7 is Saturday", 7, 0, 2359, 6, 9, 0, true},
      {"one day: other day", 2, 0, 2359, 2, 9, 0, false},
      {"every day", 10, 0, 2359, 6, 3, 0, true},
      {"unknown code is every day", 42, 0, 2359, 4, 3, 0, true},
      {"closed slot", 0, 0, 2359, 1, 12, 0, false},
      {"start after end never spans midnight", 10, 2200, 600, 1, 23, 0, false},
      {"start after end, early morning", 10, 2200, 600, 1, 5, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<nvr::ScheduleRecord> schedules = {OneSlot(7, c.code, c.start, c.end)};
    const std::tm t = Local(c.wday, c.hour, c.minute);
    EXPECT_EQ(nvr::ScheduleMatches(schedules, 7, &t), c.in);
  }
}

TEST(ScheduleMatch, UnknownIdAndUnknownTimeAreOutOfSchedule) {
  const std::vector<nvr::ScheduleRecord> schedules = {OneSlot(7, 10, 0, 2359)};
  const std::tm t = Local(1, 12, 0);
  EXPECT_FALSE(nvr::ScheduleMatches(schedules, 8, &t));
  EXPECT_FALSE(nvr::ScheduleMatches(schedules, 0, &t));
  EXPECT_FALSE(nvr::ScheduleMatches(schedules, 7, nullptr));
  EXPECT_EQ(nvr::ScheduleName(schedules, 7), "Office");
  EXPECT_EQ(nvr::ScheduleName(schedules, 8), "");
}

TEST(ScheduleMonitor, SplitDueAcrossTheTickWrap) {
  const uint64_t hour = nvr::SplitLengthMs(60);
  EXPECT_EQ(hour, 3600000u);
  EXPECT_EQ(nvr::SplitLengthMs(0), hour);  // damaged settings: not a file per pass
  const uint32_t start = 0xFFFFFFFFu - 1000;  // start + split wraps past 0
  EXPECT_FALSE(nvr::SplitDue(start, start + 200, hour));
  EXPECT_FALSE(nvr::SplitDue(start, start + 3599999u, hour));
  EXPECT_TRUE(nvr::SplitDue(start, start + 3600000u, hour));
  EXPECT_FALSE(nvr::SplitDue(5, 6, nvr::SplitLengthMs(INT32_MAX)));  // beyond 32 bits
}

TEST(RecordFileName, LayoutOfTheReplayCatalogue) {
  std::tm t{};
  t.tm_year = 115;
  t.tm_mon = 2;
  t.tm_mday = 7;
  t.tm_hour = 18;
  t.tm_min = 5;
  t.tm_sec = 9;
  EXPECT_EQ(nvr::RecordFilePath("/d/QV_Record/Normal", t, "Gate", "192.168.1.20", 554, 0),
            "/d/QV_Record/Normal/2015-03-07/Gate(192.168.1.20_554)_1_2015_03_07_18_05_09.h264");
}

TEST(RecordFileName, NamesFromTheDatabaseStayInTheDayFolder) {
  std::tm t{};
  t.tm_year = 115;
  t.tm_mday = 1;
  const std::string day = "/r/2015-01-01/";
  const std::string names[] = {"..", ".", "../../etc/x", "a/b", "a\\b", "it's \"cam\"",
                               std::string("nul\0x", 5), "tab\tnew\nline",
                               std::string(300, 'N'), "\xE6\x91\x84" + std::string(200, 'x')};
  for (const std::string& name : names) {
    SCOPED_TRACE(name.substr(0, 20));
    const std::string path = nvr::RecordFilePath("/r", t, name, "h/../../x", 554, 2);
    ASSERT_EQ(path.compare(0, day.size(), day), 0);
    const std::string file = path.substr(day.size());
    EXPECT_EQ(file.find('/'), std::string::npos);
    EXPECT_EQ(file.find('\0'), std::string::npos);
    EXPECT_LE(file.size(), 255u);
  }
  EXPECT_EQ(nvr::SanitizeNamePart("it's \"cam\""), "it's \"cam\"");  // quotes are harmless
  // Cut at a character boundary: 95 bytes of 'a' then a 3-byte character.
  EXPECT_EQ(nvr::SanitizeNamePart(std::string(95, 'a') + "\xE6\x91\x84"), std::string(95, 'a'));
}

TEST(ClientParams, RecordOfADevice) {
  nvr::DeviceEntry e;
  e.id = 3;
  e.host = "127.0.0.1";
  e.port = 8554;
  e.channel = 2;
  e.stream_type = 1;
  e.user = "u";
  e.password = "p";
  const std::optional<NvrClientParams> p = nvr::MakeClientParams(e, 77);
  ASSERT_TRUE(p);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&*p);
  EXPECT_EQ(bytes[0], 1);   // transport TCP
  EXPECT_EQ(bytes[2], 6);   // channel 2 + 4: secondary stream
  EXPECT_EQ(p->notify_window, 77u);
  EXPECT_EQ(p->notify_message, 9024u + 3);
  EXPECT_STREQ(p->address, "127.0.0.1:8554");
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 140), "admin");
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 173), "u");
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 206), "p");

  e.host = std::string(125, 'h');  // "host:8554" no longer fits: never a cut address
  EXPECT_FALSE(nvr::MakeClientParams(e, 77));
  e.host = "h";
  e.password = std::string(33, 'p');
  EXPECT_FALSE(nvr::MakeClientParams(e, 77));

  // A device by URL: the library gets the URL and the device's transport.
  e.password = "p";
  e.stream_url = "rtsp://cam.local:8554/live/main";
  e.transport = 0;
  const std::optional<NvrClientParams> url = nvr::MakeClientParams(e, 77);
  ASSERT_TRUE(url);
  EXPECT_EQ(url->transport, 0);
  EXPECT_STREQ(url->address, "rtsp://cam.local:8554/live/main");
  e.stream_url = "rtsp://h/" + std::string(120, 'x');  // 128 bytes: no room for the terminator
  EXPECT_FALSE(nvr::MakeClientParams(e, 77));
}

TEST(Strings, LocaleSelectsTheTable) {
  EXPECT_EQ(nvr::LanguageForLocale(0x804), nvr::Language::kChinese);
  EXPECT_EQ(nvr::LanguageForLocale(0x409), nvr::Language::kEnglish);
  EXPECT_EQ(nvr::LanguageForLocale(std::nullopt), nvr::Language::kEnglish);
  EXPECT_STREQ(nvr::LoadString(nvr::kStrAllDisksFull, nvr::Language::kEnglish), "All disks is full !");
  EXPECT_STREQ(nvr::LoadString(nvr::kStrInitFailed, nvr::Language::kEnglish), "Inital failed!");
  EXPECT_STREQ(nvr::LoadString(nvr::kStrConfirmDisconnectAll, nvr::Language::kEnglish),
               "This operation is invalid on devices which are set to record using a schedule. "
               "\r\nDo you want to continue? ");
  EXPECT_STRNE(nvr::LoadString(nvr::kStrConfirmDisconnectAll, nvr::Language::kChinese),
               nvr::LoadString(nvr::kStrConfirmConnectAll, nvr::Language::kChinese));
  EXPECT_STREQ(nvr::LoadString(9999, nvr::Language::kEnglish), "");
}

}  // namespace
