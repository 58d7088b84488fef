#include "netclient/replay/record_replay.h"

namespace qvnet {

std::optional<size_t> FindSeekEntry(std::span<const IndexEntry> index, uint32_t target_tick) {
  for (size_t i = 0; i < index.size(); ++i) {
    if (static_cast<int32_t>(index[i].tick - target_tick) > 0) return i;
  }
  return std::nullopt;
}

uint32_t SecondsFromFirst(uint32_t first_tick, uint32_t tick) {
  const uint32_t elapsed = tick - first_tick;
  return static_cast<int32_t>(elapsed) < 0 ? 0 : elapsed / 1000;
}

RecordReplay::RecordReplay(const ReplayTarget& target, RecordFileReader& file, ReplayFeed& feed)
    : target_(target),
      file_(file),
      feed_(feed),
      buffer_(kReadBufferBytes),
      batch_video_(feed.Framing() == VideoFraming::kByteStream) {
  if (batch_video_) batch_.reserve(kVideoBatchBytes);
}

void RecordReplay::Begin() {
  file_.Seek(kFirstRecordOffset);
  batch_.clear();
  at_end_ = false;
}

void RecordReplay::Step() {
  if (!at_end_) ReadRecord();
  SeekStep();
}

void RecordReplay::ReadRecord() {
  FrameHeader header;
  const FrameReadResult result = file_.ReadFrame(buffer_, header);
  // A record longer than the buffer cannot occur (the length field has 20 bits); the reader
  // has passed over it, and so do we.
  if (result == FrameReadResult::kTooLarge) return;
  if (result == FrameReadResult::kEnd) {
    // A seek asked for meanwhile goes first (the position stays at the end meanwhile): the
    // records held back for it are either dropped by it or still written before the end.
    if (feed_.SeekPending()) return;
    at_end_ = true;
    FlushVideo();
    feed_.EndOfFile();
    return;
  }
  target_.client.received_bytes.fetch_add(header.length);
  if (header.stream == kStreamAudio) {
    // Sound that plays goes after the pictures before it; sound that does not lets the
    // pictures on both sides travel together.
    if (feed_.SoundWanted()) FlushVideo();
    PlayAudio(header);
  } else {
    PlayVideo(header);
  }
}

void RecordReplay::PlayAudio(const FrameHeader& header) {
  if (target_.sound_unavailable.load()) return;
  if (!voice_ready_) {
    // The codec comes from the first sound record; a refused one is tried on the next.
    if (qvcodec::VoiceDecReset(&voice_, header.kind) != qvcodec::kVoiceOk) return;
    voice_ready_ = true;
  }
  if (!target_.play_audio.load() || target_.display.replay.Speed() != 0) return;
  uint16_t count = 0;
  if (qvcodec::VoiceDecodeFrameBounded(&voice_, buffer_.data(), header.length, samples_.data(), &count) !=
      qvcodec::kVoiceOk) {
    return;
  }
  if (count == 0 || count >= kMaxPlayedSamples) return;
  feed_.WriteAudio(reinterpret_cast<const uint8_t*>(samples_.data()), count * 2u, kRetryMs);
}

void RecordReplay::PlayVideo(const FrameHeader& header) {
  if (!batch_video_ || header.length > kVideoBatchBytes) {
    FlushVideo();
    // A record that could not be written was overtaken by a seek or the stop: dropped.
    feed_.WriteVideo(buffer_.data(), header.length, kRetryMs);
  } else {
    if (batch_.size() + header.length > kVideoBatchBytes) FlushVideo();
    batch_.insert(batch_.end(), buffer_.begin(), buffer_.begin() + header.length);
  }
  // Without key frames there is no time line: the position stays 0.
  if (file_.Index().empty()) return;
  ReplayControl& rc = target_.display.replay;
  rc.SetPosition(SecondsFromFirst(rc.FirstTick(), header.tick));
}

void RecordReplay::FlushVideo() {
  if (batch_.empty()) return;
  // Held back by a seek, the records stay until the seek step knows whether it moves on: when
  // it finds no place to go, reading goes on and these records still belong to the stream.
  if (feed_.WriteVideo(batch_.data(), static_cast<uint32_t>(batch_.size()), kRetryMs) || !feed_.SeekPending()) {
    batch_.clear();
  }
}

void RecordReplay::SeekStep() {
  ReplayControl& rc = target_.display.replay;
  const std::optional<uint32_t> seek = rc.PendingSeek();
  if (!seek.has_value()) return;
  const uint32_t target = *seek;
  rc.SetPosition(target);
  const uint32_t target_tick = target * 1000u + rc.FirstTick();
  const std::optional<size_t> entry = FindSeekEntry(file_.Index(), target_tick);
  // No key frame after the target: the position shows the target, reading goes on as it was.
  if (entry.has_value()) {
    batch_.clear();  // of the old place
    feed_.ResetConduits();
    if (file_.Seek(file_.Index()[*entry].offset)) at_end_ = false;
  }
  rc.SeekDone(target);
}

}  // namespace qvnet
