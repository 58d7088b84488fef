#include "nvr/core/engine/recording_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "nvr/core/store/folder_scan.h"
#include "platform/tick_clock.h"

namespace nvr {
namespace {

bool IsUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::string Format(const std::tm& local, const char* format) {
  char buf[64];
  if (std::strftime(buf, sizeof buf, format, &local) == 0) return std::string();
  return buf;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string SanitizeNamePart(std::string_view text) {
  size_t length = text.size();
  if (length > kMaxNamePartBytes) {
    length = kMaxNamePartBytes;
    // Never cut a multi-byte character in half.
    while (length > 0 && IsUtf8Continuation(static_cast<unsigned char>(text[length]))) --length;
  }
  std::string out(text.substr(0, length));
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) c = '_';
  }
  return out;
}

std::string DayFolder(const std::string& record_root, const std::tm& local) {
  return record_root + "/" + Format(local, "%Y-%m-%d");
}

std::string RecordFilePath(const std::string& record_root, const std::tm& local,
                           std::string_view name, std::string_view host, uint16_t port,
                           int32_t channel) {
  return DayFolder(record_root, local) + "/" + SanitizeNamePart(name) + "(" +
         SanitizeNamePart(host) + "_" + std::to_string(port) + ")_" +
         std::to_string(static_cast<int64_t>(channel) + 1) + "_" +
         Format(local, "%Y_%m_%d_%H_%M_%S") + ".h264";
}

std::tm CurrentLocalTime() {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

RecordingManager::RecordingManager(RecorderState& state, RecordingLibrary& library,
                                   const DriveMap& drives, LocalTimeSource local_time)
    : state_(state), library_(library), drives_(drives), local_time_(std::move(local_time)) {
  if (!local_time_) local_time_ = CurrentLocalTime;
}

std::optional<std::string> RecordingManager::NextFilePath(const DeviceEntry& entry) const {
  const std::optional<std::string> root = drives_.RecordRoot(state_.current_drive);
  if (!root) return std::nullopt;
  // Names are to the second and the writer empties an existing file: a recording restarted
  // within the second its previous file began (a quick reconnect, a split right after a
  // start) would wipe that file. Such a name moves on by a second, so the new file keeps a
  // name the catalogue can read and no recording is lost.
  std::tm local = local_time_();
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    std::string path = RecordFilePath(*root, local, entry.name, entry.host, entry.port, entry.channel);
    if (!FileExists(path)) return path;
    ++local.tm_sec;
    local.tm_isdst = -1;
    std::mktime(&local);  // carries the second into minutes, hours and days
  }
  return std::nullopt;
}

bool RecordRetryDue(const DeviceEntry& entry, uint32_t now) {
  if (entry.record_retry_ms == 0) return true;
  // Signed distance: right across the wrap of the tick.
  return static_cast<int32_t>(now - entry.record_retry_at) >= 0;
}

bool RecordingManager::StartRecording(DeviceEntry& entry) {
  if (!StartFile(entry)) return false;
  state_.activity.RecordingStarted(entry);
  return true;
}

bool RecordingManager::StartFile(DeviceEntry& entry) {
  if (entry.client == 0) return false;
  const char drive = state_.current_drive;
  const std::optional<std::string> root = drives_.Root(drive);
  if (drive == 0 || !root) {
    StartFailed(entry, "no recording drive is set up (QV_NVR --drive)");
    return false;
  }
  if (!drives_.Present(drive)) {
    StartFailed(entry, std::string("drive ") + drive + " (" + *root + ") is not there");
    return false;
  }
  const std::optional<std::string> path = NextFilePath(entry);
  if (!path) {
    StartFailed(entry, "every file name of the coming minute is taken");
    return false;
  }
  if (path->size() > kMaxRecordPathBytes) {
    StartFailed(entry, "the file name is too long (" + std::to_string(path->size()) +
                           " bytes, at most " + std::to_string(kMaxRecordPathBytes) + "): " + *path);
    return false;
  }
  if (const std::string failed = MakeFolders(*root, *path); !failed.empty()) {
    StartFailed(entry, failed);
    return false;
  }
  if (library_.ClientStartRecord(entry.client, *path, 0) == 0) {
    const std::string obstacle = FindObstacle(*path);
    StartFailed(entry, obstacle.empty() ? "the recording library refused " + *path : obstacle);
    return false;
  }
  entry.recording = true;
  entry.record_start = qvp::TickCount();
  entry.record_retry_ms = 0;
  return true;
}

std::string RecordingManager::MakeFolders(const std::string& root, const std::string& path) const {
  // Each folder of the path below the root, in order; the last component is the file.
  size_t at = root.size();
  for (size_t slash = path.find('/', at + 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
      return "cannot make the folder " + folder + ": " + std::strerror(errno);
    }
  }
  return std::string();
}

std::string RecordingManager::FindObstacle(const std::string& path) const {
  const std::string folder = path.substr(0, path.rfind('/'));
  if (::access(folder.c_str(), W_OK) != 0) {
    return "cannot create files in " + folder + ": " + std::strerror(errno);
  }
  const std::optional<uint64_t> free_mb = drives_.FreeMegabytes(state_.current_drive);
  if (free_mb && *free_mb == 0) {
    return std::string("no space left on drive ") + state_.current_drive;
  }
  return std::string();
}

void RecordingManager::StartFailed(DeviceEntry& entry, const std::string& reason) {
  entry.record_retry_ms = entry.record_retry_ms == 0
                              ? kFirstRetryMs
                              : std::min(entry.record_retry_ms * 2, kMostRetryMs);
  entry.record_retry_at = qvp::TickCount() + entry.record_retry_ms;
  state_.Notice(entry.id, "recording did not start: " + reason + "; next try in " +
                              std::to_string(entry.record_retry_ms / 1000) + " s");
}

void RecordingManager::StopRecording(DeviceEntry& entry) {
  if (entry.recording) state_.activity.RecordingStopped(entry);
  StopFile(entry);
}

void RecordingManager::StopFile(DeviceEntry& entry) {
  if (entry.client != 0) library_.ClientStopRecord(entry.client);
  entry.recording = false;
  entry.record_start = 0;
}

void RecordingManager::Split(DeviceEntry& entry) {
  const bool was_recording = entry.recording;
  StopFile(entry);
  if (!StartFile(entry) && was_recording) state_.activity.RecordingStopped(entry);
  state_.Refresh(entry);
}

void RecordingManager::RestartAllOnNewDrive() {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& entry : state_.devices.Entries()) {
    if (!entry.recording) continue;
    Split(entry);
  }
}

void RecordingManager::RemoveEmptyRecordings() {
  const std::tm today = local_time_();
  for (const DriveEntry& drive : state_.settings.drives) {
    if (drive.letter == 0) break;
    const std::optional<std::string> root = drives_.RecordRoot(static_cast<char>(drive.letter));
    if (!root) continue;
    const std::string folder = DayFolder(*root, today);
    for (const FolderEntry& file : ListMatching(folder, "*.h264")) {
      const std::string path = folder + "/" + file.name;
      struct stat st {};
      if (file.is_folder || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      if (static_cast<uint64_t>(st.st_size) > kEmptyRecordingBytes) continue;
      if (!CanLockExclusively(path) || ::unlink(path.c_str()) != 0) continue;
      state_.Notice(0, "removed a recording without frames: " + path);
    }
  }
}

void RecordingManager::StopAllRecording() {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& entry : state_.devices.Entries()) {
    if (entry.client == 0 || !entry.recording) continue;
    state_.activity.RecordingStoppedDisksFull(entry);
    library_.ClientStopRecord(entry.client);
    entry.recording = false;
    state_.Refresh(entry);
  }
}

}  // namespace nvr
