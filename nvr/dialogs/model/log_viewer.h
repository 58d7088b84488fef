// The log viewer without its widgets: the three views (operation, recording and alarm log)
// with their sub-type lists and columns, the query of the rows between two moments (both
// included), the text of each row's code, and the live-log row limit it stores.
//
// Which codes each view lists, and their texts (string numbers):
//
//   operation log  one sub-type (253)     every row; 10 -> 219, 11..28 -> 221..238, other codes
//                                          listed with an empty text
//   recording log  0 "Manual" (1401)      0 -> 239, 1 -> 240, 2 -> 243
//                  1 "Schedule" (241)     3 -> 239, 4 -> 242
//   alarm log      0 "Motion" (1402)      7 -> 245, 8 -> 246
//                  1 "Alarm input" (248)  5 -> 244, 6 -> 247
//
// Columns: 103 "ID" (running number), 218 "Date", 102 "Time", 104 "Operator" (operation log)
// or 118 "Device", 249 "Event". The codes are those the recorder writes (activity_log.h).
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/engine/strings.h"
#include "nvr/core/store/recorder_db.h"

namespace nvrdlg {

enum class LogKind { kOperation = 0, kRecording = 1, kAlarm = 2 };

struct LogColumn {
  uint32_t title = 0;  // string number
  int width = 0;
};

struct LogLayout {
  uint32_t label = 0;               // the sub-type list's label (254, 255, 256)
  std::vector<uint32_t> sub_types;  // the sub-type list's items
  std::array<LogColumn, 5> columns;
};

LogLayout LayoutOf(LogKind kind);

// The text number of `code` in a view: nullopt when the view does not list the row, 0 for a
// listed row without text.
std::optional<uint32_t> CodeTextId(LogKind kind, int sub_type, int32_t code);

struct LogRow {
  std::string number;  // from 1
  std::string date;    // LOG_DATE as stored, "YYYY-MM-DD"
  std::string time;    // LOG_TIME, "HH:MM:SS"
  std::string who;     // operator or device
  std::string text;    // the code's text
};

struct LogResult {
  bool ok = false;
  std::vector<LogRow> rows;
  std::string message;  // 114 when the table cannot be read (the list stays empty)
};

// "%Y-%m-%d %H:%M:%S" of a moment, as the query compares it.
std::string LogMoment(const std::tm& moment);

// The rows of the view's table from `start` to `end` (both included), in table order.
LogResult QueryLog(nvr::RecorderDb& db, LogKind kind, int sub_type, const std::tm& start,
                   const std::tm& end, nvr::Language language);

// The pickers' defaults when the viewer opens at `now`: today from midnight to now.
std::tm DefaultLogStart(const std::tm& now);

// The live-log row limit list: "500", "1000". The item of a saved limit (the first for any
// other value), and the limit of an item.
inline constexpr std::array<int32_t, 2> kLiveLogRowItems = {500, 1000};
int LiveLogRowIndex(int32_t saved);
int32_t LiveLogRowsOf(int index);

// The retention list ("keep for ever", 7, 30, 60, 185, 365 days); shown, not acted on.
inline constexpr std::array<int32_t, 6> kRetentionDayItems = {0, 7, 30, 60, 185, 365};

}  // namespace nvrdlg
