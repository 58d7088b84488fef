// The RTSP connection after PLAY over TCP, as CAVSource_RTSP_TCP reads it: InterleavedReader
// over a receive function, units handed to the depacketizers by channel. The receive sizes
// come from the input, so that frames split across receives (and the buffer's compaction) are
// reached. Every unit handed out must be exactly the bytes of the stream at that point.
#include <algorithm>
#include <cstring>
#include <span>

#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "netclient/stream/av_source_tcp.h"
#include "netclient/wire/interleaved_dispatch.h"
#include "netclient/wire/h264_depacketizer.h"
#include "netclient/wire/interleaved_reader.h"
#include "netclient/wire/jpeg_depacketizer.h"

namespace qvfuzz {
namespace {

constexpr const char* kName = "interleaved_reader";
constexpr size_t kMaxPacket = qvnet::CAVSource_RTSP_TCP::kPacketBuffer;

// Hands out the stream in pieces: everything asked for when `mode` is 0, else pieces of
// 1..16*mode bytes from a small generator seeded with `mode`.
class PiecewiseStream {
 public:
  PiecewiseStream(std::span<const uint8_t> bytes, uint8_t mode) : bytes_(bytes), mode_(mode), state_(mode + 1u) {}

  ssize_t Receive(void* buf, size_t size) {
    if (pos_ >= bytes_.size()) return 0;  // the camera closed the connection
    size_t n = std::min(size, bytes_.size() - pos_);
    if (mode_ != 0) n = std::min<size_t>(n, 1 + NextRandom() % (16u * mode_));
    std::memcpy(buf, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

 private:
  uint32_t NextRandom() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  std::span<const uint8_t> bytes_;
  uint8_t mode_;
  uint32_t state_;
  size_t pos_ = 0;
};

size_t FrameLength(std::span<const uint8_t> s, size_t at) {
  return at + 4 <= s.size() ? (static_cast<size_t>(s[at + 2]) << 8) | s[at + 3] : 0;
}

// Checks one unit against the stream at `*consumed` and moves past it.
void CheckUnit(std::span<const uint8_t> stream, size_t* consumed, int result, const uint8_t* data, size_t length) {
  const size_t at = *consumed;
  if (result == qvnet::kInterleavedText) {
    Check(length >= 1 && data != nullptr && at + length <= stream.size(), kName, "text unit outside the stream");
    Check(std::memcmp(data, stream.data() + at, length) == 0, kName, "text unit differs from the stream");
    // A whole answer may hold a '$' in its body; any other text stops before the next frame.
    const bool answer = length >= 5 && std::memcmp(data, "RTSP/", 5) == 0;
    Check(length == 1 || answer || std::memchr(data + 1, '$', length - 1) == nullptr, kName, "text unit runs into a frame");
    *consumed = at + length;
    return;
  }
  Check(at + 4 <= stream.size() && stream[at] == '$', kName, "frame not at a '$'");
  const size_t frame = FrameLength(stream, at);
  Check(at + 4 + frame <= stream.size(), kName, "frame outside the stream");
  if (result == qvnet::kInterleavedSkipped) {
    Check(frame > kMaxPacket && data == nullptr, kName, "skipped a packet that fits");
  } else {
    Check(stream[at + 1] == result && frame == length && frame <= kMaxPacket, kName, "wrong channel or length");
    Check(std::memcmp(data, stream.data() + at + 4, length) == 0, kName, "packet differs from the stream");
  }
  *consumed = at + 4 + frame;
}

}  // namespace

int FuzzInterleavedReader(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  const uint8_t mode = in.Byte();
  const std::span<const uint8_t> stream = in.Rest();
  PiecewiseStream source(stream, mode & 0x7F);
  qvnet::InterleavedReader reader([&source](void* buf, size_t n) { return source.Receive(buf, n); });

  FuzzClient client(qvnet::kNvrClientFlavor);
  client.video_payload_type = (mode & 0x80) != 0 ? qvnet::kPayloadTypeJpeg : qvnet::kPayloadTypeH264;
  qvnet::JpegAssembly jpeg;
  qvnet::FuAssembly fua;
  qvnet::KeyFrameSpan span;
  Check(jpeg.Allocate(), kName, "no memory for the JPEG assembly");

  size_t consumed = 0;
  // Every unit takes at least one byte of the stream, so the stream's size bounds the turns.
  for (size_t turn = 0;; ++turn) {
    Check(turn <= stream.size(), kName, "more units than bytes");
    uint8_t* packet = nullptr;
    size_t length = 0;
    const int channel = reader.Next(&packet, &length, kMaxPacket);
    if (channel == qvnet::kInterleavedFailed) break;
    CheckUnit(stream, &consumed, channel, packet, length);
    const qvnet::PacketContext ctx{client, qvnet::MediaTransport::kTcp, nullptr, nullptr, &jpeg, &span,
                                    static_cast<qvp::Tick>(turn * 40), &fua};
    qvnet::HandleInterleavedPacket(ctx, channel, packet, length);
  }
  return 0;
}

}  // namespace qvfuzz
