// The picture record both video decoders fill: planar YUV 4:2:0, chroma planes half the
// width and half the height (rounded up). The planes belong to the decoder and stay valid
// until the next call on the same handle.
#pragma once

#include <cstdint>

namespace qvcodec {

struct DecodedPicture {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int32_t width;
  int32_t height;
  int32_t y_stride;
  int32_t uv_stride;
};

}  // namespace qvcodec
