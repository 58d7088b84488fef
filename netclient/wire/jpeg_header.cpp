#include "netclient/wire/jpeg_header.h"

#include <algorithm>

namespace qvnet {
namespace {

// Natural-order position of the k-th coefficient in zig-zag order.
constexpr std::array<uint8_t, 64> kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// JPEG Annex K.1, natural order.
constexpr std::array<uint8_t, 64> kLumaQuant = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::array<uint8_t, 64> kChromaQuant = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// JPEG Annex K.3: code counts per length 1..16, then the values.
constexpr uint8_t kDcLumaBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChromaBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLumaBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D};
constexpr uint8_t kAcLumaValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22,
    0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33,
    0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34,
    0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55,
    0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76,
    0x77, 0x78, 0x79, 0x7A, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96,
    0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5,
    0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4,
    0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1,
    0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};
constexpr uint8_t kAcChromaBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kAcChromaValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13,
    0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09, 0x23, 0x33, 0x52, 0xF0, 0x15, 0x62,
    0x72, 0xD1, 0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18, 0x19, 0x1A, 0x26, 0x27, 0x28, 0x29,
    0x2A, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54,
    0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75,
    0x76, 0x77, 0x78, 0x79, 0x7A, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94,
    0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3,
    0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2,
    0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA,
    0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};

// Appends bytes to a fixed buffer; once something does not fit, nothing more is written.
class Writer {
 public:
  explicit Writer(std::span<uint8_t> out) : out_(out) {}
  void Byte(uint8_t b) {
    if (pos_ < out_.size()) {
      out_[pos_] = b;
    } else {
      overflow_ = true;
    }
    ++pos_;
  }
  void U16(uint16_t v) {
    Byte(static_cast<uint8_t>(v >> 8));
    Byte(static_cast<uint8_t>(v));
  }
  void Bytes(const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) Byte(data[i]);
  }
  void Marker(uint8_t m, size_t body) {
    Byte(0xFF);
    Byte(m);
    U16(static_cast<uint16_t>(body + 2));
  }
  size_t Size() const { return overflow_ ? 0 : pos_; }

 private:
  std::span<uint8_t> out_;
  size_t pos_ = 0;
  bool overflow_ = false;
};

void WriteDqt(Writer& w, const QuantTables& t) {
  const size_t entry = t.sixteen_bit ? 2 : 1;
  w.Marker(0xDB, 2 * (1 + 64 * entry));
  for (uint8_t table = 0; table < 2; ++table) {
    w.Byte(static_cast<uint8_t>((t.sixteen_bit ? 0x10 : 0x00) | table));
    for (size_t i = 0; i < 64; ++i) {
      const uint16_t v = t.values[table * 64 + i];
      if (entry == 2) w.Byte(static_cast<uint8_t>(v >> 8));
      w.Byte(static_cast<uint8_t>(v));
    }
  }
}

void WriteHuffman(Writer& w, uint8_t table_class_id, const uint8_t (&bits)[16], const uint8_t* values, size_t count) {
  w.Marker(0xC4, 1 + 16 + count);
  w.Byte(table_class_id);
  w.Bytes(bits, 16);
  w.Bytes(values, count);
}

void WriteFrameAndScan(Writer& w, const RtpJpegHeader& h) {
  // Luma sampling: 2x1 for types 0 and 64 (4:2:2), 2x2 for types 1 and 65 (4:2:0).
  const uint8_t luma_sampling = (h.type & 0x3F) == 0 ? 0x21 : 0x22;
  w.Marker(0xC0, 6 + 3 * 3);
  w.Byte(8);
  w.U16(h.height);
  w.U16(h.width);
  w.Byte(3);
  const uint8_t components[3][3] = {{1, luma_sampling, 0}, {2, 0x11, 1}, {3, 0x11, 1}};
  for (const auto& c : components) w.Bytes(c, 3);
  WriteHuffman(w, 0x00, kDcLumaBits, kDcValues, sizeof kDcValues);
  WriteHuffman(w, 0x10, kAcLumaBits, kAcLumaValues, sizeof kAcLumaValues);
  WriteHuffman(w, 0x01, kDcChromaBits, kDcValues, sizeof kDcValues);
  WriteHuffman(w, 0x11, kAcChromaBits, kAcChromaValues, sizeof kAcChromaValues);
  if (h.restart_interval != 0) {
    w.Marker(0xDD, 2);
    w.U16(h.restart_interval);
  }
  w.Marker(0xDA, 1 + 3 * 2 + 3);
  w.Byte(3);
  const uint8_t scan[3][2] = {{1, 0x00}, {2, 0x11}, {3, 0x11}};
  for (const auto& c : scan) w.Bytes(c, 2);
  w.Byte(0);   // Ss
  w.Byte(63);  // Se
  w.Byte(0);   // Ah, Al
}

}  // namespace

std::optional<RtpJpegHeader> ParseRtpJpegHeader(const uint8_t* payload, size_t length) {
  if (payload == nullptr || length < kRtpJpegMainHeaderSize) return std::nullopt;
  RtpJpegHeader h;
  h.type_specific = payload[0];
  h.fragment_offset = (static_cast<uint32_t>(payload[1]) << 16) | (static_cast<uint32_t>(payload[2]) << 8) | payload[3];
  h.type = payload[4];
  h.q = payload[5];
  h.width = static_cast<uint16_t>(payload[6] * 8);
  h.height = static_cast<uint16_t>(payload[7] * 8);
  h.size = kRtpJpegMainHeaderSize;
  if (h.type >= 64 && h.type <= 127) {
    if (length < kRtpJpegMainHeaderSize + kRtpJpegRestartHeaderSize) return std::nullopt;
    h.restart_interval = static_cast<uint16_t>((payload[8] << 8) | payload[9]);
    h.size += kRtpJpegRestartHeaderSize;
  }
  return h;
}

QuantTables MakeQuantTables(uint8_t q) {
  const int factor = std::clamp<int>(q, 1, 99);
  const int scale = factor < 50 ? 5000 / factor : 200 - factor * 2;
  QuantTables t;
  for (size_t i = 0; i < 64; ++i) {
    t.values[i] = static_cast<uint16_t>(std::clamp((kLumaQuant[kZigZag[i]] * scale + 50) / 100, 1, 255));
    t.values[64 + i] = static_cast<uint16_t>(std::clamp((kChromaQuant[kZigZag[i]] * scale + 50) / 100, 1, 255));
  }
  return t;
}

std::optional<QuantTables> ReadQuantTables(uint8_t precision, std::span<const uint8_t> data) {
  QuantTables t;
  size_t pos = 0;
  for (size_t table = 0; table < 2; ++table) {
    const size_t entry = (precision >> table) & 1 ? 2 : 1;
    if (data.size() - pos < 64 * entry) {
      if (table == 0) return std::nullopt;
      std::copy(t.values.begin(), t.values.begin() + 64, t.values.begin() + 64);
      break;
    }
    for (size_t i = 0; i < 64; ++i) {
      const uint8_t* e = data.data() + pos + i * entry;
      const uint16_t v = entry == 2 ? static_cast<uint16_t>((e[0] << 8) | e[1]) : e[0];
      t.values[table * 64 + i] = v;
      if (v > 255) t.sixteen_bit = true;
    }
    pos += 64 * entry;
  }
  return t;
}

size_t BuildJpegHeaders(const RtpJpegHeader& header, const QuantTables& tables, std::span<uint8_t> out) {
  const bool known = header.type <= 1 || header.type == 64 || header.type == 65;
  if (!known || header.width == 0 || header.height == 0) return 0;
  Writer w(out);
  w.Byte(0xFF);
  w.Byte(0xD8);
  WriteDqt(w, tables);
  WriteFrameAndScan(w, header);
  return w.Size();
}

}  // namespace qvnet
