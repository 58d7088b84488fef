#include "nvr/core/engine/activity_log.h"

#include <ctime>

#include "nvr/core/engine/recording_manager.h"

namespace nvr {
namespace {

constexpr uint32_t kEventWindowMs = 60000;

std::string Format(const std::tm& local, const char* format) {
  char buf[32];
  if (std::strftime(buf, sizeof buf, format, &local) == 0) return std::string();
  return buf;
}

}  // namespace

void ActivityLog::Attach(RecorderDb* db, LocalTimeSource local_time) {
  db_ = db;
  local_time_ = std::move(local_time);
}

bool ActivityLog::Operation(OperationCode code) { return Insert(true, code, operator_); }

bool ActivityLog::Record(const std::string& device, RecordCode code) {
  return Insert(false, code, device);
}

void ActivityLog::RecordingStarted(const DeviceEntry& entry) {
  Record(entry.name, entry.IsManual() ? kRecManualStarted : kRecScheduleStarted);
}

void ActivityLog::RecordingStopped(const DeviceEntry& entry) {
  Record(entry.name, entry.IsManual() ? kRecManualStopped : kRecScheduleStopped);
}

void ActivityLog::RecordingStoppedDisksFull(const DeviceEntry& entry) {
  // The recording view of scheduled devices lists codes 3 and 4 only.
  Record(entry.name, entry.IsManual() ? kRecManualDisksFull : kRecScheduleStopped);
}

void ActivityLog::Motion(DeviceEntry& entry, int32_t mask, uint32_t now) {
  const bool was = entry.motion_mask != 0;
  entry.motion_mask = mask;
  if (was == (mask != 0) || !EventAllowed(entry.id, now)) return;
  Record(entry.name, mask != 0 ? kRecMotionStarted : kRecMotionEnded);
}

void ActivityLog::Alarm(DeviceEntry& entry, int32_t value, uint32_t now) {
  const bool was = entry.alarm_value != 0;
  entry.alarm_value = value;
  if (was == (value != 0) || !EventAllowed(entry.id, now)) return;
  Record(entry.name, value != 0 ? kRecAlarmOn : kRecAlarmOff);
}

bool ActivityLog::EventAllowed(int32_t device_id, uint32_t now) {
  Budget& b = budgets_[device_id];
  if (b.used == 0 || now - b.window_start >= kEventWindowMs) {
    b.window_start = now;
    b.used = 0;
  }
  if (b.used >= kMaxEventRowsPerMinute) return false;
  ++b.used;
  return true;
}

bool ActivityLog::Insert(bool operation, int32_t type, const std::string& who) {
  if (db_ == nullptr) return false;
  const std::tm local = local_time_ ? local_time_() : CurrentLocalTime();
  const LogRecord row{Format(local, "%Y-%m-%d"), Format(local, "%H:%M:%S"), type, who};
  const bool ok = operation ? db_->AddOperationLog(row) : db_->AddRecordLog(row);
  if (!ok && !failing_) {
    WriteLog("cannot write a row of %s (code %d)", operation ? "OPERATE_LOG" : "RECORD_LOG", type);
  }
  failing_ = !ok;
  return ok;
}

}  // namespace nvr
