// The motion-detection state of a client: the region table and the reports of the camera's
// event channel. The control channel writes it (the event receiver and the motion-detection
// commands of both libraries), the overlay reads it. It lives here, beside its reader, so
// that the display needs nothing of the client layers; the client owns one.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "netclient/include/QVNetClient.h"

namespace qvnet {

inline constexpr int kRegionCount = 16;

static_assert(sizeof(MDRegionTable) == 272, "MD region table is 272 bytes");

struct MotionState {
  std::mutex lock;          // guards `regions`
  MDRegionTable regions{};  // cached region table
  std::array<std::atomic<uint32_t>, kRegionCount> last_report{};  // tick of the last motion report
  std::atomic<uint32_t> mask{0};      // regions that reported motion in the last event
  std::atomic<bool> enabled{false};   // motion detection switched on by this client
};

}  // namespace qvnet
