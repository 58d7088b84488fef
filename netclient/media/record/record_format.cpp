#include "netclient/media/record/record_format.h"

#include <algorithm>
#include <cstring>

namespace qvnet {

uint8_t NormalizeFrameRate(uint32_t rate) {
  if (rate == 0 || rate > kMaxFrameRate) return kMaxFrameRate;
  return static_cast<uint8_t>(rate);
}

void PutU16(uint8_t* out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutU64(uint8_t* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* in) { return static_cast<uint16_t>(in[0] | (in[1] << 8)); }

uint32_t GetU32(const uint8_t* in) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | in[i];
  return v;
}

uint64_t GetU64(const uint8_t* in) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | in[i];
  return v;
}

uint32_t EncodeDescriptor(uint8_t stream, uint8_t kind, uint32_t length) {
  return (static_cast<uint32_t>(stream) & 0x3u) | ((static_cast<uint32_t>(kind) & 0xFu) << 2) |
         ((length & kMaxPayloadLength) << 12);
}

void DecodeDescriptor(uint32_t word, FrameHeader& out) {
  out.stream = static_cast<uint8_t>(word & 0x3u);
  out.kind = static_cast<uint8_t>((word >> 2) & 0xFu);
  out.length = word >> 12;
}

void EncodeFileStart(const RecordHeader& header, std::span<uint8_t, kFirstRecordOffset> out) {
  std::fill(out.begin(), out.end(), uint8_t{0});
  std::memcpy(out.data(), kRecordSignature.data(), kRecordSignature.size());
  uint8_t* h = out.data() + kRecordSignature.size();
  h[0] = header.payload_type;
  h[1] = header.audio_codec;
  PutU16(h + 2, header.width);
  PutU16(h + 4, header.height);
  h[27] = NormalizeFrameRate(header.frame_rate);
}

RecordHeader DecodeRecordHeader(std::span<const uint8_t, kRecordHeaderSize> in) {
  RecordHeader h;
  h.payload_type = in[0];
  h.audio_codec = in[1];
  h.width = GetU16(in.data() + 2);
  h.height = GetU16(in.data() + 4);
  h.frame_rate = NormalizeFrameRate(in[27]);
  return h;
}

void EncodeFrameHeader(const FrameHeader& header, std::span<uint8_t, kFrameHeaderSize> out) {
  PutU32(out.data(), EncodeDescriptor(header.stream, header.kind, header.length));
  PutU16(out.data() + 4, header.width);
  PutU16(out.data() + 6, header.height);
  PutU32(out.data() + 8, header.tick);
}

FrameHeader DecodeFrameHeader(std::span<const uint8_t, kFrameHeaderSize> in) {
  FrameHeader h;
  DecodeDescriptor(GetU32(in.data()), h);
  h.width = GetU16(in.data() + 4);
  h.height = GetU16(in.data() + 6);
  h.tick = GetU32(in.data() + 8);
  return h;
}

FrameHeader DecodeLegacyFrameHeader(std::span<const uint8_t, kLegacyFrameHeaderSize> in) {
  FrameHeader h;
  DecodeDescriptor(GetU32(in.data()), h);
  h.tick = GetU32(in.data() + 4);
  return h;
}

IndexEntry DecodeIndexEntry(std::span<const uint8_t, kIndexEntrySize> in) {
  return IndexEntry{GetU64(in.data()), GetU32(in.data() + 8)};
}

IndexEntry DecodeLegacyIndexEntry(std::span<const uint8_t, kLegacyIndexEntrySize> in) {
  return IndexEntry{GetU32(in.data()), GetU32(in.data() + 4)};
}

std::vector<uint8_t> EncodeIndexBlock(std::span<const IndexEntry> entries) {
  std::vector<uint8_t> out(kIndexBlockOverhead + kIndexEntrySize * entries.size(), 0);
  uint8_t* p = out.data();
  std::memcpy(p, kBeginIndexMarker.data(), kBeginIndexMarker.size());
  p += kBeginIndexMarker.size();
  for (const IndexEntry& e : entries) {
    PutU64(p, e.offset);
    PutU32(p + 8, e.tick);  // bytes 12-15 stay 0 (reserved)
    p += kIndexEntrySize;
  }
  PutU32(p, static_cast<uint32_t>(entries.size()));
  std::memcpy(p + 4, kEndIndexMarker.data(), kEndIndexMarker.size());
  return out;
}

bool StartsWith(std::span<const uint8_t> bytes, std::string_view text) {
  return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

}  // namespace qvnet
