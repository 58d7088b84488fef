#include "nvr/core/engine/disk_manager.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

std::string DriveText(const char* format, char letter, const std::string& root) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, letter, root.c_str());
  return buf;
}

}  // namespace

DiskOps RealDiskOps(const DriveMap& drives) {
  DiskOps ops;
  ops.free_mb = [&drives](char letter) { return drives.FreeMegabytes(letter); };
  ops.present = [&drives](char letter) { return drives.Present(letter); };
  ops.creation_time_ns = FileCreationTimeNs;
  ops.now_ns = RealNowNs;
  ops.can_lock_exclusively = CanLockExclusively;
  return ops;
}

DiskOps WithRealDefaults(DiskOps ops, const DriveMap& drives) {
  DiskOps real = RealDiskOps(drives);
  if (!ops.free_mb) ops.free_mb = real.free_mb;
  if (!ops.present) ops.present = real.present;
  if (!ops.creation_time_ns) ops.creation_time_ns = real.creation_time_ns;
  if (!ops.now_ns) ops.now_ns = real.now_ns;
  if (!ops.can_lock_exclusively) ops.can_lock_exclusively = real.can_lock_exclusively;
  return ops;
}

DiskManager::DiskManager(RecorderState& state, RecordingManager& recordings,
                         const DriveMap& drives, DiskOps ops)
    : state_(state), recordings_(recordings), drives_(drives), ops_(std::move(ops)) {}

uint64_t DiskManager::headroom_mb() const {
  const auto largest = std::max_element(falls_mb_.begin(), falls_mb_.end());
  if (largest == falls_mb_.end()) return 0;
  return std::min<uint64_t>(2 * *largest, kMaxHeadroomMb);
}

void DiskManager::DiskCheck() {
  WatchPresence();
  const char drive = state_.current_drive;
  if (!ops_.present(drive)) {
    // Never record into the place of a drive that is not there: find one that is.
    if (MoveToDriveWithRoom()) return;
    if (!AnyDrivePresent()) {
      StopAllRecording(kLogNoDrivePresent);
      return;
    }
    ApplyFullPolicy();
    return;
  }
  const std::optional<uint64_t> free_mb = ops_.free_mb(drive);
  if (!free_mb) return;
  LearnFall(drive, *free_mb);
  if (*free_mb > state_.current_reserve + headroom_mb()) {
    state_.disks_full.store(false);
    return;
  }
  WriteLog(kLogDriveFull, drive, LogMb(*free_mb));
  if (MoveToDriveWithRoom()) return;
  ApplyFullPolicy();
}

void DiskManager::ApplyFullPolicy() {
  switch (state_.settings.disk_full_policy) {
    case 0:
      StopAllRecording(kLogAllDrivesFull);
      break;
    case 1:
      // What the clean-up freed is no fall of the next check's measure.
      if (CleanUp() && measured_drive_ == state_.current_drive) {
        last_free_mb_ = ops_.free_mb(state_.current_drive);
      }
      break;
    default:
      break;
  }
}

void DiskManager::StopAllRecording(const char* log_line) {
  recordings_.StopAllRecording();
  if (!state_.disks_full.load()) {
    WriteLog("%s", log_line);
    state_.disks_full.store(true);
  }
}

void DiskManager::WatchPresence() {
  for (const DriveEntry& entry : state_.settings.drives) {
    if (entry.letter == 0) break;
    const char letter = static_cast<char>(entry.letter);
    const bool present = ops_.present(letter);
    const bool was_absent = absent_.count(letter) != 0;
    if (present == !was_absent) continue;
    const std::string root = drives_.Root(letter).value_or("no root in config.ini");
    if (present) {
      absent_.erase(letter);
      state_.Notice(0, DriveText(kLogDriveBack, letter, root));
    } else {
      absent_.insert(letter);
      state_.Notice(0, DriveText(kLogDriveAbsent, letter, root));
    }
  }
}

void DiskManager::LearnFall(char drive, uint64_t free_mb) {
  if (drive != measured_drive_) {
    // Another drive fills at its own pace: start learning anew.
    measured_drive_ = drive;
    falls_mb_.clear();
  } else if (last_free_mb_) {
    falls_mb_.push_back(*last_free_mb_ > free_mb ? *last_free_mb_ - free_mb : 0);
    if (falls_mb_.size() > kHeadroomChecks) falls_mb_.pop_front();
  }
  last_free_mb_ = free_mb;
}

bool DiskManager::CurrentDriveHasRoom() const {
  const char drive = state_.current_drive;
  if (!ops_.present(drive)) return false;
  const std::optional<uint64_t> free_mb = ops_.free_mb(drive);
  return free_mb && *free_mb > state_.current_reserve + headroom_mb();
}

bool DiskManager::AnyDrivePresent() const {
  for (const DriveEntry& drive : state_.settings.drives) {
    if (drive.letter == 0) break;
    if (ops_.present(static_cast<char>(drive.letter))) return true;
  }
  return false;
}

// True when the check ends here: a drive with room was found, or a drive could not be queried.
bool DiskManager::MoveToDriveWithRoom() {
  for (const DriveEntry& drive : state_.settings.drives) {
    if (drive.letter == 0) break;
    const char letter = static_cast<char>(drive.letter);
    if (!ops_.present(letter)) continue;
    const std::optional<uint64_t> free_mb = ops_.free_mb(letter);
    if (!free_mb) return true;
    if (*free_mb <= drive.reserve_mb + headroom_mb()) continue;
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

DiskManager::Candidate DiskManager::FindEarliestDay(bool pass_over_skipped) const {
  Candidate best{kNoDayFolder, std::string(), {}};
  for (const DriveEntry& drive : state_.settings.drives) {
    if (drive.letter == 0) continue;
    const char letter = static_cast<char>(drive.letter);
    const std::optional<std::string> root = drives_.RecordRoot(letter);
    if (!root) continue;
    for (const FolderEntry& entry : ListMatching(*root, "*.*")) {
      if (!entry.is_folder) continue;
      const std::string path = *root + "/" + entry.name;
      if (pass_over_skipped && path == state_.skipped_folder) continue;
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

bool DiskManager::CleanUp() {
  Candidate day = FindEarliestDay(true);
  // Only the skipped folder is left: its closed files are the ones to delete now.
  if (day.folder.empty() && !state_.skipped_folder.empty()) day = FindEarliestDay(false);
  if (day.folder.empty()) {
    CountFailure();
    return false;
  }
  // Files whose deletion was tried in this check, deleted or not: a file that could not be
  // deleted is not retried in place of the others.
  std::set<std::string> tried;
  int deleted = 0;
  int failed = 0;
  for (int i = 0; i < kCleanupRepetitions; ++i) {
    const Repetition r = DeleteOne(day, &tried);
    if (r == Repetition::kNothingMore) break;
    ++(r == Repetition::kDeleted ? deleted : failed);
    // Enough room again: what is left stays until it is needed.
    if (r == Repetition::kDeleted && CurrentDriveHasRoom()) break;
  }
  if (deleted == 0 && failed > 0) {
    CountFailure();
  } else {
    // Something was freed, or there was nothing deletable yet (only files being written): no
    // failed deletion either way.
    delete_failures_ = 0;
  }
  return deleted > 0;
}

DiskManager::Repetition DiskManager::DeleteOne(const Candidate& day, std::set<std::string>* tried) {
  int64_t oldest = ops_.now_ns();
  std::string candidate;
  bool folder_removed = false;
  for (char letter : day.drives) {
    const std::string folder = DayPath(letter, day.day);
    const std::vector<FolderEntry> files = ListMatching(folder, "*.h264");
    if (files.empty()) {
      DeleteFolderTree(folder);
      WriteLog(kLogDeleteDirectory, folder.c_str());
      if (folder == state_.skipped_folder) state_.skipped_folder.clear();
      folder_removed = true;
      break;
    }
    for (const FolderEntry& file : files) {
      const std::string path = folder + "/" + file.name;
      if (tried->count(path) != 0) continue;
      const std::optional<int64_t> created = ops_.creation_time_ns(path);
      if (!created || *created > oldest) continue;
      // A file being recorded is locked by its writer: it is never deleted.
      if (!ops_.can_lock_exclusively(path)) continue;
      oldest = *created;
      candidate = path;
    }
  }
  if (candidate.empty()) {
    // Nothing deletable in this day folder (now): pass it over until no other is left.
    if (tried->empty() && !folder_removed) {
      WriteLog(kLogAutoDeleteFile, "");
      state_.skipped_folder = day.folder;
    }
    return Repetition::kNothingMore;
  }
  WriteLog(kLogAutoDeleteFile, candidate.c_str());
  tried->insert(candidate);
  state_.skipped_folder.clear();
  if (unlink(candidate.c_str()) != 0) {
    WriteLog(kLogDeleteFileFailed, errno);
    return Repetition::kFailed;
  }
  return Repetition::kDeleted;
}

void DiskManager::CountFailure() {
  ++delete_failures_;
  if (delete_failures_ != kMaxDeleteFailures) return;
  WriteLog(kLogDeleteFailed20Times);
  state_.disks_full.store(true);
  recordings_.StopAllRecording();
}

}  // namespace nvr
