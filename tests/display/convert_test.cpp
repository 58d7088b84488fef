// Colour conversions, checked pixel by pixel against the formulas written out here, plus the
// vector variants, the stretch onto the back surface and the 180-degree turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "netclient/media/display/rotate.h"
#include "netclient/media/display/surface_stretch.h"
#include "netclient/media/display/yuv_convert.h"
#include "netclient/media/display/yuv_convert_simd.h"
#include "tests/display/display_test_support.h"

namespace qvnet {
namespace {

using test::OwnedYuv;

int Clamp(int x) { return std::clamp(x, 0, 255); }

// BT.601 with 13-bit coefficients, unclamped.
struct Rgb13 {
  int r, g, b;
};
Rgb13 Formula13(int y, int u, int v) {
  const int yy = 9535 * (y - 16);
  return Rgb13{(yy + 13074 * (v - 128)) >> 13, (yy - 6660 * (v - 128) - 3203 * (u - 128)) >> 13,
               (yy + 16531 * (u - 128)) >> 13};
}

struct Surface {
  Surface(int w, int h, int line_bytes) : stride(line_bytes + 6), bytes(static_cast<size_t>(stride * h), 0xEE) {
    view = PixelView{bytes.data(), w, h, stride};
  }
  const uint8_t* Line(int line) const { return bytes.data() + static_cast<size_t>(line * stride); }
  int stride;
  std::vector<uint8_t> bytes;
  PixelView view;
};

// Expected bytes of one surface line for picture line `line`.
std::vector<uint8_t> ExpectedLine(const OwnedYuv& p, SurfaceKind kind, int line) {
  std::vector<uint8_t> out;
  int carry[3] = {0, 0, 0};
  for (int x = 0; x < p.width; ++x) {
    const int y = p.Y(x, line), u = p.U(x, line), v = p.V(x, line);
    if (kind == SurfaceKind::kUyvy) {
      if (x % 2 == 1) continue;
      const int y1 = x + 1 < p.width ? p.Y(x + 1, line) : y;
      out.insert(out.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(y), static_cast<uint8_t>(v),
                             static_cast<uint8_t>(y1)});
      continue;
    }
    const Rgb13 c = Formula13(y, u, v);
    if (kind == SurfaceKind::kBgr0 || kind == SurfaceKind::kBgr) {
      out.insert(out.end(), {static_cast<uint8_t>(Clamp(c.b)), static_cast<uint8_t>(Clamp(c.g)),
                             static_cast<uint8_t>(Clamp(c.r))});
      if (kind == SurfaceKind::kBgr0) out.push_back(0);
      continue;
    }
    int ch[3] = {c.r + carry[0], c.g + carry[1], c.b + carry[2]};
    for (int k = 0; k < 3; ++k) {
      carry[k] = ch[k] & 7;
      ch[k] = Clamp(ch[k]);
    }
    const unsigned px = kind == SurfaceKind::kRgb565
                            ? (ch[0] >> 3) << 11 | (ch[1] >> 2) << 5 | ch[2] >> 3
                            : (ch[0] >> 3) << 10 | (ch[1] >> 3) << 5 | ch[2] >> 3;
    out.push_back(static_cast<uint8_t>(px & 0xFF));
    out.push_back(static_cast<uint8_t>(px >> 8));
  }
  return out;
}

struct Size {
  int w, h;
};
const Size kSizes[] = {{16, 8}, {7, 5}, {1, 1}, {33, 3}, {2, 7}};
const SurfaceKind kAllKinds[] = {SurfaceKind::kUyvy, SurfaceKind::kBgr0, SurfaceKind::kBgr,
                                 SurfaceKind::kRgb565, SurfaceKind::kRgb555};

TEST(YuvConvert, EveryKindMatchesItsFormulaUprightAndFlipped) {
  for (const Size s : kSizes) {
    const OwnedYuv p(s.w, s.h, static_cast<uint32_t>(s.w * 131 + s.h));
    for (const SurfaceKind kind : kAllKinds) {
      for (const bool flip : {false, true}) {
        const int line_bytes = SurfaceLineBytes(kind, s.w);
        Surface out(s.w, s.h, line_bytes);
        ASSERT_TRUE(ConvertYuvTable(p.View(), kind, flip, out.view));
        for (int line = 0; line < s.h; ++line) {
          const int at = flip ? s.h - 1 - line : line;
          const std::vector<uint8_t> want = ExpectedLine(p, kind, line);
          ASSERT_EQ(want.size(), static_cast<size_t>(line_bytes));
          ASSERT_TRUE(std::equal(want.begin(), want.end(), out.Line(at)))
              << "kind " << static_cast<int>(kind) << " " << s.w << "x" << s.h << " line " << line
              << " flip " << flip;
          // Nothing beyond the line is touched.
          EXPECT_EQ(out.Line(at)[line_bytes], 0xEE);
        }
      }
    }
  }
}

TEST(YuvConvert, RefusesSurfacesThatCannotHoldThePicture) {
  const OwnedYuv p(8, 4, 1);
  Surface narrow(8, 4, 8 * 4 - 1);
  narrow.view.stride = 8 * 4 - 1;
  EXPECT_FALSE(ConvertYuvTable(p.View(), SurfaceKind::kBgr0, false, narrow.view));
  Surface short_surface(8, 3, 32);
  EXPECT_FALSE(ConvertYuvTable(p.View(), SurfaceKind::kBgr0, false, short_surface.view));
  Surface fine(8, 4, 32);
  EXPECT_FALSE(ConvertYuvTable(p.View(), SurfaceKind::kNone, false, fine.view));
  EXPECT_FALSE(ConvertYuv6(p.View(), SurfaceKind::kRgb565, false, fine.view, SimdLevel::kScalar));
}

// The 6-bit arithmetic, written out with the 16-bit saturation of the vector instructions.
std::vector<uint8_t> Expected6(const OwnedYuv& p, int line, bool four_bytes) {
  auto sat = [](int x) { return std::clamp(x, -32768, 32767); };
  std::vector<uint8_t> out;
  for (int x = 0; x < p.width; ++x) {
    const int yy = 74 * (p.Y(x, line) - 16), uu = p.U(x, line) - 128, vv = p.V(x, line) - 128;
    out.push_back(static_cast<uint8_t>(Clamp(sat(yy + 129 * uu) >> 6)));
    out.push_back(static_cast<uint8_t>(Clamp(sat(yy - 25 * uu - 52 * vv) >> 6)));
    out.push_back(static_cast<uint8_t>(Clamp(sat(yy + 102 * vv) >> 6)));
    if (four_bytes) out.push_back(0);
  }
  return out;
}

TEST(YuvConvertSimd, EveryLevelGivesTheSixBitArithmeticExactly) {
  // Widths around the vector block sizes exercise the scalar tails.
  const Size sizes[] = {{77, 6}, {64, 4}, {31, 3}, {1920, 2}, {33, 1}};
  for (const SimdLevel level : {SimdLevel::kScalar, SimdLevel::kSse2, SimdLevel::kAvx2}) {
    if (!SimdLevelSupported(level)) continue;
    for (const Size s : sizes) {
      const OwnedYuv p(s.w, s.h, static_cast<uint32_t>(s.w + 7 * s.h));
      for (const SurfaceKind kind : {SurfaceKind::kBgr0, SurfaceKind::kBgr}) {
        Surface out(s.w, s.h, SurfaceLineBytes(kind, s.w));
        ASSERT_TRUE(ConvertYuv6(p.View(), kind, true, out.view, level));
        for (int line = 0; line < s.h; ++line) {
          const std::vector<uint8_t> want = Expected6(p, line, kind == SurfaceKind::kBgr0);
          ASSERT_TRUE(std::equal(want.begin(), want.end(), out.Line(s.h - 1 - line)))
              << SimdLevelName(level) << " " << s.w << "x" << s.h << " line " << line;
        }
      }
    }
  }
}

TEST(YuvConvertSimd, StaysWithinTwoOfTheTableConversion) {
  // Every (U, V) pair once, each 2 x 2 block with luma 0, 85, 170, 255.
  OwnedYuv p(512, 512, 3);
  for (int by = 0; by < 256; ++by) {
    for (int bx = 0; bx < 256; ++bx) {
      p.u[static_cast<size_t>(by * p.uv_stride + bx)] = static_cast<uint8_t>(bx);
      p.v[static_cast<size_t>(by * p.uv_stride + bx)] = static_cast<uint8_t>(by);
      for (int k = 0; k < 4; ++k) {
        p.y[static_cast<size_t>((2 * by + k / 2) * p.y_stride + 2 * bx + k % 2)] = static_cast<uint8_t>(85 * k);
      }
    }
  }
  Surface table(512, 512, 2048);
  Surface fast(512, 512, 2048);
  ASSERT_TRUE(ConvertYuvTable(p.View(), SurfaceKind::kBgr0, false, table.view));
  ASSERT_TRUE(ConvertYuv(p.View(), SurfaceKind::kBgr0, false, fast.view));
  int worst = 0;
  for (size_t i = 0; i < table.bytes.size(); ++i) worst = std::max(worst, std::abs(table.bytes[i] - fast.bytes[i]));
  EXPECT_LE(worst, 2);
}

TEST(SurfaceStretch, NearestNeighbourScalesBothWays) {
  // A 2 x 2 picture of four colours onto 5 x 3: source column x * 2 / 5, line y * 2 / 3.
  std::vector<uint8_t> video = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};
  std::vector<uint8_t> back(5 * 3 * 4);
  StretchToBgrx(PixelView{video.data(), 2, 2, 8}, SurfaceKind::kBgr0, PixelView{back.data(), 5, 3, 20});
  const int want[3][5] = {{1, 1, 1, 2, 2}, {1, 1, 1, 2, 2}, {3, 3, 3, 4, 4}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back[static_cast<size_t>(y * 20 + x * 4)], want[y][x]) << x << "," << y;
  }
}

TEST(Rotate180, TurnsEveryPlaneIncludingTheMiddleLine) {
  for (const Size s : {Size{6, 4}, Size{5, 5}, Size{7, 3}, Size{1, 1}}) {
    const OwnedYuv original(s.w, s.h, 11);
    OwnedYuv turned = original;
    Rotate180(qvcodec::DecodedPicture{turned.y.data(), turned.u.data(), turned.v.data(), s.w, s.h,
                                      turned.y_stride, turned.uv_stride});
    for (int line = 0; line < s.h; ++line) {
      for (int x = 0; x < s.w; ++x) {
        ASSERT_EQ(turned.Y(x, line), original.Y(s.w - 1 - x, s.h - 1 - line)) << x << "," << line;
      }
    }
    const int cw = (s.w + 1) / 2, ch = (s.h + 1) / 2;
    for (int line = 0; line < ch; ++line) {
      for (int x = 0; x < cw; ++x) {
        const size_t at = static_cast<size_t>(line * original.uv_stride + x);
        const size_t from = static_cast<size_t>((ch - 1 - line) * original.uv_stride + cw - 1 - x);
        ASSERT_EQ(turned.u[at], original.u[from]);
        ASSERT_EQ(turned.v[at], original.v[from]);
      }
    }
    // The padding beyond each line stays as it was.
    EXPECT_EQ(turned.y[static_cast<size_t>(s.w)], original.y[static_cast<size_t>(s.w)]);
  }
}

}  // namespace
}  // namespace qvnet
