// RFC 2435 RTP/JPEG: the 8-byte main header, the restart marker header and the quantization
// table header, and the JPEG headers a receiver rebuilds from them (§3.1, Appendices A and B):
// a baseline image of types 0 and 1 (4:2:2 and 4:2:0, 64 and 65 with restart markers) whose
// scan data alone travels over RTP. Pure functions of bytes in memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qvnet {

inline constexpr size_t kRtpJpegMainHeaderSize = 8;
inline constexpr size_t kRtpJpegRestartHeaderSize = 4;
inline constexpr size_t kRtpJpegQuantHeaderSize = 4;
// Two tables of 64 entries, 16 bits each at most.
inline constexpr size_t kMaxQuantTableBytes = 256;
// SOI, DQT, SOF0, four DHT tables, DRI and SOS stay well below this.
inline constexpr size_t kMaxRebuiltJpegHeader = 1024;

struct RtpJpegHeader {
  uint8_t type_specific = 0;
  uint32_t fragment_offset = 0;
  uint8_t type = 0;
  uint8_t q = 0;
  uint16_t width = 0;   // in pixels (the header carries 8-pixel blocks)
  uint16_t height = 0;
  uint16_t restart_interval = 0;  // types 64..127 only
  size_t size = 0;      // main header plus restart header
};

// The main header and, for types 64..127, the restart marker header. Nullopt when the payload
// is too short for them.
std::optional<RtpJpegHeader> ParseRtpJpegHeader(const uint8_t* payload, size_t length);

// Quantization tables, luma then chroma, 64 entries each in zig-zag order.
struct QuantTables {
  std::array<uint16_t, 128> values{};
  bool sixteen_bit = false;  // some entry does not fit 8 bits (DQT precision 1)
};

// The tables RFC 2435 Appendix A derives from Q 1..99: the JPEG Annex K tables scaled as the
// IJG library scales them for that quality. Q 0 counts as 1 and 100..127 as 99.
QuantTables MakeQuantTables(uint8_t q);

// Tables that travel in-band (Q 128..255): `precision` bit 0 marks a 16-bit luma table, bit 1
// a 16-bit chroma table; `data` holds them back to back. Nullopt when `data` is shorter than
// the two tables need; one table alone serves luma and chroma alike.
std::optional<QuantTables> ReadQuantTables(uint8_t precision, std::span<const uint8_t> data);

// Writes SOI, DQT, SOF0, the standard Huffman tables (Annex K.3), DRI when the interval is not
// 0, and SOS for `header` into `out`; returns the byte count, 0 when the type is not 0, 1, 64
// or 65, the picture has no size, or `out` is too small.
size_t BuildJpegHeaders(const RtpJpegHeader& header, const QuantTables& tables, std::span<uint8_t> out);

}  // namespace qvnet
