// Disk space management: every five seconds the free space of the current recording drive is
// compared with its reserve. When the drive has run into its reserve, recording moves on to the
// first drive of the table with room; when no drive has room, the disk-full policy either stops
// all recording (0) or deletes the earliest recordings (1), file by file, earliest day first,
// never a file that is being written. Twenty checks in a row whose clean-up failed to delete
// stop all recording too. Any other policy value does nothing. Runs on the core thread.
//
// Beyond the table's reserves:
// - Headroom. A reserve smaller than what the recorder writes between two checks would let the
//   disk fill up before the next check noticed, and records would be lost. Each check therefore
//   learns how far free space fell since the previous one (the largest fall of the last
//   kHeadroomChecks checks) and counts a drive as full once its free space is within its reserve
//   plus twice that fall (at most kMaxHeadroomMb).
// - Absent drives. A drive whose root does not exist is skipped by the check and the rotation
//   and never recorded into; its going away and its coming back are logged once each. When the
//   current drive is absent, recording moves to a drive that is there; when none is, all
//   recording stops until one comes back.
// - Clean-up that keeps up. The day folder passed over because it held only files being written
//   (the skipped folder) is searched again when no other day folder is left, so the closed files
//   of today are deleted oldest first. A check that found only files being written is no failed
//   deletion, and a check stops once nothing more is deletable instead of retrying a file it
//   already deleted.
// - Only what is needed. A check deletes at most ten files, and stops as soon as the current drive
//   has room again: recordings that need not go are kept.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
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
  // True when the drive's root exists.
  std::function<bool(char letter)> present;
  // When a recording file was started, in nanoseconds since the epoch.
  std::function<std::optional<int64_t>(const std::string& path)> creation_time_ns;
  // The current time on the same scale.
  std::function<int64_t()> now_ns;
  // True when the file may be deleted: nobody is recording into it.
  std::function<bool(const std::string& path)> can_lock_exclusively;
};

// The real file system: statvfs over `drives`, birth times, flock.
DiskOps RealDiskOps(const DriveMap& drives);
// `ops` with every empty member taken from RealDiskOps(drives).
DiskOps WithRealDefaults(DiskOps ops, const DriveMap& drives);

inline constexpr int kCleanupRepetitions = 10;
inline constexpr int kMaxDeleteFailures = 20;
// Checks over which the fall of free space between two checks is remembered (about a minute).
inline constexpr size_t kHeadroomChecks = 12;
// A fall far beyond any recording rate (files copied onto the drive by hand) must not make the
// clean-up delete recordings the reserve alone would have kept.
inline constexpr uint64_t kMaxHeadroomMb = 2048;
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

  // Consecutive checks whose clean-up failed.
  int delete_failures() const { return delete_failures_; }
  // Megabytes a drive keeps free on top of its reserve (see Headroom above).
  uint64_t headroom_mb() const;

 private:
  struct Candidate {
    std::string day;                // best (earliest) day folder name
    std::string folder;             // its full path on the first drive holding it
    std::vector<char> drives;       // every drive holding a folder of that name
  };
  enum class Repetition { kDeleted, kFailed, kNothingMore };

  void WatchPresence();
  void LearnFall(char drive, uint64_t free_mb);
  bool MoveToDriveWithRoom();
  void ApplyFullPolicy();
  void StopAllRecording(const char* log_line);
  bool AnyDrivePresent() const;
  bool CurrentDriveHasRoom() const;
  // True when something was deleted.
  bool CleanUp();
  Candidate FindEarliestDay(bool pass_over_skipped) const;
  Repetition DeleteOne(const Candidate& day, std::set<std::string>* tried);
  void CountFailure();
  std::string DayPath(char letter, const std::string& day) const;

  RecorderState& state_;
  RecordingManager& recordings_;
  const DriveMap& drives_;
  DiskOps ops_;
  int delete_failures_ = 0;
  std::set<char> absent_;         // drives of the table last seen without their root
  char measured_drive_ = 0;       // the drive `last_free_mb_` belongs to
  std::optional<uint64_t> last_free_mb_;
  std::deque<uint64_t> falls_mb_;  // falls of free space between consecutive checks
};

}  // namespace nvr
