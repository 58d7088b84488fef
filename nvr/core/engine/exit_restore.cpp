#include "nvr/core/engine/exit_restore.h"

#include "nvr/core/store/config_ini.h"
#include "nvr/core/store/log_messages.h"
#include "nvr/core/engine/program_start.h"
#include "nvr/core/store/text_log.h"
#include "platform/endpoint.h"

namespace nvr {

LastExit CheckLastExit(const std::string& ini_path) {
  int error = 0;
  const std::optional<std::string> flag = ReadExitFlag(ini_path, &error);
  if (!flag) {
    WriteLog(kLogReadExitFlagFailed, error);
    return LastExit::kUnknown;
  }
  if (!ExitFlagShowsUncleanExit(*flag)) return LastExit::kClean;
  WriteLog(kLogIllegalLastExit);
  return LastExit::kUnclean;
}

void MarkRunning(const std::string& ini_path) {
  const int error = WriteExitFlag(ini_path, false);
  if (error != 0) WriteLog(kLogWriteExitFlag0Failed, error);
}

void MarkCleanExit(const std::string& ini_path) {
  const int error = WriteExitFlag(ini_path, true);
  if (error != 0) WriteLog(kLogWriteExitFlag1Failed, error);
}

Watchdog::Watchdog(std::string endpoint, std::string program, ProgramStarter start)
    : endpoint_(std::move(endpoint)), program_(std::move(program)), start_(std::move(start)) {
  if (!start_) start_ = StartDetachedProgram;
}

void Watchdog::StartProgram() {
  const int error = start_(program_, {"-soft"});
  if (error != 0) WriteLog(kLogWinexecWatchdogFailed, error);
}

void Watchdog::Greet() {
  if (qvp::EndpointExists(endpoint_)) {
    qvp::PostToEndpoint(endpoint_, kWmWatchdog, kWatchdogHello, 0);
    state_ = kSeen;
  } else {
    state_ = kNotSeen;
  }
}

void Watchdog::Heartbeat(bool setting_on) {
  if (state_ == kExiting) return;
  if (qvp::EndpointExists(endpoint_)) {
    qvp::PostToEndpoint(endpoint_, kWmWatchdog, state_ == kSeen ? kWatchdogSeen : kWatchdogHello, 0);
    return;
  }
  state_ = kNotSeen;
  if (setting_on) StartProgram();
}

void Watchdog::SettingChanged(bool now_on) {
  if (now_on) {
    StartProgram();
    return;
  }
  if (!qvp::PostToEndpoint(endpoint_, kWmWatchdog, kWatchdogStop, 0)) WriteLog(kLogDogWindowMissing);
}

void Watchdog::StopWatching() {
  if (!qvp::EndpointExists(endpoint_)) return;
  qvp::PostToEndpoint(endpoint_, kWmWatchdog, kWatchdogStop, 0);
  state_ = kExiting;
}

void PostReplayClose(const std::string& endpoint) {
  if (qvp::EndpointExists(endpoint)) qvp::PostToEndpoint(endpoint, kWmReplayClose, 0, 0);
}

}  // namespace nvr
