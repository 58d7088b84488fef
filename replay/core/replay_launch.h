// How the replay program is found and talked to from the recorder: its endpoint (the window
// title " QV_NVR Replay"), the messages it answers there, and the recorder's Replay command,
// which starts it in soft mode or brings the running one to the front.
#pragma once

#include <cstdint>
#include <string>

#include "nvr/core/engine/exit_restore.h"

namespace replay {

using nvr::kReplayEndpoint;   // " QV_NVR Replay"
using nvr::kWmReplayClose;    // 6024: a replay started in soft mode closes
inline constexpr uint32_t kWmReplayShow = 1040;  // show the window and bring it to the front
inline constexpr char kReplayProgram[] = "QV_NVR_Replay";
inline constexpr char kSoftSwitch[] = "-soft";

// Soft mode: the program was started with exactly one argument, "-soft".
bool IsSoftMode(int argc, const char* const* argv);

// The recorder's Replay command: when a replay program answers on `endpoint`, ask it to come to
// the front; otherwise start "<exe_folder>/QV_NVR_Replay -soft" with `start` (its result is
// not checked, as the recorder never did). Returns true when the running program was asked.
bool StartOrRaiseReplay(const std::string& exe_folder, const nvr::ProgramStarter& start,
                        const std::string& endpoint = kReplayEndpoint);

}  // namespace replay
