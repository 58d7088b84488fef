// The recorder's main window on a temporary program folder: a real database (user admin), the
// fake recording library, drives C and D under the folder, the text log on, the autostart
// folder in the program folder, and every box recorded and answered from a script. Modal
// dialogs go through `on_modal`, which a test sets to answer or inspect them; by default the
// login dialog is answered with the right password and every other dialog runs as usual.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/store/db_setup.h"
#include "nvr/core/store/text_log.h"
#include "nvr/ui/device_table.h"
#include "nvr/ui/login_dialog.h"
#include "nvr/ui/main_window.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/ui_texts.h"
#include "tests/core/core_test_support.h"
#include "tests/core/fake_recording_library.h"
#include "uishared/event_wait.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace recordertest {

inline constexpr char kPassword[] = "Adm1n-Pw";

struct Box {
  QString text;
  bool asked = false;  // OK + Cancel; false: OK only
  bool operator==(const Box&) const = default;
};
inline void PrintTo(const Box& b, std::ostream* out) {
  *out << (b.asked ? "Ask(" : "Show(") << '"' << b.text.toStdString() << "\")";
}

// Records every box; answers confirmations from `answers` (OK when it is empty).
class ScriptedMessages : public nvrui::MessageService {
 public:
  void Show(const QString& text) override { boxes.push_back({text, false}); }
  bool Ask(const QString& text) override {
    boxes.push_back({text, true});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<Box> boxes;
  std::deque<bool> answers;
};

inline bool WaitFor(const std::function<bool()>& done, int limit_ms = 10000) {
  return qvui::RunEventsUntil(done, limit_ms);
}

// Fills the login dialog and presses its OK; returns the dialog's result.
inline int AnswerLogin(QDialog& dialog, const QString& password) {
  auto* login = qobject_cast<nvrui::LoginDialog*>(&dialog);
  if (login == nullptr) return QDialog::Rejected;
  login->UserEdit()->setText(QStringLiteral("admin"));
  login->PasswordEdit()->setText(password);
  login->Submit();
  return login->result();
}

class RecorderWindowTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    nvrui::InstallLanguage(nvr::Language::kEnglish);
    ASSERT_TRUE(nvr::InitDatabase(home_, kPassword));
    ASSERT_EQ(nvr::DbOpen(conn_, nvr::DatabasePath(home_)), 1);
    mkdir(Path("log").c_str(), 0755);
    mkdir(Path("c").c_str(), 0755);
    mkdir(Path("d").c_str(), 0755);
    WriteText(Path("config.ini"), "[OTHER]\nexit=1\n");
    settings_ = nvr::DefaultSettings('C');
    on_modal = [](QDialog& d) {
      if (qobject_cast<nvrui::LoginDialog*>(&d) != nullptr) return AnswerLogin(d, kPassword);
      return d.exec();
    };
  }
  void TearDown() override {
    window_.reset();
    core_.reset();
    TempHome::TearDown();
  }

  nvr::DeviceRecord Device(const std::string& name, const std::string& host, int channel = 0,
                           int schedule_id = 0, int op_state = 0, uint16_t port = 554) {
    nvr::DeviceRecord d;
    d.name = name;
    d.url = host;
    d.rtsp_port = port;
    d.channel = channel;
    d.username = "user";
    d.password = "pass";
    d.schedule_id = schedule_id;
    d.op_state = op_state;
    return d;
  }
  void Store(const nvr::DeviceRecord& d) {
    ASSERT_TRUE(db_.InsertDevice(d));
    ASSERT_TRUE(db_.SetScheduleId(d.name, d.schedule_id));
    ASSERT_TRUE(db_.SetOpState(d.name, d.op_state));
  }
  // A schedule "Night" with id 7, written to Schedule.dat.
  void StoreNightSchedule() {
    nvr::ScheduleRecord s{};
    s.id = 7;
    std::snprintf(s.name, sizeof s.name, "Night");
    ASSERT_TRUE(nvr::WriteSchedules(nvr::ScheduleDatPath(home_), {s}));
  }

  // Builds the core and the window over the stored devices and starts them.
  bool StartWindow() {
    EXPECT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_), settings_));
    nvr::CoreConfig config;
    config.home = home_;
    config.library = &lib_;
    config.db = &db_;
    config.drives = nvr::DriveMap({{'C', Path("c")}, {'D', Path("d")}});
    config.start_threads = false;
    config.watchdog_endpoint = "test watchdog";
    config.replay_endpoint = "test replay";
    config.start_program = [this](const std::string& path, const std::vector<std::string>& args) {
      started_.push_back({path, args});
      return 0;
    };
    core_ = std::make_unique<nvr::RecorderCore>(std::move(config));
    nvrui::WindowOptions o = options_;
    o.home = home_;
    o.exe_dir = "/opt/qv/bin";
    o.program_path = "/opt/qv nvr/bin/QV_NVR";
    o.autostart_folder = Path("autostart");
    o.use_tray = false;
    o.use_hotkey = false;
    o.tip_tick_ms = 5;
    o.replay_endpoint = "test replay";
    o.start_program = [this](const std::string& path, const std::vector<std::string>& args) {
      started_.push_back({path, args});
      return 0;
    };
    o.run_modal = [this](QDialog& d) { return on_modal(d); };
    o.end_program = [this] { ++ended_; };
    window_ = std::make_unique<nvrui::MainWindow>(*core_, db_, messages_, dialogs_, std::move(o));
    return window_->Start();
  }

  nvrui::DeviceTable* Table() { return window_->Table(); }
  QString Cell(int row, int column) {
    const QTableWidgetItem* item = Table()->item(row, column);
    return item != nullptr ? item->text() : QString();
  }
  void Select(int row) { Table()->cellPressed(row, 1); }
  nvr::DeviceEntry Entry(int32_t id) { return core_->Device(id).value_or(nvr::DeviceEntry{}); }
  void Pump() { QCoreApplication::processEvents(); }
  // The library reports `value` for the device's client; the window shows it.
  void Report(int32_t id, int32_t value) {
    ASSERT_TRUE(lib_.PostState(Entry(id).client, value));
    core_->Loop().RunPending();
    window_->RefreshRows();
  }
  int32_t OpState(const std::string& name) {
    std::vector<nvr::DeviceRecord> rows;
    EXPECT_TRUE(db_.DevicesByName(name, &rows));
    return rows.empty() ? -1 : rows[0].op_state;
  }
  std::string ExitFlag() {
    const std::string ini = ReadText(Path("config.ini"));
    const size_t at = ini.find("exit=");
    return at == std::string::npos ? std::string() : ini.substr(at + 5, 1);
  }
  QString S(uint32_t id) { return nvrui::Str(id); }

  struct Started {
    std::string path;
    std::vector<std::string> args;
  };

  nvr::DbConnection conn_;
  nvr::RecorderDb db_{conn_};
  coretest::FakeRecordingLibrary lib_;
  nvr::SettingsBlock settings_{};
  ScriptedMessages messages_;
  nvrui::DialogHost* dialogs_ = nullptr;
  nvrui::WindowOptions options_;
  std::function<int(QDialog&)> on_modal;
  std::vector<Started> started_;
  int ended_ = 0;
  std::unique_ptr<nvr::RecorderCore> core_;
  std::unique_ptr<nvrui::MainWindow> window_;
};

}  // namespace recordertest
