// qv_camsim: serves simulated cameras until "quit", SIGINT or SIGTERM.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/camsim/cli.h"
#include "tools/camsim/control_loop.h"
#include "tools/camsim/simulator.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  camsim::CommandLine command_line;
  std::string error;
  switch (camsim::ParseCommandLine(args, &command_line, &error)) {
    case camsim::ParseResult::kHelp:
      std::fputs(camsim::UsageText(), stdout);
      return 0;
    case camsim::ParseResult::kError:
      std::fprintf(stderr, "qv_camsim: %s\n", error.c_str());
      return 2;
    case camsim::ParseResult::kRun:
      break;
  }
  av_log_set_level(AV_LOG_ERROR);
  const sigset_t stop_signals = camsim::BlockStopSignals();
  camsim::Simulator simulator;
  if (!simulator.Start(command_line.camera, command_line.cameras, &error)) {
    std::fprintf(stderr, "qv_camsim: %s\n", error.c_str());
    return 1;
  }
  for (size_t i = 0; i < simulator.Count(); ++i) {
    std::printf("camera %zu: rtsp://%s:%u/0\n", i, command_line.camera.bind_address.c_str(),
                static_cast<unsigned>(simulator.At(i).Port()));
  }
  camsim::DiscoveryResponder discovery(command_line.discovery_options);
  if (command_line.discovery) {
    const uint16_t rtsp_port = simulator.At(0).Port();
    if (!discovery.Start(rtsp_port, &error)) {
      std::fprintf(stderr, "qv_camsim: %s\n", error.c_str());
      return 1;
    }
    const camsim::DiscoveryOptions& d = command_line.discovery_options;
    std::printf("discovery: UDP %u, answering as %s \"%s\" with %d channel(s) on RTSP port %u\n",
                static_cast<unsigned>(d.port), d.model.c_str(), d.name.c_str(), d.channels,
                static_cast<unsigned>(rtsp_port));
  }
  std::fflush(stdout);
  const int rc = camsim::RunControlLoop(simulator, command_line.control_path, command_line.stdin_commands,
                                        stop_signals);
  simulator.Stop();
  return rc;
}
