// The rows of the two log tables that the log viewer lists: OPERATE_LOG for what a person did
// at the recorder (who, when, what), RECORD_LOG for recordings that began and ended and for the
// cameras' motion and alarm reports (which device, when, what).
//
// The codes are the viewer's: operations 10..28, recordings 0..4 (0..2 of devices operated by
// hand, 3..4 of devices on a schedule), alarms 5..6 and motion 7..8. A recording is logged once
// per stretch of recording: a split, a move to another drive or a reconnect continues it and
// writes nothing. Motion and alarm reports are logged when they change (motion begins or ends,
// an alarm input goes on or off), at most kMaxEventRowsPerMinute a minute per device, so a
// camera that repeats or floods its reports cannot fill the table.
//
// A row that cannot be written is not an error of the operation it records: the operation
// stands, and the first failure after a success goes to the text log.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "nvr/core/engine/device_entry.h"
#include "nvr/core/store/recorder_db.h"
#include "nvr/core/store/text_log.h"

namespace nvr {

enum OperationCode : int32_t {
  kOpLogIn = 10,
  kOpLogOut = 11,  // the logout that ends the program
  kOpLock = 12,
  kOpUnlock = 13,
  kOpChangePassword = 14,
  kOpConnect = 15,
  kOpDisconnect = 16,
  kOpRecord = 17,
  kOpStopRecord = 18,
  kOpConnectAll = 19,
  kOpDisconnectAll = 20,
  kOpRecordAll = 21,
  kOpStopAll = 22,
  kOpAddDevice = 23,  // by hand or found by discovery
  kOpModifyDevice = 24,
  kOpDeleteDevice = 25,
  kOpDeleteAll = 26,
  kOpChangeSchedules = 27,  // a schedule added, changed or deleted
  kOpChangeSettings = 28,   // system settings or the live-log row limit
};

enum RecordCode : int32_t {
  kRecManualStarted = 0,
  kRecManualStopped = 1,
  kRecManualDisksFull = 2,    // stopped because every drive is full
  kRecScheduleStarted = 3,
  kRecScheduleStopped = 4,    // whatever the reason, a full disk included
  kRecAlarmOn = 5,
  kRecAlarmOff = 6,
  kRecMotionStarted = 7,
  kRecMotionEnded = 8,
};

inline constexpr int kMaxEventRowsPerMinute = 30;

class ActivityLog {
 public:
  // Without a database nothing is written (parts of the core tested on their own).
  ActivityLog() = default;
  void Attach(RecorderDb* db, LocalTimeSource local_time);

  // The user the operations are written for (after a login); "" until then.
  void SetOperator(std::string user) { operator_ = std::move(user); }
  const std::string& Operator() const { return operator_; }

  bool Operation(OperationCode code);
  bool Record(const std::string& device, RecordCode code);

  // A recording of `entry` began or ended (stopped, or its client stopped).
  void RecordingStarted(const DeviceEntry& entry);
  void RecordingStopped(const DeviceEntry& entry);
  void RecordingStoppedDisksFull(const DeviceEntry& entry);

  // A motion report (bit mask of the regions, 0 = no motion) or an alarm report (0 = off) of
  // the device's camera at tick `now`. The last report is kept in the entry.
  void Motion(DeviceEntry& entry, int32_t mask, uint32_t now);
  void Alarm(DeviceEntry& entry, int32_t value, uint32_t now);

 private:
  bool Insert(bool operation, int32_t type, const std::string& who);
  bool EventAllowed(int32_t device_id, uint32_t now);

  struct Budget {
    uint32_t window_start = 0;
    int used = 0;
  };

  RecorderDb* db_ = nullptr;
  LocalTimeSource local_time_;
  std::string operator_;
  bool failing_ = false;
  std::map<int32_t, Budget> budgets_;  // per device id
};

}  // namespace nvr
