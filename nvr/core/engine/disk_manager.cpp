#include "nvr/core/engine/disk_manager.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "nvr/core/store/folder_scan.h"
#include "nvr/core/store/log_messages.h"
#include "nvr/core/store/text_log.h"

namespace nvr {
namespace {

int64_t RealNowNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The megabytes as the log line prints them ("%d").
int LogMb(uint64_t mb) { return static_cast<int>(std::min<uint64_t>(mb, INT32_MAX)); }

}  // namespace

DiskOps RealDiskOps(const DriveMap& drives) {
  DiskOps ops;
  ops.free_mb = [&drives](char letter) { return drives.FreeMegabytes(letter); };
  ops.creation_time_ns = FileCreationTimeNs;
  ops.now_ns = RealNowNs;
  ops.can_lock_exclusively = CanLockExclusively;
  return ops;
}

DiskManager::DiskManager(RecorderState& state, RecordingManager& recordings,
                         const DriveMap& drives, DiskOps ops)
    : state_(state), recordings_(recordings), drives_(drives), ops_(std::move(ops)) {}

void DiskManager::DiskCheck() {
  const std::optional<uint64_t> free_mb = ops_.free_mb(state_.current_drive);
  if (!free_mb) return;
  if (*free_mb > state_.current_reserve) {
    state_.disks_full.store(false);
    return;
  }
  WriteLog(kLogDriveFull, state_.current_drive, LogMb(*free_mb));
  if (MoveToDriveWithRoom()) return;

  switch (state_.settings.disk_full_policy) {
    case 0:
      recordings_.StopAllRecording();
      if (!state_.disks_full.load()) {
        WriteLog(kLogAllDrivesFull);
        state_.disks_full.store(true);
      }
      break;
    case 1:
      CleanUp();
      break;
    default:
      break;
  }
}

// True when the check ends here: a drive with room was found, or a drive could not be queried.
bool DiskManager::MoveToDriveWithRoom() {
  for (const DriveEntry& drive : state_.settings.drives) {
    if (drive.letter == 0) break;
    const char letter = static_cast<char>(drive.letter);
    const std::optional<uint64_t> free_mb = ops_.free_mb(letter);
    if (!free_mb) return true;
    if (*free_mb <= drive.reserve_mb) continue;
    WriteLog(kLogChangeDriveReserved, state_.current_drive,
             static_cast<int>(state_.current_reserve), letter, static_cast<int>(drive.reserve_mb),
             LogMb(*free_mb));
    state_.current_drive = letter;
    state_.current_reserve = drive.reserve_mb;
    recordings_.RestartAllOnNewDrive();
    state_.disks_full.store(false);
    return true;
  }
  return false;
}

void DiskManager::ChangeDriveAfterSettings() {
  const SettingsBlock& settings = state_.settings;
  for (const DriveEntry& drive : settings.drives) {
    if (drive.letter == 0) break;
    if (static_cast<char>(drive.letter) == state_.current_drive) {
      state_.current_reserve = drive.reserve_mb;
      return;
    }
  }
  const DriveEntry& first = settings.drives[0];
  WriteLog(kLogChangeDrive, state_.current_drive, static_cast<int>(state_.current_reserve),
           static_cast<char>(first.letter), static_cast<int>(first.reserve_mb));
  state_.current_drive = static_cast<char>(first.letter);
  state_.current_reserve = first.reserve_mb;
  recordings_.RestartAllOnNewDrive();
}

std::string DiskManager::DayPath(char letter, const std::string& day) const {
  return drives_.RecordRoot(letter).value_or(std::string()) + "/" + day;
}

DiskManager::Candidate DiskManager::FindEarliestDay() const {
  Candidate best{kNoDayFolder, std::string(), {}};
  for (const DriveEntry& drive : state_.settings.drives) {
    if (drive.letter == 0) continue;
    const char letter = static_cast<char>(drive.letter);
    const std::optional<std::string> root = drives_.RecordRoot(letter);
    if (!root) continue;
    for (const FolderEntry& entry : ListMatching(*root, "*.*")) {
      if (!entry.is_folder) continue;
      const std::string path = *root + "/" + entry.name;
      if (path == state_.skipped_folder) continue;
      const int order = entry.name.compare(best.day);
      if (order < 0) {
        best = Candidate{entry.name, path, {letter}};
      } else if (order == 0 && !best.folder.empty() &&
                 std::find(best.drives.begin(), best.drives.end(), letter) == best.drives.end()) {
        best.drives.push_back(letter);
      }
    }
  }
  return best;
}

void DiskManager::CleanUp() {
  const Candidate day = FindEarliestDay();
  if (day.folder.empty()) {
    CountFailure();
    return;
  }
  // Kept across the repetitions: a repetition that finds nothing newer tries the same file
  // again, and that failure counts.
  std::string deletion_candidate;
  int failed = 0;
  for (int i = 0; i < kCleanupRepetitions; ++i) {
    if (!DeleteOne(day, &deletion_candidate)) ++failed;
  }
  if (failed == kCleanupRepetitions) {
    CountFailure();
  } else {
    delete_failures_ = 0;
  }
}

bool DiskManager::DeleteOne(const Candidate& day, std::string* deletion_candidate) {
  int64_t oldest = ops_.now_ns();
  for (char letter : day.drives) {
    const std::string folder = DayPath(letter, day.day);
    const std::vector<FolderEntry> files = ListMatching(folder, "*.h264");
    if (files.empty()) {
      DeleteFolderTree(folder);
      WriteLog(kLogDeleteDirectory, folder.c_str());
      break;
    }
    for (const FolderEntry& file : files) {
      const std::string path = folder + "/" + file.name;
      const std::optional<int64_t> created = ops_.creation_time_ns(path);
      if (!created || *created > oldest) continue;
      // A file being recorded is locked by its writer: it is never deleted.
      if (!ops_.can_lock_exclusively(path)) continue;
      oldest = *created;
      *deletion_candidate = path;
    }
  }
  WriteLog(kLogAutoDeleteFile, deletion_candidate->c_str());
  if (deletion_candidate->empty()) {
    state_.skipped_folder = day.folder;
    return true;
  }
  state_.skipped_folder.clear();
  if (unlink(deletion_candidate->c_str()) != 0) {
    WriteLog(kLogDeleteFileFailed, errno);
    return false;
  }
  return true;
}

void DiskManager::CountFailure() {
  ++delete_failures_;
  if (delete_failures_ != kMaxDeleteFailures) return;
  WriteLog(kLogDeleteFailed20Times);
  state_.disks_full.store(true);
  recordings_.StopAllRecording();
}

}  // namespace nvr
