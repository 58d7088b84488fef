// The cameras' motion and alarm reports, which the core only notes in RECORD_LOG.
#include "nvr/core/engine/recorder_core.h"
#include "platform/tick_clock.h"

namespace nvr {

void RecorderCore::OnCameraEvent(int32_t id, uint32_t code, int32_t value) {
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr || e->client == 0) return;
  if (code == kNotifyMotion) {
    state_.activity.Motion(*e, value, qvp::TickCount());
  } else {
    state_.activity.Alarm(*e, value, qvp::TickCount());
  }
}

}  // namespace nvr
