#include "netclient/media/display/client_overlay.h"

#include <mutex>

#include "platform/tick_clock.h"

namespace qvnet {

OverlayState OverlayStateOf(const OverlayInputs& in) {
  OverlayState state;
  if (in.control != nullptr) state.mask = in.control->region_display_mask.load();
  if (in.motion != nullptr) {
    MotionState& motion = *in.motion;
    {
      std::lock_guard<std::mutex> lock(motion.lock);
      for (int i = 0; i < kOverlayRegions; ++i) {
        const int32_t* r = motion.regions.rect[i];
        state.regions[static_cast<size_t>(i)] = RegionRect{r[0], r[1], r[2], r[3]};
      }
    }
    state.alarm_mask = motion.mask.load();
    for (int i = 0; i < kOverlayRegions; ++i) {
      state.alarm_ticks[static_cast<size_t>(i)] = motion.last_report[static_cast<size_t>(i)].load();
    }
  }
  state.now = qvp::TickCount();
  state.recording = in.is_recording && in.is_recording();
  return state;
}

void DrawClientOverlay(const PixelView& back, void* user) {
  if (user == nullptr) return;
  const OverlayInputs& in = *static_cast<const OverlayInputs*>(user);
  if (in.control == nullptr || in.control->window.load() == 0) return;
  DrawOverlay(OverlayStateOf(in), back);
}

}  // namespace qvnet
