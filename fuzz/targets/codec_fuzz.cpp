// The decoders behind the display and sound, given what a camera or a damaged file may hand
// them: voice frames through the bounded decoder, H.264 byte streams in whole pieces or in the
// replay's fixed-size slices, JPEG images. Every picture that comes out is read in full, so a
// plane smaller than its declared geometry shows up under the address sanitizer.
#include <vector>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/media/codec/decoder_locks.h"
#include "netclient/media/codec/h264dec.h"
#include "netclient/media/codec/mjpegdec.h"
#include "netclient/media/codec/voiceengine.h"

namespace qvfuzz {
namespace {

constexpr const char* kVoiceName = "voice_decoder";
constexpr const char* kH264Name = "h264_decoder";
constexpr const char* kJpegName = "mjpeg_decoder";
// Pictures taken out after one input before the decoder must ask for more.
constexpr int kMaxPicturesPerInput = 64;

// Reads every byte of the picture's planes: 4:2:0, chroma half size rounded up.
void TouchPicture(const qvcodec::DecodedPicture& p, const char* target) {
  Check(p.y != nullptr && p.u != nullptr && p.v != nullptr, target, "picture without planes");
  Check(p.width > 0 && p.height > 0 && p.y_stride >= p.width && p.uv_stride >= (p.width + 1) / 2, target,
        "picture geometry out of range");
  volatile uint32_t sum = 0;
  for (int32_t row = 0; row < p.height; ++row) {
    const uint8_t* line = p.y + static_cast<ptrdiff_t>(row) * p.y_stride;
    for (int32_t x = 0; x < p.width; ++x) sum = sum + line[x];
  }
  for (int32_t row = 0; row < (p.height + 1) / 2; ++row) {
    const ptrdiff_t at = static_cast<ptrdiff_t>(row) * p.uv_stride;
    for (int32_t x = 0; x < (p.width + 1) / 2; ++x) sum = sum + p.u[at + x] + p.v[at + x];
  }
}

// One piece into the decoder, then every picture it has; false when the decoder is unusable.
bool DecodePiece(qvcodec::H264Decoder& decoder, const uint8_t* data, int32_t length, int32_t flags) {
  qvcodec::DecodedPicture picture{};
  int32_t result = decoder.Decode(data, length, &picture, flags);
  for (int n = 0; result == qvcodec::kDecPicture; ++n) {
    Check(n < kMaxPicturesPerInput, kH264Name, "pictures without end from one input");
    TouchPicture(picture, kH264Name);
    result = decoder.Decode(nullptr, 0, &picture);
  }
  if (result == qvcodec::kDecRecreate) return decoder.Create(352, 288, 4);
  return result != qvcodec::kDecUnusable;
}

}  // namespace

int FuzzVoiceDecoder(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  qvcodec::VoiceState state{};
  const auto codec = static_cast<int16_t>(in.Byte() & 7);
  if (qvcodec::VoiceDecReset(&state, codec) != qvcodec::kVoiceOk) return 0;
  std::vector<int16_t> out(qvcodec::kMaxVoiceSamples);
  while (!in.Empty()) {
    const std::span<const uint8_t> chunk = in.Chunk();
    // A buffer of exactly the frame's size, so that a read beyond it is caught.
    const std::vector<uint8_t> frame(chunk.begin(), chunk.end());
    uint16_t count = 1;
    const int result = qvcodec::VoiceDecodeFrameBounded(&state, frame.data(), frame.size(), out.data(), &count);
    Check(count <= qvcodec::kMaxVoiceSamples, kVoiceName, "more samples than the output holds");
    Check(result == qvcodec::kVoiceOk || count == 0, kVoiceName, "a refused frame reported samples");
  }
  return 0;
}

int FuzzH264Decoder(const uint8_t* data, size_t size) {
  QuietCodecLogs();
  ByteReader in(data, size);
  // 0: the whole stream at once, as a live picture; else slices of 64 * mode bytes, as replay.
  const uint8_t mode = in.Byte();
  const std::span<const uint8_t> stream = in.Rest();
  qvcodec::H264Decoder decoder;
  Check(decoder.Create(352, 288, 4), kH264Name, "decoder not created");
  const size_t slice = mode == 0 ? stream.size() : size_t{64} * mode;
  for (size_t at = 0; at < stream.size(); at += slice) {
    const size_t n = std::min(slice, stream.size() - at);
    const std::vector<uint8_t> piece(stream.begin() + static_cast<ptrdiff_t>(at),
                                     stream.begin() + static_cast<ptrdiff_t>(at + n));
    if (!DecodePiece(decoder, piece.data(), static_cast<int32_t>(piece.size()), 0)) return 0;
  }
  DecodePiece(decoder, nullptr, 0, qvcodec::kH264FlagEndOfStream);
  return 0;
}

int FuzzMjpegDecoder(const uint8_t* data, size_t size) {
  QuietCodecLogs();
  qvcodec::MjpegDecoder decoder;
  Check(decoder.Create(352, 288), kJpegName, "decoder not created");
  const std::vector<uint8_t> image(data, data + size);
  qvcodec::DecodedPicture picture{};
  if (decoder.Decode(image.data(), static_cast<int32_t>(image.size()), &picture) == qvcodec::kJpegPicture) {
    TouchPicture(picture, kJpegName);
  }
  return 0;
}

}  // namespace qvfuzz
