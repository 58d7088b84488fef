// The looped sound of a camera (and of its talk-back): the speech-like signal encoded with
// libavcodec and cut into RTP payloads of 40 ms (RFC 3551 packing for G.726).
#pragma once

#include <memory>
#include <string>

#include "tools/camsim/media_types.h"

namespace camsim {

inline constexpr int kSamplesPerPacket = 320;  // 40 ms at 8 kHz

// Shared between cameras with the same codec; null with `error` set when encoding fails.
std::shared_ptr<const AudioClip> GetAudioClip(AudioCodec codec, int seconds, std::string* error);

std::shared_ptr<AudioClip> EncodeAudioClip(AudioCodec codec, int seconds, std::string* error);

}  // namespace camsim
