// The session description a camera returns to DESCRIBE (RFC 4566): video first as
// trackID=0, then audio as trackID=1.
#pragma once

#include <string>

#include "tools/camsim/media_types.h"

namespace camsim {

struct SdpInput {
  const VideoClip* video = nullptr;
  AudioCodec audio = AudioCodec::kNone;
  bool audio_without_control = false;  // bad-input mode: only one trackID in the SDP
  std::string address;                 // the camera's own address, for o= and c=
  uint32_t session_version = 1;
};

std::string BuildSdp(const SdpInput& input);

// "a=fmtp:96 ..." value for H.264 (RFC 6184 §8.1): packetization-mode=1, profile-level-id
// and sprop-parameter-sets from the clip's first SPS and PPS when it has them.
std::string H264Fmtp(const VideoClip& clip);

}  // namespace camsim
