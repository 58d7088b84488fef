// Starting, stopping and splitting recordings, and the names of the recording files:
//
//   <root of X>/QV_Record/Normal/<%Y-%m-%d>/<name>(<host>_<port>)_<channel+1>_<%Y_%m_%d_%H_%M_%S>.h264
//
// X is the current recording drive, the dates are the local time the file starts. The replay
// program finds recordings only by this layout.
//
// Device names and hosts come from the database and may hold any text. In a file name they
// are written with every '/', '\\', NUL and control character (below 0x20, and 0x7F) replaced by
// '_' and cut to kMaxNamePartBytes bytes at a UTF-8 character boundary. Since they are only the
// start of the file name, never a whole path component, a name such as "." or ".." cannot
// name a folder either: every recording stays inside its day folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "nvr/core/store/drives.h"
#include "nvr/core/engine/recorder_state.h"
#include "nvr/core/engine/recording_library.h"
#include "nvr/core/store/text_log.h"

namespace nvr {

// Keeps the whole file name within the 255 bytes a file system allows.
inline constexpr size_t kMaxNamePartBytes = 96;
// The longest path the recording library accepts for a recording (it refuses longer ones).
inline constexpr size_t kMaxRecordPathBytes = 511;
// A recording file of at most this many bytes holds its signature and header and no frame.
inline constexpr uint64_t kEmptyRecordingBytes = 39;
// Back-off of failed recording starts: the first retry after this, doubling up to the most.
inline constexpr uint32_t kFirstRetryMs = 1000;
inline constexpr uint32_t kMostRetryMs = 60000;

std::string SanitizeNamePart(std::string_view text);
// The day folder "<record root>/%Y-%m-%d" of a file started at `local`.
std::string DayFolder(const std::string& record_root, const std::tm& local);
// The full file name under `record_root` ("<root of X>/QV_Record/Normal").
std::string RecordFilePath(const std::string& record_root, const std::tm& local,
                           std::string_view name, std::string_view host, uint16_t port,
                           int32_t channel);

// The current local time (localtime_r of time()).
std::tm CurrentLocalTime();

// True when a recording start of `entry` may be tried at `now`: no start failed since the last
// one that worked, or its back-off is over.
bool RecordRetryDue(const DeviceEntry& entry, uint32_t now);

class RecordingManager {
 public:
  static constexpr int kMaxNameAttempts = 60;

  // `local_time` empty: the real local time.
  RecordingManager(RecorderState& state, RecordingLibrary& library, const DriveMap& drives,
                   LocalTimeSource local_time);

  // The file a recording of `entry` started now would go to: named after the current time, or
  // a second later when a file of that name already exists (up to kMaxNameAttempts seconds);
  // nullopt when the current drive has no root or every name is taken.
  std::optional<std::string> NextFilePath(const DeviceEntry& entry) const;

  // The functions below run on the core thread with the device lock held by the caller (the
  // whole-array ones take it themselves).
  // Starts a new file; false (entry unchanged) when there is no client or the start fails. A
  // failure is never silent: why it failed goes to the text log and the observer, and the
  // entry's back-off is set (RecordRetryDue). A start and a stop are rows of RECORD_LOG.
  bool StartRecording(DeviceEntry& entry);
  void StopRecording(DeviceEntry& entry);
  // Stop, start (a new file named by the new start time), refresh the row. The recording goes
  // on in the new file: only a new file that fails to start ends it in RECORD_LOG.
  void Split(DeviceEntry& entry);
  // After a drive change: every running recording continues in a new file on the new drive.
  void RestartAllOnNewDrive();
  // Disks full: every running recording stops.
  void StopAllRecording();
  // At start: deletes the recordings of today's folder on every drive of the table that hold
  // no frame (a recorder killed right after it began them); they would only be listed as
  // recordings that play nothing. A file being written is left alone.
  void RemoveEmptyRecordings();

 private:
  bool StartFile(DeviceEntry& entry);
  void StopFile(DeviceEntry& entry);
  // Why a recording of `entry` cannot start at `path` now; empty when nothing is in the way.
  std::string FindObstacle(const std::string& path) const;
  // Makes the folders between the drive's root and the file; the root itself never.
  std::string MakeFolders(const std::string& root, const std::string& path) const;
  void StartFailed(DeviceEntry& entry, const std::string& reason);

  RecorderState& state_;
  RecordingLibrary& library_;
  const DriveMap& drives_;
  LocalTimeSource local_time_;
};

}  // namespace nvr
