// qv_uishot: saves pictures of the suite's windows for the documentation, as a user would see
// them, over a program folder prepared beforehand (scripts/screenshots.sh).
//
//   qv_uishot replay OUT.png [--search] [--play N] [--wait-ms MS] [--export DIR]
//   qv_uishot recorder OUT.png [--live ROW] [--full-screen] [--tip] [--wait-ms MS]
//
// The language and drives come from $QV_NVR_HOME/config.ini as in the program itself. The
// recorder's options are in recorder_shot.cpp.
// --search runs the default search (today, every drive from the first); --play N then plays
// the N-th row (1-based) and waits for pictures; the window is grabbed after --wait-ms.
// --export marks a part of the playing file on the slider and exports it into DIR with the
// Export dialog; the screen is grabbed with the dialog over the window.
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "nvr/core/engine/strings.h"
#include "platform/folder.h"
#include "replay/ui/export_dialog.h"
#include "replay/ui/replay_window.h"
#include "replay/ui/result_list.h"
#include "replay/ui/search_runner.h"
#include "replay/ui/transport_bar.h"
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
  std::string export_dir;
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
    } else if (std::strcmp(argv[i], "--export") == 0 && has_value) {
      o->export_dir = argv[++i];
    } else {
      return false;
    }
  }
  return o->window == "replay";
}

// Marks seconds 1 to 3 of the playing file, opens the Export dialog and exports that part.
bool ExportPart(replay::ReplayWindow& window, const std::string& dir) {
  replay::Player& player = window.GetPlayer();
  for (uint32_t s : {3u, 1u}) {
    player.SeekTo(static_cast<int>(s));
    qvui::RunEventsUntil([&] { return player.Position() == s; }, 3000);
    (s == 1 ? window.Transport()->MarkStartButton() : window.Transport()->MarkEndButton())->click();
  }
  window.Transport()->ExportButton()->click();
  replay::ExportDialog* dialog = window.CurrentExport();
  if (dialog == nullptr) return false;
  dialog->OutputEdit()->setText(QString::fromStdString(dir + "/Gate_part.mkv"));
  // Over the lower part of the picture, so that the slider with its marked part stays in sight
  // (a virtual display has no window manager to place it).
  dialog->adjustSize();
  const QWidget* video = window.Video();
  dialog->move(video->mapToGlobal(QPoint(40, video->height() - dialog->height() - 16)));
  dialog->StartButton()->click();
  return qvui::RunEventsUntil([&] { return !dialog->Running(); }, 30000);
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
  if (!o.export_dir.empty()) {
    window.GetPlayer().Pause();
    if (!ExportPart(window, o.export_dir)) std::fprintf(stderr, "qv_uishot: the export did not end\n");
  }
  qvui::RunEventsUntil([] { return false; }, o.wait_ms);
  // With a dialog open the screen is grabbed: the dialog is a window of its own.
  const QPixmap picture = o.export_dir.empty() ? window.grab()
                                               : QGuiApplication::primaryScreen()->grabWindow(0).copy(window.frameGeometry());
  const bool saved = picture.save(QString::fromStdString(o.out), "PNG");
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
    std::fputs("usage: qv_uishot replay OUT.png [--search] [--play N] [--wait-ms MS] [--export DIR]\n"
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
