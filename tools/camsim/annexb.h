// H.264 Annex B byte streams (ITU-T H.264 Annex B): splitting at start codes and grouping
// NAL units into access units (ITU-T H.264 §7.4.1.2.3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/camsim/media_types.h"

namespace camsim {

enum NalType : uint8_t {
  kNalSlice = 1,
  kNalIdr = 5,
  kNalSei = 6,
  kNalSps = 7,
  kNalPps = 8,
  kNalAud = 9,
  kNalStapA = 24,
  kNalFuA = 28,
};

inline uint8_t NalTypeOf(const Bytes& nal) { return nal.empty() ? 0 : nal[0] & 0x1F; }

// NAL units of an Annex B stream without their start codes or trailing zero bytes.
std::vector<Bytes> SplitAnnexB(const uint8_t* data, size_t size);

// Groups NAL units into pictures: a new access unit starts at an AUD, SPS, PPS or SEI after
// a slice, or at a slice whose first_mb_in_slice is 0.
std::vector<AccessUnit> GroupAccessUnits(std::vector<Bytes> nals);

}  // namespace camsim
