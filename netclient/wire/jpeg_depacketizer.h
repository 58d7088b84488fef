// Motion JPEG over RTP (RFC 2435). Two forms arrive:
// - the cameras' dialect: the first fragment of a picture (fragment offset 0) carries the
//   quantization-table header and 128 bytes of tables, and the fragments together hold a
//   complete JPEG image (SOI .. EOI);
// - the RFC's own form: the fragments hold the scan data only, and the receiver rebuilds the
//   JPEG headers from the RTP/JPEG header and the tables (computed for Q < 128, in-band or
//   remembered from an earlier picture for Q >= 128), then adds EOI (jpeg_header.h).
// A first fragment whose data starts with SOI right after 128 table bytes is the dialect;
// anything else is rebuilt. Pictures are joined in a 1 MiB assembly buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "netclient/wire/jpeg_header.h"
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

  // A new picture; `header` (rebuilt JPEG headers, may be empty) goes in first.
  void Begin(const uint8_t* header = nullptr, size_t header_length = 0);
  // Appends picture data that the RTP/JPEG fragment offsets count; a picture that would
  // outgrow the buffer is dropped whole, and the rest of its fragments are skipped until the
  // next picture begins.
  void Append(const uint8_t* data, size_t length);
  void Drop() {
    fill_ = 0;
    dropping_ = true;
  }
  void Clear() {
    fill_ = 0;
    data_bytes_ = 0;
    started_ = false;
  }

  const uint8_t* Data() const { return buffer_.get(); }
  size_t Fill() const { return fill_; }
  bool Dropping() const { return dropping_; }
  bool Started() const { return started_; }
  // Bytes appended since Begin(), the rebuilt header not counted: the next fragment's offset.
  size_t DataBytes() const { return data_bytes_; }
  // Whether the picture's headers were rebuilt (its end marker is then added at the end).
  bool Rebuilt() const { return rebuilt_; }
  void SetRebuilt(bool rebuilt) { rebuilt_ = rebuilt; }

  // In-band tables of the last picture, for pictures that send a table length of 0.
  QuantTables& CachedTables() { return cached_tables_; }
  bool HasCachedTables() const { return has_cached_tables_; }
  void SetHasCachedTables() { has_cached_tables_ = true; }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  size_t fill_ = 0;
  size_t data_bytes_ = 0;
  bool dropping_ = false;
  bool started_ = false;
  bool rebuilt_ = false;
  QuantTables cached_tables_;
  bool has_cached_tables_ = false;
};

// Takes one RTP packet apart (rtp_header.h finds its payload). When its marker bit closes a
// picture, the picture goes to the video conduit in one piece and into each running recording
// (kind 10 over UDP, 7 over TCP, an index point either way). A fragment whose offset does not
// continue the picture (a packet was lost) drops the picture. False when the packet was
// dropped.
bool HandleJpegPacket(const PacketContext& ctx, const uint8_t* packet, size_t length);

}  // namespace qvnet
