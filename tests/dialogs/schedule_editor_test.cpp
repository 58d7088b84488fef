// The schedule editor's model over a recorder core: Schedule.dat byte for byte, the checks of
// Add and Edit, devices following a renamed and a deleted schedule, and a file that cannot be
// written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "nvr/dialogs/model/schedule_editor.h"
#include "nvr/dialogs/model/text_fields.h"
#include "tests/core/engine_fixture.h"

namespace {

using nvrdlg::SlotRows;

constexpr int32_t kMonToFri = 8;
constexpr int32_t kMon = 2;

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

SlotRows FirstRow(int32_t day, int sh, int sm, int eh, int em) {
  SlotRows rows{};
  rows[0] = {day, sh, sm, eh, em};
  return rows;
}

class ScheduleEditorTest : public coretest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1"));
    StartCore();
    ASSERT_TRUE(start_.ok);
    editor_.emplace(*core_, nvr::ScheduleDatPath(home_), nvr::Language::kEnglish);
  }
  std::string File() { return ReadText(nvr::ScheduleDatPath(home_)); }
  void AddThree() {
    for (const char* name : {"A", "B", "C"}) {
      ASSERT_TRUE(editor_->Add(name, FirstRow(10, 0, 0, 23, 59)).done) << name;
    }
  }

  std::optional<nvrdlg::ScheduleEditor> editor_;
};

TEST_F(ScheduleEditorTest, AddWritesScheduleDatAndSaysSo) {
  EXPECT_EQ(editor_->Caption(), "Recording Time Schedule");
  const nvrdlg::EditorOutcome out = editor_->Add(" Day ", FirstRow(kMonToFri, 8, 0, 17, 0));
  ASSERT_TRUE(out.done) << out.message;
  EXPECT_EQ(out.message, "");
  EXPECT_EQ(out.caption, "A new schedule has been added");
  EXPECT_EQ(editor_->Names(), std::vector<std::string>{"Day"});
  const std::string file = File();
  ASSERT_EQ(file.size(), 124u);
  EXPECT_EQ(U32(file, 0), 1u);
  EXPECT_GT(static_cast<int32_t>(U32(file, 4)), 0);  // the id: positive
  EXPECT_EQ(U32(file, 8), 8u);
  EXPECT_EQ(U32(file, 12), 800u);
  EXPECT_EQ(U32(file, 16), 1700u);
  for (size_t at = 20; at < 92; at += 4) EXPECT_EQ(U32(file, at), 0u) << at;
  EXPECT_EQ(file.substr(92, 32), std::string("Day") + std::string(29, '\0'));
  ASSERT_EQ(core_->Schedules().size(), 1u);
  EXPECT_EQ(core_->Schedules()[0].id, static_cast<int32_t>(U32(file, 4)));
}

TEST_F(ScheduleEditorTest, AddAndEditChecksInOrder) {
  ASSERT_TRUE(editor_->Add("Day", FirstRow(kMonToFri, 8, 0, 17, 0)).done);
  ASSERT_TRUE(editor_->Add("Night", FirstRow(10, 20, 0, 23, 59)).done);
  struct Case {
    const char* name;
    SlotRows rows;
    const char* message;  // nullptr: added
  };
  const std::vector<Case> cases = {
      {"Day", FirstRow(10, 0, 0, 1, 0), "Duplicate schedule name.\nPlease specify a different schedule name!"},
      {"  ", FirstRow(10, 0, 0, 1, 0), "Please specify a schedule name!"},
      {"Late", FirstRow(kMon, 10, 0, 9, 0), "Time Setting error!"},
      {"Late", FirstRow(kMon, 10, 30, 10, 29), "Time Setting error!"},
      {"Late", FirstRow(kMon, 24, 0, 24, 30), "Time Setting error!"},
      {"Closed", FirstRow(0, 10, 0, 9, 0), nullptr},
      {"Same", FirstRow(kMon, 8, 30, 8, 30), nullptr},
  };
  for (const auto& c : cases) {
    const size_t before = core_->Schedules().size();
    const nvrdlg::EditorOutcome out = editor_->Add(c.name, c.rows);
    EXPECT_EQ(out.message, c.message != nullptr ? c.message : "") << c.name;
    EXPECT_EQ(core_->Schedules().size(), before + (c.message == nullptr ? 1 : 0)) << c.name;
  }
  // Edit needs a pick, and refuses another schedule's name.
  EXPECT_FALSE(editor_->Edit("Day", FirstRow(10, 0, 0, 1, 0)).done);
  ASSERT_TRUE(editor_->Pick(1).has_value());
  EXPECT_EQ(editor_->Edit("Day", FirstRow(10, 0, 0, 1, 0)).message, "name was existent already");
  const nvrdlg::EditorOutcome kept = editor_->Edit("Night", FirstRow(10, 21, 0, 22, 0));
  EXPECT_TRUE(kept.done);
  EXPECT_EQ(kept.caption, "The changes has been saved");
  EXPECT_EQ(editor_->Pick(1)->rows[0].start_hour, 21);
  EXPECT_FALSE(editor_->Pick(7).has_value());
  EXPECT_FALSE(editor_->edit_enabled());
}

TEST_F(ScheduleEditorTest, DevicesFollowARenameAndADelete) {
  AddThree();
  const int32_t b = core_->Schedules()[1].id;
  nvr::DeviceRecord gate = Device("Gate", "127.0.0.1");
  gate.schedule_id = b;
  core_->ModifyDevice(1, gate);
  ASSERT_TRUE(db_.SetScheduleId("Gate", b));
  core_->RunMonitorPass();  // the schedule covers every minute: connected
  Pump();
  const nvr::ClientHandle client = Entry(1).client;
  ASSERT_NE(client, 0u);

  ASSERT_TRUE(editor_->Pick(1).has_value());
  ASSERT_TRUE(editor_->Edit("Bravo", FirstRow(10, 0, 0, 23, 59)).done);
  EXPECT_EQ(core_->Rows()[0].schedule_name, "Bravo");

  ASSERT_EQ(editor_->Pick(1)->name, "Bravo");
  EXPECT_EQ(editor_->DeleteQuestion(), "Are you sure you want to delete schedule Bravo ?");
  const nvrdlg::EditorOutcome out = editor_->Delete();
  ASSERT_TRUE(out.done);
  EXPECT_EQ(out.caption, "The schedule has been deleted");
  EXPECT_EQ(editor_->Names(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(editor_->picked(), -1);
  EXPECT_FALSE(editor_->delete_enabled());
  const std::string file = File();
  ASSERT_EQ(file.size(), 4u + 2 * 120);
  EXPECT_EQ(file.substr(92, 1), "A");
  EXPECT_EQ(file.substr(212, 1), "C");
  EXPECT_EQ(core_->Rows()[0].schedule_name, "");
  EXPECT_EQ(Entry(1).client, client);  // detached, still connected
  std::vector<nvr::DeviceRecord> rows;
  ASSERT_TRUE(db_.DevicesByName("Gate", &rows));
  EXPECT_EQ(rows.at(0).schedule_id, 0);
}

TEST_F(ScheduleEditorTest, NamesFitTheirFieldAndAFailedWriteIsNoSuccess) {
  ASSERT_TRUE(editor_->Add(std::string(31, 'n'), FirstRow(10, 0, 0, 23, 59)).done);
  EXPECT_EQ(File()[4 + 119], '\0');
  std::string wide;
  for (int i = 0; i < 11; ++i) wide += "\xe6\x97\xa5";  // 日: 33 bytes
  const std::string fitted = nvrdlg::FitTextField(nvrdlg::TextField::kScheduleName, wide);
  EXPECT_EQ(fitted.size(), 30u);
  ASSERT_TRUE(editor_->Add(fitted, FirstRow(10, 0, 0, 23, 59)).done);
  EXPECT_EQ(editor_->Names().back(), fitted);
  EXPECT_FALSE(editor_->Add(wide, FirstRow(10, 0, 0, 23, 59)).done);  // unfitted: refused whole

  ASSERT_EQ(mkdir(Path("elsewhere").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(Path("elsewhere/Schedule.dat").c_str(), 0755), 0);  // a folder in its place
  nvrdlg::ScheduleEditor blocked(*core_, Path("elsewhere/Schedule.dat"), nvr::Language::kEnglish);
  const nvrdlg::EditorOutcome out = blocked.Add("Weekend", FirstRow(9, 0, 0, 23, 59));
  EXPECT_TRUE(out.done);  // in force in the running recorder
  EXPECT_EQ(out.message.rfind("The schedules could not be saved: " + Path("elsewhere/Schedule.dat") + ": ", 0), 0u)
      << out.message;
  EXPECT_EQ(out.caption, "");
  EXPECT_EQ(blocked.Caption(), "Recording Time Schedule");
  EXPECT_EQ(core_->Schedules().back().name, std::string("Weekend"));
}

}  // namespace
