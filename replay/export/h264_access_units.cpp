#include "replay/export/h264_access_units.h"

namespace qvexport {
namespace {

constexpr uint8_t kNalSlice = 1;
constexpr uint8_t kNalIdr = 5;
constexpr uint8_t kNalSei = 6;
constexpr uint8_t kNalSps = 7;
constexpr uint8_t kNalPps = 8;
constexpr uint8_t kNalAud = 9;

// Length of the start code `data` begins with: 3, 4 or 0.
size_t StartCodeLength(std::span<const uint8_t> data) {
  if (data.size() >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) return 3;
  if (data.size() >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1) return 4;
  return 0;
}

bool StartsAccessUnit(uint8_t type) { return type == kNalAud || type == kNalSei || type == kNalSps || type == kNalPps || (type >= 14 && type <= 18); }

// Every NAL unit of `data` as [begin, end) pairs: the start codes split them.
template <typename F>
void ForEachNal(const std::vector<uint8_t>& data, F f) {
  size_t i = 0;
  size_t begin = SIZE_MAX;
  while (i + 3 <= data.size()) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (begin != SIZE_MAX) f(begin, i > 0 && data[i - 1] == 0 ? i - 1 : i);
      i += 3;
      begin = i;
      continue;
    }
    ++i;
  }
  if (begin != SIZE_MAX && begin < data.size()) f(begin, data.size());
}

}  // namespace

void AccessUnitBuilder::Append(std::span<const uint8_t> bytes) {
  if (oversized_) return;
  if (bytes.size() > kMaxAccessUnitBytes - current_.data.size()) {
    oversized_ = true;
    current_.data.clear();
    return;
  }
  current_.data.insert(current_.data.end(), bytes.begin(), bytes.end());
}

void AccessUnitBuilder::BeginNal(uint8_t header, int first_data_byte, uint32_t tick, std::vector<AccessUnit>* out) {
  const uint8_t type = header & 0x1F;
  const bool slice = type >= kNalSlice && type <= kNalIdr;
  // A slice of a new picture has first_mb_in_slice 0: ue(v) "0" is the single bit 1.
  const bool new_picture = slice && first_data_byte >= 0 && (first_data_byte & 0x80) != 0;
  if (has_slice_ && (StartsAccessUnit(type) || new_picture)) Flush(out);
  if (current_.data.empty() && !oversized_) current_.tick = tick;
  if (slice) has_slice_ = true;
  current_.idr = current_.idr || type == kNalIdr;
  current_.sps = current_.sps || type == kNalSps;
  current_.pps = current_.pps || type == kNalPps;
}

void AccessUnitBuilder::Add(std::span<const uint8_t> payload, uint32_t tick, std::vector<AccessUnit>* out) {
  const size_t start = StartCodeLength(payload);
  if (start == 0) {
    // A fragment's continuation; without the start of its unit it cannot be used.
    if (in_nal_) Append(payload);
    return;
  }
  if (payload.size() <= start) {
    in_nal_ = false;
    return;
  }
  const int first_data = payload.size() > start + 1 ? payload[start + 1] : -1;
  BeginNal(payload[start], first_data, tick, out);
  in_nal_ = true;
  static constexpr uint8_t kStartCode[3] = {0, 0, 1};
  Append(kStartCode);
  Append(payload.subspan(start));
}

void AccessUnitBuilder::Flush(std::vector<AccessUnit>* out) {
  if (!oversized_ && has_slice_ && !current_.data.empty()) out->push_back(std::move(current_));
  current_ = AccessUnit{};
  has_slice_ = false;
  oversized_ = false;
}

std::vector<uint8_t> ParameterSets(const AccessUnit& unit) {
  std::vector<uint8_t> sets;
  ForEachNal(unit.data, [&](size_t begin, size_t end) {
    const uint8_t type = unit.data[begin] & 0x1F;
    if (type != kNalSps && type != kNalPps) return;
    sets.insert(sets.end(), {0, 0, 0, 1});
    sets.insert(sets.end(), unit.data.begin() + static_cast<std::ptrdiff_t>(begin),
                unit.data.begin() + static_cast<std::ptrdiff_t>(end));
  });
  return sets;
}

std::span<const uint8_t> FirstSps(const AccessUnit& unit) {
  std::span<const uint8_t> sps;
  ForEachNal(unit.data, [&](size_t begin, size_t end) {
    if (sps.empty() && (unit.data[begin] & 0x1F) == kNalSps) sps = std::span<const uint8_t>(unit.data).subspan(begin, end - begin);
  });
  return sps;
}

}  // namespace qvexport
