#include "netclient/media/display/yuv_convert.h"

#include <algorithm>

#include "netclient/media/display/yuv_convert_simd.h"

namespace qvnet {
namespace {

YuvTables BuildTables() {
  YuvTables t{};
  for (int i = 0; i < 256; ++i) {
    t.y[i] = 9535 * (i - 16);
    t.rv[i] = 13074 * (i - 128);
    t.gv[i] = -6660 * (i - 128);
    t.gu[i] = -3203 * (i - 128);
    t.bu[i] = 16531 * (i - 128);
  }
  return t;
}

inline int Clamp255(int x) { return std::clamp(x, 0, 255); }

// The three unclamped channel values of one pixel (>> is arithmetic on int32_t).
struct Rgb {
  int r, g, b;
};
inline Rgb TableRgb(const YuvTables& t, uint8_t y, uint8_t u, uint8_t v) {
  const int32_t l = t.y[y];
  return Rgb{(l + t.rv[v]) >> 13, (l + t.gv[v] + t.gu[u]) >> 13, (l + t.bu[u]) >> 13};
}

// Line writers: Put() takes one or two luma samples that share a chroma sample and appends
// their pixels to the line.
class Bgr0Line {
 public:
  Bgr0Line(const YuvTables& t, uint8_t* out) : t_(t), out_(out) {}
  void Put(const uint8_t* y, int n, uint8_t u, uint8_t v) {
    for (int k = 0; k < n; ++k) {
      const Rgb c = TableRgb(t_, y[k], u, v);
      out_[0] = static_cast<uint8_t>(Clamp255(c.b));
      out_[1] = static_cast<uint8_t>(Clamp255(c.g));
      out_[2] = static_cast<uint8_t>(Clamp255(c.r));
      out_[3] = 0;
      out_ += 4;
    }
  }

 private:
  const YuvTables& t_;
  uint8_t* out_;
};

class BgrLine {
 public:
  BgrLine(const YuvTables& t, uint8_t* out) : t_(t), out_(out) {}
  void Put(const uint8_t* y, int n, uint8_t u, uint8_t v) {
    for (int k = 0; k < n; ++k) {
      const Rgb c = TableRgb(t_, y[k], u, v);
      out_[0] = static_cast<uint8_t>(Clamp255(c.b));
      out_[1] = static_cast<uint8_t>(Clamp255(c.g));
      out_[2] = static_cast<uint8_t>(Clamp255(c.r));
      out_ += 3;
    }
  }

 private:
  const YuvTables& t_;
  uint8_t* out_;
};

// 16-bit output with error carry: the low three bits of each channel's unclamped value move
// on to the next pixel of the same line, which hides most of the banding of 5 or 6 bits.
template <int kRedShift, int kGreenBits>
class Rgb16Line {
 public:
  Rgb16Line(const YuvTables& t, uint8_t* out) : t_(t), out_(out) {}
  void Put(const uint8_t* y, int n, uint8_t u, uint8_t v) {
    for (int k = 0; k < n; ++k) {
      const Rgb c = TableRgb(t_, y[k], u, v);
      const int r = c.r + carry_r_;
      const int g = c.g + carry_g_;
      const int b = c.b + carry_b_;
      carry_r_ = r & 7;
      carry_g_ = g & 7;
      carry_b_ = b & 7;
      const unsigned px = (static_cast<unsigned>(Clamp255(r)) >> 3) << kRedShift |
                          (static_cast<unsigned>(Clamp255(g)) >> (8 - kGreenBits)) << 5 |
                          static_cast<unsigned>(Clamp255(b)) >> 3;
      out_[0] = static_cast<uint8_t>(px & 0xFF);
      out_[1] = static_cast<uint8_t>(px >> 8);
      out_ += 2;
    }
  }

 private:
  const YuvTables& t_;
  uint8_t* out_;
  int carry_r_ = 0;
  int carry_g_ = 0;
  int carry_b_ = 0;
};
using Rgb565Line = Rgb16Line<11, 6>;
using Rgb555Line = Rgb16Line<10, 5>;

class UyvyLine {
 public:
  UyvyLine(const YuvTables&, uint8_t* out) : out_(out) {}
  void Put(const uint8_t* y, int n, uint8_t u, uint8_t v) {
    out_[0] = u;
    out_[1] = y[0];
    out_[2] = v;
    out_[3] = n == 2 ? y[1] : y[0];
    out_ += 4;
  }

 private:
  uint8_t* out_;
};

// Walks the picture in line pairs and pixel pairs; both lines of a pair read the same
// chroma line.
template <typename Line>
void ConvertRows(const YuvView& src, bool flip, const PixelView& dst) {
  const YuvTables& t = Bt601Tables();
  for (int line = 0; line < src.height; line += 2) {
    const int lines = std::min(2, src.height - line);
    const uint8_t* u = src.u + static_cast<long>(line / 2) * src.uv_stride;
    const uint8_t* v = src.v + static_cast<long>(line / 2) * src.uv_stride;
    for (int k = 0; k < lines; ++k) {
      const uint8_t* y = src.y + static_cast<long>(line + k) * src.y_stride;
      Line out(t, dst.Row(SurfaceLine(line + k, src.height, flip)));
      for (int x = 0; x < src.width; x += 2) {
        out.Put(y + x, std::min(2, src.width - x), u[x / 2], v[x / 2]);
      }
    }
  }
}

}  // namespace

const YuvTables& Bt601Tables() {
  static const YuvTables tables = BuildTables();
  return tables;
}

int SurfaceLineBytes(SurfaceKind kind, int width) {
  switch (kind) {
    case SurfaceKind::kUyvy:
      return (width + 1) / 2 * 4;
    case SurfaceKind::kBgr0:
      return width * 4;
    case SurfaceKind::kBgr:
      return width * 3;
    case SurfaceKind::kRgb565:
    case SurfaceKind::kRgb555:
      return width * 2;
    case SurfaceKind::kNone:
      break;
  }
  return 0;
}

bool SurfaceFits(const YuvView& src, SurfaceKind kind, const PixelView& dst) {
  return src.Valid() && kind != SurfaceKind::kNone && dst.pixels != nullptr &&
         dst.width >= src.width && dst.height >= src.height &&
         dst.stride >= SurfaceLineBytes(kind, src.width);
}

bool ConvertYuvTable(const YuvView& src, SurfaceKind kind, bool flip, const PixelView& dst) {
  if (!SurfaceFits(src, kind, dst)) return false;
  switch (kind) {
    case SurfaceKind::kUyvy:
      ConvertRows<UyvyLine>(src, flip, dst);
      return true;
    case SurfaceKind::kBgr0:
      ConvertRows<Bgr0Line>(src, flip, dst);
      return true;
    case SurfaceKind::kBgr:
      ConvertRows<BgrLine>(src, flip, dst);
      return true;
    case SurfaceKind::kRgb565:
      ConvertRows<Rgb565Line>(src, flip, dst);
      return true;
    case SurfaceKind::kRgb555:
      ConvertRows<Rgb555Line>(src, flip, dst);
      return true;
    case SurfaceKind::kNone:
      break;
  }
  return false;
}

bool ConvertYuv(const YuvView& src, SurfaceKind kind, bool flip, const PixelView& dst) {
  if (kind == SurfaceKind::kBgr0 || kind == SurfaceKind::kBgr) {
    return ConvertYuv6(src, kind, flip, dst, BestSimdLevel());
  }
  return ConvertYuvTable(src, kind, flip, dst);
}

}  // namespace qvnet
