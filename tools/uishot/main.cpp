// qv_uishot: saves pictures of the suite's windows for the documentation, as a user would see
// them, over a program folder prepared beforehand (scripts/screenshots.sh).
//
//   qv_uishot replay OUT.png [--search] [--play N] [--wait-ms MS]
//   qv_uishot recorder OUT.png [--live ROW] [--full-screen] [--tip] [--wait-ms MS]
//
// The language and drives come from $QV_NVR_HOME/config.ini as in the program itself. The
// recorder's options are in recorder_shot.cpp.
// --search runs the default search (today, every drive from the first); --play N then plays
// the N-th row (1-based) and waits for pictures; the window is grabbed after --wait-ms.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "nvr/core/engine/strings.h"
#include "platform/folder.h"
#include "replay/ui/replay_window.h"
#include "replay/ui/result_list.h"
#include "replay/ui/search_runner.h"
#include "replay/ui/ui_texts.h"
#include "tools/uishot/recorder_shot.h"
#include "uishared/event_wait.h"
#include "uishared/video_area.h"

namespace {

struct Options {
  std::string window;
  std::string out;
  bool search = false;
  int play_row = 0;
  int wait_ms = 1500;
};

bool Parse(int argc, char** argv, Options* o) {
  if (argc < 3) return false;
  o->window = argv[1];
  o->out = argv[2];
  for (int i = 3; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--search") == 0) {
      o->search = true;
    } else if (std::strcmp(argv[i], "--play") == 0 && has_value) {
      o->play_row = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--wait-ms") == 0 && has_value) {
      o->wait_ms = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return o->window == "replay";
}

int ShootReplay(const Options& o) {
  const std::string home = qvp::ProgramFolder();
  replay::InstallTranslation(nvr::LanguageFromConfig(home));
  replay::ReplayServices services;
  services.program_folder = home;
  services.drives = replay::ConfiguredDrives(home);
  services.show_message = [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); };
  replay::ReplayWindow window(std::move(services));
  window.show();
  qvui::RunEventsUntil([&] { return window.isVisible(); }, 2000);
  if (o.search) {
    bool finished = false;
    QObject::connect(&window, &replay::ReplayWindow::searchFinished, [&] { finished = true; });
    window.RunSearch();
    if (!qvui::RunEventsUntil([&] { return finished; }, 30000)) std::fprintf(stderr, "qv_uishot: the search did not end\n");
  }
  const int rows = window.Results()->Model()->rowCount();
  if (o.play_row > 0 && o.play_row <= rows) {
    const QString path = window.Results()->Model()->Row(o.play_row - 1)[replay::kColFileName];
    window.Results()->selectRow(o.play_row - 1);
    if (!window.OpenAndReport(path)) return 1;
    qvui::RunEventsUntil([&] { return !window.Video()->LastPicture().isNull(); }, 10000);
  }
  qvui::RunEventsUntil([] { return false; }, o.wait_ms);
  const bool saved = window.grab().save(QString::fromStdString(o.out), "PNG");
  std::printf("%s: %s (%d rows)\n", o.out.c_str(), saved ? "saved" : "NOT SAVED", rows);
  window.EndProgram();
  return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "recorder") == 0) {
    QApplication app(argc, argv);
    return ShootRecorder(argc, argv);
  }
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fputs("usage: qv_uishot replay OUT.png [--search] [--play N] [--wait-ms MS]\n"
               "       qv_uishot recorder OUT.png [--live ROW] [--full-screen] [--tip] [--wait-ms MS]\n",
               stderr);
    return 2;
  }
  QApplication app(argc, argv);
  QVNET_Startup(0, 0, nullptr, 0);
  const int status = ShootReplay(o);
  QVNET_Cleanup();
  return status;
}
