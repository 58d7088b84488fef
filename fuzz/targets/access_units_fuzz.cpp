// The export's regrouping of a recording's H.264 records into access units: records as chunks
// (each with the tick of its position), every unit handed out must be Annex B from its first
// byte, hold a slice, stay within the cap, and yield well-formed parameter sets.
#include "fuzz/targets/fuzz_support.h"
#include "fuzz/targets/fuzz_targets.h"
#include "replay/export/h264_access_units.h"

namespace qvfuzz {

int FuzzAccessUnits(const uint8_t* data, size_t size) {
  constexpr const char* kName = "access_units";
  ByteReader in(data, size);
  qvexport::AccessUnitBuilder builder;
  std::vector<qvexport::AccessUnit> units;
  uint32_t tick = 0;
  while (!in.Empty()) {
    builder.Add(in.Chunk(), tick += 40, &units);
  }
  builder.Flush(&units);
  for (const qvexport::AccessUnit& u : units) {
    Check(u.data.size() >= 4 && u.data[0] == 0 && u.data[1] == 0 && u.data[2] == 1, kName, "a unit not in Annex B");
    Check(u.data.size() <= qvexport::kMaxAccessUnitBytes, kName, "a unit over the cap");
    const std::vector<uint8_t> sets = qvexport::ParameterSets(u);
    Check(sets.empty() == !(u.sps || u.pps) || sets.size() >= 5, kName, "parameter sets lost");
    const std::span<const uint8_t> sps = qvexport::FirstSps(u);
    Check(sps.empty() || (sps[0] & 0x1F) == 7, kName, "an SPS that is none");
  }
  return 0;
}

}  // namespace qvfuzz
