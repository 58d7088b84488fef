#include "netclient/media/display/yuv_convert_simd.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QV_HAVE_X86 1
#endif

namespace qvnet {
namespace {

// Converts pixels [0, width) of one or two lines that share a chroma line into BGR0; `y1`
// and `out1` are null for a single line. Returns how many pixels of each line it did (a
// multiple of its block size); the caller finishes the rest with Row6Scalar. Every load
// stays inside [0, width) of the luma lines and [0, width / 2) of the chroma line.
using PairFn = int (*)(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                       int width, uint8_t* out0, uint8_t* out1);

inline int Sat16(int x) { return std::clamp(x, -32768, 32767); }
inline uint8_t Clamp255(int x) { return static_cast<uint8_t>(std::clamp(x, 0, 255)); }

void Row6Scalar(const uint8_t* y, const uint8_t* u, const uint8_t* v, int from, int width,
                uint8_t* out) {
  for (int x = from; x < width; ++x) {
    const int yy = 74 * (y[x] - 16);
    const int uu = u[x / 2] - 128;
    const int vv = v[x / 2] - 128;
    const int guv = Sat16(-25 * uu + -52 * vv);
    uint8_t* px = out + 4 * x;
    px[0] = Clamp255(Sat16(yy + 129 * uu) >> 6);
    px[1] = Clamp255(Sat16(yy + guv) >> 6);
    px[2] = Clamp255(Sat16(yy + 102 * vv) >> 6);
    px[3] = 0;
  }
}

int PairScalarNone(const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int, uint8_t*,
                   uint8_t*) {
  return 0;
}

#ifdef QV_HAVE_X86

// The vector code splits each 16-bit lane of luma into its even and its odd pixel: both
// share the chroma sample of that lane, so chroma is never duplicated, and the two results
// go back into one lane as (even | odd << 8) with plain shifts instead of shuffles.

// Chroma products per chroma sample (one per 16-bit lane).
struct Chroma128 {
  __m128i rv, guv, bu;
};

inline Chroma128 ChromaTerms128(__m128i u16, __m128i v16) {
  const __m128i uu = _mm_sub_epi16(u16, _mm_set1_epi16(128));
  const __m128i vv = _mm_sub_epi16(v16, _mm_set1_epi16(128));
  return Chroma128{_mm_mullo_epi16(vv, _mm_set1_epi16(102)),
                   _mm_adds_epi16(_mm_mullo_epi16(uu, _mm_set1_epi16(-25)),
                                  _mm_mullo_epi16(vv, _mm_set1_epi16(-52))),
                   _mm_mullo_epi16(uu, _mm_set1_epi16(129))};
}

// One channel of the even and the odd pixels, clamped and joined into bytes.
inline __m128i Channel128(__m128i yy_even, __m128i yy_odd, __m128i term) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i top = _mm_set1_epi16(255);
  const __m128i even = _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(_mm_adds_epi16(yy_even, term), 6), zero), top);
  const __m128i odd = _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(_mm_adds_epi16(yy_odd, term), 6), zero), top);
  return _mm_or_si128(even, _mm_slli_epi16(odd, 8));
}

// 16 pixels of one line.
inline void Line16Sse2(const uint8_t* y, const Chroma128& c, uint8_t* out) {
  const __m128i y8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  const __m128i k16 = _mm_set1_epi16(16);
  const __m128i k74 = _mm_set1_epi16(74);
  const __m128i yy_even = _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(y8, _mm_set1_epi16(0xFF)), k16), k74);
  const __m128i yy_odd = _mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(y8, 8), k16), k74);
  const __m128i b = Channel128(yy_even, yy_odd, c.bu);
  const __m128i g = Channel128(yy_even, yy_odd, c.guv);
  const __m128i r = Channel128(yy_even, yy_odd, c.rv);
  const __m128i zero = _mm_setzero_si128();
  const __m128i bg_lo = _mm_unpacklo_epi8(b, g);
  const __m128i bg_hi = _mm_unpackhi_epi8(b, g);
  const __m128i r_lo = _mm_unpacklo_epi8(r, zero);
  const __m128i r_hi = _mm_unpackhi_epi8(r, zero);
  auto* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o, _mm_unpacklo_epi16(bg_lo, r_lo));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bg_lo, r_lo));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bg_hi, r_hi));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bg_hi, r_hi));
}

int PairSse2(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, int width,
             uint8_t* out0, uint8_t* out1) {
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
    const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
    const Chroma128 c = ChromaTerms128(_mm_unpacklo_epi8(u8, zero), _mm_unpacklo_epi8(v8, zero));
    Line16Sse2(y0 + x, c, out0 + 4 * x);
    if (y1 != nullptr) Line16Sse2(y1 + x, c, out1 + 4 * x);
  }
  return x;
}

struct Chroma256 {
  __m256i rv, guv, bu;
};

#define QV_AVX2 __attribute__((target("avx2")))

QV_AVX2 inline __m256i Channel256(__m256i yy_even, __m256i yy_odd, __m256i term) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i top = _mm256_set1_epi16(255);
  const __m256i even =
      _mm256_min_epi16(_mm256_max_epi16(_mm256_srai_epi16(_mm256_adds_epi16(yy_even, term), 6), zero), top);
  const __m256i odd =
      _mm256_min_epi16(_mm256_max_epi16(_mm256_srai_epi16(_mm256_adds_epi16(yy_odd, term), 6), zero), top);
  return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
}

// Luma and chroma are loaded with their 4-byte groups reordered (0 2 4 6 | 1 3 5 7) so that
// the in-lane unpacks below come out in pixel order without a final cross-lane shuffle.
QV_AVX2 inline __m256i GroupOrder() { return _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7); }

// 32 pixels of one line.
QV_AVX2 inline void Line32Avx2(const uint8_t* y, const Chroma256& c, uint8_t* out) {
  const __m256i y8 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y)), GroupOrder());
  const __m256i k16 = _mm256_set1_epi16(16);
  const __m256i k74 = _mm256_set1_epi16(74);
  const __m256i yy_even =
      _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(y8, _mm256_set1_epi16(0xFF)), k16), k74);
  const __m256i yy_odd = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(y8, 8), k16), k74);
  const __m256i b = Channel256(yy_even, yy_odd, c.bu);
  const __m256i g = Channel256(yy_even, yy_odd, c.guv);
  const __m256i r = Channel256(yy_even, yy_odd, c.rv);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i bg_lo = _mm256_unpacklo_epi8(b, g);  // pixels 0-3, 8-11 | 4-7, 12-15
  const __m256i bg_hi = _mm256_unpackhi_epi8(b, g);  // pixels 16-19, 24-27 | 20-23, 28-31
  const __m256i r_lo = _mm256_unpacklo_epi8(r, zero);
  const __m256i r_hi = _mm256_unpackhi_epi8(r, zero);
  auto* o = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(o, _mm256_unpacklo_epi16(bg_lo, r_lo));      // 0-3 | 4-7
  _mm256_storeu_si256(o + 1, _mm256_unpackhi_epi16(bg_lo, r_lo));  // 8-11 | 12-15
  _mm256_storeu_si256(o + 2, _mm256_unpacklo_epi16(bg_hi, r_hi));  // 16-19 | 20-23
  _mm256_storeu_si256(o + 3, _mm256_unpackhi_epi16(bg_hi, r_hi));  // 24-27 | 28-31
}

QV_AVX2 int PairAvx2(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                     int width, uint8_t* out0, uint8_t* out1) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i u16 = _mm256_permutevar8x32_epi32(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(u + x / 2))), GroupOrder());
    const __m256i v16 = _mm256_permutevar8x32_epi32(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + x / 2))), GroupOrder());
    const __m256i uu = _mm256_sub_epi16(u16, _mm256_set1_epi16(128));
    const __m256i vv = _mm256_sub_epi16(v16, _mm256_set1_epi16(128));
    const Chroma256 c{_mm256_mullo_epi16(vv, _mm256_set1_epi16(102)),
                      _mm256_adds_epi16(_mm256_mullo_epi16(uu, _mm256_set1_epi16(-25)),
                                        _mm256_mullo_epi16(vv, _mm256_set1_epi16(-52))),
                      _mm256_mullo_epi16(uu, _mm256_set1_epi16(129))};
    Line32Avx2(y0 + x, c, out0 + 4 * x);
    if (y1 != nullptr) Line32Avx2(y1 + x, c, out1 + 4 * x);
  }
  return x;
}

#undef QV_AVX2

#endif  // QV_HAVE_X86

PairFn PairFor(SimdLevel level) {
#ifdef QV_HAVE_X86
  if (level == SimdLevel::kAvx2) return PairAvx2;
  if (level == SimdLevel::kSse2) return PairSse2;
#endif
  (void)level;
  return PairScalarNone;
}

// One or two lines straight into a BGR0 surface.
void LinesBgr0(PairFn pair, const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
               const uint8_t* v, int width, uint8_t* out0, uint8_t* out1) {
  const int done = pair(y0, y1, u, v, width, out0, out1);
  Row6Scalar(y0, u, v, done, width, out0);
  if (y1 != nullptr) Row6Scalar(y1, u, v, done, width, out1);
}

// 24-bit lines go through a small BGR0 buffer in pieces; the piece length is even so that
// every piece starts on a chroma sample.
void LinesBgr(PairFn pair, const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
              const uint8_t* v, int width, uint8_t* out0, uint8_t* out1) {
  constexpr int kPiece = 256;
  alignas(32) uint8_t buffer[2][kPiece * 4];
  for (int x = 0; x < width; x += kPiece) {
    const int n = std::min(kPiece, width - x);
    LinesBgr0(pair, y0 + x, y1 != nullptr ? y1 + x : nullptr, u + x / 2, v + x / 2, n,
              buffer[0], buffer[1]);
    for (int k = 0; k < n; ++k) std::memcpy(out0 + 3 * (x + k), buffer[0] + 4 * k, 3);
    if (y1 == nullptr) continue;
    for (int k = 0; k < n; ++k) std::memcpy(out1 + 3 * (x + k), buffer[1] + 4 * k, 3);
  }
}

}  // namespace

bool SimdLevelSupported(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar:
      return true;
#ifdef QV_HAVE_X86
    case SimdLevel::kSse2:
      return __builtin_cpu_supports("sse2");
    case SimdLevel::kAvx2:
      return __builtin_cpu_supports("avx2");
#else
    default:
      return false;
#endif
  }
  return false;
}

SimdLevel BestSimdLevel() {
  static const SimdLevel best = [] {
#ifdef QV_HAVE_X86
    __builtin_cpu_init();
#endif
    if (SimdLevelSupported(SimdLevel::kAvx2)) return SimdLevel::kAvx2;
    if (SimdLevelSupported(SimdLevel::kSse2)) return SimdLevel::kSse2;
    return SimdLevel::kScalar;
  }();
  return best;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar:
      return "scalar";
    case SimdLevel::kSse2:
      return "SSE2";
    case SimdLevel::kAvx2:
      return "AVX2";
  }
  return "?";
}

bool ConvertYuv6(const YuvView& src, SurfaceKind kind, bool flip, const PixelView& dst,
                 SimdLevel level) {
  if (kind != SurfaceKind::kBgr0 && kind != SurfaceKind::kBgr) return false;
  if (!SurfaceFits(src, kind, dst) || !SimdLevelSupported(level)) return false;
  const PairFn pair = PairFor(level);
  const auto lines = kind == SurfaceKind::kBgr0 ? LinesBgr0 : LinesBgr;
  // Line pairs share their chroma line; the last line of an odd height goes alone.
  for (int line = 0; line < src.height; line += 2) {
    const long chroma = static_cast<long>(line / 2) * src.uv_stride;
    const bool two = line + 1 < src.height;
    const uint8_t* y0 = src.y + static_cast<long>(line) * src.y_stride;
    const uint8_t* y1 = two ? y0 + src.y_stride : nullptr;
    uint8_t* out0 = dst.Row(SurfaceLine(line, src.height, flip));
    uint8_t* out1 = two ? dst.Row(SurfaceLine(line + 1, src.height, flip)) : nullptr;
    lines(pair, y0, y1, src.u + chroma, src.v + chroma, src.width, out0, out1);
  }
  return true;
}

}  // namespace qvnet
