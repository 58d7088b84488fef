// Views of the pictures the display pipeline works on: a decoded YUV 4:2:0 picture (read
// only) and a packed pixel surface (written). Views never own their memory.
#pragma once

#include <cstdint>

#include "netclient/media/codec/decoded_picture.h"

namespace qvnet {

// Planar YUV 4:2:0: the chroma planes are (width + 1) / 2 by (height + 1) / 2 samples, so
// odd sizes still have a chroma sample for their last column and line.
struct YuvView {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int width = 0;
  int height = 0;
  int y_stride = 0;
  int uv_stride = 0;

  int ChromaWidth() const { return (width + 1) / 2; }
  int ChromaHeight() const { return (height + 1) / 2; }
  // Sizes positive, planes present, strides wide enough for a line.
  bool Valid() const {
    return y != nullptr && u != nullptr && v != nullptr && width > 0 && height > 0 &&
           y_stride >= width && uv_stride >= ChromaWidth();
  }
};

inline YuvView ViewOf(const qvcodec::DecodedPicture& p) {
  return YuvView{p.y, p.u, p.v, p.width, p.height, p.y_stride, p.uv_stride};
}

// A packed surface: `stride` bytes from one line to the next.
struct PixelView {
  uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;

  uint8_t* Row(int line) const { return pixels + static_cast<long>(line) * stride; }
};

// One BGRX pixel as the back surface stores it.
struct Bgrx {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
};

inline constexpr Bgrx kWhite{255, 255, 255};
inline constexpr Bgrx kRed{0, 0, 255};

}  // namespace qvnet
