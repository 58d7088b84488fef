// The few facts of an H.264 sequence parameter set (ITU-T H.264 §7.3.2.1.1, E.1.1) that go
// into a record file's header: the picture size after cropping and the frame rate of the VUI
// timing information. Read from a NAL unit in memory, with every read bounded by its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qvnet {

// The longest parameter set read; real ones have a few dozen bytes.
inline constexpr size_t kMaxSpsBytes = 1024;

struct SpsInfo {
  int32_t width = 0;
  int32_t height = 0;
  // time_scale / (2 * num_units_in_tick), when the VUI carries timing information.
  std::optional<double> frame_rate;
};

// `nal` starts with the NAL header (type 7). Nullopt when it is no SPS, is cut short, holds
// values out of the standard's ranges, or describes an empty picture.
std::optional<SpsInfo> ParseH264Sps(const uint8_t* nal, size_t length);

}  // namespace qvnet
