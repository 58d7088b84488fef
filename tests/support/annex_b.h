// H.264 Annex B byte streams taken apart in tests: the NAL units between start codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

// The NAL units of `unit` without their start codes (3 or 4 bytes); zero bytes in front of a
// start code belong to it, not to the unit before.
inline std::vector<std::vector<uint8_t>> SplitNals(const std::vector<uint8_t>& unit) {
  std::vector<std::vector<uint8_t>> nals;
  const auto at = [&](size_t i) { return unit.begin() + static_cast<std::ptrdiff_t>(i); };
  size_t start = std::string::npos;
  for (size_t i = 0; i + 2 < unit.size(); ++i) {
    if (unit[i] != 0 || unit[i + 1] != 0 || unit[i + 2] != 1) continue;
    if (start != std::string::npos) {
      size_t end = i;
      while (end > start && unit[end - 1] == 0) --end;
      nals.emplace_back(at(start), at(end));
    }
    start = i + 3;
    i += 2;
  }
  if (start != std::string::npos && start < unit.size()) nals.emplace_back(at(start), unit.end());
  return nals;
}

}  // namespace qvtest
