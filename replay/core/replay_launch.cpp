#include "replay/core/replay_launch.h"

#include <cstring>

#include "nvr/core/engine/program_start.h"
#include "platform/endpoint.h"

namespace replay {

bool IsSoftMode(int argc, const char* const* argv) {
  return argc == 2 && argv[1] != nullptr && std::strcmp(argv[1], kSoftSwitch) == 0;
}

bool StartOrRaiseReplay(const std::string& exe_folder, const nvr::ProgramStarter& start, const std::string& endpoint) {
  if (qvp::EndpointExists(endpoint) && qvp::PostToEndpoint(endpoint, kWmReplayShow, 0, 0)) return true;
  const std::string program = exe_folder + "/" + kReplayProgram;
  if (start) {
    start(program, {kSoftSwitch});
  } else {
    nvr::StartDetachedProgram(program, {kSoftSwitch});
  }
  return false;
}

}  // namespace replay
