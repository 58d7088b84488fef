// The recorder without a window: the recorder core with the real recording library, run on
// the main thread until SIGTERM or SIGINT asks for the clean exit.
#pragma once

#include <cstdio>
#include <string>

#include "nvr/app/command_line.h"

namespace nvrapp {

struct ServiceOptions {
  std::string home;     // program folder
  std::string exe_dir;  // folder of the running program, where QV_Watchdog is found
  StartFlags flags;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Process set-up that must precede every other thread: the signals go to a signalfd, SIGPIPE
// is ignored, stdout is line-buffered for the journal, and the watchdog learns (through its
// environment) to start a service again rather than the windowed recorder.
void PrepareServiceProcess();

// Runs the service; returns the exit status (0 after a clean exit).
int RunService(const ServiceOptions& options);

}  // namespace nvrapp
