// qv_uishot recorder OUT.png [--live ROW] [--full-screen] [--tip] [--wait-ms MS]
//
// Starts the recorder core with the real libraries over $QV_NVR_HOME (as `QV_NVR` does, without
// the login) and grabs the main window after --wait-ms; --live ROW first shows the device of
// that row (1-based) live and waits for its pictures; --full-screen grabs the full-screen view
// of that live view instead; --tip grabs the restart tip (the folder's exit flag must be "0").
#include "tools/uishot/recorder_shot.h"

#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "nvr/app/app_start.h"
#include "nvr/core/engine/recorder_core.h"
#include "nvr/ui/device_table.h"
#include "nvr/ui/full_screen_view.h"
#include "nvr/ui/main_window.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/tip_dialog.h"
#include "nvr/ui/ui_texts.h"
#include "platform/folder.h"
#include "uishared/event_wait.h"
#include "uishared/video_area.h"

namespace {

struct RecorderOptions {
  std::string out;
  int live_row = 0;
  bool full_screen = false;
  bool tip = false;
  int wait_ms = 3000;
};

bool ParseRecorder(int argc, char** argv, RecorderOptions* o) {
  if (argc < 3) return false;
  o->out = argv[2];
  for (int i = 3; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--live") == 0 && has_value) {
      o->live_row = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--full-screen") == 0) {
      o->full_screen = true;
    } else if (std::strcmp(argv[i], "--tip") == 0) {
      o->tip = true;
    } else if (std::strcmp(argv[i], "--wait-ms") == 0 && has_value) {
      o->wait_ms = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

void Wait(int ms) {
  qvui::RunEventsUntil([] { return false; }, ms);
}

bool Save(QWidget& widget, const std::string& out) {
  const bool saved = widget.grab().save(QString::fromStdString(out), "PNG");
  std::printf("%s: %s\n", out.c_str(), saved ? "saved" : "NOT SAVED");
  return saved;
}

bool PicturesIn(qvui::VideoArea* video) {
  const uint64_t before = video->PresentCount();
  return qvui::RunEventsUntil([&] { return video->PresentCount() > before + 5; }, 15000);
}

}  // namespace

int ShootRecorder(int argc, char** argv) {
  RecorderOptions o;
  if (!ParseRecorder(argc, argv, &o)) {
    std::fputs("usage: qv_uishot recorder OUT.png [--live ROW] [--full-screen] [--tip] [--wait-ms MS]\n", stderr);
    return 2;
  }
  const std::string home = qvp::ProgramFolder();
  nvrapp::AppResources app;
  if (nvrapp::StartApplication(home, &app) != nvrapp::StartResult::kOk) {
    std::fprintf(stderr, "qv_uishot: the recorder cannot start on %s\n", home.c_str());
    return 1;
  }
  nvrui::InstallLanguage(app.language);
  QVNET_Startup(0, 0, nullptr, 0);
  QVNET_SetWaitTime(5, -1, 10);
  bool saved = false;
  {
    nvr::RecorderDb db(app.db);
    std::unique_ptr<nvr::RecordingLibrary> library = nvr::MakeQvnvrRecordingLibrary();
    nvr::CoreConfig config;
    config.home = home;
    config.drives = nvr::DriveMap::FromConfig(home);
    config.library = library.get();
    config.db = &db;
    nvr::RecorderCore core(std::move(config));
    nvrui::BoxMessageService messages;
    nvrui::WindowOptions options;
    options.home = home;
    options.use_hotkey = false;
    options.run_modal = [&](QDialog& d) {
      d.show();
      if (auto* view = qobject_cast<nvrui::FullScreenView*>(&d)) {
        PicturesIn(view->Video());
        Wait(o.wait_ms);
        saved = Save(*view, o.out);
      } else if (qobject_cast<nvrui::TipDialog*>(&d) != nullptr) {
        Wait(1500);
        saved = Save(d, o.out);
      }
      return int(QDialog::Rejected);
    };
    nvrui::MainWindow window(core, db, messages, nullptr, std::move(options));
    if (!window.Start()) return 1;
    if (o.live_row > 0) {
      window.StartLive(window.Table()->IdAt(o.live_row - 1), 0);
      if (!PicturesIn(window.Video())) std::fprintf(stderr, "qv_uishot: no live pictures\n");
    }
    if (o.full_screen) {
      window.OpenFullScreen();
    } else if (!o.tip) {
      Wait(o.wait_ms);
      saved = Save(window, o.out);
    }
    window.StopLive();
    core.Exit();
  }
  QVNET_Cleanup();
  return saved ? 0 : 1;
}
