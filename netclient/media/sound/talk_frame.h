// The talk frame: what the client sends on an open talk connection for every 40 ms of
// microphone sound. An 8-byte header {u32 length of the voice frame, u32 millisecond tick},
// both little-endian, then the voice frame itself ({u16 0x0100, u16 word count}, then 2 x
// word count bytes of G.726 data).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvnet {

inline constexpr size_t kTalkHeaderBytes = 8;
// Largest voice frame a talk frame may carry.
inline constexpr uint32_t kMaxTalkVoiceBytes = 1023;

// Length of the voice frame at `frame` as its header tells it: 4 + 2 x the word count in its
// byte 2 (the low byte of the count). 0 when `frame_len` cannot even hold the header.
uint32_t TalkVoiceLength(const uint8_t* frame, size_t frame_len);

// Writes the talk frame header for the voice frame at `frame` (of `frame_len` valid bytes)
// into `header`. Returns the length it wrote into the header, or 0 (nothing written) when
// the frame is shorter than its header tells or longer than kMaxTalkVoiceBytes.
uint32_t PutTalkHeader(uint8_t* header, const uint8_t* frame, size_t frame_len, uint32_t tick);

}  // namespace qvnet
