#include "nvr/dialogs/model/schedule_editor.h"

#include <cstring>

#include "nvr/core/engine/activity_log.h"
#include "nvr/core/engine/strings.h"
#include "nvr/core/store/atomic_file.h"
#include "nvr/dialogs/model/dialog_texts.h"
#include "nvr/dialogs/model/entry_checks.h"
#include "platform/tick_clock.h"

namespace nvrdlg {
namespace {

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

bool RowsInRange(const SlotRows& rows) {
  for (const SlotRow& r : rows) {
    if (!InRange(r.day_code, 0, kMaxDayCode) || !InRange(r.start_hour, 0, 23) ||
        !InRange(r.end_hour, 0, 23) || !InRange(r.start_minute, 0, 59) || !InRange(r.end_minute, 0, 59)) {
      return false;
    }
  }
  return true;
}

std::vector<SlotInput> SlotsOf(const SlotRows& rows) {
  std::vector<SlotInput> slots;
  for (const SlotRow& r : rows) {
    slots.push_back({r.day_code, r.start_hour * 100 + r.start_minute, r.end_hour * 100 + r.end_minute});
  }
  return slots;
}

SlotRows RowsOf(const nvr::ScheduleRecord& s) {
  SlotRows rows{};
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i] = {s.day_code[i], s.start[i] / 100, s.start[i] % 100, s.end[i] / 100, s.end[i] % 100};
  }
  return rows;
}

EditorOutcome Refused(std::string message) {
  EditorOutcome out;
  out.message = std::move(message);
  return out;
}

}  // namespace

ScheduleEditor::ScheduleEditor(nvr::RecorderCore& core, std::string schedule_path,
                               nvr::Language language)
    : core_(core),
      path_(std::move(schedule_path)),
      language_(language),
      caption_(Text(nvr::kStrScheduleCaption, language)) {}

std::vector<std::string> ScheduleEditor::Names() const {
  std::vector<std::string> names;
  for (const nvr::ScheduleRecord& s : core_.Schedules()) names.push_back(ScheduleRecordName(s));
  return names;
}

std::optional<ScheduleEditor::Picked> ScheduleEditor::Pick(int row) {
  picked_row_ = -1;
  picked_id_ = 0;
  picked_name_.clear();
  const std::vector<nvr::ScheduleRecord> schedules = core_.Schedules();
  if (row < 0 || static_cast<size_t>(row) >= schedules.size()) return std::nullopt;
  const nvr::ScheduleRecord& s = schedules[static_cast<size_t>(row)];
  picked_row_ = row;
  picked_id_ = s.id;
  picked_name_ = ScheduleRecordName(s);
  return Picked{picked_name_, RowsOf(s)};
}

EditorOutcome ScheduleEditor::Add(std::string name, const SlotRows& rows) {
  std::vector<nvr::ScheduleRecord> schedules = core_.Schedules();
  const std::vector<SlotInput> slots = SlotsOf(rows);
  if (const Refusal r = CheckNewSchedule(&name, slots, schedules, language_)) return Refused(*r);
  if (!RowsInRange(rows)) return Refused(Text(nvr::kStrTimeSettingError, language_));
  schedules.push_back(MakeSchedule(NewScheduleId(qvp::TickCount(), schedules), name, slots));
  core_.SetSchedules(std::move(schedules));
  return Store(nvr::kStrScheduleAdded);
}

EditorOutcome ScheduleEditor::Edit(std::string name, const SlotRows& rows) {
  if (picked_row_ < 0) return EditorOutcome{};
  std::vector<nvr::ScheduleRecord> schedules = core_.Schedules();
  const std::vector<SlotInput> slots = SlotsOf(rows);
  if (const Refusal r = CheckScheduleFields(&name, picked_name_, slots, schedules, language_)) {
    return Refused(*r);
  }
  if (!RowsInRange(rows)) return Refused(Text(nvr::kStrTimeSettingError, language_));
  const bool renamed = name != picked_name_;
  bool found = false;
  for (nvr::ScheduleRecord& s : schedules) {
    if (s.id != picked_id_) continue;
    s = MakeSchedule(s.id, name, slots);
    found = true;
    break;
  }
  if (!found) return EditorOutcome{};
  core_.SetSchedules(std::move(schedules));
  picked_name_ = name;
  // The devices on it show the new name.
  if (renamed) core_.ScheduleChanged(picked_id_);
  return Store(nvr::kStrScheduleSaved);
}

std::string ScheduleEditor::DeleteQuestion() const {
  if (picked_row_ < 0) return std::string();
  return TextWith(nvr::kStrConfirmDeleteSchedule, language_, picked_name_);
}

EditorOutcome ScheduleEditor::Delete() {
  if (picked_row_ < 0) return EditorOutcome{};
  const int32_t id = picked_id_;
  // The devices first (the core takes the device lock, then the schedule lock), then the
  // schedule itself.
  core_.ScheduleDeleted(id);
  std::vector<nvr::ScheduleRecord> schedules = core_.Schedules();
  std::erase_if(schedules, [id](const nvr::ScheduleRecord& s) { return s.id == id; });
  core_.SetSchedules(std::move(schedules));
  picked_row_ = -1;
  picked_id_ = 0;
  picked_name_.clear();
  return Store(nvr::kStrScheduleDeleted);
}

EditorOutcome ScheduleEditor::Store(uint32_t success) {
  core_.LogOperation(nvr::kOpChangeSchedules);
  EditorOutcome out;
  out.done = true;
  const int err = nvr::WriteFileAtomically(path_, nvr::EncodeSchedules(core_.Schedules()), 0644);
  if (err != 0) {
    out.message = TextWith(nvr::kStrSchedulesNotSaved, language_, path_ + ": " + std::strerror(err));
    return out;
  }
  caption_ = Text(success, language_);
  out.caption = caption_;
  return out;
}

}  // namespace nvrdlg
