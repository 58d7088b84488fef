#include "nvr/app/systemd_notify.h"

#include <systemd/sd-daemon.h>

#include <algorithm>

namespace nvrapp {

SystemdNotifier::SystemdNotifier() {
  uint64_t usec = 0;
  // WATCHDOG_PID, when systemd sets it, names the unit's main process: a recorder started
  // again by QV_Watchdog inherits the variables but is not asked for messages.
  if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
    alive_period_ms_ = static_cast<uint32_t>(std::clamp<uint64_t>(usec / 2000, 1, UINT32_MAX));
  }
}

void SystemdNotifier::Ready(const std::string& status) const {
  sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
}

void SystemdNotifier::Alive() const { sd_notify(0, "WATCHDOG=1"); }

void SystemdNotifier::Stopping() const { sd_notify(0, "STOPPING=1"); }

}  // namespace nvrapp
