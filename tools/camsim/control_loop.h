// The standalone program's main loop: line commands from stdin and from a Unix control
// socket, until "quit", SIGINT or SIGTERM.
#pragma once

#include <csignal>
#include <string>

#include "tools/camsim/simulator.h"

namespace camsim {

// Blocks SIGINT and SIGTERM (before any thread starts, so every thread inherits it) and
// returns them as a set for the loop to read from a signalfd.
sigset_t BlockStopSignals();

// Returns the process exit code.
int RunControlLoop(Simulator& simulator, const std::string& control_path, bool use_stdin,
                   const sigset_t& stop_signals);

}  // namespace camsim
