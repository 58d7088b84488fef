#include "netclient/media/sound/talk_frame.h"

#include "netclient/media/codec/voiceengine.h"

namespace qvnet {

namespace {

void PutU32Le(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

uint32_t TalkVoiceLength(const uint8_t* frame, size_t frame_len) {
  if (frame == nullptr || frame_len < qvcodec::kVoiceHeaderSize) return 0;
  return static_cast<uint32_t>(qvcodec::kVoiceHeaderSize) + 2u * frame[2];
}

uint32_t PutTalkHeader(uint8_t* header, const uint8_t* frame, size_t frame_len, uint32_t tick) {
  const uint32_t length = TalkVoiceLength(frame, frame_len);
  if (length == 0 || length > frame_len || length > kMaxTalkVoiceBytes) return 0;
  PutU32Le(header, length);
  PutU32Le(header + 4, tick);
  return length;
}

}  // namespace qvnet
