// Command line of the standalone simulator program.
#pragma once

#include <string>
#include <vector>

#include "tools/camsim/camera_options.h"
#include "tools/camsim/discovery.h"

namespace camsim {

struct CommandLine {
  CameraOptions camera;
  int cameras = 1;
  std::string control_path;  // Unix stream socket for line commands
  bool stdin_commands = true;
  bool discovery = false;  // answer discovery requests (UDP 6789) as one camera
  DiscoveryOptions discovery_options;
};

enum class ParseResult { kRun, kHelp, kError };

ParseResult ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error);

const char* UsageText();

}  // namespace camsim
