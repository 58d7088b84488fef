// The device commands and the library's connection reports, on a core with the fake library.
#include <gtest/gtest.h>

#include <filesystem>

#include "nvr/core/engine/strings.h"
#include "tests/core/engine_fixture.h"

namespace {

using coretest::EngineTest;
using nvr::CoreOutcome;

class RecorderCoreTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1"));                 // id 1, manual
    Store(Device("Yard", "127.0.0.2", 1, /*schedule*/ 9));  // id 2, scheduled
  }
};

TEST_F(RecorderCoreTest, StartLoadsDevicesAndStartsTheLibrary) {
  StartCore();
  ASSERT_TRUE(start_.ok);
  EXPECT_EQ(lib_.startups, 1);
  EXPECT_EQ(lib_.wait_time, (std::vector<int>{5, -1, 10}));
  const std::vector<nvr::RowView> rows = core_->Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].id, 1);
  EXPECT_EQ(rows[1].number, 2);
  EXPECT_EQ(rows[1].host, "127.0.0.2");
  EXPECT_EQ(core_->CurrentDrive(), 'C');
}

TEST_F(RecorderCoreTest, UnreadableDeviceTableStopsTheStart) {
  conn_.Close();
  StartCore();
  EXPECT_FALSE(start_.ok);
  EXPECT_EQ(start_.messages, (std::vector<uint32_t>{nvr::kStrReadDbFailed, nvr::kStrInitFailed}));
}

TEST_F(RecorderCoreTest, ScheduledDevicesRefuseManualCommands) {
  StartCore();
  EXPECT_EQ(core_->Connect(2).messages, std::vector<uint32_t>{nvr::kStrScheduledConnect});
  EXPECT_EQ(core_->Record(2).messages, std::vector<uint32_t>{nvr::kStrScheduledRecord});
  EXPECT_EQ(core_->StopRecord(2).messages, std::vector<uint32_t>{nvr::kStrScheduledRecord});
  EXPECT_EQ(lib_.clients.size(), 0u);
}

TEST_F(RecorderCoreTest, RecordNeedsAConnectionAndRoom) {
  settings_.disk_full_policy = 0;  // full disks stop the recording
  StartCore();
  ASSERT_TRUE(core_->Connect(1).done);
  EXPECT_EQ(Entry(1).state, nvr::kStateConnecting);
  EXPECT_EQ(OpState("Gate"), 1);
  EXPECT_EQ(core_->Record(1).messages, std::vector<uint32_t>{nvr::kStrNotConnected});
  Connected(1);
  FillDisks(true);
  ASSERT_TRUE(core_->DisksFull());
  EXPECT_EQ(core_->Record(1).messages, std::vector<uint32_t>{nvr::kStrAllDisksFull});
  FillDisks(false);
  ASSERT_TRUE(core_->Record(1).done);
  EXPECT_EQ(OpState("Gate"), 2);
  EXPECT_EQ(core_->Rows()[0].record_text, nvr::kStrRecording);
  ASSERT_TRUE(core_->StopRecord(1).done);
  EXPECT_EQ(OpState("Gate"), 1);
  EXPECT_FALSE(Entry(1).recording);
}

TEST_F(RecorderCoreTest, RecordAllOnADisconnectedDeviceRecordsOnceConnected) {
  StartCore();
  ASSERT_TRUE(core_->RecordAll().done);
  EXPECT_EQ(Entry(2).client, 0u);  // the scheduled device is left to its schedule
  EXPECT_TRUE(Entry(1).record_on_connect);
  EXPECT_TRUE(lib_.files.empty());
  Connected(1);
  ASSERT_EQ(lib_.files.size(), 1u);
  EXPECT_NE(lib_.files[0].find("/c/QV_Record/Normal/2015-03-09/Gate(127.0.0.1_554)_1_"),
            std::string::npos);
  EXPECT_TRUE(Entry(1).recording);
  EXPECT_EQ(Entry(1).state, nvr::kStateConnected);
  EXPECT_EQ(OpState("Gate"), 2);
  EXPECT_FALSE(Entry(1).record_on_connect);
}

TEST_F(RecorderCoreTest, ReconnectWhileRecordingStartsANewFile) {
  StartCore();
  core_->Record(1);
  Connected(1);
  Report(1, nvr::kClientReconnecting);
  EXPECT_EQ(core_->Rows()[0].status_text, nvr::kStrReconnecting);
  EXPECT_EQ(core_->Rows()[0].record_text, nvr::kStrRecordFailed);
  SetLocal(2015, 3, 9, 10, 5, 0);
  Connected(1);
  ASSERT_EQ(lib_.files.size(), 2u);
  EXPECT_NE(lib_.files[1].find("_2015_03_09_10_05_00.h264"), std::string::npos);
  EXPECT_EQ(core_->Rows()[0].record_text, nvr::kStrRecording);
}

// A reconnection within the second the file began must not reuse (and so empty) that file.
TEST_F(RecorderCoreTest, RestartWithinTheSameSecondTakesTheNextSecondsName) {
  StartCore();
  core_->Record(1);
  Connected(1);
  ASSERT_EQ(lib_.files.size(), 1u);
  std::filesystem::create_directories(std::filesystem::path(lib_.files[0]).parent_path());
  WriteText(lib_.files[0], "recorded");  // the library has written the first file
  Report(1, nvr::kClientReconnecting);
  Connected(1);  // same local time as the first start
  ASSERT_EQ(lib_.files.size(), 2u);
  EXPECT_NE(lib_.files[1].find("_2015_03_09_10_00_31.h264"), std::string::npos) << lib_.files[1];
  EXPECT_EQ(ReadText(lib_.files[0]), "recorded");
}

TEST_F(RecorderCoreTest, FailedAndRefusedReports) {
  StartCore();
  core_->Connect(1);
  Report(1, nvr::kClientRefused);
  EXPECT_EQ(core_->Rows()[0].status_text, nvr::kStrUnauthorized);
  const nvr::ClientHandle h = Entry(1).client;
  Report(1, nvr::kClientFailed);
  EXPECT_EQ(Entry(1).client, 0u);
  EXPECT_FALSE(lib_.clients[h].running);
  EXPECT_EQ(core_->Rows()[0].status_text, 0);
}

TEST_F(RecorderCoreTest, ReportsForDeletedOrStoppedClientsAreIgnored) {
  StartCore();
  core_->Connect(1);
  const nvr::ClientHandle old_client = Entry(1).client;
  // Queued before the disconnect, handled after the next connect: must not touch the new one.
  ASSERT_TRUE(lib_.PostState(old_client, nvr::kClientFailed));
  core_->Disconnect(1);
  core_->Connect(1);
  Pump();
  EXPECT_NE(Entry(1).client, 0u);
  EXPECT_EQ(Entry(1).state, nvr::kStateConnecting);

  const nvr::ClientHandle h = Entry(1).client;
  ASSERT_TRUE(core_->DeleteDevice(1).done);
  EXPECT_FALSE(lib_.clients[h].running);
  EXPECT_TRUE(lib_.PostState(h, nvr::kClientStreaming));
  Pump();
  EXPECT_EQ(core_->Rows().size(), 1u);
  EXPECT_EQ(core_->Loop().FailedTasks(), 0u);
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.AllDevices(&rows));
  EXPECT_EQ(rows.size(), 1u);
}

TEST_F(RecorderCoreTest, ModifyReconnectsOnlyForConnectionChanges) {
  StartCore();
  core_->Connect(1);
  Connected(1);
  const nvr::ClientHandle h = Entry(1).client;
  nvr::DeviceRecord edited = Device("Front gate", "127.0.0.1");
  EXPECT_FALSE(core_->ModifyDevice(1, edited).reconnected);
  EXPECT_EQ(Entry(1).client, h);
  EXPECT_EQ(Entry(1).name, "Front gate");
  EXPECT_EQ(Entry(1).state, nvr::kStateConnected);

  edited.password = "new";
  EXPECT_TRUE(core_->ModifyDevice(1, edited).reconnected);
  EXPECT_FALSE(lib_.clients[h].running);
  const nvr::ClientHandle again = Entry(1).client;
  ASSERT_NE(again, h);
  EXPECT_STREQ(lib_.clients[again].params.password, "new");
  EXPECT_EQ(Entry(1).state, nvr::kStateConnecting);
}

TEST_F(RecorderCoreTest, AllDeviceCommandsTouchOnlyManualDevices) {
  Store(Device("Hall", "127.0.0.3"));  // id 3
  StartCore();
  core_->ConnectAll();
  EXPECT_EQ(lib_.Running(), 2u);
  EXPECT_EQ(OpState("Gate"), 1);
  EXPECT_EQ(OpState("Yard"), 0);
  Connected(1);
  core_->RecordAll();
  EXPECT_TRUE(Entry(1).recording);
  EXPECT_FALSE(Entry(3).recording);  // not connected yet: nothing to record
  core_->StopAll();
  EXPECT_FALSE(Entry(1).recording);
  EXPECT_EQ(OpState("Hall"), 1);
  core_->DisconnectAll();
  EXPECT_EQ(lib_.Running(), 0u);
  EXPECT_EQ(OpState("Gate"), 0);
  ASSERT_TRUE(core_->DeleteAll().done);
  EXPECT_TRUE(core_->Rows().empty());
  EXPECT_FALSE(core_->DeleteAll().done);
}

TEST_F(RecorderCoreTest, AddDeviceStoresItsSchedule) {
  StartCore();
  nvr::DeviceRecord d = Device("New", "127.0.0.9", 0, 0);
  ASSERT_TRUE(db_.InsertDevice(d));
  d.schedule_id = 5;
  const int32_t id = core_->AddDevice(d);
  EXPECT_EQ(id, 3);
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("New", &rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].schedule_id, 5);
}

}  // namespace

// A recording that does not start is reported in the log (and to the view) and tried again with
// a back-off, until it starts or the device is told to stop.
class FailedStartTest : public RecorderCoreTest {
 protected:
  void ConnectGate() {
    StartCore();
    ASSERT_TRUE(core_->Connect(1).done);
    Connected(1);
  }
  // Monitor passes over `ms` milliseconds, one every 200 ms.
  void Passes(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 200) {
      clock_.Advance(200);
      core_->RunMonitorPass();
    }
  }
};

TEST_F(FailedStartTest, IsReportedAndRetriedWithABackOffUntilItStarts) {
  ConnectGate();
  lib_.refuse_record = true;
  EXPECT_FALSE(core_->Record(1).done);
  EXPECT_EQ(lib_.record_attempts, 1);
  EXPECT_NE(Log().find("Gate: recording did not start: the recording library refused "),
            std::string::npos);
  EXPECT_NE(Log().find("; next try in 1 s"), std::string::npos);
  Passes(800);
  EXPECT_EQ(lib_.record_attempts, 1) << "not every 200 ms";
  Passes(400);
  EXPECT_EQ(lib_.record_attempts, 2);
  EXPECT_NE(Log().find("; next try in 2 s"), std::string::npos);
  Passes(60000);
  EXPECT_LT(lib_.record_attempts, 12) << "the wait doubles up to a minute";
  lib_.refuse_record = false;
  Passes(60000);
  EXPECT_TRUE(Entry(1).recording);
  EXPECT_EQ(OpState("Gate"), 2);
}

TEST_F(FailedStartTest, StopRecordEndsTheRetries) {
  ConnectGate();
  lib_.refuse_record = true;
  core_->Record(1);
  EXPECT_TRUE(core_->StopRecord(1).done);
  EXPECT_EQ(OpState("Gate"), 1);
  lib_.refuse_record = false;
  Passes(5000);
  EXPECT_FALSE(Entry(1).recording);
  EXPECT_EQ(lib_.record_attempts, 1);
}

TEST_F(FailedStartTest, ASplitWhoseNewFileFailsIsRecordedAgainLater) {
  settings_.split_minutes = 1;
  ConnectGate();
  ASSERT_TRUE(core_->Record(1).done);
  lib_.refuse_record = true;
  Passes(60000);  // the split stops the file and cannot start the next
  EXPECT_FALSE(Entry(1).recording);
  EXPECT_NE(Log().find("Gate: recording did not start"), std::string::npos);
  lib_.refuse_record = false;
  Passes(2000);
  EXPECT_TRUE(Entry(1).recording) << "a manual recording is not silently dropped";
  EXPECT_EQ(lib_.files.size(), 2u);
}

TEST_F(FailedStartTest, APathTooLongForTheLibraryIsNamed) {
  const std::string deep = Path(std::string(250, 'x') + "/" + std::string(250, 'y'));
  std::filesystem::create_directories(deep);
  StartCore();
  core_.reset();
  nvr::CoreConfig config;
  config.drives = nvr::DriveMap({{'C', deep}});
  ASSERT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_), settings_));
  config.home = home_;
  config.library = &lib_;
  config.db = &db_;
  config.disk_ops.free_mb = [](char) -> std::optional<uint64_t> { return 100000; };
  config.local_time = [this] { return local_; };
  config.start_threads = false;
  core_ = std::make_unique<nvr::RecorderCore>(std::move(config));
  ASSERT_TRUE(core_->Start().ok);
  core_->Connect(1);
  Connected(1);
  EXPECT_FALSE(core_->Record(1).done);
  EXPECT_EQ(lib_.record_attempts, 0);
  EXPECT_NE(Log().find("Gate: recording did not start: the file name is too long ("), std::string::npos);
  EXPECT_FALSE(Exists(deep + "/QV_Record")) << "no folder is made for a file that cannot be";
}
