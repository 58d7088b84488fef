#include "nvr/core/engine/recorder_state.h"

#include "nvr/core/store/text_log.h"

namespace nvr {

void RecorderState::Notice(int32_t id, const std::string& text) {
  std::string name;
  if (id != 0) {
    DeviceLock lock = devices.Lock();
    if (const DeviceEntry* e = devices.FindById(id)) name = e->name;
  }
  if (name.empty()) {
    WriteLog("%s\r\n", text.c_str());
  } else {
    WriteLog("%s: %s\r\n", name.c_str(), text.c_str());
  }
  if (observer != nullptr) observer->Notice(id, text);
}

}  // namespace nvr
