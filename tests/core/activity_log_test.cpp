// What the recorder writes into its log tables: a row per user operation, per recording that
// begins and ends (not per file), and per change of a camera's motion or alarm report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvr/core/engine/activity_log.h"
#include "tests/core/engine_fixture.h"

namespace {

constexpr int32_t kAlways = 7;

class ActivityLogTest : public coretest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1"));          // id 1, by hand
    Store(Device("Yard", "127.0.0.2", 0, kAlways));  // id 2, on a schedule
    nvr::ScheduleRecord always{};
    always.id = kAlways;
    always.day_code[0] = 10;
    always.end[0] = 2359;
    std::snprintf(always.name, sizeof always.name, "Always");
    ASSERT_TRUE(nvr::WriteSchedules(nvr::ScheduleDatPath(home_), {always}));
  }
  // "who code" of every row of a table.
  std::vector<std::string> Rows(bool operations) {
    std::vector<nvr::LogRecord> rows;
    const bool ok = operations ? db_.OperationLog("0000", "9999", &rows) : db_.RecordLog("0000", "9999", &rows);
    EXPECT_TRUE(ok);
    std::vector<std::string> out;
    for (const nvr::LogRecord& r : rows) out.push_back(r.who + " " + std::to_string(r.type));
    return out;
  }
  void Event(int32_t id, uint32_t code, int32_t value) {
    ASSERT_TRUE(qvp::PostWindowMessage(lib_.clients.at(Entry(id).client).params.notify_window,
                                       nvr::kClientMessageBase + static_cast<uint32_t>(id), code, value));
    Pump();
  }
  using V = std::vector<std::string>;
};

TEST_F(ActivityLogTest, CommandsThatActAreOperationRowsOfTheUser) {
  StartCore();
  core_->SetOperator("guard");
  ASSERT_TRUE(core_->Connect(1).done);
  EXPECT_FALSE(core_->Connect(2).done);  // scheduled: refused, no row
  core_->LogOperation(nvr::kOpLock);
  ASSERT_TRUE(core_->DeleteDevice(1).done);
  const std::vector<nvr::LogRecord> rows = [&] {
    std::vector<nvr::LogRecord> r;
    EXPECT_TRUE(db_.OperationLog("2015-03-09 10:00:30", "2015-03-09 10:00:30", &r));
    return r;
  }();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].date, "2015-03-09");
  EXPECT_EQ(rows[0].time, "10:00:30");
  EXPECT_EQ(Rows(true), (V{"guard 15", "guard 12", "guard 25"}));
}

TEST_F(ActivityLogTest, ARecordingIsOneStartAndOneStopWhateverItsFiles) {
  settings_.split_minutes = 1;
  settings_.disk_full_policy = 0;  // stop recording when every drive is full
  StartCore();
  ASSERT_TRUE(core_->Connect(1).done);
  Connected(1);
  ASSERT_TRUE(core_->Record(1).done);
  clock_.Advance(61000);
  core_->RunMonitorPass();  // a split: a new file, the same recording
  Pump();
  EXPECT_EQ(lib_.files.size(), 2u);
  Report(1, nvr::kClientReconnecting);
  Connected(1);             // back after a loss: a new file again
  EXPECT_EQ(lib_.files.size(), 3u);
  ASSERT_TRUE(core_->StopRecord(1).done);
  EXPECT_EQ(Rows(false), (V{"Gate 0", "Gate 1"}));

  // The scheduled device: connected and recorded by the monitor, stopped with its client.
  core_->RunMonitorPass();
  Pump();
  Connected(2);
  core_->RunMonitorPass();
  Pump();
  ASSERT_TRUE(Entry(2).recording);
  ASSERT_TRUE(core_->Record(1).done);
  FillDisks(true);          // every recording ends
  ASSERT_TRUE(core_->DeleteDevice(2).done);
  EXPECT_EQ(Rows(false), (V{"Gate 0", "Gate 1", "Yard 3", "Gate 0", "Gate 2", "Yard 4"}));
}

TEST_F(ActivityLogTest, MotionAndAlarmRowsMarkChangesAndAreBounded) {
  StartCore();
  ASSERT_TRUE(core_->Connect(1).done);
  Connected(1);
  Event(1, nvr::kNotifyMotion, 0x5);
  Event(1, nvr::kNotifyMotion, 0x3);   // still motion
  Event(1, nvr::kNotifyMotion, 0);
  Event(1, nvr::kNotifyAlarm, 1);
  Event(1, nvr::kNotifyAlarm, 0);
  EXPECT_EQ(Rows(false), (V{"Gate 7", "Gate 8", "Gate 5", "Gate 6"}));

  for (int i = 0; i < 100; ++i) Event(1, nvr::kNotifyMotion, i % 2);  // a flood
  EXPECT_EQ(Rows(false).size(), static_cast<size_t>(nvr::kMaxEventRowsPerMinute));
  clock_.Advance(60000);
  Event(1, nvr::kNotifyMotion, 0);  // the flood ended on motion; this ends it
  EXPECT_EQ(Rows(false).size(), static_cast<size_t>(nvr::kMaxEventRowsPerMinute) + 1);
}

TEST_F(ActivityLogTest, ARowThatCannotBeWrittenLeavesTheOperationStanding) {
  StartCore();
  ASSERT_EQ(nvr::DbExecute(conn_, "DROP TABLE OPERATE_LOG"), 1);
  EXPECT_TRUE(core_->Connect(1).done);
  EXPECT_TRUE(core_->Disconnect(1).done);
  const std::string log = Log();
  EXPECT_NE(log.find("cannot write a row of OPERATE_LOG (code 15)"), std::string::npos) << log;
  EXPECT_EQ(log.find("(code 16)"), std::string::npos) << "reported once, not per row";
}

}  // namespace
