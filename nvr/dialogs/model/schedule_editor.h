// The schedule editor ("Recording Time Schedule") without its widgets: the list of schedules,
// the picked one, the seven day rows, and Add, Edit and Delete with their checks, their
// captions and what follows from them: the recorder core's schedules replaced, Schedule.dat
// rewritten, devices following a renamed schedule and detached from a deleted one.
//
// The schedules are the core's (RecorderCore::Schedules), in the order of the list and of the
// file. A new schedule gets a positive identifier no other schedule has (from the tick count).
// A schedule is found by the row picked and its identifier, never by its name.
//
// A Schedule.dat that cannot be written is reported in a box (and the caption does not claim
// success); the change stays in force in the running recorder.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/strings.h"

namespace nvrdlg {

// One of the seven rows: a day code (0 "CLOSE" .. 10 "EVERY DAY") and two clock times.
struct SlotRow {
  int32_t day_code = 0;
  int start_hour = 0;
  int start_minute = 0;
  int end_hour = 0;
  int end_minute = 0;
};
using SlotRows = std::array<SlotRow, 7>;

inline constexpr int32_t kMaxDayCode = 10;

struct EditorOutcome {
  bool done = false;    // the change is in force in the recorder
  std::string message;  // a box to show: a refusal, or Schedule.dat not written
  std::string caption;  // the new caption; "" keeps it
};

class ScheduleEditor {
 public:
  ScheduleEditor(nvr::RecorderCore& core, std::string schedule_path, nvr::Language language);

  std::string Caption() const { return caption_; }
  // The list: one name per schedule; the Index column shows position + 1.
  std::vector<std::string> Names() const;
  int picked() const { return picked_row_; }
  bool edit_enabled() const { return picked_row_ >= 0; }
  bool delete_enabled() const { return picked_row_ >= 0; }

  // A click on the list: `row` -1 (or a row that is not there) picks nothing. Returns the rows
  // to show for the picked schedule, nullopt when nothing is picked (the rows stay as they are).
  struct Picked {
    std::string name;
    SlotRows rows;
  };
  std::optional<Picked> Pick(int row);

  EditorOutcome Add(std::string name, const SlotRows& rows);
  EditorOutcome Edit(std::string name, const SlotRows& rows);
  // The question Delete asks first ("" when nothing is picked); Delete() runs after OK.
  std::string DeleteQuestion() const;
  EditorOutcome Delete();

 private:
  // Writes Schedule.dat and sets the caption to `success`, or returns the failure's box.
  EditorOutcome Store(uint32_t success);

  nvr::RecorderCore& core_;
  std::string path_;
  nvr::Language language_;
  std::string caption_;
  int picked_row_ = -1;
  int32_t picked_id_ = 0;
  std::string picked_name_;
};

}  // namespace nvrdlg
