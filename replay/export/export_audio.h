// The audio of a recording on its way into an export: which form the container gets (the
// G.711 bytes as recorded, or 16-bit PCM decoded from any voice codec, or nothing) and each
// record's time. Audio records carry RTP timestamps, which say nothing about the pictures'
// ticks; the first audio record after the export began is placed at the picture time reached
// so far, and later ones follow by their RTP timestamps (8000 per second), starting over from
// the pictures when the timestamps jump.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "netclient/media/codec/voiceengine.h"
#include "replay/export/export_muxer.h"

namespace qvexport {

enum class AudioMode { kNone, kCopy, kDecode };

struct AudioPlan {
  AudioMode mode = AudioMode::kNone;
  AudioFormat format = AudioFormat::kPcm16;
  std::string warning;  // set when the recording's audio is left out
};

// The plan for the recording's voice codec number (0: none) in `muxer`'s container.
AudioPlan PlanAudio(uint8_t codec, const ExportMuxer& muxer);

class AudioTrackWriter {
 public:
  AudioTrackWriter(const AudioPlan& plan, uint8_t codec);

  // One audio record: its payload (voice frame: 4-byte header, then the data), its RTP
  // timestamp and the picture time reached so far. False only when writing failed.
  bool Write(std::span<const uint8_t> payload, uint32_t rtp_timestamp, int64_t video_pts_ms, ExportMuxer& muxer,
             std::string* error);
  uint64_t Packets() const { return packets_; }

 private:
  // The samples of one record in the output's form; false for a record that does not decode.
  bool Convert(std::span<const uint8_t> payload, std::vector<uint8_t>* out, int64_t* samples);

  AudioPlan plan_;
  uint8_t codec_;
  qvcodec::VoiceState state_{};
  bool decoder_ready_ = false;
  bool synced_ = false;
  uint32_t first_rtp_ = 0;
  int64_t first_pts_ = 0;  // samples
  int64_t next_pts_ = 0;
  uint64_t packets_ = 0;
  std::vector<uint8_t> buffer_;
  std::vector<int16_t> pcm_;
};

}  // namespace qvexport
