// The display's side of its client: what the exports set and the display thread polls (view,
// window, flip, rotate, region display mask), the replay mailbox of a file client, and the
// figures the display reports back (picture and window size, queued and shown pictures, the
// drawing flag QVNET_ClientStopView waits on). The client owns one and hands it to its display
// by reference; the display reads nothing else of the client.
//
// Single values written by one thread and polled by others are relaxed atomics.
#pragma once

#include <atomic>
#include <cstdint>

#include "netclient/media/display/replay_control.h"

namespace qvnet {

// The view flag. The client record's other non-zero values are kept as they are: such a client
// is not off (its window may be refreshed) but only kOn is drawn.
enum class ViewState : int16_t { kOff = 0, kOn = 1 };

inline ViewState ViewStateOf(int16_t flag) { return static_cast<ViewState>(flag); }

// Default region display mask: frame the regions that are in alarm.
inline constexpr int32_t kDefaultRegionDisplayMask = 2;

struct DisplayControl {
  // Set before the display starts.
  bool file_mode = false;
  // Live H.264: the receivers' key-frame span estimate, which the display paces by and resets
  // when it starts (null: none).
  std::atomic<int32_t>* key_frame_span = nullptr;

  // Settings the exports change.
  std::atomic<ViewState> view{ViewState::kOff};
  std::atomic<uint32_t> window{0};
  std::atomic<bool> vertical_flip{false};
  std::atomic<bool> rotate180{false};
  std::atomic<int32_t> region_display_mask{kDefaultRegionDisplayMask};
  ReplayControl replay;

  // What the display reports.
  std::atomic<bool> drawing{false};  // drawing into the window right now
  std::atomic<int32_t> decoded_width{0};
  std::atomic<int32_t> decoded_height{0};
  std::atomic<int32_t> window_width{0};
  std::atomic<int32_t> window_height{0};
  // Whole pictures queued in the video conduit when the live display last looked.
  std::atomic<int32_t> queued_pictures{0};
  std::atomic<uint32_t> shown_frames{0};  // running total
};

}  // namespace qvnet
