#include "netclient/media/codec/voiceengine.h"

#include <cstring>
#include <type_traits>

#include "netclient/media/codec/g711.h"
#include "netclient/media/codec/g726.h"

namespace qvcodec {
namespace {

// Tags mark an area reset for one direction, so that a never-reset (garbage) area or one
// reset the other way round is refused instead of used.
constexpr uint32_t kDecoderTag = 0x56444543;  // "VDEC"
constexpr uint32_t kEncoderTag = 0x56454E43;  // "VENC"

struct VoiceCodecState {
  uint32_t tag;
  int16_t codec;
  uint16_t reserved;
  G726State g726;
};
static_assert(sizeof(VoiceCodecState) <= kVoiceStateSize);
static_assert(std::is_trivially_copyable_v<VoiceCodecState>);

// Bits per sample of a codec, 0 for an unknown number.
int BitsPerSample(int16_t codec) {
  switch (codec) {
    case kVoiceAlaw:
    case kVoiceUlaw: return 8;
    case kVoiceG726_16: return 2;
    case kVoiceG726_24: return 3;
    case kVoiceG726_32: return 4;
    case kVoiceG726_40: return 5;
    default: return 0;
  }
}

// The area is copied in and out rather than cast: it may have any alignment.
bool Load(const void* area, uint32_t tag, VoiceCodecState* st) {
  std::memcpy(st, area, sizeof(*st));
  return st->tag == tag && BitsPerSample(st->codec) != 0;
}

void Store(void* area, const VoiceCodecState& st) { std::memcpy(area, &st, sizeof(st)); }

int Reset(void* area, int16_t codec, uint32_t tag) {
  if (area == nullptr) return kVoiceBadArgument;
  VoiceCodecState st{};
  const int bits = BitsPerSample(codec);
  if (bits == 0) {
    Store(area, st);  // a failed reset leaves no usable state behind
    return kVoiceUnknownCodec;
  }
  st.tag = tag;
  st.codec = codec;
  if (bits < 8) G726Init(&st.g726, bits);
  Store(area, st);
  return kVoiceOk;
}

void DecodeData(VoiceCodecState* st, const uint8_t* data, size_t samples, int16_t* out) {
  if (st->codec == kVoiceAlaw) {
    for (size_t i = 0; i < samples; ++i) out[i] = AlawToLinear(data[i]);
    return;
  }
  if (st->codec == kVoiceUlaw) {
    for (size_t i = 0; i < samples; ++i) out[i] = UlawToLinear(data[i]);
    return;
  }
  const int bits = st->g726.bits;
  uint32_t acc = 0;
  int held = 0;
  for (size_t i = 0; i < samples; ++i) {
    if (held < bits) {
      acc |= static_cast<uint32_t>(*data++) << held;
      held += 8;
    }
    out[i] = G726Decode(&st->g726, static_cast<uint8_t>(acc));
    acc >>= bits;
    held -= bits;
  }
}

// Decodes `words` words of data at `data`.
int DecodeWords(void* area, const uint8_t* data, size_t words, int16_t* out,
                uint16_t* sample_count) {
  VoiceCodecState st;
  if (!Load(area, kDecoderTag, &st)) return kVoiceNotReset;
  const size_t samples = words * 16 / static_cast<size_t>(BitsPerSample(st.codec));
  if (samples > kMaxVoiceSamples) return kVoiceTooLong;
  DecodeData(&st, data, samples, out);
  Store(area, st);
  *sample_count = static_cast<uint16_t>(samples);
  return kVoiceOk;
}

size_t ReadWords(const uint8_t* frame, bool* tag_ok) {
  *tag_ok = (frame[0] | (frame[1] << 8)) == kVoiceFrameTag;
  return static_cast<size_t>(frame[2] | (frame[3] << 8));
}

void EncodeData(VoiceCodecState* st, const int16_t* pcm, size_t samples, uint8_t* data,
                size_t data_bytes) {
  std::memset(data, 0, data_bytes);
  if (st->codec == kVoiceAlaw || st->codec == kVoiceUlaw) {
    const bool alaw = st->codec == kVoiceAlaw;
    for (size_t i = 0; i < samples; ++i) data[i] = alaw ? LinearToAlaw(pcm[i]) : LinearToUlaw(pcm[i]);
    if (samples < data_bytes) data[samples] = alaw ? LinearToAlaw(0) : LinearToUlaw(0);
    return;
  }
  const int bits = st->g726.bits;
  uint32_t acc = 0;
  int held = 0;
  for (size_t i = 0; i < samples; ++i) {
    acc |= static_cast<uint32_t>(G726Encode(&st->g726, pcm[i])) << held;
    held += bits;
    while (held >= 8) {
      *data++ = static_cast<uint8_t>(acc);
      acc >>= 8;
      held -= 8;
    }
  }
  if (held > 0) *data = static_cast<uint8_t>(acc);
}

}  // namespace

int VoiceDecReset(void* state, int16_t codec) { return Reset(state, codec, kDecoderTag); }

int VoiceEncReset(void* state, int16_t codec) { return Reset(state, codec, kEncoderTag); }

int VoiceDecodeFrame(void* state, const uint8_t* frame, int16_t* out, uint16_t* sample_count) {
  if (sample_count != nullptr) *sample_count = 0;
  if (state == nullptr || frame == nullptr || out == nullptr || sample_count == nullptr) {
    return kVoiceBadArgument;
  }
  bool tag_ok = false;
  const size_t words = ReadWords(frame, &tag_ok);
  if (!tag_ok) return kVoiceBadFrame;
  return DecodeWords(state, frame + kVoiceHeaderSize, words, out, sample_count);
}

int VoiceDecodeFrameBounded(void* state, const uint8_t* frame, size_t frame_len, int16_t* out,
                            uint16_t* sample_count) {
  if (sample_count != nullptr) *sample_count = 0;
  if (state == nullptr || frame == nullptr || out == nullptr || sample_count == nullptr) {
    return kVoiceBadArgument;
  }
  if (frame_len < kVoiceHeaderSize) return kVoiceBadFrame;
  bool tag_ok = false;
  const size_t words = ReadWords(frame, &tag_ok);
  if (!tag_ok || kVoiceHeaderSize + 2 * words > frame_len) return kVoiceBadFrame;
  return DecodeWords(state, frame + kVoiceHeaderSize, words, out, sample_count);
}

size_t VoiceFrameBytes(int16_t codec, int32_t sample_count) {
  const int bits = BitsPerSample(codec);
  if (bits == 0 || sample_count < 0 || sample_count > kMaxVoiceSamples) return 0;
  const size_t words = (static_cast<size_t>(sample_count) * static_cast<size_t>(bits) + 15) / 16;
  return kVoiceHeaderSize + 2 * words;
}

int VoiceEncodeFrame(void* state, const int16_t* pcm, uint8_t* out, int32_t sample_count) {
  if (state == nullptr || out == nullptr || sample_count < 0 ||
      sample_count > kMaxVoiceSamples || (pcm == nullptr && sample_count > 0)) {
    return kVoiceBadArgument;
  }
  VoiceCodecState st;
  if (!Load(state, kEncoderTag, &st)) return kVoiceNotReset;
  const size_t frame_bytes = VoiceFrameBytes(st.codec, sample_count);
  const size_t words = (frame_bytes - kVoiceHeaderSize) / 2;
  out[0] = static_cast<uint8_t>(kVoiceFrameTag & 0xFF);
  out[1] = static_cast<uint8_t>(kVoiceFrameTag >> 8);
  out[2] = static_cast<uint8_t>(words & 0xFF);
  out[3] = static_cast<uint8_t>(words >> 8);
  EncodeData(&st, pcm, static_cast<size_t>(sample_count), out + kVoiceHeaderSize,
             frame_bytes - kVoiceHeaderSize);
  Store(state, st);
  return kVoiceOk;
}

}  // namespace qvcodec
