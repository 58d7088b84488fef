// QV_NVR_Replay: finds recordings by date, drive, device and type and plays them through
// libQVNetClient.so.
//
//   QV_NVR_Replay [-soft]
//
// "-soft" (exactly, and alone) is how the recorder starts it: the recorder's exit then closes
// it. The language and the drives come from "<program folder>/config.ini", the program folder
// being $QV_NVR_HOME or the folder of the executable, as for the recorder.
#include <QApplication>

#include "netclient/include/QVNetClient.h"
#include "nvr/core/engine/strings.h"
#include "platform/folder.h"
#include "replay/core/replay_launch.h"
#include "replay/ui/replay_window.h"
#include "replay/ui/ui_texts.h"

int main(int argc, char** argv) {
  const bool soft = replay::IsSoftMode(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("QV_NVR_Replay"));
  const std::string home = qvp::ProgramFolder();
  replay::InstallTranslation(nvr::LanguageFromConfig(home));

  QVNET_Startup(0, 0, nullptr, 0);
  int status = 0;
  {
    replay::ReplayServices services;
    services.program_folder = home;
    services.drives = replay::ConfiguredDrives(home);
    services.soft_mode = soft;
    replay::ReplayWindow window(std::move(services));
    // A second replay program runs without the endpoint: the recorder talks to the first.
    window.ListenOn(replay::kReplayEndpoint);
    window.show();
    status = QApplication::exec();
    // The window closes its file when it ends; the library is cleaned up only after that.
  }
  QVNET_Cleanup();
  return status;
}
