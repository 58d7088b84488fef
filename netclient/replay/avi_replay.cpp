#include "netclient/replay/avi_replay.h"

#include <algorithm>
#include <array>
#include <optional>

namespace qvnet {
namespace {

constexpr uint8_t kNalTypeMask = 0x1F;
constexpr uint8_t kNalIdr = 5;
constexpr uint8_t kNalSps = 7;
constexpr uint64_t kFrameEntryBytes = kAviEntriesPerFrame * kAviIndexEntrySize;

}  // namespace

bool IsAviSeekPoint(std::span<const uint8_t> head, bool jpeg) {
  if (jpeg) return true;
  if (head.size() < AviReplay::kSeekHeadBytes || head[0] != 0 || head[1] != 0) return false;
  uint8_t nal = 0;
  if (head[2] == 1) {
    nal = head[3];
  } else if (head[2] == 0 && head[3] == 1) {
    nal = head[4];
  } else {
    return false;
  }
  const uint8_t type = nal & kNalTypeMask;
  return type == kNalSps || type == kNalIdr;
}

AviReplay::AviReplay(const ReplayTarget& target, const AviFile& file, ReplayFeed& feed)
    : target_(target), file_(file), feed_(feed), buffer_(kReadBufferBytes) {}

void AviReplay::Begin() {
  position_ = file_.IndexStart();
  at_end_ = false;
}

void AviReplay::Step() {
  if (!at_end_) {
    target_.display.replay.SetPosition(
        static_cast<uint32_t>((position_ - file_.IndexStart()) / kAviIndexBytesPerSecond));
    AviIndexEntry entry;
    if (!file_.ReadEntry(position_, &entry)) {
      at_end_ = true;
      feed_.EndOfFile();
    } else {
      position_ += kAviIndexEntrySize;
      if (entry.id == kAviVideoChunk) {
        PlayVideo(entry);
      } else if (entry.id == kAviAudioChunk) {
        PlayAudio(entry);
      }
    }
  }
  SeekStep();
}

void AviReplay::PlayVideo(const AviIndexEntry& entry) {
  // A chunk outside the file, or larger than any picture the display takes, is passed over.
  if (!file_.ReadChunk(entry, buffer_)) return;
  target_.client.received_bytes.fetch_add(entry.size);
  feed_.WriteVideo(buffer_.data(), entry.size, kRetryMs);
}

void AviReplay::PlayAudio(const AviIndexEntry& entry) {
  if (!feed_.SoundWanted()) return;
  if (!file_.ReadChunk(entry, buffer_)) return;
  target_.client.received_bytes.fetch_add(entry.size);
  feed_.WriteAudio(buffer_.data(), entry.size, kRetryMs);
}

bool AviReplay::FindSeekPicture(uint32_t target, uint64_t* frame, AviIndexEntry* picture) const {
  const uint64_t frames = file_.EntryCount() / kAviEntriesPerFrame;
  if (frames == 0) return false;
  // Bounded by the number of pictures in the index.
  for (uint64_t n = std::min<uint64_t>(uint64_t{target} * kAviIndexFramesPerSecond, frames - 1) + 1; n-- > 0;) {
    if (feed_.Stopping()) return false;
    AviIndexEntry entry;
    if (!file_.ReadEntry(file_.IndexStart() + n * kFrameEntryBytes, &entry) || entry.id != kAviVideoChunk) continue;
    std::array<uint8_t, kSeekHeadBytes> head{};
    if (!file_.ReadChunkStart(entry, head) || !IsAviSeekPoint(head, file_.Jpeg())) continue;
    *frame = n;
    *picture = entry;
    return true;
  }
  return false;
}

void AviReplay::SeekStep() {
  ReplayControl& rc = target_.display.replay;
  const std::optional<uint32_t> seek = rc.PendingSeek();
  if (!seek.has_value()) return;
  const uint32_t target = *seek;
  uint64_t frame = 0;
  AviIndexEntry picture;
  const bool found = FindSeekPicture(target, &frame, &picture);
  if (found) feed_.ResetConduits();
  // Done before the picture is written, so that a new request can cut the write short.
  rc.SeekDone(target);
  if (!found) return;
  if (file_.ReadChunk(picture, buffer_)) {
    feed_.WriteVideo(buffer_.data(), picture.size, kSeekRetryMs);
  }
  at_end_ = false;
  position_ = file_.IndexStart() + (frame + 1) * kFrameEntryBytes;
}

}  // namespace qvnet
