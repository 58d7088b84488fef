// Staying up unattended: the exit flag in config.ini that tells a clean exit from a crash, the
// watchdog heartbeat, and the messages the recorder sends the watchdog and the replay program.
// The watchdog and the replay program are found by their named endpoints (platform/endpoint.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nvr {

inline constexpr uint32_t kWmWatchdog = 3524;     // wParam 0 greeting/heartbeat, 1 heartbeat, 2 stop
inline constexpr uint32_t kWmReplayClose = 6024;  // a replay program started by us closes
inline constexpr char kWatchdogEndpoint[] = "QV_WATCHDOGAPP";
inline constexpr char kReplayEndpoint[] = " QV_NVR Replay";

enum WatchdogWParam : uint32_t { kWatchdogHello = 0, kWatchdogSeen = 1, kWatchdogStop = 2 };

enum class LastExit {
  kUnknown,  // the flag could not be read (logged): treated like a clean exit
  kClean,
  kUnclean,  // the last run never reached a clean exit
};

// Reads the exit flag of `ini_path` and logs what the start must know about it.
LastExit CheckLastExit(const std::string& ini_path);
// The flag while running ("0") and after a clean exit ("1"); failures are logged.
void MarkRunning(const std::string& ini_path);
void MarkCleanExit(const std::string& ini_path);

// Starts a program detached; 0 or the errno value of the failure (program_start.h).
using ProgramStarter = std::function<int(const std::string& path, const std::vector<std::string>& args)>;

// The watchdog as the recorder sees it. Core thread only.
class Watchdog {
 public:
  static constexpr int kExiting = -1;  // post nothing more
  static constexpr int kNotSeen = 0;
  static constexpr int kSeen = 1;

  // `program` is the watchdog executable, started with "-soft"; `start` empty: detached start.
  Watchdog(std::string endpoint, std::string program, ProgramStarter start);

  // Starts the watchdog program; a failure is logged.
  void StartProgram();
  // At start: greet a running watchdog (then state "seen"), else state "not seen".
  void Greet();
  // Every two seconds: a heartbeat to a running watchdog, or, when it is gone, state "not
  // seen" and (setting on) a new start of the program.
  void Heartbeat(bool setting_on);
  // The setting was switched on (start the program) or off (tell it to stop watching).
  void SettingChanged(bool now_on);
  // At exit: tell a running watchdog to stop watching; nothing is posted afterwards.
  void StopWatching();

  int state() const { return state_; }

 private:
  std::string endpoint_;
  std::string program_;
  ProgramStarter start_;
  int state_ = kNotSeen;
};

// At exit: asks a replay program started by us to close (one started otherwise ignores it).
void PostReplayClose(const std::string& endpoint);

}  // namespace nvr
