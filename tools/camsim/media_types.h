// The media a camera sends, prepared once and looped: access units of video and 40 ms
// packets of audio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/camsim/camera_options.h"

namespace camsim {

using Bytes = std::vector<uint8_t>;

// One picture. H.264: its NAL units without start codes. JPEG: one complete image (SOI..EOI)
// and the 128 bytes of quantization tables the RTP JPEG header carries (RFC 2435 §3.1.8).
struct AccessUnit {
  std::vector<Bytes> nals;
  bool key = false;  // IDR (H.264) or any picture (JPEG): streaming may start or resume here
  Bytes qtables;
};

struct VideoClip {
  VideoCodec codec = VideoCodec::kH264;
  int width = 0;
  int height = 0;
  int fps = 25;
  std::vector<AccessUnit> units;
  Bytes sps;  // first SPS and PPS, for sprop-parameter-sets
  Bytes pps;
};

// RTP payloads of 320 samples (40 ms at 8 kHz) each.
struct AudioClip {
  AudioCodec codec = AudioCodec::kNone;
  std::vector<Bytes> packets;
};

// Properties of an audio codec on the wire.
struct AudioCodecInfo {
  int payload_type;
  const char* rtpmap;      // the full SDP attribute
  const char* av_encoder;  // libavcodec encoder name
  int bits_per_sample;
};
// Null for AudioCodec::kNone.
const AudioCodecInfo* GetAudioCodecInfo(AudioCodec codec);

}  // namespace camsim
