#include "tools/camsim/test_pattern.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace camsim {

namespace {

struct Yuv {
  uint8_t y, u, v;
};

// The eight classic bars (white, yellow, cyan, green, magenta, red, blue, black) in BT.601.
constexpr Yuv kBars[8] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                          {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

int Bounce(int pos, int span) {
  if (span <= 0) return 0;
  const int period = 2 * span;
  const int p = pos % period;
  return p < span ? p : period - p;
}

}  // namespace

void FillTestPattern(const PlanarPicture& pic, int frame) {
  const int bar_width = std::max(1, pic.width / 8);
  const int shift = frame * 4;
  // Grain that changes every frame: flat bars alone compress to a fraction of any bit rate
  // a real camera sends, and a recorder under test should see realistic sizes.
  uint32_t seed = 0x9E3779B9u * static_cast<uint32_t>(frame + 1);
  for (int row = 0; row < pic.height; ++row) {
    uint8_t* line = pic.y + row * pic.y_stride;
    for (int col = 0; col < pic.width; ++col) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 28) - 8;
      line[col] = static_cast<uint8_t>(std::clamp(kBars[((col + shift) / bar_width) % 8].y + grain, 16, 235));
    }
  }
  for (int row = 0; row < pic.height / 2; ++row) {
    uint8_t* u = pic.u + row * pic.c_stride;
    uint8_t* v = pic.v + row * pic.c_stride;
    for (int col = 0; col < pic.width / 2; ++col) {
      const Yuv& bar = kBars[((2 * col + shift) / bar_width) % 8];
      u[col] = bar.u;
      v[col] = bar.v;
    }
  }
  const int box_w = std::max(2, pic.width / 8) & ~1;
  const int box_h = std::max(2, pic.height / 8) & ~1;
  const int left = Bounce(frame * 6, pic.width - box_w) & ~1;
  const int top = Bounce(frame * 4, pic.height - box_h) & ~1;
  for (int row = top; row < top + box_h && row < pic.height; ++row) {
    std::fill_n(pic.y + row * pic.y_stride + left, std::min(box_w, pic.width - left), 250);
  }
}

std::vector<int16_t> MakeSpeechLikeSignal(int count) {
  constexpr double kRate = 8000.0;
  constexpr double kSyllable = 0.32;  // seconds: 0.22 voiced, 0.10 pause
  constexpr double kVoiced = 0.22;
  std::vector<int16_t> out(static_cast<size_t>(std::max(count, 0)));
  double phase = 0.0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double in_syllable = std::fmod(t, kSyllable);
    const int syllable = static_cast<int>(t / kSyllable);
    // Each syllable glides on its own pitch between about 110 and 230 Hz.
    const double f0 = 110.0 + 30.0 * (syllable % 5) - 40.0 * in_syllable / kSyllable;
    phase += 2.0 * std::numbers::pi * f0 / kRate;
    double envelope = 0.0;
    if (in_syllable < kVoiced) envelope = std::pow(std::sin(std::numbers::pi * in_syllable / kVoiced), 2);
    double sample = 0.0;
    for (int h = 1; h <= 6; ++h) sample += std::sin(phase * h) / h;
    // Fade the whole clip in and out over 50 ms so that looping does not click.
    const double edge = std::min({1.0, t / 0.05, (static_cast<double>(out.size()) / kRate - t) / 0.05});
    out[i] = static_cast<int16_t>(std::clamp(sample * envelope * edge * 9000.0, -32000.0, 32000.0));
  }
  return out;
}

}  // namespace camsim
