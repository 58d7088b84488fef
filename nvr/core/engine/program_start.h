// Starting another program of the suite (the watchdog) so that it runs on its own: it is not
// a child the recorder must wait for, and it outlives the recorder.
#pragma once

#include <string>
#include <vector>

namespace nvr {

// Starts `path` with `args` (argv[0] is `path`) in a new session, detached (the intermediate
// process is reaped at once, the program itself belongs to init). Returns 0 once the program
// image is running, else the errno value of what failed (ENOENT for a missing program).
int StartDetachedProgram(const std::string& path, const std::vector<std::string>& args);

}  // namespace nvr
