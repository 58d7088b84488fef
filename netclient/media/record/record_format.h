// Byte layout of record files, shared by the writer and the reader. Pure functions over byte
// buffers; no I/O here. Every integer is little-endian.
//
//   0   11 bytes  signature "Quorvalenta"
//   11  28 bytes  record header
//   39  ...       frame records: 12-byte frame header + payload, back to back
//   end           index block "BEGININDEX" + N x 16-byte entries + u32 N + "ENDINDEX"
//                 (absent when the recording never stopped)
//
// The legacy layout (read only) has a 38-byte signature plus one frame-rate byte, 8-byte frame
// headers (descriptor, tick) and 8-byte index entries (u32 offset, u32 tick).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qvnet {

inline constexpr std::string_view kRecordSignature = "Quorvalenta";
inline constexpr std::string_view kLegacySignature = "Quorvalenta video server record format";
inline constexpr std::string_view kBeginIndexMarker = "BEGININDEX";
inline constexpr std::string_view kEndIndexMarker = "ENDINDEX";

inline constexpr size_t kRecordHeaderSize = 28;
// Frame records start here in both layouts (11 + 28, or 38 + 1).
inline constexpr uint64_t kFirstRecordOffset = 39;
inline constexpr size_t kFrameHeaderSize = 12;
inline constexpr size_t kLegacyFrameHeaderSize = 8;
inline constexpr size_t kIndexEntrySize = 16;
inline constexpr size_t kLegacyIndexEntrySize = 8;
// "BEGININDEX" + u32 count + "ENDINDEX".
inline constexpr size_t kIndexBlockOverhead = 22;
// The descriptor's length field has 20 bits.
inline constexpr uint32_t kMaxPayloadLength = 0xFFFFF;

inline constexpr uint8_t kPayloadTypeH264 = 96;
inline constexpr uint8_t kPayloadTypeJpeg = 26;
inline constexpr uint8_t kMaxFrameRate = 30;

// Values of the descriptor's stream field.
inline constexpr uint8_t kStreamVideo = 0;
inline constexpr uint8_t kStreamAudio = 1;

// Video kinds with a meaning of their own: a key frame (H.264 sequence parameter set, or a
// JPEG picture received interleaved over TCP) and a JPEG picture received over UDP.
inline constexpr uint8_t kKindKeyFrame = 7;
inline constexpr uint8_t kKindJpegUdp = 10;

struct RecordHeader {
  uint8_t payload_type = kPayloadTypeH264;
  uint8_t audio_codec = 0;
  uint16_t width = 720;
  uint16_t height = 576;
  uint8_t frame_rate = 25;
};

struct FrameHeader {
  uint8_t stream = kStreamVideo;
  uint8_t kind = 0;
  uint32_t length = 0;  // payload bytes after the header
  uint16_t width = 0;   // video only; audio records carry 0 here
  uint16_t height = 0;
  uint32_t tick = 0;    // video: writer's tick in ms; audio: RTP timestamp
};

struct IndexEntry {
  uint64_t offset = 0;  // of the key frame's frame header, from the start of the file
  uint32_t tick = 0;    // equal to that frame header's tick
  bool operator==(const IndexEntry&) const = default;
};

// 0 and anything above 30 mean "unknown" and are stored as 30.
uint8_t NormalizeFrameRate(uint32_t rate);

void PutU16(uint8_t* out, uint16_t v);
void PutU32(uint8_t* out, uint32_t v);
void PutU64(uint8_t* out, uint64_t v);
uint16_t GetU16(const uint8_t* in);
uint32_t GetU32(const uint8_t* in);
uint64_t GetU64(const uint8_t* in);

// Descriptor word: stream bits 0-1, kind bits 2-5, zero bits 6-11, length bits 12-31.
// Fields wider than their bits are masked; callers check the length against kMaxPayloadLength.
uint32_t EncodeDescriptor(uint8_t stream, uint8_t kind, uint32_t length);
void DecodeDescriptor(uint32_t word, FrameHeader& out);

// Signature plus record header: the first kFirstRecordOffset bytes of a file.
void EncodeFileStart(const RecordHeader& header, std::span<uint8_t, kFirstRecordOffset> out);
RecordHeader DecodeRecordHeader(std::span<const uint8_t, kRecordHeaderSize> in);

void EncodeFrameHeader(const FrameHeader& header, std::span<uint8_t, kFrameHeaderSize> out);
FrameHeader DecodeFrameHeader(std::span<const uint8_t, kFrameHeaderSize> in);
FrameHeader DecodeLegacyFrameHeader(std::span<const uint8_t, kLegacyFrameHeaderSize> in);

IndexEntry DecodeIndexEntry(std::span<const uint8_t, kIndexEntrySize> in);
// Legacy entries are widened: 32-bit offset, no reserved word.
IndexEntry DecodeLegacyIndexEntry(std::span<const uint8_t, kLegacyIndexEntrySize> in);

// The complete index block for `entries`.
std::vector<uint8_t> EncodeIndexBlock(std::span<const IndexEntry> entries);

// True when `bytes` starts with `text`.
bool StartsWith(std::span<const uint8_t> bytes, std::string_view text);

}  // namespace qvnet
