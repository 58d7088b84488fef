// Voice codec for the audio paths: G.711 A-law and µ-law, G.726 at 16, 24, 32 and 40
// kbit/s, 8000 Hz mono 16-bit PCM. Encoded audio travels in voice frames: a 4-byte header
// {16-bit 0x0100, 16-bit count of 16-bit words of encoded data}, little-endian, then the
// data. G.726 codes are packed least significant bits first, as RTP carries them
// (RFC 3551 §4.5.4), so a packet's payload is a frame's data unchanged.
//
// The state area belongs to the caller and is never destroyed, so the whole coder state
// lives inside its kVoiceStateSize bytes. A state is usable after a successful reset for
// its direction.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvcodec {

inline constexpr size_t kVoiceStateSize = 136;

// Storage for one voice state; any suitably sized area works too (it is copied, never
// aliased as an object).
struct alignas(8) VoiceState {
  unsigned char bytes[kVoiceStateSize];
};

// Audio codec numbers: what the reset calls take, and what the RTSP set-up, the record files
// (frame kind and header codec byte) and the talk request carry. 0 is no codec announced.
enum VoiceCodec : int16_t {
  kVoiceAlaw = 1,
  kVoiceUlaw = 2,
  kVoiceG726_16 = 4,  // kbit/s
  kVoiceG726_24 = 5,
  kVoiceG726_32 = 6,
  kVoiceG726_40 = 7,
};

inline constexpr size_t kVoiceHeaderSize = 4;
inline constexpr uint16_t kVoiceFrameTag = 0x0100;

// Most samples one frame may decode to or be encoded from. Covers the largest packet the
// RTP receivers read (2048 bytes) at 2 bits per sample; output buffers must hold this many.
inline constexpr uint16_t kMaxVoiceSamples = 8192;
// Largest frame VoiceEncodeFrame writes (G.711: one byte per sample).
inline constexpr size_t kMaxVoiceFrameBytes = kVoiceHeaderSize + kMaxVoiceSamples;

// Results; 0 is success.
inline constexpr int kVoiceOk = 0;
inline constexpr int kVoiceBadArgument = -1;   // null pointer or sample count out of range
inline constexpr int kVoiceNotReset = -2;      // state not reset for this direction
inline constexpr int kVoiceUnknownCodec = -3;  // codec number not one of the above
inline constexpr int kVoiceBadFrame = -4;      // header tag wrong, or data shorter than told
inline constexpr int kVoiceTooLong = -5;       // frame would decode to over kMaxVoiceSamples

int VoiceDecReset(void* state, int16_t codec);

// Decodes the frame at `frame`, reading 4 + 2 x (word count) bytes: the caller vouches for
// them. `out` must hold kMaxVoiceSamples; `*sample_count` gets the samples written
// (data bits / bits per sample), 0 on failure.
int VoiceDecodeFrame(void* state, const uint8_t* frame, int16_t* out, uint16_t* sample_count);

// As VoiceDecodeFrame, but refuses a frame whose header claims more data than `frame_len`
// bytes hold. Use this for anything received from the network.
int VoiceDecodeFrameBounded(void* state, const uint8_t* frame, size_t frame_len, int16_t* out,
                            uint16_t* sample_count);

int VoiceEncReset(void* state, int16_t codec);

// Encodes `sample_count` samples (0..kMaxVoiceSamples) into a frame at `out`, which must
// hold VoiceFrameBytes(codec, sample_count) bytes. Data short of a whole word is padded
// with zero bits (G.711: a silence code), which a decoder reads as extra samples, so
// counts that are multiples of 16 code exactly.
int VoiceEncodeFrame(void* state, const int16_t* pcm, uint8_t* out, int32_t sample_count);

// Size of the frame that encodes `sample_count` samples with `codec`; 0 when either is
// out of range.
size_t VoiceFrameBytes(int16_t codec, int32_t sample_count);

}  // namespace qvcodec
