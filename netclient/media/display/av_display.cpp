#include "netclient/media/display/av_display.h"

#include <algorithm>

#include "netclient/media/display/jpeg_snapshot.h"
#include "netclient/client/net_client.h"
#include "platform/tick_clock.h"
#include "platform/window_registry.h"

namespace qvnet {

CAVDisplay::CAVDisplay(NetClient& client, CBufferConduit& conduit, OverlayCallback overlay)
    : client_(client),
      conduit_(conduit),
      renderer_(CVideoRenderer::Hooks{overlay, &client,
                                      [&client](int width, int height) {
                                        client.window_width = width;
                                        client.window_height = height;
                                      }}),
      jpeg_mode_(client.video_payload_type.load() == kPayloadJpeg),
      h264_buffer_(kH264BufferBytes) {}

CAVDisplay::~CAVDisplay() {
  Stop();
  DestroyDecoder();
}

bool CAVDisplay::CreateDecoder() {
  jpeg_mode_ = client_.video_payload_type.load() == kPayloadJpeg;
  return jpeg_mode_ ? CreateJpeg() : CreateH264();
}

bool CAVDisplay::CreateH264() {
  const bool ok = h264_.Create(client_.width.load(), client_.height.load(),
                               H264BufferCount(client_.bit_rate.load()));
  has_decoder_ = ok;
  if (ok) StoreWindowSize();
  return ok;
}

bool CAVDisplay::CreateJpeg() {
  if (jpeg_buffer_.size() != kJpegBufferBytes) jpeg_buffer_.assign(kJpegBufferBytes, 0);
  last_jpeg_length_ = 0;
  const bool ok = jpeg_.Create(client_.width.load(), client_.height.load());
  has_decoder_ = ok;
  return ok;
}

void CAVDisplay::StoreWindowSize() {
  int width = 0;
  int height = 0;
  const qvp::WindowHandle window = client_.display_window.load();
  if (window != 0 && qvp::WindowClientSize(window, &width, &height)) {
    client_.window_width = width;
    client_.window_height = height;
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
  client_.display_window = window;
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
  client_.drawing = false;
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
  client_.decoded_width = picture.width;
  client_.decoded_height = picture.height;
  if (!client_.rotate180.load()) return picture;
  // The decoder may still predict from its picture: turn a copy, never the original.
  const qvcodec::DecodedPicture copy = turned_.CopyFrom(ViewOf(picture));
  if (copy.y != nullptr) Rotate180(copy);
  return copy;
}

void CAVDisplay::Draw(const qvcodec::DecodedPicture& picture) {
  // The flag goes up before the view flag is read: QVNET_ClientStopView clears the view
  // flag before it reads this one, so one of the two always sees the other.
  client_.drawing = true;
  if (client_.view.load() == 1) {
    const qvp::WindowHandle window = client_.display_window.load();
    if (window != 0) renderer_.Render(ViewOf(picture), window, client_.vertical_flip.load());
  }
  client_.drawing = false;
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
  ReplayControl& rc = client_.replay;
  bool was_paused = false;
  while (rc.pause_state.load() == 1 && !Stopping()) {
    was_paused = true;
    if (rc.seek_while_paused.exchange(false)) {
      // Show one picture of the new place once the reader got there.
      for (int i = 0; i < kSeekWaitPolls && rc.seek_pending.load() && !Stopping(); ++i) {
        qvp::SleepMs(kPausePollMs);
      }
      break;
    }
    WritePendingSnapshot();
    qvp::SleepMs(kPausePollMs);
  }
  if (rc.pause_state.load() == 2) {
    while (!Stopping()) {
      WritePendingSnapshot();
      qvp::SleepMs(kPausePollMs);
      if (rc.step_request.exchange(false)) break;
      if (rc.pause_state.load() != 2) break;
    }
    replay_pacer_.Rebase(qvp::TickCount());
    return;
  }
  if (was_paused) replay_pacer_.Rebase(qvp::TickCount());
  if (!jpeg_mode_) PaceReplay(rc.speed.load());
}

}  // namespace qvnet
