// The normal and the alarm recording of one stream source, behind IRecord. Stream sources
// derive from it; their receive threads hand every unit to RecordUnit(), and the library
// exports map one-to-one onto the Client...Record() methods.
#pragma once

#include <functional>
#include <mutex>

#include "netclient/media/record/frame_unit.h"
#include "netclient/media/record/irecord.h"
#include "netclient/media/record/record_file.h"
#include "netclient/media/record/record_format.h"
#include "netclient/media/record/record_writer.h"

namespace qvnet {

class RecordPair : public IRecord {
 public:
  using Notify = std::function<void(int code)>;

  // `notify` receives the record notification codes 0-5; `factory` makes the files (empty:
  // POSIX files).
  explicit RecordPair(Notify notify, RecordFileFactory factory = {});
  virtual ~RecordPair();
  RecordPair(const RecordPair&) = delete;
  RecordPair& operator=(const RecordPair&) = delete;

  bool IsRecording() override;
  bool IsAlarmRecording() override;
  void LockRecord() override;
  void UnlockRecord() override;
  int WriteRecord(int stream, const uint8_t* data, size_t length) override;
  int AddIndex(uint32_t tick) override;
  int AddAlarmIndex(uint32_t tick) override;
  void LockAlarmRecord() override;
  void UnlockAlarmRecord() override;
  int WriteAlarmRecord(int stream, const uint8_t* data, size_t length) override;
  // Start with the path and limit stored by the last Client...Record() call.
  int StartRecord() override;
  int StopRecord() override;
  int StartAlarmRecord() override;
  int StopAlarmRecord() override;

  // Export rules: already running -> 1, nothing changes; null or empty path -> 0; otherwise
  // start with `limit_seconds` (0 or less: no limit) and return whether it runs.
  int ClientStartRecord(const char* path, int limit_seconds);
  // 1 in every case; stops the recording when it runs.
  int ClientStopRecord();
  int ClientStartAlarmRecord(const char* path, int limit_seconds);
  int ClientStopAlarmRecord();

  // Stops both recordings when they run (at a reconnection and when the source stops).
  void StopRecordings();

  // Records one received unit into the normal, then the alarm recording: nothing when one is
  // idle; past its time limit it is stopped (stop code, then limit code) and the unit is not
  // written; otherwise one whole frame record, preceded by an index entry at index points.
  void RecordUnit(const FrameUnit& unit);

  // Picture size, frame rate and codecs written into the header of files started from now on.
  void SetRecordHeader(const RecordHeader& header);
  RecordHeader CurrentRecordHeader() const;

  const RecordWriter& NormalWriter() const { return normal_; }
  const RecordWriter& AlarmWriter() const { return alarm_; }

 private:
  void RecordInto(RecordWriter& writer, const FrameUnit& unit, int limit_code);
  int ClientStart(RecordWriter& writer, const char* path, int limit_seconds);

  const Notify notify_;
  mutable std::mutex header_mutex_;
  RecordHeader header_;
  RecordWriter normal_;
  RecordWriter alarm_;
};

}  // namespace qvnet
