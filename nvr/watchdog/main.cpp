// QV_Watchdog: keeps the recorder running. It answers on the endpoint "QV_WATCHDOGAPP" (one
// copy per user), counts the recorder's heartbeats (WM_WATCHDOG with wParam 0 or 1, every two
// seconds) and starts the recorder again when none came for the time-out and the recorder is
// gone; wParam 2 ("stop watching", sent at the recorder's clean exit) ends it.
//
//   QV_Watchdog [-soft] [--timeout S] [-- PROGRAM ARGS...]
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "nvr/core/engine/program_start.h"
#include "platform/folder.h"
#include "nvr/core/store/text_log.h"
#include "nvr/watchdog/heartbeat_watch.h"

namespace {

constexpr char kWatchdogEndpoint[] = "QV_WATCHDOGAPP";
constexpr char kRecorderEndpoint[] = "QV_NVRAPP";
constexpr char kRecorderArgsVariable[] = "QV_WATCHDOG_RECORDER_ARGS";
constexpr uint32_t kCheckMs = 250;

volatile std::sig_atomic_t g_stop = 0;

// One line on stdout (the recorder's, when it started us: the journal or the terminal).
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = nvr::TimestampedLineNow(format, args);
  va_end(args);
  // The stamp leads, then who speaks: the line shares the recorder's output.
  line.insert(line.find(' ') + 1, "QV_Watchdog: ");
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += (line.empty() ? "" : " ") + w;
  return line;
}

void Restart(const std::vector<std::string>& command) {
  const std::vector<std::string> args(command.begin() + 1, command.end());
  const int error = nvr::StartDetachedProgram(command[0], args);
  if (error == 0) {
    Say("no heartbeat: started %s", Joined(command).c_str());
  } else {
    Say("no heartbeat, and starting the recorder failed: %s", std::strerror(error));
  }
}

int Watch(qvp::Endpoint& endpoint, const qvwd::WatchdogOptions& options,
          const std::vector<std::string>& command) {
  qvwd::HeartbeatWatch watch(options.timeout_ms, qvp::TickCount());
  while (g_stop == 0) {
    if (const std::optional<qvp::EndpointMessage> m = endpoint.Receive(kCheckMs)) {
      if (watch.OnMessage(*m, qvp::TickCount()) == qvwd::WatchAction::kExit) {
        Say("the recorder stopped watching");
        return 0;
      }
      continue;
    }
    switch (watch.OnTick(qvp::TickCount(), qvp::EndpointExists(kRecorderEndpoint))) {
      case qvwd::WatchAction::kRestart:
        Restart(command);
        watch.Restarted(qvp::TickCount());
        break;
      case qvwd::WatchAction::kStalled:
        Say("no heartbeat, but the recorder still runs: not starting a second one");
        break;
      default:
        break;
    }
  }
  Say("stopped by a signal");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::optional<qvwd::WatchdogOptions> options = qvwd::ParseWatchdogArgs(args);
  if (!options) {
    std::fprintf(stderr, "usage: QV_Watchdog [-soft] [--timeout SECONDS] [-- PROGRAM ARGS...]\n"
                         "Starts the recorder again when its heartbeats stop (default 30 s;\n"
                         "default program: QV_NVR beside this one with -watchdog, or with the\n"
                         "arguments in $QV_WATCHDOG_RECORDER_ARGS).\n");
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = [](int) { g_stop = 1; };
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  qvp::Endpoint endpoint;
  if (!endpoint.Bind(kWatchdogEndpoint)) {
    // Another watchdog answers already (or there is no runtime folder): one is enough.
    return qvp::EndpointExists(kWatchdogEndpoint) ? 0 : 1;
  }
  const std::vector<std::string> command =
      qvwd::RestartCommand(options->command, qvp::ExecutableFolder(), std::getenv(kRecorderArgsVariable));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", options->timeout_ms / 1000.0);
  Say("watching; after %s s without a heartbeat the recorder is started again", seconds);
  return Watch(endpoint, *options, command);
}
