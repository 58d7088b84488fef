// Tells systemd how the service is doing, when it runs as a unit of Type=notify: ready once the
// recorder has started, alive from the core thread's loop while WatchdogSec= is set, stopping
// at the clean exit. A hung core thread stops the "alive" messages, and systemd restarts the
// recorder; a recorder that only vanished is restarted by Restart=on-failure (or QV_Watchdog).
// Outside systemd (no NOTIFY_SOCKET) every call does nothing.
#pragma once

#include <cstdint>
#include <string>

namespace nvrapp {

class SystemdNotifier {
 public:
  SystemdNotifier();

  // True when systemd asked for watchdog messages; `AlivePeriodMs()` then says how often.
  bool WatchdogEnabled() const { return alive_period_ms_ != 0; }
  // Half the unit's WatchdogSec=, so that one late message is no miss.
  uint32_t AlivePeriodMs() const { return alive_period_ms_; }

  void Ready(const std::string& status) const;
  void Alive() const;
  void Stopping() const;

 private:
  uint32_t alive_period_ms_ = 0;
};

}  // namespace nvrapp
