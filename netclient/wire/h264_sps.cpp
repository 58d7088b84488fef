#include "netclient/wire/h264_sps.h"

#include <vector>

namespace qvnet {
namespace {

// Exp-Golomb and fixed-width reads over the RBSP; a read past the end sets failed() and
// yields 0, so callers check once at the end of a group.
class BitReader {
 public:
  explicit BitReader(const std::vector<uint8_t>& data) : data_(data) {}

  uint32_t Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }
  uint32_t Bit() {
    if (pos_ >= data_.size() * 8) {
      failed_ = true;
      return 0;
    }
    const uint32_t b = (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
    ++pos_;
    return b;
  }
  // ue(v); values beyond 32 leading zeros are invalid in H.264.
  uint32_t Ue() {
    int zeros = 0;
    while (Bit() == 0) {
      if (failed_ || ++zeros > 31) {
        failed_ = true;
        return 0;
      }
    }
    return (1u << zeros) - 1 + Bits(zeros);
  }
  int32_t Se() {
    const uint32_t v = Ue();
    return (v & 1) != 0 ? static_cast<int32_t>((v + 1) / 2) : -static_cast<int32_t>(v / 2);
  }
  bool Failed() const { return failed_; }

 private:
  const std::vector<uint8_t>& data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// The RBSP: emulation prevention bytes (00 00 03) removed.
std::vector<uint8_t> Rbsp(const uint8_t* data, size_t length) {
  std::vector<uint8_t> out;
  out.reserve(length);
  int zeros = 0;
  for (size_t i = 0; i < length; ++i) {
    if (zeros >= 2 && data[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = data[i] == 0 ? zeros + 1 : 0;
    out.push_back(data[i]);
  }
  return out;
}

bool HighProfile(uint32_t profile) {
  switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138:
    case 139: case 134: case 135:
      return true;
    default:
      return false;
  }
}

// False for a delta outside -128..127 (§7.4.2.1.1.1), which no encoder writes.
bool SkipScalingLists(BitReader& r, int lists) {
  for (int i = 0; i < lists && !r.Failed(); ++i) {
    if (r.Bit() == 0) continue;
    const int size = i < 6 ? 16 : 64;
    int last = 8;
    int next = 8;
    for (int j = 0; j < size && !r.Failed(); ++j) {
      if (next != 0) {
        const int32_t delta = r.Se();
        if (delta < -128 || delta > 127) return false;
        next = (last + delta + 256) % 256;
      }
      last = next == 0 ? last : next;
    }
  }
  return true;
}

// VUI up to its timing information (E.1.1).
std::optional<double> VuiFrameRate(BitReader& r) {
  if (r.Bit() != 0) {              // aspect_ratio_info_present_flag
    if (r.Bits(8) == 255) r.Bits(32);  // Extended_SAR: sar_width, sar_height
  }
  if (r.Bit() != 0) r.Bit();       // overscan_info_present_flag, overscan_appropriate_flag
  if (r.Bit() != 0) {              // video_signal_type_present_flag
    r.Bits(4);                     // video_format, video_full_range_flag
    if (r.Bit() != 0) r.Bits(24);  // colour description
  }
  if (r.Bit() != 0) {              // chroma_loc_info_present_flag
    r.Ue();
    r.Ue();
  }
  if (r.Bit() == 0 || r.Failed()) return std::nullopt;  // timing_info_present_flag
  const uint32_t units = r.Bits(32);
  const uint32_t scale = r.Bits(32);
  if (r.Failed() || units == 0 || scale == 0) return std::nullopt;
  const double rate = static_cast<double>(scale) / (2.0 * units);
  if (rate < 0.5 || rate > 1000.0) return std::nullopt;
  return rate;
}

}  // namespace

std::optional<SpsInfo> ParseH264Sps(const uint8_t* nal, size_t length) {
  if (nal == nullptr || length < 4 || length > kMaxSpsBytes || (nal[0] & 0x1F) != 7) return std::nullopt;
  const std::vector<uint8_t> rbsp = Rbsp(nal + 1, length - 1);
  BitReader r(rbsp);
  const uint32_t profile = r.Bits(8);
  r.Bits(16);  // constraint flags, level_idc
  if (r.Ue() > 31) return std::nullopt;  // seq_parameter_set_id
  uint32_t chroma_format = 1;
  if (HighProfile(profile)) {
    chroma_format = r.Ue();
    if (chroma_format > 3) return std::nullopt;
    if (chroma_format == 3) r.Bit();  // separate_colour_plane_flag
    r.Ue();                            // bit_depth_luma_minus8
    r.Ue();                            // bit_depth_chroma_minus8
    r.Bit();                           // qpprime_y_zero_transform_bypass_flag
    if (r.Bit() != 0 && !SkipScalingLists(r, chroma_format == 3 ? 12 : 8)) return std::nullopt;
  }
  r.Ue();  // log2_max_frame_num_minus4
  const uint32_t poc_type = r.Ue();
  if (poc_type == 0) {
    r.Ue();  // log2_max_pic_order_cnt_lsb_minus4
  } else if (poc_type == 1) {
    r.Bit();
    r.Se();
    r.Se();
    const uint32_t cycle = r.Ue();
    if (cycle > 255) return std::nullopt;
    for (uint32_t i = 0; i < cycle && !r.Failed(); ++i) r.Se();
  } else if (poc_type != 2) {
    return std::nullopt;
  }
  r.Ue();   // max_num_ref_frames
  r.Bit();  // gaps_in_frame_num_value_allowed_flag
  const uint32_t width_mbs = r.Ue() + 1;
  const uint32_t height_units = r.Ue() + 1;
  const uint32_t frame_mbs_only = r.Bit();
  if (frame_mbs_only == 0) r.Bit();  // mb_adaptive_frame_field_flag
  r.Bit();                           // direct_8x8_inference_flag
  uint32_t crop[4] = {0, 0, 0, 0};
  if (r.Bit() != 0) {
    for (uint32_t& c : crop) c = r.Ue();
  }
  if (r.Failed() || width_mbs > 1024 || height_units > 1024) return std::nullopt;
  const uint32_t crop_x = (chroma_format == 1 || chroma_format == 2) ? 2 : 1;
  const uint32_t crop_y = (chroma_format == 1 ? 2 : 1) * (2 - frame_mbs_only);
  const int64_t width = static_cast<int64_t>(width_mbs) * 16 - static_cast<int64_t>(crop_x) * (int64_t{crop[0]} + crop[1]);
  const int64_t height = static_cast<int64_t>(height_units) * 16 * (2 - frame_mbs_only) -
                         static_cast<int64_t>(crop_y) * (int64_t{crop[2]} + crop[3]);
  if (width <= 0 || height <= 0) return std::nullopt;
  SpsInfo info;
  info.width = static_cast<int32_t>(width);
  info.height = static_cast<int32_t>(height);
  if (r.Bit() != 0) info.frame_rate = VuiFrameRate(r);  // vui_parameters_present_flag
  return info;
}

}  // namespace qvnet
