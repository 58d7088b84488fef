// Motion JPEG over RTP in the cameras' dialect of RFC 2435: every fragment carries the
// 8-byte JPEG header; the first fragment of a picture (fragment offset 0) also carries a
// quantization-table header and 128 bytes of tables, and the fragments together hold a
// complete JPEG image. The pictures are joined in a 1 MiB assembly buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "netclient/wire/rtp_packet.h"

namespace qvnet {

inline constexpr size_t kJpegAssemblyCapacity = 1u << 20;
// RTP header + JPEG header: anything shorter carries no picture data.
inline constexpr size_t kMinJpegPacket = kRtpHeaderSize + 8;
// RTP header + JPEG header + quantization-table header + two 64-byte tables.
inline constexpr size_t kJpegFirstFragmentSkip = kRtpHeaderSize + 8 + 4 + 128;

// The picture being joined. The buffer is made once per receiver, never per packet.
class JpegAssembly {
 public:
  // Makes the buffer unless it exists; false when memory is short.
  bool Allocate();
  bool Allocated() const { return buffer_ != nullptr; }

  void Begin() {
    fill_ = 0;
    dropping_ = false;
  }
  // Appends `length` bytes; a picture that would outgrow the buffer is dropped whole, and the
  // rest of its fragments are skipped until the next picture begins.
  void Append(const uint8_t* data, size_t length);
  void Drop() {
    fill_ = 0;
    dropping_ = true;
  }
  void Clear() { fill_ = 0; }

  const uint8_t* Data() const { return buffer_.get(); }
  size_t Fill() const { return fill_; }
  bool Dropping() const { return dropping_; }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  size_t fill_ = 0;
  bool dropping_ = false;
};

// Takes one RTP packet apart. When its marker bit closes a picture, the picture goes to the
// video conduit in one piece and into each running recording (kind 10 over UDP, 7 over TCP,
// an index point either way). False when the packet was dropped.
bool HandleJpegPacket(const PacketContext& ctx, const uint8_t* packet, size_t length);

}  // namespace qvnet
