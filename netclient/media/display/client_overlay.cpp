#include "netclient/media/display/client_overlay.h"

#include <mutex>

#include "netclient/client/net_client.h"
#include "platform/tick_clock.h"

namespace qvnet {

OverlayState OverlayStateOf(NetClient& client) {
  OverlayState state;
  state.mask = client.region_display_mask.load();
  {
    std::lock_guard<std::mutex> lock(client.motion.lock);
    for (int i = 0; i < kOverlayRegions; ++i) {
      const int32_t* r = client.motion.regions.rect[i];
      state.regions[static_cast<size_t>(i)] = RegionRect{r[0], r[1], r[2], r[3]};
    }
  }
  state.alarm_mask = client.motion.mask.load();
  for (int i = 0; i < kOverlayRegions; ++i) {
    state.alarm_ticks[static_cast<size_t>(i)] = client.motion.last_report[static_cast<size_t>(i)].load();
  }
  state.now = qvp::TickCount();
  state.recording = client.IsRecording();
  return state;
}

void DrawClientOverlay(const PixelView& back, void* user) {
  if (user == nullptr) return;
  NetClient& client = *static_cast<NetClient*>(user);
  if (client.display_window.load() == 0) return;
  DrawOverlay(OverlayStateOf(client), back);
}

}  // namespace qvnet
