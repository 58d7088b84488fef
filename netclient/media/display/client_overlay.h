// The overlay of a client: what its display control, motion-detection state and recordings
// say about regions, alarms and recording, drawn on its back surface. The display's renderer
// calls DrawClientOverlay with the display's OverlayInputs as user value.
#pragma once

#include <functional>

#include "netclient/media/display/display_control.h"
#include "netclient/media/display/motion_state.h"
#include "netclient/media/display/overlay.h"
#include "netclient/media/display/surface.h"

namespace qvnet {

// What the overlay reads; the client owns all of it.
struct OverlayInputs {
  const DisplayControl* control = nullptr;  // region display mask and window; null: no overlay
  MotionState* motion = nullptr;            // null: no regions
  std::function<bool()> is_recording;       // the normal recording runs; empty: never
};

// Copies the overlay fields (the region table under the motion lock) with the current tick.
OverlayState OverlayStateOf(const OverlayInputs& in);

// Overlay callback: `user` is the OverlayInputs. Draws nothing while there is no display
// window.
void DrawClientOverlay(const PixelView& back, void* user);

}  // namespace qvnet
