#include "netclient/media/display/rotate.h"

#include <algorithm>
#include <cstring>

namespace qvnet {
namespace {

void CopyPlane(const uint8_t* src, int src_stride, int width, int height, std::vector<uint8_t>* dst) {
  dst->resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int line = 0; line < height; ++line) {
    std::memcpy(dst->data() + static_cast<size_t>(line) * static_cast<size_t>(width),
                src + static_cast<long>(line) * src_stride, static_cast<size_t>(width));
  }
}

}  // namespace

void Rotate180Plane(uint8_t* plane, int width, int height, int stride) {
  if (plane == nullptr || width <= 0 || height <= 0 || stride < width) return;
  for (int i = 0; i < height / 2; ++i) {
    uint8_t* top = plane + static_cast<long>(i) * stride;
    uint8_t* bottom = plane + static_cast<long>(height - 1 - i) * stride;
    std::swap_ranges(top, top + width, bottom);
    std::reverse(top, top + width);
    std::reverse(bottom, bottom + width);
  }
  if (height % 2 == 1) {
    uint8_t* middle = plane + static_cast<long>(height / 2) * stride;
    std::reverse(middle, middle + width);
  }
}

void Rotate180(const qvcodec::DecodedPicture& p) {
  Rotate180Plane(p.y, p.width, p.height, p.y_stride);
  const int cw = (p.width + 1) / 2;
  const int ch = (p.height + 1) / 2;
  Rotate180Plane(p.u, cw, ch, p.uv_stride);
  Rotate180Plane(p.v, cw, ch, p.uv_stride);
}

qvcodec::DecodedPicture PictureStore::CopyFrom(const YuvView& src) {
  if (!src.Valid()) return qvcodec::DecodedPicture{};
  const int cw = src.ChromaWidth();
  const int ch = src.ChromaHeight();
  CopyPlane(src.y, src.y_stride, src.width, src.height, &y_);
  CopyPlane(src.u, src.uv_stride, cw, ch, &u_);
  CopyPlane(src.v, src.uv_stride, cw, ch, &v_);
  return qvcodec::DecodedPicture{y_.data(), u_.data(), v_.data(), src.width, src.height,
                                 src.width, cw};
}

}  // namespace qvnet
