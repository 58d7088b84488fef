// The narrow views of the recorder's state that views and tests read (recorder_core.h).
#include "nvr/core/engine/recorder_core.h"

namespace nvr {

std::optional<DeviceEntry> RecorderCore::Device(int32_t id) {
  DeviceLock lock = state_.devices.Lock();
  const DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr) return std::nullopt;
  return *e;
}

std::vector<DeviceEntry> RecorderCore::Devices() {
  DeviceLock lock = state_.devices.Lock();
  return state_.devices.Entries();
}

int32_t RecorderCore::NextDeviceId() {
  DeviceLock lock = state_.devices.Lock();
  return state_.devices.NextId();
}

}  // namespace nvr
