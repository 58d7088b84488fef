#include "nvr/app/command_line.h"

namespace nvrapp {

std::string JoinArguments(const std::vector<std::string>& args, size_t first) {
  std::string line;
  for (size_t i = first; i < args.size(); ++i) {
    if (i > first) line += ' ';
    line += args[i];
  }
  return line;
}

StartFlags ParseStartFlags(const std::string& command_line) {
  StartFlags flags;
  flags.watchdog = command_line == "-watchdog";
  flags.autorun = command_line == "-autorun";
  return flags;
}

ProgramMode ModeOf(const std::vector<std::string>& args) {
  if (args.empty()) return ProgramMode::kWindow;
  const std::string& first = args[0];
  if (first == "-service") return ProgramMode::kService;
  if (first == "--help" || first == "-h") return ProgramMode::kHelp;
  if (first.size() > 2 && first.compare(0, 2, "--") == 0) return ProgramMode::kSetup;
  return ProgramMode::kWindow;
}

}  // namespace nvrapp
