#include "nvr/core/engine/recording_manager.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

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

bool RecordingManager::StartRecording(DeviceEntry& entry) {
  if (entry.client == 0) return false;
  const std::optional<std::string> path = NextFilePath(entry);
  if (!path) return false;
  if (library_.ClientStartRecord(entry.client, *path, 0) == 0) return false;
  entry.recording = true;
  entry.record_start = qvp::TickCount();
  return true;
}

void RecordingManager::StopRecording(DeviceEntry& entry) {
  if (entry.client != 0) library_.ClientStopRecord(entry.client);
  entry.recording = false;
  entry.record_start = 0;
}

void RecordingManager::Split(DeviceEntry& entry) {
  StopRecording(entry);
  StartRecording(entry);
  state_.Refresh(entry);
}

void RecordingManager::RestartAllOnNewDrive() {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& entry : state_.devices.Entries()) {
    if (!entry.recording) continue;
    Split(entry);
  }
}

void RecordingManager::StopAllRecording() {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& entry : state_.devices.Entries()) {
    if (entry.client == 0 || !entry.recording) continue;
    library_.ClientStopRecord(entry.client);
    entry.recording = false;
    state_.Refresh(entry);
  }
}

}  // namespace nvr
