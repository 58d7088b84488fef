#include "netclient/replay/replay_feed.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>
#include <vector>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/display/av_display.h"
#include "platform/tick_clock.h"

namespace qvnet {
namespace {

// An access unit delimiter (ITU-T H.264 §7.3.2.4, primary_pic_type 7): it begins a new
// access unit, which is what makes the display's parser hand over the last picture.
constexpr std::array<uint8_t, 6> kAccessUnitDelimiter = {0x00, 0x00, 0x00, 0x01, 0x09, 0xF0};

}  // namespace

ReplayFeed::ReplayFeed(const ReplayTarget& target, std::function<bool()> stopping, VideoFraming framing, bool h264)
    : target_(target), stopping_(std::move(stopping)), framing_(framing), h264_(h264) {}

bool ReplayFeed::WriteVideo(const uint8_t* data, uint32_t length, uint32_t retry_ms, bool ignore_seek) {
  CBufferConduit& conduit = target_.video;
  const bool whole = framing_ == VideoFraming::kWholePictures;
  // Every pass either writes or sleeps, and ends once the reader stops.
  while (!conduit.Write(data, length, whole)) {
    if (Stopping() || (!ignore_seek && SeekPending())) return false;
    qvp::SleepMs(retry_ms);
  }
  video_bytes_ += length;
  return true;
}

bool ReplayFeed::SoundWanted() const {
  return !target_.sound_unavailable.load() && target_.play_audio.load() && target_.display.replay.Speed() == 0;
}

bool ReplayFeed::WriteAudio(const uint8_t* pcm, uint32_t length, uint32_t retry_ms) {
  CBufferConduit& conduit = target_.audio;
  // The sound player takes 800 bytes at a time from a 1024-byte conduit: a piece that does
  // not fit whole must go in as far as it fits, or writer and player would wait for each
  // other for ever.
  while (length > 0) {
    if (conduit.Write(pcm, length, false)) return true;
    const uint32_t used = conduit.GetUsed();
    const uint32_t room = used < kReplayAudioConduitBytes ? (kReplayAudioConduitBytes - used) & ~1u : 0;
    const uint32_t piece = std::min(room, length);
    if (piece > 0 && conduit.Write(pcm, piece, false)) {
      pcm += piece;
      length -= piece;
      continue;
    }
    if (Stopping() || SeekPending() || !SoundWanted()) return false;
    qvp::SleepMs(retry_ms);
  }
  return true;
}

void ReplayFeed::ResetConduits() {
  // A client being closed has closed its conduits; emptying one now would open it again.
  if (Stopping() || target_.client.stopping.load()) return;
  target_.video.Reset();
  target_.audio.Reset();
  target_.display.replay.NoteConduitsEmptied();
  video_bytes_ = 0;
}

void ReplayFeed::EndOfFile() {
  if (h264_ && video_bytes_ > 0) PadByteStream();
  ReportEnd();
}

bool ReplayFeed::PadByteStream() {
  // The display reads an H.264 replay in pieces of exactly kReplayChunkBytes and leaves a
  // shorter rest in the conduit; its parser cuts a picture only when the next one begins. So
  // the stream is closed with an access unit delimiter and filled up with zero bytes
  // (trailing_zero_8bits, H.264 Annex B) to a whole number of pieces.
  const uint64_t chunk = CAVDisplay::kReplayChunkBytes;
  uint64_t pad = chunk - video_bytes_ % chunk;
  if (pad < kAccessUnitDelimiter.size()) pad += chunk;
  std::vector<uint8_t> bytes(pad, 0);
  std::copy(kAccessUnitDelimiter.begin(), kAccessUnitDelimiter.end(), bytes.begin());
  return WriteVideo(bytes.data(), static_cast<uint32_t>(bytes.size()), 1);
}

void ReplayFeed::ReportEnd() {
  LibraryContext& context = target_.client.Context();
  ClientNotifyCallback callback = context.callback.load();
  if (callback == nullptr) return;
  std::lock_guard<std::mutex> lock(context.notify_lock);
  callback(target_.client.handle, NOTIFY_REPLAY_END, 0, 0);
}

}  // namespace qvnet
