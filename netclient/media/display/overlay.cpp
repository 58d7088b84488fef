#include "netclient/media/display/overlay.h"

#include <algorithm>
#include <string>

#include "netclient/media/display/bitmap_font.h"

namespace qvnet {
namespace {

constexpr int kNumberOffset = 5;
constexpr int kRecFromRight = 22;

int32_t Scale(int32_t value, int size, int space) {
  // 64-bit so that a corrupt region table cannot overflow.
  return static_cast<int32_t>(static_cast<int64_t>(value) * size / space);
}

bool IsEmpty(const RegionRect& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

void DrawRegion(const PixelView& s, const RegionRect& region, int index, Bgrx color) {
  const RegionRect r = ScaleRegion(region, s.width, s.height);
  FrameRect(s, r, color);
  DrawText(s, r.left + kNumberOffset, r.top + kNumberOffset, std::to_string(index), color);
}

bool InAlarm(const OverlayState& state, int i) {
  if ((state.alarm_mask >> i & 1u) == 0) return false;
  return state.now - state.alarm_ticks[static_cast<size_t>(i)] < kAlarmShowMs;
}

}  // namespace

RegionRect ScaleRegion(const RegionRect& r, int width, int height) {
  return RegionRect{Scale(r.left, width, kRegionSpaceWidth), Scale(r.top, height, kRegionSpaceHeight),
                    Scale(r.right, width, kRegionSpaceWidth),
                    Scale(r.bottom, height, kRegionSpaceHeight)};
}

void FrameRect(const PixelView& s, const RegionRect& r, Bgrx color) {
  if (r.right <= r.left || r.bottom <= r.top || s.pixels == nullptr) return;
  // Clip the walk to the surface; the pixels themselves are clipped by PutPixel.
  const int x0 = std::max(r.left, 0);
  const int x1 = std::min(r.right, s.width);
  const int y0 = std::max(r.top, 0);
  const int y1 = std::min(r.bottom, s.height);
  for (int x = x0; x < x1; ++x) {
    PutPixel(s, x, r.top, color);
    PutPixel(s, x, r.bottom - 1, color);
  }
  for (int y = y0; y < y1; ++y) {
    PutPixel(s, r.left, y, color);
    PutPixel(s, r.right - 1, y, color);
  }
}

void DrawOverlay(const OverlayState& state, const PixelView& surface) {
  if (surface.pixels == nullptr || surface.width <= 0 || surface.height <= 0) return;
  // All white frames first, so that a region in alarm stays red where regions overlap.
  for (int i = 0; i < kOverlayRegions; ++i) {
    const RegionRect& region = state.regions[static_cast<size_t>(i)];
    if ((state.mask & kShowAllRegions) != 0 && !IsEmpty(region)) DrawRegion(surface, region, i, kWhite);
  }
  for (int i = 0; i < kOverlayRegions; ++i) {
    const RegionRect& region = state.regions[static_cast<size_t>(i)];
    if ((state.mask & kShowAlarmRegions) != 0 && !IsEmpty(region) && InAlarm(state, i)) {
      DrawRegion(surface, region, i, kRed);
    }
  }
  if (state.recording) DrawText(surface, surface.width - kRecFromRight, 0, "Rec", kRed);
}

}  // namespace qvnet
