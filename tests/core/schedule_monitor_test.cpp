// Schedules and file splitting through the monitor's passes, on the fake tick clock.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "tests/core/engine_fixture.h"
#include "tests/support/poll.h"

namespace {

using coretest::EngineTest;

constexpr int32_t kOffice = 9;

class ScheduleMonitorTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    nvr::ScheduleRecord office{};
    office.id = kOffice;
    office.day_code[0] = 8;  // Monday to Friday, 08:00 to 17:00
    office.start[0] = 800;
    office.end[0] = 1700;
    std::strcpy(office.name, "Office");
    ASSERT_TRUE(nvr::WriteSchedules(nvr::ScheduleDatPath(home_), {office}));
    Store(Device("Yard", "127.0.0.2", 0, kOffice));  // id 1
    Store(Device("Gate", "127.0.0.1"));              // id 2, manual
  }
  // A scheduled device in its slot: connected and recording after two passes.
  void BringUpScheduled() {
    core_->RunMonitorPass();
    ASSERT_NE(Entry(1).client, 0u);
    Connected(1);
    core_->RunMonitorPass();
    ASSERT_TRUE(Entry(1).recording);
  }
};

TEST_F(ScheduleMonitorTest, InScheduleConnectsThenRecords) {
  StartCore();
  EXPECT_EQ(core_->Rows()[0].schedule_name, "Office");
  BringUpScheduled();
  EXPECT_EQ(Entry(2).client, 0u);  // manual devices wait for the user
  core_->RunMonitorPass();
  EXPECT_EQ(lib_.files.size(), 1u);  // recording already: nothing new
}

TEST_F(ScheduleMonitorTest, SplitsAfterTheSplitLengthWithTheNewStartTime) {
  StartCore();
  BringUpScheduled();
  core_->Connect(2);
  Connected(2);
  core_->Record(2);
  ASSERT_EQ(lib_.files.size(), 2u);

  clock_.Advance(3600000 - 1);
  core_->RunMonitorPass();
  EXPECT_EQ(lib_.files.size(), 2u);
  clock_.Advance(1);
  SetLocal(2015, 3, 9, 11, 0, 30);
  core_->RunMonitorPass();
  ASSERT_EQ(lib_.files.size(), 4u);  // both devices, scheduled and manual
  for (size_t i = 2; i < 4; ++i) {
    EXPECT_NE(lib_.files[i].find("_2015_03_09_11_00_30.h264"), std::string::npos) << lib_.files[i];
  }
  EXPECT_EQ(Entry(1).record_start, clock_.Now());
}

TEST_F(ScheduleMonitorTest, SplitAcrossTheTickWrap) {
  clock_.Set(0xFFFFFFFFu - 1000);
  StartCore();
  BringUpScheduled();
  clock_.Advance(2000);  // the counter wrapped: start + split is a small number now
  core_->RunMonitorPass();
  EXPECT_EQ(lib_.files.size(), 1u);
  clock_.Advance(3600000 - 2000);
  core_->RunMonitorPass();
  EXPECT_EQ(lib_.files.size(), 2u);
}

TEST_F(ScheduleMonitorTest, ScheduleEndDisconnectsWithoutSplitting) {
  StartCore();
  BringUpScheduled();
  const nvr::ClientHandle h = Entry(1).client;
  clock_.Advance(3600000);  // a split is due too
  SetLocal(2015, 3, 9, 17, 1, 0);
  core_->RunMonitorPass();
  EXPECT_EQ(Entry(1).client, 0u);
  EXPECT_FALSE(lib_.clients[h].running);
  EXPECT_EQ(lib_.files.size(), 1u);
  core_->RunMonitorPass();  // out of schedule without a client: nothing
  EXPECT_EQ(lib_.clients.size(), 1u);
}

TEST_F(ScheduleMonitorTest, DeletedScheduleStopsRecordingButKeepsTheConnection) {
  StartCore();
  BringUpScheduled();
  const nvr::ClientHandle h = Entry(1).client;
  core_->ScheduleDeleted(kOffice);
  EXPECT_FALSE(Entry(1).recording);
  EXPECT_EQ(Entry(1).client, h);
  EXPECT_TRUE(lib_.clients[h].recording.empty());
  EXPECT_EQ(core_->Rows()[0].schedule_name, "");
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("Yard", &rows));
  EXPECT_EQ(rows[0].schedule_id, 0);
  SetLocal(2015, 3, 9, 20, 0, 0);
  core_->RunMonitorPass();  // manual now: the end of the old slot does not disconnect it
  EXPECT_EQ(Entry(1).client, h);
}

TEST_F(ScheduleMonitorTest, StaleRequestsDoNothing) {
  StartCore();
  core_->RunMonitorPass();
  const nvr::ClientHandle h = Entry(1).client;
  // The same requests once more, after the state moved on.
  core_->HandleMonitorActions({{nvr::MonitorRequest::kConnect, 1},
                               {nvr::MonitorRequest::kStartRecord, 1},
                               {nvr::MonitorRequest::kSplit, 1},
                               {nvr::MonitorRequest::kDisconnect, 2},
                               {nvr::MonitorRequest::kConnect, 77}});
  EXPECT_EQ(Entry(1).client, h);
  EXPECT_EQ(lib_.clients.size(), 1u);
  EXPECT_TRUE(lib_.files.empty());  // not connected yet
}

TEST_F(ScheduleMonitorTest, DisksFullStopsTheMonitor) {
  settings_.disk_full_policy = 0;  // full disks stop the recording
  StartCore();
  FillDisks(true);
  ASSERT_TRUE(core_->DisksFull());
  core_->RunMonitorPass();
  EXPECT_EQ(Entry(1).client, 0u);
  FillDisks(false);
  core_->RunMonitorPass();
  EXPECT_NE(Entry(1).client, 0u);
}

// The thread over a state of its own: one scheduled device in its slot.
TEST_F(ScheduleMonitorTest, MonitorThreadQueuesItsRequests) {
  nvr::RecorderState state;
  {
    nvr::DeviceLock lock = state.devices.Lock();
    state.devices.Append(Device("Yard", "127.0.0.2", 0, kOffice));  // id 1
  }
  state.schedules = nvr::ReadSchedules(nvr::ScheduleDatPath(home_));
  std::mutex mutex;
  std::vector<std::vector<nvr::MonitorAction>> batches;
  nvr::ScheduleMonitor monitor(state, [this] { return local_; }, [&](std::vector<nvr::MonitorAction> batch) {
    std::lock_guard<std::mutex> guard(mutex);
    batches.push_back(std::move(batch));
    return true;
  });
  ASSERT_EQ(monitor.Begin(), qvp::JThread::kStarted);
  const bool asked = qvtest::PollUntil([&] {  // the first pass comes after 600 ms
    std::lock_guard<std::mutex> guard(mutex);
    return !batches.empty();
  });
  monitor.Stop();
  monitor.Join();
  EXPECT_TRUE(monitor.Ended());
  ASSERT_TRUE(asked);
  // No repeat while the first batch was not handled.
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0], (std::vector<nvr::MonitorAction>{{nvr::MonitorRequest::kConnect, 1}}));
}

}  // namespace
