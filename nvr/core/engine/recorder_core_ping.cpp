// The ping step: the answer for one row arrives, the next row's host goes to the ping thread.
#include "nvr/core/engine/recorder_core.h"

namespace nvr {
namespace {

// Rows right after a pinged row with the same host are further channels of one device: they
// share its answer instead of being pinged again.
constexpr int kMaxSiblingRows = 4;

}  // namespace

void RecorderCore::PingStep(bool answered) {
  if (exiting_) return;
  DeviceLock lock = state_.devices.Lock();
  std::vector<DeviceEntry>& rows = state_.devices.Entries();
  if (rows.empty()) {
    ping_pending_ = false;
    ping_device_ = 0;
    if (ping_) ping_->Request(std::string(), false);
    return;
  }
  if (!ping_pending_) {
    ping_cursor_ = 0;
  } else if (ping_cursor_ < rows.size() && rows[ping_cursor_].id == ping_device_) {
    DeviceEntry& pinged = rows[ping_cursor_];
    const int32_t image = pinged.state == kStateConnected || answered ? kImageReachable
                                                                      : kImageUnreachable;
    const std::string host = pinged.host;
    pinged.row_image = image;
    state_.Refresh(pinged);
    ++ping_cursor_;
    for (int k = 0; k < kMaxSiblingRows && ping_cursor_ < rows.size() &&
                    rows[ping_cursor_].host == host;
         ++k, ++ping_cursor_) {
      rows[ping_cursor_].row_image = image;
      state_.Refresh(rows[ping_cursor_]);
    }
  }
  ping_cursor_ %= rows.size();
  ping_device_ = rows[ping_cursor_].id;
  ping_pending_ = true;
  if (ping_) ping_->Request(rows[ping_cursor_].host, true);
}

}  // namespace nvr
