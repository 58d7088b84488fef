#include "tools/camsim/jpeg_tables.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kDqt = 0xDB;

// Reads the tables of one DQT segment body into `luma` / `chroma`.
bool ReadDqt(const uint8_t* p, size_t size, Bytes* luma, Bytes* chroma) {
  size_t pos = 0;
  while (pos < size) {
    const uint8_t precision = p[pos] >> 4;
    const uint8_t id = p[pos] & 0x0F;
    const size_t entry = precision == 0 ? 1 : 2;
    if (precision > 1 || pos + 1 + 64 * entry > size) return false;
    Bytes table(64);
    for (size_t i = 0; i < 64; ++i) {
      const uint8_t* e = p + pos + 1 + i * entry;
      const int value = entry == 1 ? e[0] : (e[0] << 8) | e[1];
      table[i] = static_cast<uint8_t>(std::min(value, 255));
    }
    if (id == 0) *luma = std::move(table);
    if (id == 1) *chroma = std::move(table);
    pos += 1 + 64 * entry;
  }
  return true;
}

}  // namespace

bool ExtractQuantTables(const Bytes& jpeg, Bytes* tables) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != kSoi) return false;
  Bytes luma, chroma;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size()) {
    if (jpeg[pos] != 0xFF) return false;
    const uint8_t marker = jpeg[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == kSos) break;
    const size_t length = (static_cast<size_t>(jpeg[pos + 2]) << 8) | jpeg[pos + 3];
    if (length < 2 || pos + 2 + length > jpeg.size()) return false;
    if (marker == kDqt && !ReadDqt(&jpeg[pos + 4], length - 2, &luma, &chroma)) return false;
    pos += 2 + length;
  }
  if (luma.empty()) return false;
  if (chroma.empty()) chroma = luma;
  tables->assign(luma.begin(), luma.end());
  tables->insert(tables->end(), chroma.begin(), chroma.end());
  return true;
}

}  // namespace camsim
