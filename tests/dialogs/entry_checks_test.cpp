// The checks of devices and schedules before they are stored (device dialog, schedule editor
// and the setup commands).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvr/dialogs/model/entry_checks.h"

namespace {

using nvr::Language;
using nvrdlg::Refusal;

nvr::DeviceRecord Device(std::string name, std::string host, std::string user = "admin",
                         std::string password = "pw") {
  nvr::DeviceRecord d;
  d.name = std::move(name);
  d.url = std::move(host);
  d.username = std::move(user);
  d.password = std::move(password);
  return d;
}

TEST(DeviceFieldsTest, RefusalsComeInTheDialogsOrderWithItsTexts) {
  struct Case {
    const char* label;
    nvr::DeviceRecord device;
    const char* refusal;  // nullptr: accepted
  };
  const std::vector<Case> cases = {
      {"blank name", Device("   ", ""), "Device name can't be empty!"},
      {"slash before empty host", Device("Ga/te", ""), "Illegal characters \"/\""},
      {"first illegal character wins", Device("a|b:c", "h"), "Illegal characters \"|\""},
      {"quote in name", Device("Bob's", "h"), "Illegal characters \"'\""},
      {"blank host", Device("Gate", " \t "), "Host address can't be empty!"},
      {"quote in host", Device("Gate", "cam\"1"), "Illegal characters \"\"\""},
      {"quote in password", Device("Gate", "h", "u", "p'w"), "Illegal characters \"'\""},
      {"63 characters", Device(std::string(63, 'n'), "h"), nullptr},
      {"64 characters", Device(std::string(64, 'n'), "h"),
       "device name too long (at most 63 characters)"},
      {"63 wide characters fit", Device([] {
         std::string s;
         for (int i = 0; i < 63; ++i) s += "\xe9\x97\xa8";  // 门
         return s;
       }(), "h"), nullptr},
      {"user of 32 bytes", Device("Gate", "h", std::string(32, 'u')),
       "user name too long (at most 31 bytes)"},
      {"host of 121 bytes: what the library connects to", Device("Gate", std::string(121, 'h')),
       nullptr},
      {"host of 122 bytes", Device("Gate", std::string(122, 'h')),
       "host address too long (at most 121 bytes)"},
      {"line break in a name", Device("Gate\nYard", "h"),
       "control characters (tab, line break) are not allowed"},
      {"tab inside a name", Device("Ga\tte", "h"), "control characters (tab, line break) are not allowed"},
      {"escape in a password", Device("Gate", "h", "u", "p\x1bw"),
       "control characters (tab, line break) are not allowed"},
  };
  for (const Case& c : cases) {
    nvr::DeviceRecord d = c.device;
    const Refusal r = nvrdlg::CheckDeviceFields(&d, Language::kEnglish);
    if (c.refusal == nullptr) {
      EXPECT_FALSE(r.has_value()) << c.label << ": " << r.value_or("");
    } else {
      EXPECT_EQ(r.value_or("(accepted)"), c.refusal) << c.label;
    }
  }
}

TEST(DeviceFieldsTest, NameAndHostAreStoredTrimmedAndTextsFollowTheLanguage) {
  nvr::DeviceRecord d = Device("  Gate 1\t", " 10.0.0.5 ");
  EXPECT_FALSE(nvrdlg::CheckDeviceFields(&d, Language::kEnglish).has_value());
  EXPECT_EQ(d.name, "Gate 1");
  EXPECT_EQ(d.url, "10.0.0.5");

  nvr::DeviceRecord empty = Device("", "h");
  EXPECT_EQ(nvrdlg::CheckDeviceFields(&empty, Language::kChinese).value_or(""), "设备名称不能为空");
}

TEST(ScheduleInputTest, ClocksAreHoursAndMinutesOfOneDay) {
  EXPECT_EQ(nvrdlg::ParseClock("800"), 800);
  EXPECT_EQ(nvrdlg::ParseClock("08:30"), 830);
  EXPECT_EQ(nvrdlg::ParseClock("2359"), 2359);
  for (const char* bad : {"2400", "0860", "8:5", "-100", "12345", "", "ab:cd", "1:000"}) {
    EXPECT_FALSE(nvrdlg::ParseClock(bad).has_value()) << bad;
  }
  EXPECT_FALSE(nvrdlg::ParseDayCode("11").has_value());
}

TEST(ScheduleInputTest, NewScheduleChecksAsTheEditorsAdd) {
  const std::vector<nvr::ScheduleRecord> existing = {
      nvrdlg::MakeSchedule(7, "Office", {{8, 800, 1700}})};
  std::string name = " Office ";
  EXPECT_EQ(nvrdlg::CheckNewSchedule(&name, {{10, 0, 2359}}, existing, Language::kEnglish),
            "Duplicate schedule name.\nPlease specify a different schedule name!");
  name = "  ";
  EXPECT_EQ(nvrdlg::CheckNewSchedule(&name, {{10, 0, 2359}}, existing, Language::kEnglish),
            "Please specify a schedule name!");
  name = "Night";
  EXPECT_EQ(nvrdlg::CheckNewSchedule(&name, {{2, 1000, 900}}, existing, Language::kEnglish),
            "Time Setting error!");
  // A closed slot's times are not checked; equal start and end pass.
  EXPECT_FALSE(nvrdlg::CheckNewSchedule(&name, {{0, 1000, 900}, {3, 1200, 1200}}, existing,
                                        Language::kEnglish)
                   .has_value());
  name = std::string(32, 'x');
  EXPECT_TRUE(nvrdlg::CheckNewSchedule(&name, {{10, 0, 2359}}, existing, Language::kEnglish)
                  .has_value());
}

TEST(ScheduleInputTest, IdentifiersAreNeverZeroNegativeOrInUse) {
  const nvr::ScheduleRecord r = nvrdlg::MakeSchedule(42, std::string(31, 'n'), {{10, 0, 2359}});
  EXPECT_EQ(r.name[31], '\0');  // 31 characters keep their terminator inside the field
  EXPECT_EQ(nvrdlg::NewScheduleId(0, {}), 1);
  EXPECT_EQ(nvrdlg::NewScheduleId(0x80000005u, {}), 5);
  EXPECT_EQ(nvrdlg::NewScheduleId(42, {r}), 43);
}

}  // namespace
