// The writer interface every stream source implements: one normal and one alarm recording,
// each with its own lock, file and key-frame index. A receive thread writes one frame record
// per unit between Lock...() and Unlock...(), so records never interleave.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvnet {

// Codes sent with the record notification.
enum RecordNotifyCode : int {
  kRecordStarted = 0,
  kRecordStopped = 1,
  kAlarmRecordStarted = 2,
  kAlarmRecordStopped = 3,
  kRecordLimitReached = 4,
  kAlarmRecordLimitReached = 5,
};

// The virtual slots are declared in their fixed order (0 IsRecording ... 13 StopAlarmRecord).
// The destructor is protected and non-virtual so that it takes no slot: owners delete the
// concrete source, never an IRecord.
class IRecord {
 public:
  virtual bool IsRecording() = 0;
  virtual bool IsAlarmRecording() = 0;
  virtual void LockRecord() = 0;
  virtual void UnlockRecord() = 0;
  // Appends bytes to the normal file; `stream` is not used. The caller holds the lock.
  virtual int WriteRecord(int stream, const uint8_t* data, size_t length) = 0;
  // Adds an index entry at the current end of the normal recording. The caller holds the lock.
  virtual int AddIndex(uint32_t tick) = 0;
  virtual int AddAlarmIndex(uint32_t tick) = 0;
  virtual void LockAlarmRecord() = 0;
  virtual void UnlockAlarmRecord() = 0;
  virtual int WriteAlarmRecord(int stream, const uint8_t* data, size_t length) = 0;
  // 1 when the file was opened and its header written, else 0.
  virtual int StartRecord() = 0;
  virtual int StopRecord() = 0;
  virtual int StartAlarmRecord() = 0;
  virtual int StopAlarmRecord() = 0;

 protected:
  IRecord() = default;
  ~IRecord() = default;
  IRecord(const IRecord&) = default;
  IRecord& operator=(const IRecord&) = default;
};

}  // namespace qvnet
