#include "nvr/dialogs/model/log_viewer.h"

#include "nvr/core/engine/activity_log.h"
#include "nvr/dialogs/model/dialog_texts.h"

namespace nvrdlg {
namespace {

struct CodeText {
  int32_t code;
  uint32_t text;
};

// The recording and alarm views, by sub-type.
constexpr CodeText kManualRecording[] = {{nvr::kRecManualStarted, nvr::kStrRecordingStarted},
                                         {nvr::kRecManualStopped, nvr::kStrRecordingStopped},
                                         {nvr::kRecManualDisksFull, nvr::kStrRecordingDisksFull}};
constexpr CodeText kScheduleRecording[] = {{nvr::kRecScheduleStarted, nvr::kStrRecordingStarted},
                                           {nvr::kRecScheduleStopped, nvr::kStrScheduleRecordingStopped}};
constexpr CodeText kMotion[] = {{nvr::kRecMotionStarted, nvr::kStrMotionStarted},
                                {nvr::kRecMotionEnded, nvr::kStrMotionEnded}};
constexpr CodeText kAlarmInput[] = {{nvr::kRecAlarmOn, nvr::kStrAlarmOn},
                                    {nvr::kRecAlarmOff, nvr::kStrAlarmOff}};

template <size_t N>
std::optional<uint32_t> Find(const CodeText (&table)[N], int32_t code) {
  for (const CodeText& c : table) {
    if (c.code == code) return c.text;
  }
  return std::nullopt;
}

uint32_t OperationText(int32_t code) {
  if (code == nvr::kOpLogIn) return nvr::kStrOpLogIn;
  if (code > nvr::kOpLogIn && code <= nvr::kOpChangeSettings) {
    return nvr::kStrOpFirstAfterLogIn + static_cast<uint32_t>(code - nvr::kOpLogOut);
  }
  return 0;
}

}  // namespace

LogLayout LayoutOf(LogKind kind) {
  LogLayout layout;
  const bool operations = kind == LogKind::kOperation;
  layout.columns = {LogColumn{nvr::kStrId, 50}, LogColumn{nvr::kStrLogDate, 100},
                    LogColumn{nvr::kStrTime, 100},
                    LogColumn{operations ? nvr::kStrOperator : nvr::kStrDevice, 100},
                    LogColumn{nvr::kStrLogEvent, 312}};
  switch (kind) {
    case LogKind::kOperation:
      layout.label = nvr::kStrOperationType;
      layout.sub_types = {nvr::kStrUserOperation};
      break;
    case LogKind::kRecording:
      layout.label = nvr::kStrRecordType;
      layout.sub_types = {nvr::kStrManualRecording, nvr::kStrScheduleRecording};
      break;
    case LogKind::kAlarm:
      layout.label = nvr::kStrAlarmType;
      layout.sub_types = {nvr::kStrMotionDetection, nvr::kStrAlarmInput};
      break;
  }
  return layout;
}

std::optional<uint32_t> CodeTextId(LogKind kind, int sub_type, int32_t code) {
  switch (kind) {
    case LogKind::kOperation: return OperationText(code);
    case LogKind::kRecording:
      return sub_type == 0 ? Find(kManualRecording, code) : Find(kScheduleRecording, code);
    case LogKind::kAlarm: return sub_type == 0 ? Find(kMotion, code) : Find(kAlarmInput, code);
  }
  return std::nullopt;
}

std::string LogMoment(const std::tm& moment) {
  char buf[32];
  if (std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &moment) == 0) return std::string();
  return buf;
}

LogResult QueryLog(nvr::RecorderDb& db, LogKind kind, int sub_type, const std::tm& start,
                   const std::tm& end, nvr::Language language) {
  LogResult result;
  std::vector<nvr::LogRecord> records;
  const std::string from = LogMoment(start);
  const std::string to = LogMoment(end);
  const bool read = kind == LogKind::kOperation ? db.OperationLog(from, to, &records)
                                                : db.RecordLog(from, to, &records);
  if (!read) {
    result.message = Text(nvr::kStrReadDbFailedShort, language);
    return result;
  }
  result.ok = true;
  for (const nvr::LogRecord& r : records) {
    const std::optional<uint32_t> text = CodeTextId(kind, sub_type, r.type);
    if (!text) continue;
    result.rows.push_back(LogRow{std::to_string(result.rows.size() + 1), r.date, r.time, r.who,
                                 *text == 0 ? std::string() : Text(*text, language)});
  }
  return result;
}

std::tm DefaultLogStart(const std::tm& now) {
  std::tm start = now;
  start.tm_hour = 0;
  start.tm_min = 0;
  start.tm_sec = 0;
  return start;
}

int LiveLogRowIndex(int32_t saved) { return saved == kLiveLogRowItems[1] ? 1 : 0; }

int32_t LiveLogRowsOf(int index) {
  return index == 0 ? kLiveLogRowItems[0] : kLiveLogRowItems[1];
}

}  // namespace nvrdlg
