#include "nvr/app/service.h"

#include <cstdlib>
#include <cstring>

#include "nvr/app/app_names.h"
#include "nvr/app/app_start.h"
#include "nvr/app/service_events.h"
#include "nvr/app/service_report.h"
#include "nvr/app/systemd_notify.h"
#include "nvr/core/engine/program_start.h"
#include "nvr/core/engine/recorder_core.h"

namespace nvrapp {
namespace {

// The service's own timers on the core loop (the core uses 500 and 501).
constexpr uint32_t kDriveWatchTimerId = 900;
constexpr uint32_t kDriveWatchMs = 1000;
constexpr uint32_t kSystemdAliveTimerId = 901;

void PrintStart(StatusPrinter& printer, nvr::RecorderCore& core, const ServiceOptions& options) {
  size_t devices = 0;
  size_t scheduled = 0;
  for (const nvr::DeviceEntry& e : core.Devices()) {
    ++devices;
    scheduled += e.IsManual() ? 0 : 1;
  }
  printer.Line("QV_NVR service in %s: %zu devices (%zu on a schedule), %zu schedules, "
               "files of %d minutes%s",
               options.home.c_str(), devices, scheduled, core.Schedules().size(),
               core.SplitMinutes(),
               options.flags.watchdog  ? ", started again by the watchdog"
               : options.flags.autorun ? ", started at log-on"
                                       : "");
  printer.CheckDrives();
  if (devices == 0) printer.Line("no devices: add them with QV_NVR --add-device");
}

// The exit on SIGTERM / SIGINT, on the core thread: every client stopped, both worker threads
// joined, the exit flag "1" written; then the loop ends.
void CleanExit(nvr::RecorderCore& core, StatusPrinter& printer, int signo) {
  SystemdNotifier().Stopping();
  printer.Line("%s: stopping", strsignal(signo));
  core.Exit();
  printer.Line("stopped cleanly");
  core.Loop().Quit();
}

// Runs the core thread until a signal has ended the service; 0 after the clean exit.
int RunUntilStopped(nvr::RecorderCore& core, StatusPrinter& printer, qvp::Endpoint& endpoint) {
  ServiceEvents events(
      endpoint,
      [&core, &printer](int signo) {
        return core.Loop().Post([&core, &printer, signo] { CleanExit(core, printer, signo); });
      },
      [&core, &printer](const qvp::EndpointMessage& m) {
        if (m.msg != kWmShowWindow) return;
        core.Loop().Post([&printer] {
          printer.Line("another copy asked to show the window; the service has none");
        });
      });
  if (!events.Begin()) {
    printer.Line("cannot watch for signals: stopping");
    core.Exit();
    return 1;
  }
  core.Loop().Run();
  events.End();
  return 0;
}

}  // namespace

void PrepareServiceProcess() {
  BlockServiceSignals();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  setenv(kRestartArgsVariable, "-service -watchdog", 1);
}

int RunService(const ServiceOptions& options) {
  if (options.home.empty()) {
    std::fprintf(options.err, "QV_NVR: no program folder (set QV_NVR_HOME)\n");
    return 1;
  }
  AppResources app;
  const StartResult started = StartApplication(options.home, &app);
  if (started != StartResult::kOk) {
    std::fprintf(options.err, "%s\n", StartFailureText(started, app.language).c_str());
    return 1;
  }

  qvp::Endpoint service_mark;
  service_mark.Bind(kServiceEndpoint);

  nvr::CoreConfig config;
  config.home = options.home;
  config.drives = nvr::DriveMap::FromConfig(options.home);
  StatusPrinter printer(app.language, config.drives, options.out);
  ReportingLibrary library(nvr::MakeQvnvrRecordingLibrary(), &printer);
  nvr::RecorderDb db(app.db);
  config.library = &library;
  config.db = &db;
  // The watchdog program sits beside this program, whatever the program folder is.
  const std::string watchdog = options.exe_dir + "/" + kWatchdogProgram;
  config.start_program = [watchdog](const std::string&, const std::vector<std::string>& args) {
    return nvr::StartDetachedProgram(watchdog, args);
  };
  nvr::RecorderCore core(std::move(config));
  printer.Attach(&core);
  core.SetObserver(&printer);

  const nvr::StartOutcome outcome = core.Start();
  if (!outcome.ok) {
    for (uint32_t id : outcome.messages) {
      std::fprintf(options.err, "%s\n", nvr::LoadString(id, app.language));
    }
    if (!outcome.failure_text.empty()) std::fprintf(options.err, "%s\n", outcome.failure_text.c_str());
    return 1;
  }
  PrintStart(printer, core, options);
  if (outcome.last_exit == nvr::LastExit::kUnclean) {
    printer.Line("the last run did not end cleanly: devices operated by hand get their state back");
    core.RestoreLastState();
  }
  core.Loop().SetTimer(kDriveWatchTimerId, kDriveWatchMs, [&printer] { printer.CheckDrives(); });
  // The alive messages come from the core thread itself: they stop when it hangs.
  const SystemdNotifier systemd;
  if (systemd.WatchdogEnabled()) {
    core.Loop().SetTimer(kSystemdAliveTimerId, systemd.AlivePeriodMs(), [&systemd] { systemd.Alive(); });
  }
  systemd.Ready("recording");

  return RunUntilStopped(core, printer, app.endpoint);
}

}  // namespace nvrapp
