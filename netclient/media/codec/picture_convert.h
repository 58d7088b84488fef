// Turns a decoded libavcodec frame into the 4:2:0 picture record. Planar 4:2:0 frames are
// handed through without a copy; everything else (4:2:2 and 4:4:4 JPEG, grey, packed
// formats) is converted with libswscale into buffers this converter owns.
#pragma once

#include <cstddef>

#include "netclient/media/codec/av_ptr.h"
#include "netclient/media/codec/decoded_picture.h"

namespace qvcodec {

// Pictures larger than this on either side are refused rather than allocated.
inline constexpr int kMaxPictureSide = 8192;

class PictureConverter {
 public:
  // Fills `out` from `frame`. The planes point into `frame` or into this converter and stay
  // valid while both are unchanged. False when the frame cannot be shown.
  bool Convert(const AVFrame& frame, DecodedPicture* out);

 private:
  bool EnsureBuffer(int width, int height);
  bool Scale(const AVFrame& frame, DecodedPicture* out);

  SwsPtr sws_;
  AvBuffer buffer_;
  size_t buffer_size_ = 0;
  int y_stride_ = 0;
  int uv_stride_ = 0;
};

}  // namespace qvcodec
