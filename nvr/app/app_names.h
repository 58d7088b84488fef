// Names and numbers by which the recorder program is found and talked to from outside: the
// single-instance lock, its endpoint, the message a second copy sends, and how the watchdog is
// told what to start again.
#pragma once

#include <cstdint>

namespace nvrapp {

// The lock a running recorder holds (the program's base name) and the endpoint it answers on
// (the main window's class).
inline constexpr char kInstanceName[] = "QV_NVR";
// The lock file in "<program folder>/NVRData" held by the recorder that runs on that folder.
inline constexpr char kFolderLockName[] = "QV_NVR.lock";
inline constexpr char kAppEndpoint[] = "QV_NVRAPP";
// Bound by the service beside kAppEndpoint: a windowed copy started while a service runs says
// so instead of ending silently.
inline constexpr char kServiceEndpoint[] = "QV_NVRSERVICE";

// "Show the window and bring it to the front" (WM_USER + 16): what a second copy asks of the
// running one before it ends.
inline constexpr uint32_t kWmShowWindow = 1040;

// The watchdog program, found beside the recorder's executable.
inline constexpr char kWatchdogProgram[] = "QV_Watchdog";
inline constexpr char kRecorderProgram[] = "QV_NVR";

// Arguments the watchdog gives the recorder it starts again, blank-separated. The service
// sets it to "-service -watchdog" before it starts the watchdog, which inherits it; without it
// the watchdog starts the recorder with "-watchdog".
inline constexpr char kRestartArgsVariable[] = "QV_WATCHDOG_RECORDER_ARGS";

}  // namespace nvrapp
