// The log viewer's model: rows between two moments with both ends included, which codes each
// view lists and with what text, a table that cannot be read, and the row limit it stores.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "nvr/dialogs/model/log_viewer.h"
#include "nvr/dialogs/model/settings_apply.h"
#include "tests/core/engine_fixture.h"

namespace {

using nvrdlg::LogKind;

class LogViewerTest : public coretest::EngineTest {
 protected:
  std::tm At(int hour, int minute, int second) {
    std::tm t = local_;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
  }
  std::vector<std::string> Texts(LogKind kind, int sub_type) {
    const nvrdlg::LogResult r = nvrdlg::QueryLog(db_, kind, sub_type, At(0, 0, 0), At(23, 59, 59),
                                                 nvr::Language::kEnglish);
    EXPECT_TRUE(r.ok) << r.message;
    std::vector<std::string> texts;
    for (const nvrdlg::LogRow& row : r.rows) texts.push_back(row.who + " " + row.text);
    return texts;
  }
};

TEST_F(LogViewerTest, RowsBetweenTwoMomentsBothIncluded) {
  ASSERT_TRUE(db_.AddOperationLog({"2015-03-09", "00:00:00", nvr::kOpLogIn, "admin"}));
  ASSERT_TRUE(db_.AddOperationLog({"2015-03-09", "23:59:59", 99, "guard"}));
  ASSERT_TRUE(db_.AddOperationLog({"2015-03-10", "00:00:00", nvr::kOpLock, "admin"}));
  EXPECT_EQ(nvrdlg::LogMoment(At(23, 59, 59)), "2015-03-09 23:59:59");
  EXPECT_EQ(nvrdlg::LogMoment(nvrdlg::DefaultLogStart(local_)), "2015-03-09 00:00:00");

  nvrdlg::LogResult r = nvrdlg::QueryLog(db_, LogKind::kOperation, 0, At(0, 0, 0), At(23, 59, 59),
                                         nvr::Language::kEnglish);
  ASSERT_EQ(r.rows.size(), 2u);
  EXPECT_EQ(r.rows[0].number, "1");
  EXPECT_EQ(r.rows[0].date, "2015-03-09");
  EXPECT_EQ(r.rows[0].time, "00:00:00");
  EXPECT_EQ(r.rows[0].who, "admin");
  EXPECT_EQ(r.rows[0].text, "Log in");
  EXPECT_EQ(r.rows[1].number, "2");
  EXPECT_EQ(r.rows[1].text, "");  // a code without text is listed all the same
  r = nvrdlg::QueryLog(db_, LogKind::kOperation, 0, At(0, 0, 0), At(23, 59, 58), nvr::Language::kChinese);
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0].text, "登录");
}

TEST_F(LogViewerTest, EachViewListsItsCodes) {
  for (int32_t code = 0; code <= 9; ++code) {
    ASSERT_TRUE(db_.AddRecordLog({"2015-03-09", "10:00:00", code, "Cam" + std::to_string(code)}));
  }
  using V = std::vector<std::string>;
  EXPECT_EQ(Texts(LogKind::kRecording, 0),
            (V{"Cam0 Recording started", "Cam1 Recording stopped", "Cam2 Recording stopped: all disks full"}));
  EXPECT_EQ(Texts(LogKind::kRecording, 1), (V{"Cam3 Recording started", "Cam4 Recording stopped"}));
  EXPECT_EQ(Texts(LogKind::kAlarm, 0), (V{"Cam7 Motion detected", "Cam8 Motion ended"}));
  EXPECT_EQ(Texts(LogKind::kAlarm, 1), (V{"Cam5 Alarm input on", "Cam6 Alarm input off"}));

  const nvrdlg::LogLayout ops = nvrdlg::LayoutOf(LogKind::kOperation);
  EXPECT_EQ(ops.label, nvr::kStrOperationType);
  EXPECT_EQ(ops.sub_types, std::vector<uint32_t>{nvr::kStrUserOperation});
  EXPECT_EQ(ops.columns[3].title, nvr::kStrOperator);
  const nvrdlg::LogLayout alarms = nvrdlg::LayoutOf(LogKind::kAlarm);
  EXPECT_EQ(alarms.label, nvr::kStrAlarmType);
  EXPECT_EQ(alarms.columns[3].title, nvr::kStrDevice);
  EXPECT_EQ(alarms.sub_types.size(), 2u);
  // Every text the views can show has both languages.
  for (const LogKind kind : {LogKind::kOperation, LogKind::kRecording, LogKind::kAlarm}) {
    const nvrdlg::LogLayout l = nvrdlg::LayoutOf(kind);
    std::vector<uint32_t> ids = l.sub_types;
    ids.push_back(l.label);
    for (const nvrdlg::LogColumn& c : l.columns) ids.push_back(c.title);
    for (int sub = 0; sub < static_cast<int>(l.sub_types.size()); ++sub) {
      for (int32_t code = 0; code <= 30; ++code) {
        const auto text = nvrdlg::CodeTextId(kind, sub, code);
        if (text && *text != 0) ids.push_back(*text);
      }
    }
    for (const uint32_t id : ids) {
      EXPECT_STRNE(nvr::LoadString(id, nvr::Language::kEnglish), "") << id;
      EXPECT_STRNE(nvr::LoadString(id, nvr::Language::kChinese), "") << id;
    }
  }
}

TEST_F(LogViewerTest, AnUnreadableTableAndTheRowLimit) {
  StartCore();
  ASSERT_EQ(nvr::DbExecute(conn_, "DROP TABLE RECORD_LOG"), 1);
  const nvrdlg::LogResult r = nvrdlg::QueryLog(db_, LogKind::kAlarm, 0, At(0, 0, 0), At(23, 59, 59),
                                               nvr::Language::kEnglish);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.rows.empty());
  EXPECT_EQ(r.message, "Read database failed");

  EXPECT_EQ(nvrdlg::LiveLogRowIndex(1000), 1);
  EXPECT_EQ(nvrdlg::LiveLogRowIndex(0), 0);
  EXPECT_EQ(nvrdlg::LiveLogRowsOf(1), 1000);
  EXPECT_EQ(nvrdlg::ApplyLiveLogRows(*core_, nvrdlg::LiveLogRowsOf(1), nvr::Language::kEnglish), "");
  const std::string local = ReadText(nvr::LocalDatPath(home_));
  ASSERT_EQ(local.size(), 1052u);
  int32_t rows = 0;
  std::memcpy(&rows, local.data() + 1032, 4);
  EXPECT_EQ(rows, 1000);
  EXPECT_EQ(core_->Settings().live_log_rows, 1000);
}

}  // namespace
