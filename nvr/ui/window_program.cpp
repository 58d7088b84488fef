#include "nvr/ui/window_program.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "netclient/include/QVNetClient.h"
#include "nvr/app/app_names.h"
#include "nvr/app/app_start.h"
#include "nvr/core/engine/program_start.h"
#include "nvr/core/engine/recorder_core.h"
#include "nvr/ui/login_dialog.h"
#include "nvr/ui/main_window.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/ui_texts.h"
#include "uishared/endpoint_listener.h"

namespace nvrui {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// A copy that could not start says why, in a box and on stderr.
int StartFailed(nvrapp::StartResult result, BoxMessageService& messages) {
  if (result == nvrapp::StartResult::kAlreadyRunning) {
    // The running window was asked to show itself; a service has none to show.
    if (!qvp::EndpointExists(nvrapp::kServiceEndpoint)) return 0;
    messages.Show(QCoreApplication::translate("WindowProgram", "QV_NVR is already running as a service."));
    return 1;
  }
  const std::string text = nvrapp::StartFailureText(result, CurrentLanguage());
  std::fprintf(stderr, "%s\n", text.c_str());
  messages.Show(QString::fromStdString(text));
  return 1;
}

int RunStarted(const WindowProgramOptions& options, nvrapp::AppResources& app, BoxMessageService& messages) {
  nvr::RecorderDb db(app.db);
  if (!options.flags.watchdog && !options.flags.autorun) {
    LoginDialog login(LoginMode::kLogin, db, messages);
    if (login.exec() != QDialog::Accepted) return 0;
  }
  // The live library: 5-second connect time-out, reconnect for ever, 10 s between attempts.
  QVNET_Startup(0, 0, nullptr, 0);
  QVNET_SetWaitTime(5, -1, 10);
  int status = 0;
  {
    std::unique_ptr<nvr::RecordingLibrary> library = nvr::MakeQvnvrRecordingLibrary();
    nvr::CoreConfig config;
    config.home = options.home;
    config.drives = nvr::DriveMap::FromConfig(options.home);
    config.library = library.get();
    config.db = &db;
    const std::string watchdog = options.exe_dir + "/" + nvrapp::kWatchdogProgram;
    config.start_program = [watchdog](const std::string&, const std::vector<std::string>& args) {
      return nvr::StartDetachedProgram(watchdog, args);
    };
    nvr::RecorderCore core(std::move(config));

    WindowOptions window_options;
    window_options.home = options.home;
    window_options.exe_dir = options.exe_dir;
    window_options.program_path = options.program_path;
    window_options.unattended_start = options.flags.watchdog || options.flags.autorun;
    MainWindow window(core, db, messages, nullptr, std::move(window_options));
    messages.SetParent(&window);
    qvui::EndpointListener listener;
    listener.Adopt(std::move(app.endpoint));
    QObject::connect(&listener, &qvui::EndpointListener::message, &window,
                     [&window](uint32_t msg, uint32_t, int32_t) {
                       if (msg == nvrapp::kWmShowWindow) window.ShowFromOutside();
                     });
    // Devices that cannot be read end the program after their two messages.
    status = window.Start() ? QApplication::exec() : 1;
  }
  QVNET_Cleanup();
  return status;
}

}  // namespace

bool DisplayAvailable() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM"); }

int RunWindowProgram(int& argc, char** argv, const WindowProgramOptions& options) {
  if (!DisplayAvailable()) {
    std::fputs("QV_NVR: no display to open the window on ($DISPLAY is not set).\n"
               "Run the recorder without a window with:  QV_NVR -service\n",
               stderr);
    return 1;
  }
  // A recorder the watchdog starts again is a window again, not a service.
  unsetenv(nvrapp::kRestartArgsVariable);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("QV_NVR"));
  QApplication::setQuitOnLastWindowClosed(false);
  InstallLanguage(nvr::LanguageFromConfig(options.home));
  BoxMessageService messages;
  nvrapp::AppResources resources;
  const nvrapp::StartResult started = nvrapp::StartApplication(options.home, &resources);
  if (started != nvrapp::StartResult::kOk) return StartFailed(started, messages);
  return RunStarted(options, resources, messages);
}

}  // namespace nvrui
