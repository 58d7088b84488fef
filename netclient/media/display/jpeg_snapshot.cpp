#include "netclient/media/display/jpeg_snapshot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "netclient/media/display/jpeg_tables.h"

namespace qvnet {
namespace {

using jpeg::HuffmanSpec;

constexpr int kMaxJpegSide = 65535;
// Baseline limits of a coded coefficient: 11 bits of DC difference, 10 bits of AC.
constexpr int kMaxAc = 1023;
constexpr int kMaxDc = 2047;
// AAN scale factors: s(0) = 1, s(k) = cos(k * pi / 16) * sqrt(2).
constexpr double kAanScale[8] = {1.0, 1.387039845, 1.306562965, 1.175875602,
                                 1.0, 0.785694958, 0.541196100, 0.275899379};

std::array<uint8_t, 64> ScaledZigzag(const uint8_t* natural) {
  std::array<uint8_t, 64> out{};
  for (int k = 0; k < 64; ++k) {
    const int q = (50 * natural[jpeg::kZigzag[k]] + 50) / 100;
    out[static_cast<size_t>(k)] = static_cast<uint8_t>(std::clamp(q, 1, 255));
  }
  return out;
}

const std::array<uint8_t, 64>& QuantZigzag(int table) {
  static const std::array<uint8_t, 64> luma = ScaledZigzag(jpeg::kLumaQuant);
  static const std::array<uint8_t, 64> chroma = ScaledZigzag(jpeg::kChromaQuant);
  return table == 0 ? luma : chroma;
}

// 1 / (quantiser * s(row) * s(column) * 8) for each natural position.
std::array<float, 64> Multipliers(int table) {
  const std::array<uint8_t, 64>& zz = QuantZigzag(table);
  std::array<float, 64> m{};
  for (int k = 0; k < 64; ++k) {
    const int pos = jpeg::kZigzag[k];
    m[static_cast<size_t>(pos)] =
        static_cast<float>(1.0 / (zz[static_cast<size_t>(k)] * kAanScale[pos / 8] * kAanScale[pos % 8] * 8.0));
  }
  return m;
}

// Code and length of every symbol, generated from the DHT form as T.81 Annex C does.
struct HuffmanCodes {
  uint16_t code[256] = {};
  uint8_t size[256] = {};
};

HuffmanCodes BuildCodes(const HuffmanSpec& spec) {
  HuffmanCodes codes;
  unsigned code = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int n = 0; n < spec.bits[length - 1] && index < spec.count; ++n, ++index) {
      codes.code[spec.values[index]] = static_cast<uint16_t>(code++);
      codes.size[spec.values[index]] = static_cast<uint8_t>(length);
    }
    code <<= 1;
  }
  return codes;
}

// Entropy-coded output: most significant bit first, a 0x00 after every 0xFF.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}
  void Put(unsigned bits, int count) {
    acc_ = acc_ << count | (bits & ((1u << count) - 1));
    pending_ += count;
    while (pending_ >= 8) {
      Emit(static_cast<uint8_t>(acc_ >> (pending_ - 8)));
      pending_ -= 8;
    }
    acc_ &= (1u << pending_) - 1;
  }
  // Pads the last byte with 1 bits.
  void Flush() {
    if (pending_ > 0) Put((1u << (8 - pending_)) - 1, 8 - pending_);
  }

 private:
  void Emit(uint8_t b) {
    out_->push_back(b);
    if (b == 0xFF) out_->push_back(0x00);
  }
  std::vector<uint8_t>* out_;
  uint32_t acc_ = 0;
  int pending_ = 0;
};

// The separable floating-point AAN forward DCT (Arai, Agui, Nakajima) on one line of eight
// values `step` apart; outputs are the DCT coefficients times 8 * s(k).
void Aan8(float* d, int step) {
  const float t0 = d[0] + d[7 * step], t7 = d[0] - d[7 * step];
  const float t1 = d[step] + d[6 * step], t6 = d[step] - d[6 * step];
  const float t2 = d[2 * step] + d[5 * step], t5 = d[2 * step] - d[5 * step];
  const float t3 = d[3 * step] + d[4 * step], t4 = d[3 * step] - d[4 * step];
  // Even part.
  const float t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
  d[0] = t10 + t11;
  d[4 * step] = t10 - t11;
  const float z1 = (t12 + t13) * 0.707106781f;
  d[2 * step] = t13 + z1;
  d[6 * step] = t13 - z1;
  // Odd part.
  const float o10 = t4 + t5, o11 = t5 + t6, o12 = t6 + t7;
  const float z5 = (o10 - o12) * 0.382683433f;
  const float z2 = 0.541196100f * o10 + z5;
  const float z4 = 1.306562965f * o12 + z5;
  const float z3 = o11 * 0.707106781f;
  const float z11 = t7 + z3, z13 = t7 - z3;
  d[5 * step] = z13 + z2;
  d[3 * step] = z13 - z2;
  d[step] = z11 + z4;
  d[7 * step] = z11 - z4;
}

int Category(int v) {
  unsigned a = static_cast<unsigned>(v < 0 ? -v : v);
  int n = 0;
  while (a != 0) {
    ++n;
    a >>= 1;
  }
  return n;
}

// A coefficient's extra bits: the value itself, or value - 1 for negatives (T.81 F.1.2.1).
void PutValue(BitWriter& w, const HuffmanCodes& codes, int symbol, int value, int category) {
  w.Put(codes.code[symbol], codes.size[symbol]);
  if (category > 0) w.Put(static_cast<unsigned>(value < 0 ? value - 1 : value), category);
}

struct Component {
  const std::array<float, 64>* multipliers;
  const HuffmanCodes* dc;
  const HuffmanCodes* ac;
  int predictor = 0;
};

void EncodeBlock(BitWriter& w, float block[64], Component& c) {
  for (int i = 0; i < 8; ++i) Aan8(block + 8 * i, 1);
  for (int i = 0; i < 8; ++i) Aan8(block + i, 8);
  int q[64];
  for (int i = 0; i < 64; ++i) {
    const float scaled = block[i] * (*c.multipliers)[static_cast<size_t>(i)];
    q[i] = static_cast<int>(std::floor(scaled + 0.5f));  // nearest, halves upward
  }
  const int dc = std::clamp(q[0], -kMaxDc / 2, kMaxDc / 2);
  const int diff = dc - c.predictor;
  c.predictor = dc;
  PutValue(w, *c.dc, Category(diff), diff, Category(diff));
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int v = std::clamp(q[jpeg::kZigzag[k]], -kMaxAc, kMaxAc);
    if (v == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16) w.Put(c.ac->code[0xF0], c.ac->size[0xF0]);  // ZRL
    const int cat = Category(v);
    PutValue(w, *c.ac, run << 4 | cat, v, cat);
    run = 0;
  }
  if (run > 0) w.Put(c.ac->code[0x00], c.ac->size[0x00]);  // EOB
}

// Sample access with the edges repeated beyond the picture.
void LoadBlock(const YuvView& p, int plane, int bx, int by, float out[64]) {
  for (int r = 0; r < 8; ++r) {
    const int y = std::min(by * 8 + r, p.height - 1);
    for (int col = 0; col < 8; ++col) {
      const int x = std::min(bx * 8 + col, p.width - 1);
      uint8_t s;
      if (plane == 0) {
        s = p.y[static_cast<long>(y) * p.y_stride + x];
      } else {
        const uint8_t* base = plane == 1 ? p.u : p.v;
        s = base[static_cast<long>(y / 2) * p.uv_stride + x / 2];
      }
      out[r * 8 + col] = static_cast<float>(s) - 128.0f;
    }
  }
}

void Put16(std::vector<uint8_t>* out, unsigned v) {
  out->push_back(static_cast<uint8_t>(v >> 8));
  out->push_back(static_cast<uint8_t>(v & 0xFF));
}

void PutMarker(std::vector<uint8_t>* out, uint8_t marker, unsigned length) {
  out->push_back(0xFF);
  out->push_back(marker);
  if (length > 0) Put16(out, length);
}

void WriteHeaders(std::vector<uint8_t>* out, int width, int height) {
  PutMarker(out, 0xD8, 0);  // SOI
  PutMarker(out, 0xE0, 16);  // APP0: JFIF 1.1, no units, density 1 x 1, no thumbnail
  constexpr uint8_t kApp0[14] = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  out->insert(out->end(), kApp0, kApp0 + sizeof kApp0);
  for (int table = 0; table < 2; ++table) {
    PutMarker(out, 0xDB, 67);
    out->push_back(static_cast<uint8_t>(table));
    const std::array<uint8_t, 64>& q = QuantZigzag(table);
    out->insert(out->end(), q.begin(), q.end());
  }
  PutMarker(out, 0xC0, 17);  // SOF0
  out->push_back(8);
  Put16(out, static_cast<unsigned>(height));
  Put16(out, static_cast<unsigned>(width));
  out->push_back(3);
  constexpr uint8_t kComponents[9] = {1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1};
  out->insert(out->end(), kComponents, kComponents + sizeof kComponents);
  const std::pair<uint8_t, const HuffmanSpec*> tables[] = {
      {0x00, &jpeg::kDcLuma}, {0x01, &jpeg::kDcChroma}, {0x10, &jpeg::kAcLuma}, {0x11, &jpeg::kAcChroma}};
  for (const auto& [id, spec] : tables) {
    PutMarker(out, 0xC4, static_cast<unsigned>(2 + 1 + 16 + spec->count));
    out->push_back(id);
    out->insert(out->end(), spec->bits, spec->bits + 16);
    out->insert(out->end(), spec->values, spec->values + spec->count);
  }
  PutMarker(out, 0xDA, 12);  // SOS
  constexpr uint8_t kScan[10] = {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
  out->insert(out->end(), kScan, kScan + sizeof kScan);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

const uint8_t* SnapshotQuantTable(int table) { return QuantZigzag(table).data(); }

std::vector<uint8_t> EncodeJpegSnapshot(const YuvView& p) {
  std::vector<uint8_t> out;
  if (!p.Valid() || p.width > kMaxJpegSide || p.height > kMaxJpegSide) return out;
  static const HuffmanCodes dc_luma = BuildCodes(jpeg::kDcLuma);
  static const HuffmanCodes dc_chroma = BuildCodes(jpeg::kDcChroma);
  static const HuffmanCodes ac_luma = BuildCodes(jpeg::kAcLuma);
  static const HuffmanCodes ac_chroma = BuildCodes(jpeg::kAcChroma);
  static const std::array<float, 64> luma_mul = Multipliers(0);
  static const std::array<float, 64> chroma_mul = Multipliers(1);
  Component components[3] = {{&luma_mul, &dc_luma, &ac_luma},
                             {&chroma_mul, &dc_chroma, &ac_chroma},
                             {&chroma_mul, &dc_chroma, &ac_chroma}};
  WriteHeaders(&out, p.width, p.height);
  BitWriter writer(&out);
  const int blocks_x = (p.width + 7) / 8;
  const int blocks_y = (p.height + 7) / 8;
  float block[64];
  for (int by = 0; by < blocks_y; ++by) {
    for (int bx = 0; bx < blocks_x; ++bx) {
      for (int plane = 0; plane < 3; ++plane) {
        LoadBlock(p, plane, bx, by, block);
        EncodeBlock(writer, block, components[plane]);
      }
    }
  }
  writer.Flush();
  PutMarker(&out, 0xD9, 0);  // EOI
  return out;
}

bool WriteSnapshotFile(const std::string& path, const uint8_t* data, size_t size) {
  if (path.empty() || (data == nullptr && size > 0)) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file.get()) == size;
  return std::fclose(file.release()) == 0 && written;
}

bool WriteJpegSnapshot(const YuvView& picture, const std::string& path) {
  const std::vector<uint8_t> jpeg = EncodeJpegSnapshot(picture);
  if (jpeg.empty()) return false;
  return WriteSnapshotFile(path, jpeg.data(), jpeg.size());
}

}  // namespace qvnet
