// YUV 4:2:0 to the pixel formats a video surface can have, ITU-R BT.601 studio range.
//
// Every conversion shares one chroma sample among each 2 x 2 block of pixels and works on
// pairs of lines and pairs of pixels. Odd sizes: the last column (or line) of an odd width
// (height) is converted alone with the chroma sample of its block, so every pixel of the
// picture is written and nothing outside the planes is read. A UYVY surface holds whole
// pixel pairs; for an odd width the last pair repeats its single luma sample.
//
// With `flip` the first picture line goes to the last surface line (bottom-up surface).
#pragma once

#include <cstdint>

#include "netclient/media/display/surface.h"

namespace qvnet {

// What the video surface holds. kNone: nothing is converted and no picture is shown.
enum class SurfaceKind : int {
  kNone = 0,
  kUyvy = 1,    // U, Y0, V, Y1 per pixel pair
  kBgr0 = 2,    // B, G, R, 0
  kBgr = 3,     // B, G, R
  kRgb565 = 4,  // little-endian 16 bits, R in 11-15, G in 5-10, B in 0-4
  kRgb555 = 5,  // little-endian 16 bits, R in 10-14, G in 5-9, B in 0-4
};

// Bytes one line of `width` pixels takes on a surface of `kind` (0 for kNone).
int SurfaceLineBytes(SurfaceKind kind, int width);

// The five products of the 13-bit conversion for every 8-bit input, built once:
// R = (y + rv) >> 13, G = (y + gv + gu) >> 13, B = (y + bu) >> 13, each clamped to 0..255.
struct YuvTables {
  int32_t y[256];   //  9535 * (Y - 16)
  int32_t rv[256];  // 13074 * (V - 128)
  int32_t gv[256];  // -6660 * (V - 128)
  int32_t gu[256];  // -3203 * (U - 128)
  int32_t bu[256];  // 16531 * (U - 128)
};
const YuvTables& Bt601Tables();

// The table conversion into `dst`, which must be at least the picture's size with lines of
// SurfaceLineBytes(kind, width). False (nothing written) for an invalid picture or surface
// and for kNone.
bool ConvertYuvTable(const YuvView& src, SurfaceKind kind, bool flip, const PixelView& dst);

// What the renderer uses: kinds 2 and 3 go through the fastest 6-bit vector conversion the
// processor has (yuv_convert_simd.h), the others through the tables.
bool ConvertYuv(const YuvView& src, SurfaceKind kind, bool flip, const PixelView& dst);

// True when `dst` can take `src` converted to `kind`.
bool SurfaceFits(const YuvView& src, SurfaceKind kind, const PixelView& dst);

// The surface line that picture line `line` goes to.
inline int SurfaceLine(int line, int height, bool flip) { return flip ? height - 1 - line : line; }

}  // namespace qvnet
