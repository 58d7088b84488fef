#include "nvr/watchdog/heartbeat_watch.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "nvr/core/engine/exit_restore.h"

namespace qvwd {

HeartbeatWatch::HeartbeatWatch(uint32_t timeout_ms, qvp::Tick now)
    : timeout_ms_(timeout_ms), last_(now) {}

WatchAction HeartbeatWatch::OnMessage(const qvp::EndpointMessage& message, qvp::Tick now) {
  if (message.msg != nvr::kWmWatchdog) return WatchAction::kNone;
  if (message.wparam == nvr::kWatchdogStop) return WatchAction::kExit;
  if (message.wparam != nvr::kWatchdogHello && message.wparam != nvr::kWatchdogSeen) {
    return WatchAction::kNone;
  }
  last_ = now;
  stalled_reported_ = false;
  ++heartbeats_;
  return WatchAction::kNone;
}

WatchAction HeartbeatWatch::OnTick(qvp::Tick now, bool recorder_running) {
  if (qvp::TicksSince(last_, now) < timeout_ms_) return WatchAction::kNone;
  if (!recorder_running) return WatchAction::kRestart;
  if (stalled_reported_) return WatchAction::kNone;
  stalled_reported_ = true;
  return WatchAction::kStalled;
}

void HeartbeatWatch::Restarted(qvp::Tick now) {
  last_ = now;
  stalled_reported_ = false;
}

std::optional<WatchdogOptions> ParseWatchdogArgs(const std::vector<std::string>& args) {
  WatchdogOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-soft") {
      o.soft = true;
    } else if (a == "--timeout" && i + 1 < args.size()) {
      char* end = nullptr;
      const double seconds = std::strtod(args[++i].c_str(), &end);
      if (end == args[i].c_str() || *end != '\0' || !std::isfinite(seconds) || seconds < 0.1 ||
          seconds > 86400) {
        return std::nullopt;
      }
      o.timeout_ms = static_cast<uint32_t>(std::lround(seconds * 1000));
    } else if (a == "--") {
      o.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      if (o.command.empty()) return std::nullopt;
      return o;
    } else {
      return std::nullopt;
    }
  }
  return o;
}

std::vector<std::string> RestartCommand(const std::vector<std::string>& given,
                                        const std::string& exe_dir, const char* recorder_args) {
  if (!given.empty()) return given;
  std::vector<std::string> command{exe_dir + "/QV_NVR"};
  std::istringstream words(recorder_args != nullptr ? recorder_args : "");
  std::string word;
  while (words >> word) command.push_back(word);
  if (command.size() == 1) command.push_back("-watchdog");
  return command;
}

}  // namespace qvwd
