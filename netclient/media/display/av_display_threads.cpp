// The two display thread bodies: H.264 (live and replay) and motion JPEG.
#include "netclient/media/codec/h264dec.h"
#include "netclient/media/codec/mjpegdec.h"
#include "netclient/media/display/av_display.h"
#include "platform/tick_clock.h"

namespace qvnet {
namespace {

// The live display keeps this many pictures queued before it draws, unless it is behind.
constexpr int32_t kDefaultThreshold = 2;
// A key-frame span above this makes the display wait for half a span after running dry.
constexpr int32_t kLongSpan = 9;

}  // namespace

void CAVDisplay::RunH264() {
  const int32_t rate = EffectiveFrameRate(format_.frame_rate);
  live_.Reset(static_cast<uint32_t>(1000 / rate));
  replay_pacer_.Start(rate, qvp::TickCount());
  if (control_.key_frame_span != nullptr) *control_.key_frame_span = 0;
  int32_t threshold = kDefaultThreshold;
  while (!Stopping()) {
    int32_t backlog = 0;
    const uint32_t n = ReadH264(&backlog, &threshold);
    if (n == 0) continue;
    if (control_.view.load() != ViewState::kOn) {
      // Nothing is shown: no decoder, the data is dropped. Back on view the stream starts
      // again from whatever comes, so catch up at once.
      DropDecoder();
      live_.catch_up = true;
      control_.drawing = false;
      continue;
    }
    if (control_.file_mode) DropDecoderAfterSeek();
    if (!h264_.Valid() && !CreateH264()) continue;
    if (!DecodeH264(n, backlog)) return;
  }
}

void CAVDisplay::DropDecoderAfterSeek() {
  // The bytes read now come from the new place; the parser may still hold part of a picture
  // of the old one, which would come out first as a damaged picture.
  const uint32_t generation = control_.replay.SeekGeneration();
  if (generation == seen_seek_generation_) return;
  seen_seek_generation_ = generation;
  DropDecoder();
}

uint32_t CAVDisplay::ReadH264(int32_t* backlog, int32_t* threshold) {
  uint32_t n = 0;
  if (control_.file_mode) {
    n = conduit_.Read(h264_buffer_.data(), kReplayChunkBytes, nullptr, kReadWaitMs);
  } else {
    const int32_t queued = static_cast<int32_t>(conduit_.GetMessageCount());
    control_.queued_pictures = queued;
    const int32_t span = control_.key_frame_span == nullptr ? 0 : control_.key_frame_span->load();
    *backlog = queued - span;
    if (*backlog > 0) {
      live_.catch_up = true;
    } else if (queued < *threshold) {
      if (span > kLongSpan) *threshold = span / 2;
      live_.catch_up = true;
      qvp::SleepMs(1);
      return 0;
    }
    *threshold = kDefaultThreshold;
    n = conduit_.ReadMessage(h264_buffer_.data(), kH264BufferBytes, nullptr, kReadWaitMs);
  }
  if (n == 0) qvp::SleepMs(kIdleSleepMs);
  return n;
}

bool CAVDisplay::DecodeH264(uint32_t n, int32_t backlog) {
  qvcodec::DecodedPicture picture{};
  int32_t result = h264_.Decode(h264_buffer_.data(), static_cast<int32_t>(n), &picture);
  while (result == qvcodec::kDecPicture && !Stopping()) {
    if (ViewOf(picture).Valid()) ShowH264Picture(picture, backlog);
    result = h264_.Decode(nullptr, 0, &picture);
  }
  if (result == qvcodec::kDecUnusable) return false;
  if (result == qvcodec::kDecRecreate) {
    last_picture_ = qvcodec::DecodedPicture{};
    return CreateH264();
  }
  return true;
}

void CAVDisplay::ShowH264Picture(const qvcodec::DecodedPicture& decoded, int32_t backlog) {
  const qvcodec::DecodedPicture picture = Prepare(decoded);
  if (picture.y == nullptr) return;
  if (!control_.file_mode) PaceLive(backlog);
  Draw(picture);
  last_picture_ = picture;
  WritePendingSnapshot();
  control_.shown_frames.fetch_add(1);
  if (control_.file_mode) RunReplayControl();
}

void CAVDisplay::RunJpeg() {
  replay_pacer_.Start(EffectiveFrameRate(format_.frame_rate), qvp::TickCount());
  if (jpeg_buffer_.size() != kJpegBufferBytes) jpeg_buffer_.assign(kJpegBufferBytes, 0);
  while (!Stopping()) {
    uint32_t left = 0;
    const uint32_t n = conduit_.ReadMessage(jpeg_buffer_.data(), kJpegBufferBytes, &left, kReadWaitMs);
    if (n == 0) {
      qvp::SleepMs(kIdleSleepMs);
      continue;
    }
    last_jpeg_length_ = 0;  // the buffer holds the new image now
    // Live: play faster while pictures queue up, normally otherwise.
    const int32_t speed = control_.file_mode ? control_.replay.Speed() : (left > 1 ? 1 : 0);
    if (control_.view.load() != ViewState::kOn) {
      DropDecoder();
      control_.drawing = false;
      continue;
    }
    if (!jpeg_.Valid() && !CreateJpeg()) continue;
    qvcodec::DecodedPicture picture{};
    if (jpeg_.Decode(jpeg_buffer_.data(), static_cast<int32_t>(n), &picture) != qvcodec::kJpegPicture ||
        !ViewOf(picture).Valid()) {
      continue;  // not a usable image: the next one is shown
    }
    ShowJpegPicture(picture, n, speed);
  }
}

void CAVDisplay::ShowJpegPicture(const qvcodec::DecodedPicture& decoded, uint32_t jpeg_length,
                                 int32_t speed) {
  const qvcodec::DecodedPicture picture = Prepare(decoded);
  if (picture.y == nullptr) return;
  Draw(picture);
  last_jpeg_length_ = jpeg_length;
  WritePendingSnapshot();  // the image as received
  control_.shown_frames.fetch_add(1);
  PaceReplay(speed);
  if (control_.file_mode) RunReplayControl();
}

}  // namespace qvnet
