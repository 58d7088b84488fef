// RecordReplay: the reader of a file client playing a record file (legacy layout, H.264 or
// JPEG). It reads the frame records one after another and feeds them without pacing of its
// own: video into the video conduit (the display paces, pauses and steps), decoded sound into
// the audio conduit at normal speed only. After every record it carries out a pending seek;
// at the end of the file it reports once and then waits for a seek or the close.
//
// The thread body of the file source drives it: Begin(), then Step() until the source stops,
// sleeping 100 ms after every Step() that leaves the reader at the end.
//
// H.264 records carry no picture boundaries for the display, so consecutive video records are
// handed over in one write (up to kVideoBatchBytes, before a sound record that is played, at
// the end and before a seek moves on): the video conduit admits one write each time the display
// takes from it, and single 1400-byte records could not keep a 4 Mbit/s stream fed, let alone
// at higher speeds. The byte stream and the order of sound and video stay as in the file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "netclient/media/codec/voiceengine.h"
#include "netclient/media/record/record_reader.h"
#include "netclient/replay/replay_feed.h"
#include "netclient/replay/replay_target.h"

namespace qvnet {

// Where a seek to `target_tick` goes: the first entry whose tick is later than the target
// (strictly: a seek to the very first time moves to the second key frame). Ticks wrap at
// 2^32, so "later" is taken within half the counter. None when no entry is later.
std::optional<size_t> FindSeekEntry(std::span<const IndexEntry> index, uint32_t target_tick);

// Whole seconds from the first index entry's tick to `tick`; 0 for a tick older than it.
uint32_t SecondsFromFirst(uint32_t first_tick, uint32_t tick);

class RecordReplay {
 public:
  static constexpr uint32_t kReadBufferBytes = 1024 * 1024;
  static constexpr uint32_t kRetryMs = 1;
  // Sound records that decode to this many samples or more are not played.
  static constexpr uint16_t kMaxPlayedSamples = 960;
  static constexpr size_t kVideoBatchBytes = 128 * 1024;

  RecordReplay(const ReplayTarget& target, RecordFileReader& file, ReplayFeed& feed);

  // Starts at the first frame record.
  void Begin();
  // One frame record (nothing at the end of the file), then the seek step.
  void Step();
  bool AtEnd() const { return at_end_; }

 private:
  void ReadRecord();
  void PlayAudio(const FrameHeader& header);
  void PlayVideo(const FrameHeader& header);
  // Writes the video records collected so far.
  void FlushVideo();
  void SeekStep();

  const ReplayTarget target_;
  RecordFileReader& file_;
  ReplayFeed& feed_;
  std::vector<uint8_t> buffer_;
  const bool batch_video_;
  std::vector<uint8_t> batch_;
  bool at_end_ = false;
  bool voice_ready_ = false;
  qvcodec::VoiceState voice_{};
  std::array<int16_t, qvcodec::kMaxVoiceSamples> samples_{};
};

}  // namespace qvnet
