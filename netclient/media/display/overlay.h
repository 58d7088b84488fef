// The overlay drawn over the picture on the back surface: motion-detection regions with
// their numbers, and a "Rec" mark while the client records.
#pragma once

#include <array>
#include <cstdint>

#include "netclient/media/display/surface.h"

namespace qvnet {

inline constexpr int kOverlayRegions = 16;
// Cameras give regions in this coordinate space whatever the picture size.
inline constexpr int kRegionSpaceWidth = 704;
inline constexpr int kRegionSpaceHeight = 576;
// A region stays framed in red for this long after its last motion report.
inline constexpr uint32_t kAlarmShowMs = 3000;

// Region display mask bits.
inline constexpr int32_t kShowAllRegions = 1;
inline constexpr int32_t kShowAlarmRegions = 2;

struct RegionRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Everything the overlay needs, copied from the client so that drawing holds no lock.
struct OverlayState {
  int32_t mask = 0;
  std::array<RegionRect, kOverlayRegions> regions{};  // in region space
  uint32_t alarm_mask = 0;                             // bit i: region i reported motion
  std::array<uint32_t, kOverlayRegions> alarm_ticks{};  // tick of each region's last report
  uint32_t now = 0;                                     // tick at drawing time
  bool recording = false;
};

// Region space to window pixels: left and right * width / 704, top and bottom
// * height / 576, cut to integers.
RegionRect ScaleRegion(const RegionRect& r, int width, int height);

// Draws a one-pixel frame along the inside of [left, right) x [top, bottom), clipped to
// the surface; nothing for an empty rectangle.
void FrameRect(const PixelView& surface, const RegionRect& r, Bgrx color);

// Draws the overlay on a BGRX surface: with mask bit 0 every region framed white with its
// number at (left + 5, top + 5); with bit 1 every region whose alarm bit is set and whose
// report is less than 3 s old framed red and numbered; "Rec" in red at (width - 22, 0)
// while recording. Regions whose four coordinates are all 0 are not drawn. Numbers take the
// colour of their frame.
void DrawOverlay(const OverlayState& state, const PixelView& surface);

}  // namespace qvnet
