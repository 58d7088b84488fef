// The watchdog's decisions, apart from its sockets and processes so that they are tested on a
// fake tick: heartbeats keep the recorder counted as alive; when none came for the time-out
// the recorder is started again, unless it is still running (then it is hung, not gone, and a
// second copy would only end at once); "stop watching" ends the watchdog.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/endpoint.h"
#include "platform/tick_clock.h"

namespace qvwd {

inline constexpr uint32_t kDefaultTimeoutMs = 30000;

enum class WatchAction {
  kNone,
  kRestart,  // start the recorder now
  kStalled,  // heartbeats stopped but the recorder still runs (reported once per silence)
  kExit,     // the recorder asked us to stop watching
};

class HeartbeatWatch {
 public:
  // The first time-out counts from `now`: a recorder that started us greets us in time.
  HeartbeatWatch(uint32_t timeout_ms, qvp::Tick now);

  // A message that arrived on the watchdog's endpoint.
  WatchAction OnMessage(const qvp::EndpointMessage& message, qvp::Tick now);
  // The periodic check. `recorder_running`: the recorder's endpoint answers.
  WatchAction OnTick(qvp::Tick now, bool recorder_running);
  // A restart was attempted: the new recorder gets a whole time-out to come up.
  void Restarted(qvp::Tick now);

  uint32_t heartbeats() const { return heartbeats_; }

 private:
  uint32_t timeout_ms_;
  qvp::Tick last_;
  bool stalled_reported_ = false;
  uint32_t heartbeats_ = 0;
};

struct WatchdogOptions {
  uint32_t timeout_ms = kDefaultTimeoutMs;
  bool soft = false;                 // "-soft": started by the recorder
  std::vector<std::string> command;  // program and arguments to start; empty: the default
};

// "[-soft] [--timeout S] [-- PROGRAM ARGS...]"; nullopt for anything else. S is in seconds,
// fractions allowed, 0.1 to 86400.
std::optional<WatchdogOptions> ParseWatchdogArgs(const std::vector<std::string>& args);

// The command that starts the recorder again: `given` when not empty, else "<exe_dir>/QV_NVR"
// with the blank-separated arguments of `recorder_args` (the environment's choice; null or
// empty: "-watchdog").
std::vector<std::string> RestartCommand(const std::vector<std::string>& given,
                                        const std::string& exe_dir, const char* recorder_args);

}  // namespace qvwd
