// What a file client lends its file source and readers: the client's stream state (the frame
// rate and payload type found in the file, the received-bytes count, its handle and
// notification path, its stop flag), its two conduits, the display control with the replay
// mailbox, what the display's overlay reads, the slot where the exports find the display, and
// the two sound flags. All of it belongs to the client and outlives the source.
#pragma once

#include <atomic>

#include "netclient/media/conduit/buffer_conduit.h"
#include "netclient/media/display/av_display.h"
#include "netclient/media/display/client_overlay.h"
#include "netclient/media/display/display_control.h"
#include "netclient/stream/stream_client.h"

namespace qvnet {

struct ReplayTarget {
  StreamClient& client;
  CBufferConduit& video;
  CBufferConduit& audio;
  DisplayControl& display;
  OverlayInputs overlay;
  std::atomic<CAVDisplay*>& display_slot;
  const std::atomic<bool>& play_audio;
  const std::atomic<bool>& sound_unavailable;
};

}  // namespace qvnet
