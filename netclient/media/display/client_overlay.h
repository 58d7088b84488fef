// The overlay of a client: what the client's record says about regions, alarms and
// recording, drawn on its back surface. The renderer calls DrawClientOverlay with the client
// as user value.
#pragma once

#include "netclient/media/display/overlay.h"
#include "netclient/media/display/surface.h"

namespace qvnet {

class NetClient;

// Copies the client's overlay fields (the region table under the motion lock) with the
// current tick.
OverlayState OverlayStateOf(NetClient& client);

// Overlay callback: `user` is the NetClient. Draws nothing while the client has no display
// window.
void DrawClientOverlay(const PixelView& back, void* user);

}  // namespace qvnet
