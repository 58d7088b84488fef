// The main window over the core with the fake recording library: the list at start, the
// all-device commands with their confirmations, deleting, and the reports of the dialogs.
#include <QHeaderView>
#include <QMenu>

#include "nvr/core/engine/strings.h"
#include "tests/ui/recorder_fixture.h"

namespace recordertest {
namespace {

class MainWindowTest : public RecorderWindowTest {
 protected:
  // A and B: manual, one host, channels 1 and 2; C on the schedule "Night".
  void StoreThree() {
    StoreNightSchedule();
    Store(Device("A", "127.0.0.1", 0));
    Store(Device("B", "127.0.0.1", 1));
    Store(Device("C", "127.0.0.2", 0, 7));
  }
  QStringList Row(int row) {
    QStringList cells;
    for (int c = 0; c <= nvrui::kColSchedule; ++c) cells << Cell(row, c);
    return cells;
  }
  size_t DbRows() {
    std::vector<nvr::DeviceRecord> rows;
    EXPECT_TRUE(db_.AllDevices(&rows));
    return rows.size();
  }
  void FailDeletes() {
    ASSERT_GE(nvr::DbExecute(conn_, "CREATE TRIGGER keep BEFORE DELETE ON DEVICE BEGIN SELECT RAISE(ABORT, 'kept'); END"), 0);
  }
};

TEST_F(MainWindowTest, StartListsTheDevicesUnderTheirHeaders) {
  StoreThree();
  ASSERT_TRUE(StartWindow());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->windowTitle().startsWith(QStringLiteral(" QV_NVR ")));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral(" QV_NVR 1.0.0.0"));
  EXPECT_EQ(window_->Caption(), S(nvr::kStrLiveCaption));
  QStringList headers;
  for (int c = 0; c < nvrui::kColumnCount; ++c) headers << Table()->horizontalHeaderItem(c)->text();
  EXPECT_EQ(headers, (QStringList{"ID", "Device", "Host Address", "Channel", "Schedule Name", "Device Status",
                                  "Recording Status"}));
  ASSERT_EQ(Table()->rowCount(), 3);
  EXPECT_EQ(Row(0), (QStringList{"1", "A", "127.0.0.1", "1", ""}));
  EXPECT_EQ(Row(1), (QStringList{"2", "B", "127.0.0.1", "2", ""}));
  EXPECT_EQ(Row(2), (QStringList{"3", "C", "127.0.0.2", "1", "Night"}));
  // Every other row on the light green, from the first.
  EXPECT_EQ(Table()->item(0, 1)->background().color(), QColor(223, 255, 240));
  EXPECT_EQ(Table()->item(1, 1)->background().style(), Qt::NoBrush);
  EXPECT_EQ(Table()->item(2, 1)->background().color(), QColor(223, 255, 240));
  // Without the dialogs in this build their buttons say so instead of pretending.
  EXPECT_FALSE(window_->Button(nvrui::kCmdSearch)->isEnabled());
  EXPECT_FALSE(window_->Button(nvrui::kCmdSearch)->toolTip().isEmpty());
  EXPECT_TRUE(window_->Button(nvrui::kCmdConnectAll)->isEnabled());
  EXPECT_EQ(ExitFlag(), "0");
}

TEST_F(MainWindowTest, ChineseHeadersComeFromTheTable) {
  StoreThree();
  nvrui::InstallLanguage(nvr::Language::kChinese);
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(Table()->horizontalHeaderItem(nvrui::kColSchedule)->text(), QStringLiteral("时间表名称"));
  EXPECT_EQ(window_->Button(nvrui::kCmdConnectAll)->text(), QStringLiteral("全部连接"));
  EXPECT_EQ(window_->Button(nvrui::kCmdLock)->text(), QStringLiteral("锁定 QV_NVR"));
  nvrui::InstallLanguage(nvr::Language::kEnglish);
}

TEST_F(MainWindowTest, UnreadableDevicesShowBothMessagesAndTheStartFails) {
  ASSERT_GE(nvr::DbExecute(conn_, "DROP TABLE DEVICE"), 0);
  EXPECT_FALSE(StartWindow());
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrReadDbFailed), false}, {S(nvr::kStrInitFailed), false}}));
}

TEST_F(MainWindowTest, ConnectAllAsksThenConnectsTheManualDevices) {
  StoreThree();
  ASSERT_TRUE(StartWindow());
  messages_.answers = {false};
  window_->Invoke(nvrui::kCmdConnectAll);
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrConfirmConnectAll), true}}));
  EXPECT_TRUE(lib_.clients.empty());
  EXPECT_EQ(OpState("A"), 0);

  window_->Invoke(nvrui::kCmdConnectAll);
  ASSERT_EQ(lib_.clients.size(), 2u);
  const coretest::FakeRecordingLibrary::Client& a = lib_.clients.at(Entry(1).client);
  EXPECT_EQ(a.params.transport, 1);
  EXPECT_STREQ(a.params.address, "127.0.0.1:554");
  EXPECT_EQ(a.params.notify_message, nvr::kClientMessageBase + 1);
  EXPECT_EQ(lib_.clients.at(Entry(2).client).params.stream_number, 1);
  EXPECT_EQ(Cell(0, nvrui::kColStatus), "Connecting...");
  EXPECT_EQ(Cell(1, nvrui::kColStatus), "Connecting...");
  EXPECT_EQ(Cell(2, nvrui::kColStatus), "");
  EXPECT_EQ(OpState("A"), 1);
  EXPECT_EQ(OpState("B"), 1);
  EXPECT_EQ(OpState("C"), 0);

  Report(1, nvr::kClientStreaming);
  Report(2, nvr::kClientRefused);
  EXPECT_EQ(Cell(0, nvrui::kColStatus), "Connected successfully");
  EXPECT_EQ(Table()->item(0, 0)->data(Qt::DecorationRole).isNull(), false);
  EXPECT_EQ(Cell(1, nvrui::kColStatus), "Unauthorized");
}

TEST_F(MainWindowTest, RecordAllAndStopAllFollowTheLibrary) {
  StoreThree();
  ASSERT_TRUE(StartWindow());
  window_->Invoke(nvrui::kCmdRecordAll);
  EXPECT_EQ(messages_.boxes.back(), (Box{S(nvr::kStrConfirmRecordAll), true}));
  EXPECT_EQ(Cell(0, nvrui::kColStatus), "Connecting...");
  Report(1, nvr::kClientStreaming);
  EXPECT_EQ(Cell(0, nvrui::kColRecord), "Recording...");
  ASSERT_EQ(lib_.files.size(), 1u);
  EXPECT_NE(lib_.files[0].find("/QV_Record/Normal/"), std::string::npos);
  EXPECT_EQ(OpState("A"), 2);
  window_->Invoke(nvrui::kCmdStopAll);
  EXPECT_EQ(Cell(0, nvrui::kColRecord), "");
  EXPECT_EQ(OpState("A"), 1);
  window_->Invoke(nvrui::kCmdDisconnectAll);
  EXPECT_EQ(lib_.Running(), 0u);
  EXPECT_EQ(Cell(0, nvrui::kColStatus), "");
}

TEST_F(MainWindowTest, OneDeviceCommandsNeedARowAndRefuseScheduledDevices) {
  StoreThree();
  ASSERT_TRUE(StartWindow());
  window_->Invoke(nvrui::kCmdConnect);  // nothing selected
  window_->Invoke(nvrui::kCmdDeleteDevice);
  EXPECT_TRUE(lib_.clients.empty());
  EXPECT_TRUE(messages_.boxes.empty());
  Select(2);
  window_->Invoke(nvrui::kCmdConnect);
  window_->Invoke(nvrui::kCmdRecord);
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrScheduledConnect), false}, {S(nvr::kStrScheduledRecord), false}}));
  messages_.boxes.clear();
  Select(0);
  window_->Invoke(nvrui::kCmdConnect);
  EXPECT_EQ(OpState("A"), 1);
  window_->Invoke(nvrui::kCmdRecord);  // not connected yet
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrNotConnected), false}}));
  // The device menu opens on a row, not while locked.
  EXPECT_EQ(window_->DeviceMenu()->actions().size(), 6);
}

TEST_F(MainWindowTest, DeleteAsksRemovesRenumbersAndKeepsOtherPorts) {
  StoreThree();
  Store(Device("B2", "127.0.0.1", 1, 0, 0, 8554));  // B's host and channel on another port
  ASSERT_TRUE(StartWindow());
  Select(1);
  messages_.answers = {false};
  window_->Invoke(nvrui::kCmdDeleteDevice);
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{QStringLiteral("Are you sure you want to delete B ?"), true}}));
  EXPECT_EQ(Table()->rowCount(), 4);

  window_->Invoke(nvrui::kCmdDeleteMenu);
  ASSERT_EQ(Table()->rowCount(), 3);
  EXPECT_EQ(DbRows(), 3u);
  EXPECT_EQ(Row(1), (QStringList{"2", "C", "127.0.0.2", "1", "Night"}));
  EXPECT_EQ(Row(2), (QStringList{"3", "B2", "127.0.0.1", "2", ""}));
  EXPECT_EQ(Table()->SelectedId(), 0);

  messages_.boxes.clear();
  FailDeletes();
  Select(0);
  window_->Invoke(nvrui::kCmdDeleteDevice);
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{QStringLiteral("Are you sure you want to delete A ?"), true},
                                               {S(nvr::kStrDeleteDeviceFailed), false},
                                               {S(nvr::kStrDeleteFailed), false}}));
  EXPECT_EQ(Table()->rowCount(), 3);
}

TEST_F(MainWindowTest, DeleteAllAsksTwiceAndKeepsTheListWhenTheDatabaseRefuses) {
  StoreThree();
  ASSERT_TRUE(StartWindow());
  window_->Invoke(nvrui::kCmdConnectAll);
  messages_.boxes.clear();
  FailDeletes();
  Select(1);
  window_->Invoke(nvrui::kCmdDeleteAll);
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrConfirmDeleteAll), true},
                                               {S(nvr::kStrConfirmContinue), true},
                                               {S(nvr::kStrDeleteDeviceFailed), false},
                                               {S(nvr::kStrDeleteFailed), false}}));
  EXPECT_EQ(Table()->rowCount(), 3);
  EXPECT_EQ(lib_.Running(), 2u);

  ASSERT_GE(nvr::DbExecute(conn_, "DROP TRIGGER keep"), 0);
  messages_.boxes.clear();
  messages_.answers = {true, false};
  window_->Invoke(nvrui::kCmdDeleteAll);
  EXPECT_EQ(Table()->rowCount(), 3);
  window_->Invoke(nvrui::kCmdDeleteAll);
  EXPECT_EQ(Table()->rowCount(), 0);
  EXPECT_EQ(DbRows(), 0u);
  EXPECT_EQ(lib_.Running(), 0u);
  EXPECT_EQ(Table()->SelectedId(), 0);
  // An empty list: nothing is asked, and a stale selection does nothing.
  messages_.boxes.clear();
  window_->Invoke(nvrui::kCmdDeleteAll);
  window_->Invoke(nvrui::kCmdDeleteDevice);
  window_->Invoke(nvrui::kCmdRecord);
  EXPECT_TRUE(messages_.boxes.empty());
}

TEST_F(MainWindowTest, RecordAllOnFullDisksIsRefused) {
  StoreThree();
  settings_.disk_full_policy = 0;
  ASSERT_TRUE(StartWindow());
  // Both drives under their reserve: the disk check counts the disks as full.
  nvr::SettingsBlock full = core_->Settings();
  full.drives[0].reserve_mb = 1u << 30;
  full.drives[1] = nvr::DriveEntry{'D', {0, 0, 0}, 1u << 30};
  window_->SettingsApplied(full);
  core_->DiskCheck();
  ASSERT_TRUE(core_->DisksFull());
  messages_.boxes.clear();
  window_->Invoke(nvrui::kCmdRecordAll);
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrConfirmRecordAll), true}, {S(nvr::kStrAllDisksFull), false}}));
  EXPECT_TRUE(lib_.clients.empty());
}

TEST_F(MainWindowTest, DialogReportsReachTheListAndTheCore) {
  StoreThree();
  ASSERT_TRUE(StartWindow());
  nvr::DeviceRecord added = Device("D", "127.0.0.4", 0, 7);
  ASSERT_TRUE(db_.InsertDevice(added));
  window_->DeviceAdded(added);
  ASSERT_EQ(Table()->rowCount(), 4);
  EXPECT_EQ(Row(3), (QStringList{"4", "D", "127.0.0.4", "1", "Night"}));
  EXPECT_EQ(OpState("D"), 0);
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("D", &rows));
  EXPECT_EQ(rows[0].schedule_id, 7);

  nvr::DeviceRecord renamed = Device("A2", "127.0.0.1", 0, 7);
  window_->DeviceModified(1, renamed);
  EXPECT_EQ(Row(0), (QStringList{"1", "A2", "127.0.0.1", "1", "Night"}));
  window_->ScheduleDeleted(7);
  EXPECT_EQ(Cell(2, nvrui::kColSchedule), "");
  EXPECT_EQ(Entry(3).schedule_id, 0);
}

}  // namespace
}  // namespace recordertest
