// The H.264 byte stream of a recording regrouped into access units (ITU-T H.264 §7.4.1.2.3):
// a record file holds one record per RTP packet (a NAL unit with its start code, the start of
// a fragmented one, or a fragment's continuation), and a container wants one packet per
// picture. A NAL unit begins with every record that starts with a start code; an access unit
// begins with an access unit delimiter, SEI, SPS or PPS, or with a slice whose
// first_mb_in_slice is 0, once the unit so far has a slice. Its time is the tick of the record
// that began it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qvexport {

// An access unit larger than this is dropped whole (no picture of a camera comes near it).
inline constexpr size_t kMaxAccessUnitBytes = 16u << 20;

struct AccessUnit {
  std::vector<uint8_t> data;  // Annex B: start codes and NAL units
  uint32_t tick = 0;
  bool idr = false;  // holds an IDR slice (NAL type 5)
  bool sps = false;  // holds a sequence parameter set
  bool pps = false;  // holds a picture parameter set
};

class AccessUnitBuilder {
 public:
  // One video record's payload and tick. Access units it completes are appended to `out`.
  void Add(std::span<const uint8_t> payload, uint32_t tick, std::vector<AccessUnit>* out);
  // Hands out the unit still being built (at the end of the input).
  void Flush(std::vector<AccessUnit>* out);

 private:
  void BeginNal(uint8_t header, int first_data_byte, uint32_t tick, std::vector<AccessUnit>* out);
  void Append(std::span<const uint8_t> bytes);

  AccessUnit current_;
  bool has_slice_ = false;
  bool in_nal_ = false;   // continuation records belong to a NAL unit
  bool oversized_ = false;
};

// The parameter sets of an access unit with 4-byte start codes, as container headers take
// them (codec extradata in Annex B form).
std::vector<uint8_t> ParameterSets(const AccessUnit& unit);

// The first sequence parameter set of `unit` (NAL header included, start code not), empty
// when there is none.
std::span<const uint8_t> FirstSps(const AccessUnit& unit);

}  // namespace qvexport
