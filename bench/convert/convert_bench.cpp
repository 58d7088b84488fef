// Colour conversion of one 1920 x 1080 picture to 32-bit BGR0 (surface kind 2): the table
// conversion and each vector level this processor runs, against libswscale's YUV420P ->
// BGRA of the same picture in the same run.
//
// Usage: bench_convert [milliseconds per case]   (default 1000)
//
// Each case runs for the given time and reports its best single conversion, so that a busy
// machine shows up as noise rather than as a slower case. Ratios above 1 mean faster than
// libswscale.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "netclient/media/display/yuv_convert.h"
#include "netclient/media/display/yuv_convert_simd.h"

namespace {

using qvnet::PixelView;
using qvnet::SimdLevel;
using qvnet::SurfaceKind;
using qvnet::YuvView;
using SteadyClock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Picture {
  std::vector<uint8_t> y = std::vector<uint8_t>(kWidth * kHeight);
  std::vector<uint8_t> u = std::vector<uint8_t>(kWidth / 2 * kHeight / 2);
  std::vector<uint8_t> v = std::vector<uint8_t>(kWidth / 2 * kHeight / 2);
  Picture() {
    // Gradients with a little noise: every table entry and clamp path gets used.
    uint32_t seed = 1;
    for (int row = 0; row < kHeight; ++row) {
      for (int col = 0; col < kWidth; ++col) {
        seed = seed * 1664525u + 1013904223u;
        y[static_cast<size_t>(row * kWidth + col)] = static_cast<uint8_t>((col * 255 / kWidth + (seed >> 28)) & 0xFF);
      }
    }
    for (int row = 0; row < kHeight / 2; ++row) {
      for (int col = 0; col < kWidth / 2; ++col) {
        u[static_cast<size_t>(row * kWidth / 2 + col)] = static_cast<uint8_t>(row * 255 / (kHeight / 2));
        v[static_cast<size_t>(row * kWidth / 2 + col)] = static_cast<uint8_t>(255 - col * 255 / (kWidth / 2));
      }
    }
  }
  YuvView View() const { return YuvView{y.data(), u.data(), v.data(), kWidth, kHeight, kWidth, kWidth / 2}; }
};

// Best time of one call in milliseconds, calling `run` repeatedly for `budget_ms`.
double BestMs(const std::function<void()>& run, int budget_ms) {
  run();  // warm caches and page in the output
  double best = 1e9;
  const auto end = SteadyClock::now() + std::chrono::milliseconds(budget_ms);
  do {
    const auto start = SteadyClock::now();
    run();
    best = std::min(best, std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
  } while (SteadyClock::now() < end);
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int budget = argc > 1 ? std::max(50, std::atoi(argv[1])) : 1000;
  const Picture picture;
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 4);
  const PixelView surface{out.data(), kWidth, kHeight, kWidth * 4};

  SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_BGRA,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (sws == nullptr) {
    std::fprintf(stderr, "libswscale refused the conversion\n");
    return 1;
  }
  const uint8_t* planes[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
  const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
  uint8_t* dst[1] = {out.data()};
  const int dst_stride[1] = {kWidth * 4};
  const double baseline = BestMs([&] { sws_scale(sws, planes, strides, 0, kHeight, dst, dst_stride); }, budget);
  sws_freeContext(sws);

  std::printf("YUV 4:2:0 -> BGR0, %dx%d, best of %d ms per case\n", kWidth, kHeight, budget);
  std::printf("  %-22s %8.3f ms  ratio 1.00 (baseline)\n", "libswscale", baseline);
  const double table =
      BestMs([&] { qvnet::ConvertYuvTable(picture.View(), SurfaceKind::kBgr0, false, surface); }, budget);
  std::printf("  %-22s %8.3f ms  ratio %.2f\n", "13-bit tables", table, baseline / table);
  for (const SimdLevel level : {SimdLevel::kScalar, SimdLevel::kSse2, SimdLevel::kAvx2}) {
    if (!qvnet::SimdLevelSupported(level)) {
      std::printf("  6-bit %-16s not supported by this processor\n", qvnet::SimdLevelName(level));
      continue;
    }
    const double ms = BestMs(
        [&] { qvnet::ConvertYuv6(picture.View(), SurfaceKind::kBgr0, false, surface, level); }, budget);
    std::printf("  6-bit %-16s %8.3f ms  ratio %.2f\n", qvnet::SimdLevelName(level), ms, baseline / ms);
  }
  std::printf("The display uses the 6-bit %s level.\n", qvnet::SimdLevelName(qvnet::BestSimdLevel()));
  return 0;
}
