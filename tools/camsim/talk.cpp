#include "tools/camsim/talk.h"

#include <cstring>

namespace camsim {

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool IsValidVoiceFrame(const uint8_t* frame, size_t size) {
  if (size < kVoiceHeaderSize || size > kMaxVoiceFrame) return false;
  if (frame[0] != 0x00 || frame[1] != 0x01) return false;
  const size_t words = static_cast<size_t>(frame[2]) | static_cast<size_t>(frame[3]) << 8;
  return kVoiceHeaderSize + 2 * words == size;
}

Bytes MakeVoiceFrame(const Bytes& payload) {
  const size_t words = payload.size() / 2;
  Bytes frame(kVoiceHeaderSize + 2 * words);
  frame[0] = 0x00;
  frame[1] = 0x01;
  frame[2] = static_cast<uint8_t>(words);
  frame[3] = static_cast<uint8_t>(words >> 8);
  if (words > 0) std::memcpy(frame.data() + kVoiceHeaderSize, payload.data(), 2 * words);
  return frame;
}

bool TalkFrameReader::Feed(const uint8_t* data, size_t size) {
  pending_.append(reinterpret_cast<const char*>(data), size);
  size_t pos = 0;
  while (pending_.size() - pos >= kTalkHeaderSize) {
    const auto* header = reinterpret_cast<const uint8_t*>(pending_.data() + pos);
    const uint32_t length = ReadLe32(header);
    const uint32_t tick = ReadLe32(header + 4);
    if (length > kMaxVoiceFrame) return false;
    if (pending_.size() - pos - kTalkHeaderSize < length) break;
    const uint8_t* voice = header + kTalkHeaderSize;
    on_frame_(length, tick, voice, IsValidVoiceFrame(voice, length));
    pos += kTalkHeaderSize + length;
  }
  pending_.erase(0, pos);
  return true;
}

}  // namespace camsim
