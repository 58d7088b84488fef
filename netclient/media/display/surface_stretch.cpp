#include "netclient/media/display/surface_stretch.h"

#include <algorithm>
#include <vector>

namespace qvnet {
namespace {

inline uint8_t Clamp255(int x) { return static_cast<uint8_t>(std::clamp(x, 0, 255)); }
// 5 or 6 bits back to 8 by repeating the top bits, so that full scale stays 255.
inline uint8_t Expand5(unsigned v) { return static_cast<uint8_t>(v << 3 | v >> 2); }
inline uint8_t Expand6(unsigned v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

// Readers of one source pixel as BGRX.
struct ReadBgr0 {
  static void Get(const uint8_t* line, int x, uint8_t* out) {
    const uint8_t* p = line + 4 * x;
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
  }
};
struct ReadBgr {
  static void Get(const uint8_t* line, int x, uint8_t* out) {
    const uint8_t* p = line + 3 * x;
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
  }
};
struct Read565 {
  static void Get(const uint8_t* line, int x, uint8_t* out) {
    const unsigned v = line[2 * x] | static_cast<unsigned>(line[2 * x + 1]) << 8;
    out[0] = Expand5(v & 0x1F);
    out[1] = Expand6(v >> 5 & 0x3F);
    out[2] = Expand5(v >> 11 & 0x1F);
  }
};
struct Read555 {
  static void Get(const uint8_t* line, int x, uint8_t* out) {
    const unsigned v = line[2 * x] | static_cast<unsigned>(line[2 * x + 1]) << 8;
    out[0] = Expand5(v & 0x1F);
    out[1] = Expand5(v >> 5 & 0x1F);
    out[2] = Expand5(v >> 10 & 0x1F);
  }
};
// A UYVY surface is turned back into RGB with the same 13-bit tables as the RGB kinds.
struct ReadUyvy {
  static void Get(const uint8_t* line, int x, uint8_t* out) {
    const YuvTables& t = Bt601Tables();
    const uint8_t* pair = line + 4 * (x / 2);
    const int32_t y = t.y[pair[(x & 1) != 0 ? 3 : 1]];
    const uint8_t u = pair[0];
    const uint8_t v = pair[2];
    out[0] = Clamp255((y + t.bu[u]) >> 13);
    out[1] = Clamp255((y + t.gv[v] + t.gu[u]) >> 13);
    out[2] = Clamp255((y + t.rv[v]) >> 13);
  }
};

template <typename Reader>
void Stretch(const PixelView& video, const PixelView& back) {
  std::vector<int> source_x(static_cast<size_t>(back.width));
  for (int x = 0; x < back.width; ++x) {
    source_x[static_cast<size_t>(x)] =
        static_cast<int>(static_cast<int64_t>(x) * video.width / back.width);
  }
  for (int y = 0; y < back.height; ++y) {
    const int sy = static_cast<int>(static_cast<int64_t>(y) * video.height / back.height);
    const uint8_t* in = video.Row(sy);
    uint8_t* out = back.Row(y);
    for (int x = 0; x < back.width; ++x) {
      Reader::Get(in, source_x[static_cast<size_t>(x)], out + 4 * x);
      out[4 * x + 3] = 0;
    }
  }
}

}  // namespace

void StretchToBgrx(const PixelView& video, SurfaceKind kind, const PixelView& back) {
  if (video.pixels == nullptr || back.pixels == nullptr || video.width <= 0 ||
      video.height <= 0 || back.width <= 0 || back.height <= 0) {
    return;
  }
  switch (kind) {
    case SurfaceKind::kUyvy:
      Stretch<ReadUyvy>(video, back);
      return;
    case SurfaceKind::kBgr0:
      Stretch<ReadBgr0>(video, back);
      return;
    case SurfaceKind::kBgr:
      Stretch<ReadBgr>(video, back);
      return;
    case SurfaceKind::kRgb565:
      Stretch<Read565>(video, back);
      return;
    case SurfaceKind::kRgb555:
      Stretch<Read555>(video, back);
      return;
    case SurfaceKind::kNone:
      return;
  }
}

}  // namespace qvnet
