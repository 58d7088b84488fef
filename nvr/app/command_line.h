// The recorder's command line. The windowed recorder compares the whole argument string (the
// command line without the program name) byte for byte with "-watchdog" and "-autorun": only
// an exact match sets the flag, so "-watchdog " or "-autorun x" set neither. The service mode
// applies the same rule to what follows "-service".
#pragma once

#include <string>
#include <vector>

namespace nvrapp {

struct StartFlags {
  bool watchdog = false;  // started again by the watchdog
  bool autorun = false;   // started at log-on
};

// The arguments from `first` on, joined by single blanks as a command line shows them.
std::string JoinArguments(const std::vector<std::string>& args, size_t first);

StartFlags ParseStartFlags(const std::string& command_line);

enum class ProgramMode {
  kWindow,   // no argument, "-watchdog", "-autorun", anything unknown: the windowed recorder
  kService,  // "-service" first
  kSetup,    // a setup command ("--init-db", "--add-device", ...)
  kHelp,     // "--help", "-h"
};

ProgramMode ModeOf(const std::vector<std::string>& args);

}  // namespace nvrapp
