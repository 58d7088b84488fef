// The windowed recorder from start to end: one copy per user (a second copy shows the first and
// ends), language, database, login unless started by the watchdog or at log-in, the recording
// and live libraries, the core, the main window; after the exit the libraries are cleaned up.
#pragma once

#include <string>

#include "nvr/app/command_line.h"

namespace nvrui {

struct WindowProgramOptions {
  std::string home;          // program folder
  std::string exe_dir;       // QV_Watchdog and QV_NVR_Replay are found here
  std::string program_path;  // this program, for the autorun entry
  nvrapp::StartFlags flags;
};

// True when Qt can show a window here ($DISPLAY, $WAYLAND_DISPLAY or $QT_QPA_PLATFORM set).
bool DisplayAvailable();

// Runs the program; returns its exit status.
int RunWindowProgram(int& argc, char** argv, const WindowProgramOptions& options);

}  // namespace nvrui
