#include "netclient/media/display/av_display.h"

#include <algorithm>
#include <utility>

#include "netclient/media/display/jpeg_snapshot.h"
#include "platform/tick_clock.h"
#include "platform/window_registry.h"

namespace qvnet {

CAVDisplay::CAVDisplay(DisplayControl& control, CBufferConduit& conduit, OverlayInputs overlay)
    : control_(control),
      conduit_(conduit),
      overlay_(std::move(overlay)),
      renderer_(CVideoRenderer::Hooks{DrawClientOverlay, const_cast<OverlayInputs*>(&overlay_),
                                      [&control](int width, int height) {
                                        control.window_width = width;
                                        control.window_height = height;
                                      }}),
      h264_buffer_(kH264BufferBytes) {}

CAVDisplay::~CAVDisplay() {
  Stop();
  DestroyDecoder();
}

bool CAVDisplay::CreateDecoder(const VideoFormat& format) {
  format_ = format;
  jpeg_mode_ = format.jpeg;
  return jpeg_mode_ ? CreateJpeg() : CreateH264();
}

bool CAVDisplay::CreateH264() {
  const bool ok = h264_.Create(format_.width, format_.height, H264BufferCount(format_.buffer_figure));
  has_decoder_ = ok;
  if (ok) StoreWindowSize();
  return ok;
}

bool CAVDisplay::CreateJpeg() {
  if (jpeg_buffer_.size() != kJpegBufferBytes) jpeg_buffer_.assign(kJpegBufferBytes, 0);
  last_jpeg_length_ = 0;
  const bool ok = jpeg_.Create(format_.width, format_.height);
  has_decoder_ = ok;
  return ok;
}

void CAVDisplay::StoreWindowSize() {
  int width = 0;
  int height = 0;
  const qvp::WindowHandle window = control_.window.load();
  if (window != 0 && qvp::WindowClientSize(window, &width, &height)) {
    control_.window_width = width;
    control_.window_height = height;
  }
}

void CAVDisplay::DropDecoder() {
  h264_.Destroy();
  jpeg_.Destroy();
  has_decoder_ = false;
  // The decoder's pictures are gone with it.
  last_picture_ = qvcodec::DecodedPicture{};
  last_jpeg_length_ = 0;
}

void CAVDisplay::DestroyDecoder() { DropDecoder(); }

int CAVDisplay::StartThread() {
  stop_ = false;
  return Start();
}

void CAVDisplay::Stop() {
  stop_ = true;
  Join();
}

int CAVDisplay::Refresh() { return renderer_.Refresh(); }

void CAVDisplay::SetWindow(uint32_t window) {
  control_.window = window;
  renderer_.SetWindow(window);
}

void CAVDisplay::RequestSnapshot(const std::string& path) {
  std::lock_guard<std::mutex> guard(snapshot_lock_);
  snapshot_path_ = path;
  snapshot_pending_ = true;
}

void CAVDisplay::Thread() {
  try {
    if (jpeg_mode_) {
      RunJpeg();
    } else {
      RunH264();
    }
  } catch (...) {
    // Out of memory in a decoder or converter: the thread ends, the owner still stops it.
  }
  control_.drawing = false;
}

void CAVDisplay::SleepWhileRunning(uint32_t ms) {
  // Long pacing sleeps (1/16 speed at a low frame rate) are cut into slices so that Stop()
  // never waits for them.
  while (ms > 0 && !Stopping()) {
    const uint32_t slice = std::min<uint32_t>(ms, kPausePollMs);
    qvp::SleepMs(slice);
    ms -= slice;
  }
}

qvcodec::DecodedPicture CAVDisplay::Prepare(const qvcodec::DecodedPicture& picture) {
  control_.decoded_width = picture.width;
  control_.decoded_height = picture.height;
  if (!control_.rotate180.load()) return picture;
  // The decoder may still predict from its picture: turn a copy, never the original.
  const qvcodec::DecodedPicture copy = turned_.CopyFrom(ViewOf(picture));
  if (copy.y != nullptr) Rotate180(copy);
  return copy;
}

void CAVDisplay::Draw(const qvcodec::DecodedPicture& picture) {
  // The flag goes up before the view flag is read: QVNET_ClientStopView clears the view
  // flag before it reads this one, so one of the two always sees the other.
  control_.drawing = true;
  if (control_.view.load() == ViewState::kOn) {
    const qvp::WindowHandle window = control_.window.load();
    if (window != 0) renderer_.Render(ViewOf(picture), window, control_.vertical_flip.load());
  }
  control_.drawing = false;
}

void CAVDisplay::WritePendingSnapshot() {
  std::string path;
  {
    std::lock_guard<std::mutex> guard(snapshot_lock_);
    if (!snapshot_pending_) return;
    snapshot_pending_ = false;
    path = snapshot_path_;
  }
  // A file that cannot be written is dropped without report.
  if (jpeg_mode_) {
    if (last_jpeg_length_ > 0) WriteSnapshotFile(path, jpeg_buffer_.data(), last_jpeg_length_);
    return;
  }
  if (ViewOf(last_picture_).Valid()) WriteJpegSnapshot(ViewOf(last_picture_), path);
}

void CAVDisplay::PaceLive(int32_t backlog) {
  SleepWhileRunning(live_.Next(backlog, qvp::TickCount()));
  live_.last = qvp::TickCount();
}

void CAVDisplay::PaceReplay(int32_t speed) {
  SleepWhileRunning(replay_pacer_.Next(speed, qvp::TickCount()));
  // Rebased on the tick after the sleep: the picture just paced is the new base.
  if (replay_pacer_.NeedsRebase()) replay_pacer_.Rebase(qvp::TickCount());
}

void CAVDisplay::RunReplayControl() {
  ReplayControl& rc = control_.replay;
  bool was_paused = false;
  while (rc.State() == PauseState::kPaused && !Stopping()) {
    was_paused = true;
    if (rc.TakeSeekWhilePaused()) {
      // Show one picture of the new place once the reader got there.
      for (int i = 0; i < kSeekWaitPolls && rc.SeekPending() && !Stopping(); ++i) {
        qvp::SleepMs(kPausePollMs);
      }
      break;
    }
    WritePendingSnapshot();
    qvp::SleepMs(kPausePollMs);
  }
  if (rc.State() == PauseState::kStepping) {
    while (!Stopping()) {
      WritePendingSnapshot();
      qvp::SleepMs(kPausePollMs);
      if (rc.TakeStepRequest()) break;
      if (rc.State() != PauseState::kStepping) break;
    }
    replay_pacer_.Rebase(qvp::TickCount());
    return;
  }
  if (was_paused) replay_pacer_.Rebase(qvp::TickCount());
  if (!jpeg_mode_) PaceReplay(rc.Speed());
}

}  // namespace qvnet
