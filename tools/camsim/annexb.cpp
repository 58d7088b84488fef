#include "tools/camsim/annexb.h"

namespace camsim {

namespace {

// Position just behind the next 00 00 01 at or after `from`, or `size` when there is none.
size_t NextStartCode(const uint8_t* data, size_t size, size_t from) {
  for (size_t i = from; i + 3 <= size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i + 3;
  }
  return size;
}

bool IsVcl(uint8_t type) { return type >= kNalSlice && type <= kNalIdr; }

}  // namespace

std::vector<Bytes> SplitAnnexB(const uint8_t* data, size_t size) {
  std::vector<Bytes> nals;
  size_t begin = NextStartCode(data, size, 0);
  while (begin < size) {
    const size_t next = NextStartCode(data, size, begin);
    // The zeros before the next start code (a 4-byte start code, trailing_zero_8bits)
    // are not part of the NAL unit: a NAL unit never ends in a zero byte.
    size_t end = next < size ? next - 3 : size;
    while (end > begin && data[end - 1] == 0) --end;
    if (end > begin) nals.emplace_back(data + begin, data + end);
    begin = next;
  }
  return nals;
}

std::vector<AccessUnit> GroupAccessUnits(std::vector<Bytes> nals) {
  std::vector<AccessUnit> units;
  bool unit_has_slice = false;
  for (Bytes& nal : nals) {
    const uint8_t type = NalTypeOf(nal);
    bool starts_unit = units.empty();
    if (type == kNalAud || type == kNalSps || type == kNalPps || type == kNalSei) {
      starts_unit = starts_unit || unit_has_slice;
    } else if (IsVcl(type)) {
      // first_mb_in_slice is ue(v); its code is the single bit 1 exactly when it is 0.
      const bool first_slice = nal.size() > 1 && (nal[1] & 0x80) != 0;
      starts_unit = starts_unit || (unit_has_slice && first_slice);
    }
    if (starts_unit) {
      units.emplace_back();
      unit_has_slice = false;
    }
    if (IsVcl(type)) unit_has_slice = true;
    if (type == kNalIdr) units.back().key = true;
    units.back().nals.push_back(std::move(nal));
  }
  return units;
}

}  // namespace camsim
