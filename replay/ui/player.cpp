#include "replay/ui/player.h"

#include <QFile>
#include <algorithm>
#include <ctime>

#include "nvr/core/engine/program_start.h"
#include "platform/tick_clock.h"
#include "replay/core/playback_texts.h"
#include "replay/core/replay_strings.h"

namespace replay {

Player::Player(std::string program_folder, FolderOpener open_folder, QObject* parent)
    : QObject(parent), program_folder_(std::move(program_folder)), open_folder_(std::move(open_folder)) {
  if (!open_folder_) {
    open_folder_ = [](const std::string& folder) { nvr::StartDetachedProgram("/usr/bin/xdg-open", {folder}); };
  }
  timer_.setInterval(kPositionTimerMs);
  connect(&timer_, &QTimer::timeout, this, &Player::Tick);
}

Player::~Player() { Close(); }

bool Player::Open(const QString& path, QV_HWND target) {
  Close();
  // The library reads the path as bytes; the file system's names are UTF-8.
  const QByteArray bytes = QFile::encodeName(path);
  const QVNET_HANDLE h = QVNET_OpenFile(bytes.constData(), target, 0);
  if (h == 0) return false;
  handle_ = h;
  path_ = path;
  total_ = QVNET_ReplayTotalTime(h);
  // A new file plays even if the last one was paused by the user.
  user_paused_ = false;
  dragging_ = false;
  timer_.start();
  QVNET_ClientStopAudio(h);  // every file starts muted
  sound_on_ = false;
  emit soundChanged(false);
  emit opened(path_);
  emit positionChanged(0, total_);
  return true;
}

void Player::Close() {
  if (handle_ == 0) return;
  QVNET_ClientRefreshWnd(handle_);
  QVNET_CloseFile(handle_);
  handle_ = 0;
  path_.clear();
  timer_.stop();
  total_ = 0;
  dragging_ = false;
  emit closed();
  emit positionChanged(0, 0);
}

uint32_t Player::Position() const { return handle_ == 0 ? 0 : QVNET_ReplayCurTime(handle_); }

void Player::Pause() {
  if (handle_ == 0) return;
  QVNET_ReplayPause(handle_);
  user_paused_ = true;
}

void Player::Continue() {
  if (handle_ == 0) return;
  QVNET_ReplayContinue(handle_);
  user_paused_ = false;
}

void Player::TogglePause() { user_paused_ ? Continue() : Pause(); }

void Player::Fast() {
  if (handle_ != 0) QVNET_SpeedFast(handle_);
}

void Player::Slow() {
  if (handle_ != 0) QVNET_SpeedSlow(handle_);
}

void Player::Step() {
  if (handle_ != 0) QVNET_ReplayStepByStep(handle_);
}

uint32_t Player::ToggleSound() {
  if (handle_ == 0) return 0;
  if (sound_on_) {
    if (QVNET_ClientStopAudio(handle_) == 0) return kStrCloseAudioFailed;
  } else if (QVNET_ClientPlayAudio(handle_) == 0) {
    return kStrOpenAudioFailed;
  }
  sound_on_ = !sound_on_;
  emit soundChanged(sound_on_);
  return 0;
}

std::string Player::Snapshot(bool* failed) {
  *failed = false;
  if (handle_ == 0) return "";
  const std::string folder = SnapshotFolder(program_folder_);
  const std::string path = folder.empty() ? "" : SnapshotPath(folder, std::time(nullptr), qvp::TickCount());
  if (path.empty() || QVNET_ClientCapturePicture(handle_, path.c_str()) == 0) {
    *failed = true;
    return path;
  }
  if (!folder_opened_) {
    folder_opened_ = true;
    open_folder_(folder);
  }
  return path;
}

void Player::BeginDrag() {
  if (handle_ == 0) return;
  if (!dragging_) QVNET_ReplayPause(handle_);
  dragging_ = true;
}

void Player::DragTo(int position) {
  if (handle_ == 0) return;
  if (!dragging_) BeginDrag();
  const auto pos = static_cast<uint32_t>(std::max(0, position));
  QVNET_ReplaySeek(handle_, pos);
  emit positionChanged(pos, total_);
}

void Player::EndDrag() {
  if (handle_ == 0 || !dragging_) return;
  dragging_ = false;
  if (!user_paused_) QVNET_ReplayContinue(handle_);
}

void Player::SeekTo(int position) {
  if (handle_ == 0 || dragging_) return;
  const auto pos = std::min(static_cast<uint32_t>(std::max(0, position)), total_);
  QVNET_ReplaySeek(handle_, pos);
  emit positionChanged(pos, total_);
}

void Player::SeekBy(int delta_s) {
  if (handle_ == 0) return;
  const int64_t target = static_cast<int64_t>(QVNET_ReplayCurTime(handle_)) + delta_s;
  SeekTo(static_cast<int>(std::clamp<int64_t>(target, 0, SliderMaximum(total_))));
}

void Player::Tick() {
  if (handle_ == 0 || dragging_) return;
  emit positionChanged(QVNET_ReplayCurTime(handle_), total_);
}

}  // namespace replay
