// The device dialog's model over a recorder core and its database: defaults of both modes,
// the checks in their order with the database unchanged after each, what is stored and
// reported, and the text fields' rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvr/dialogs/model/device_form.h"
#include "nvr/dialogs/model/text_fields.h"
#include "tests/core/engine_fixture.h"

namespace {

using nvrdlg::DeviceFields;
using nvrdlg::DeviceForm;
using nvrdlg::FormField;

constexpr int32_t kNight = 41;

class DeviceFormTest : public coretest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1", 0));   // id 1
    Store(Device("Yard", "127.0.0.2", 1));   // id 2
    nvr::ScheduleRecord night{};
    night.id = kNight;
    std::snprintf(night.name, sizeof night.name, "Night");
    ASSERT_TRUE(nvr::WriteSchedules(nvr::ScheduleDatPath(home_), {night}));
    StartCore();
    ASSERT_TRUE(start_.ok);
  }

  DeviceFields Fields(std::string name, std::string host, int32_t channel = 0) {
    DeviceFields f;
    f.name = std::move(name);
    f.url = std::move(host);
    f.channel = channel;
    f.username = "admin";
    f.password = "pw";
    return f;
  }
  // Makes every change of the device table fail from now on.
  void BreakDeviceWrites(const char* event) {
    const std::string sql = std::string("CREATE TRIGGER broken BEFORE ") + event +
                            " ON DEVICE BEGIN SELECT RAISE(ABORT, 'broken'); END";
    ASSERT_EQ(nvr::DbExecute(conn_, sql), 1);
  }
};

TEST_F(DeviceFormTest, AddModeRefusesInTheDialogsOrderAndLeavesTheTableAlone) {
  DeviceForm form(*core_, db_, nvr::Language::kEnglish);
  EXPECT_EQ(form.CaptionId(), nvr::kStrAddDeviceCaption);
  EXPECT_EQ(form.OkTextId(), nvr::kStrAdd);
  EXPECT_EQ(form.Initial().name, "device 3");
  EXPECT_EQ(form.Initial().rtsp_port, 554);
  EXPECT_EQ(form.Initial().channel, 0);
  EXPECT_EQ(form.Initial().schedule_id, 0);
  ASSERT_EQ(form.Schedules().size(), 2u);
  EXPECT_EQ(form.Schedules()[1].name, "Night");
  EXPECT_EQ(form.Channels(), (std::vector<int32_t>{0, 1, 2, 3}));

  struct Case {
    DeviceFields fields;
    const char* message;
    FormField focus;
  };
  const std::vector<Case> cases = {
      {Fields("   ", ""), "Device name can't be empty!", FormField::kName},
      {Fields("a/b", ""), "Illegal characters \"/\"", FormField::kName},
      {Fields("Cam", " \t"), "Host address can't be empty!", FormField::kHost},
      {Fields("gate", "10.0.0.9"), "name was existent already", FormField::kNone},
      {Fields("Cam", "127.0.0.1", 0), "Device name was existent already!", FormField::kNone},
  };
  for (const Case& c : cases) {
    const nvrdlg::FormOutcome out = form.Submit(c.fields);
    EXPECT_FALSE(out.accepted) << c.message;
    EXPECT_EQ(out.message, c.message);
    EXPECT_EQ(out.focus, c.focus) << c.message;
    EXPECT_EQ(StoredDevices().size(), 2u) << c.message;
  }
  EXPECT_EQ(core_->Rows().size(), 2u);
  EXPECT_EQ(core_->NextDeviceId(), 3);
}

TEST_F(DeviceFormTest, AddStoresDeviceAndScheduleTogetherThenReportsIt) {
  DeviceFields cam = Fields("  Cam  ", " 127.0.0.1 ", 2);  // another channel of Gate's host
  cam.schedule_id = kNight;
  cam.stream_type = 1;
  const nvrdlg::FormOutcome out = DeviceForm(*core_, db_, nvr::Language::kEnglish).Submit(cam);
  ASSERT_TRUE(out.accepted) << out.message;
  EXPECT_EQ(out.device_id, 3);
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("Cam", &rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].url, "127.0.0.1");
  EXPECT_EQ(rows[0].channel, 2);
  EXPECT_EQ(rows[0].stream_type, 1);
  EXPECT_EQ(rows[0].schedule_id, kNight);
  EXPECT_EQ(core_->Rows().back().schedule_name, "Night");
  EXPECT_EQ(DeviceForm(*core_, db_, nvr::Language::kEnglish).Initial().name, "device 4");

  // A schedule that cannot be stored takes the device with it: nothing half stored.
  BreakDeviceWrites("UPDATE");
  DeviceFields other = Fields("Other", "10.0.0.7");
  other.schedule_id = kNight;
  const nvrdlg::FormOutcome failed = DeviceForm(*core_, db_, nvr::Language::kEnglish).Submit(other);
  EXPECT_FALSE(failed.accepted);
  EXPECT_EQ(failed.message, "add the device failed!");
  EXPECT_EQ(StoredDevices().size(), 3u);
  EXPECT_EQ(core_->Rows().size(), 3u);
}

TEST_F(DeviceFormTest, ModifyKeepsTheClientUnlessTheConnectionChanged) {
  ASSERT_TRUE(core_->Connect(1).done);
  Connected(1);
  const nvr::ClientHandle first = Entry(1).client;
  ASSERT_EQ(nvr::DbExecute(conn_, "UPDATE DEVICE SET ALARM_STATE = 1"), 1);

  std::optional<DeviceForm> form = DeviceForm::ForModify(*core_, db_, 1, nvr::Language::kEnglish);
  ASSERT_TRUE(form.has_value());
  EXPECT_EQ(form->CaptionId(), nvr::kStrModify);
  EXPECT_EQ(form->OkTextId(), nvr::kStrModify);
  DeviceFields f = form->Initial();
  EXPECT_EQ(f.name, "Gate");
  EXPECT_EQ(f.password, "pass");

  f.name = "GATE";  // only the case: the device is no duplicate of itself
  nvrdlg::FormOutcome out = form->Submit(f);
  ASSERT_TRUE(out.accepted) << out.message;
  EXPECT_FALSE(out.connection_changed);
  EXPECT_EQ(Entry(1).client, first);
  EXPECT_EQ(Entry(1).name, "GATE");
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("GATE", &rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].alarm_state, 0);

  std::optional<DeviceForm> again = DeviceForm::ForModify(*core_, db_, 1, nvr::Language::kEnglish);
  f = again->Initial();
  f.name = "yard";
  EXPECT_EQ(again->Submit(f).message, "name was existent already");
  f = again->Initial();
  f.url = "127.0.0.2";
  f.channel = 1;
  EXPECT_EQ(again->Submit(f).message, "Device name was existent already!");
  f = again->Initial();
  f.password = "new";
  out = again->Submit(f);
  ASSERT_TRUE(out.accepted);
  EXPECT_TRUE(out.connection_changed);
  EXPECT_FALSE(lib_.clients[first].running);
  EXPECT_STREQ(lib_.clients[Entry(1).client].params.password, "new");

  BreakDeviceWrites("UPDATE");
  f.name = "Front";
  EXPECT_EQ(again->Submit(f).message, "Modify device failed");
  EXPECT_EQ(Entry(1).name, "GATE");
}

TEST_F(DeviceFormTest, ADiscoveredChannelBeyondTheListIsKept) {
  ASSERT_TRUE(db_.AddDiscoveredDevice("device 7F", "10.1.1.1", 554, 6, 0, "admin", ""));
  nvr::DeviceRecord found;
  found.name = "device 7F";
  found.url = "10.1.1.1";
  found.channel = 6;
  found.username = "admin";
  const int32_t id = core_->AddDevice(found);
  std::optional<DeviceForm> form = DeviceForm::ForModify(*core_, db_, id, nvr::Language::kEnglish);
  ASSERT_TRUE(form.has_value());
  EXPECT_EQ(form->Channels(), (std::vector<int32_t>{0, 1, 2, 3, 6}));
  ASSERT_TRUE(form->Submit(form->Initial()).accepted);
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("device 7F", &rows));
  EXPECT_EQ(rows.at(0).channel, 6);
  EXPECT_FALSE(DeviceForm::ForModify(*core_, db_, 99, nvr::Language::kEnglish).has_value());
}

TEST(TextFieldsTest, QuotesAndControlsNeverEnterAndLimitsCutAtCharacters) {
  using nvrdlg::FitTextField;
  using nvrdlg::TextField;
  for (const TextField field : {TextField::kDeviceName, TextField::kHost, TextField::kUser, TextField::kPassword}) {
    EXPECT_EQ(FitTextField(field, "ab'c\"d"), "abcd");   // typed
    EXPECT_EQ(FitTextField(field, "x'y\n\tz"), "xyz");   // pasted
  }
  std::string wide;
  for (int i = 0; i < 64; ++i) wide += "\xe9\x97\xa8";   // 门, 3 bytes
  EXPECT_EQ(FitTextField(TextField::kDeviceName, wide).size(), 63u * 3);
  EXPECT_EQ(FitTextField(TextField::kUser, wide).size(), 30u);          // 31 bytes would split one
  EXPECT_EQ(FitTextField(TextField::kScheduleName, wide).size(), 30u);
  EXPECT_EQ(FitTextField(TextField::kHost, std::string(200, 'h')).size(), 121u);
  EXPECT_EQ(FitTextField(TextField::kPassword, std::string(31, 'p')).size(), 31u);
}

}  // namespace
