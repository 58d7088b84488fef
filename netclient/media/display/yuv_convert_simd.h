// The vector conversion of YUV 4:2:0 to 32-bit (B, G, R, 0) and 24-bit (B, G, R) surfaces:
// 6-bit coefficients in 16-bit saturating arithmetic, with Y' = Y - 16, U' = U - 128,
// V' = V - 128:
//   R = (74 Y' + 102 V') >> 6,  G = (74 Y' + (-25 U' - 52 V')) >> 6,  B = (74 Y' + 129 U') >> 6
// each clamped to 0..255. Every sum saturates to 16 bits as the vector instructions do
// (only B can reach the limit, and only where it clamps to 255 anyway).
//
// The scalar level is the reference of the same arithmetic: all levels give identical bytes.
// Against the 13-bit table conversion the result differs by at most 2 per channel (the 6-bit
// coefficients are up to 0.7 % smaller, plus truncation).
#pragma once

#include "netclient/media/display/surface.h"
#include "netclient/media/display/yuv_convert.h"

namespace qvnet {

enum class SimdLevel : int { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

// The best level this processor runs, found once (SSE2 is part of x86-64; AVX2 is asked of
// the processor at run time).
SimdLevel BestSimdLevel();
bool SimdLevelSupported(SimdLevel level);
const char* SimdLevelName(SimdLevel level);

// Converts for kinds kBgr0 and kBgr at `level`. False (nothing written) for other kinds, a
// picture that does not fit the surface, or a level this processor does not run.
bool ConvertYuv6(const YuvView& src, SurfaceKind kind, bool flip, const PixelView& dst,
                 SimdLevel level);

}  // namespace qvnet
