// The talk connection after "CMD:TALK" was accepted. The client sends talk frames: an 8-byte
// header {u32 length, u32 tick} (little-endian) and a voice frame of that length; a voice
// frame is {u16 0x0100, u16 words} (little-endian) and 2 x words bytes of G.726-32 data.
// With talk-back on, the camera sends bare voice frames of 320 samples every 40 ms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tools/camsim/media_types.h"

namespace camsim {

inline constexpr size_t kTalkHeaderSize = 8;
inline constexpr uint32_t kMaxVoiceFrame = 1023;
inline constexpr size_t kVoiceHeaderSize = 4;

// True for {00 01, words (LE)} followed by exactly 2 x words bytes.
bool IsValidVoiceFrame(const uint8_t* frame, size_t size);

// A voice frame carrying `payload` (an even number of bytes of encoded data).
Bytes MakeVoiceFrame(const Bytes& payload);

// Cuts talk frames out of a byte stream. Each complete frame goes to the callback with its
// header fields and whether its voice frame is well formed.
class TalkFrameReader {
 public:
  using OnFrame = std::function<void(uint32_t length, uint32_t tick, const uint8_t* voice, bool valid)>;
  explicit TalkFrameReader(OnFrame on_frame) : on_frame_(std::move(on_frame)) {}

  // False once the stream cannot be followed any more (a length beyond any voice frame):
  // there is no way to find the next header again.
  bool Feed(const uint8_t* data, size_t size);

 private:
  OnFrame on_frame_;
  std::string pending_;
};

}  // namespace camsim
