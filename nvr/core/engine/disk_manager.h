// Disk space management: every five seconds the free space of the current recording drive is
// compared with its reserve. When the drive has run into its reserve, recording moves on to the
// first drive of the table with room; when no drive has room, the disk-full policy either stops
// all recording (0) or deletes the earliest recordings (1), file by file, earliest day first,
// never a file that is being written. Twenty checks in a row that free nothing stop all
// recording too. Any other policy value does nothing. Runs on the core thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/store/drives.h"
#include "nvr/core/engine/recorder_state.h"
#include "nvr/core/engine/recording_manager.h"

namespace nvr {

// The file-system facts the disk check works from, replaceable in tests.
struct DiskOps {
  // Megabytes free for the recorder on a drive; nullopt when it cannot be queried.
  std::function<std::optional<uint64_t>(char letter)> free_mb;
  // When a recording file was started, in nanoseconds since the epoch.
  std::function<std::optional<int64_t>(const std::string& path)> creation_time_ns;
  // The current time on the same scale.
  std::function<int64_t()> now_ns;
  // True when the file may be deleted: nobody is recording into it.
  std::function<bool(const std::string& path)> can_lock_exclusively;
};

// The real file system: statvfs over `drives`, birth times, flock.
DiskOps RealDiskOps(const DriveMap& drives);

inline constexpr int kCleanupRepetitions = 10;
inline constexpr int kMaxDeleteFailures = 20;
// The name every real day folder ("%Y-%m-%d") sorts before.
inline constexpr char kNoDayFolder[] = "9000-00-00";

class DiskManager {
 public:
  DiskManager(RecorderState& state, RecordingManager& recordings, const DriveMap& drives,
              DiskOps ops);

  // The check of the disk timer.
  void DiskCheck();
  // After new settings were copied into the settings block: keep the current drive when the
  // new table still holds it (taking its new reserve), else move recording to the first entry.
  void ChangeDriveAfterSettings();

  // Consecutive checks whose clean-up freed nothing.
  int delete_failures() const { return delete_failures_; }

 private:
  struct Candidate {
    std::string day;                // best (earliest) day folder name
    std::string folder;             // its full path on the first drive holding it
    std::vector<char> drives;       // every drive holding a folder of that name
  };

  bool MoveToDriveWithRoom();
  void CleanUp();
  Candidate FindEarliestDay() const;
  // One repetition; false when it counted a failed deletion.
  bool DeleteOne(const Candidate& day, std::string* deletion_candidate);
  void CountFailure();
  std::string DayPath(char letter, const std::string& day) const;

  RecorderState& state_;
  RecordingManager& recordings_;
  const DriveMap& drives_;
  DiskOps ops_;
  int delete_failures_ = 0;
};

}  // namespace nvr
