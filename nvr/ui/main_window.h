// The recorder's main window: a view and controller over the recorder core. It shows the
// device list and the live view of one device, carries every command of the buttons and the
// two context menus (with their confirmations and messages, in order), receives the dialogs'
// reports, and owns what keeps the recorder reachable: the notification-area icon, the Alt +
// letter hotkey, locking, the restart tip after an unclean exit and the one orderly way out,
// Exit. The core runs on this window's thread, driven from the Qt event loop.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nvr/core/engine/exit_restore.h"
#include "nvr/core/engine/recorder_core.h"
#include "nvr/ui/dialog_host.h"
#include "nvr/ui/live_view.h"
#include "nvr/ui/login_dialog.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace qvui {
class VideoArea;
}

namespace nvrui {

class CoreDriver;
class DeviceTable;
class MessageService;
class X11Hotkey;

// Commands of the window, by the numbers the buttons and menus always had; object names carry
// them ("connectAll_1120").
enum Command : int {
  kCmdRecordAll = 1000,
  kCmdStopAll = 1001,
  kCmdReplay = 1002,
  kCmdSearch = 1003,
  kCmdAddDevice = 1004,
  kCmdSchedule = 1006,
  kCmdSystem = 1007,
  kCmdDeleteDevice = 1009,
  kCmdLogs = 1106,
  kCmdStopLive = 1116,
  kCmdConnectAll = 1120,
  kCmdDisconnectAll = 1121,
  kCmdDeleteAll = 1122,
  kCmdLock = 1125,
  kCmdModify = 32772,
  kCmdExit = 32774,
  kCmdDeleteMenu = 32785,
  kCmdRecord = 32789,
  kCmdStopRecord = 32792,
  kCmdPrimary = 32795,
  kCmdSecondary = 32796,
  kCmdConnect = 32799,
  kCmdDisconnect = 32800,
};

// What the window needs from outside, replaceable in tests.
struct WindowOptions {
  std::string home;              // program folder
  std::string exe_dir;           // where QV_NVR_Replay is
  std::string program_path;      // this program, for the autorun entry
  std::string autostart_folder;  // "" = nvr::AutostartFolder()
  bool unattended_start = false; // "-watchdog" or "-autorun": locked after an unclean exit
  int tip_tick_ms = 1000;
  bool use_hotkey = true;
  bool use_tray = true;          // and only where a notification area exists
  nvr::ProgramStarter start_program;  // the replay program; empty: detached start
  std::string replay_endpoint = nvr::kReplayEndpoint;
  // Runs a modal dialog and returns its result; empty: QDialog::exec. Tests answer through it.
  std::function<int(QDialog&)> run_modal;
  // Called once the exit is done; empty: the application's event loop ends.
  std::function<void()> end_program;
};

class MainWindow : public QWidget, public DialogReports {
  Q_OBJECT

 public:
  MainWindow(nvr::RecorderCore& core, nvr::RecorderDb& db, MessageService& messages,
             DialogHost* dialogs, WindowOptions options);
  ~MainWindow() override;

  // The start after the window is built: the core's start, title and caption, the restart tip
  // and restore after an unclean exit, the hotkey and the notification icon; then the window
  // shows. False when the devices could not be read: the messages were shown and the program
  // must end (an invisible recorder could only be killed).
  bool Start();

  // Buttons and menu commands by number; commands on one device use the last clicked row.
  void Invoke(int command);
  void StartLive(int32_t device_id, int stream);
  void StopLive();
  void OpenFullScreen();
  void ToggleLock();
  void Exit();
  // A second copy asked for the window (message 1040).
  void ShowFromOutside();
  void ToggleByHotkey();
  void TrayClicked();

  // DialogReports.
  void DeviceAdded(const nvr::DeviceRecord& device) override;
  void DeviceModified(int32_t id, const nvr::DeviceRecord& device) override;
  void SchedulesReplaced(const std::vector<nvr::ScheduleRecord>& schedules) override;
  void ScheduleDeleted(int32_t schedule_id) override;
  void ScheduleChanged(int32_t schedule_id) override;
  void SettingsApplied(const nvr::SettingsBlock& settings) override;

  // For tests and the screenshot tool.
  DeviceTable* Table() const { return table_; }
  qvui::VideoArea* Video() const { return video_; }
  QString Caption() const;
  QString StatusLine() const;
  QPushButton* Button(int command) const;
  QMenu* DeviceMenu() const { return device_menu_; }
  QMenu* StreamMenu() const { return stream_menu_; }
  const LiveView& Live() const { return live_; }
  bool Locked() const { return locked_; }
  bool ExitDone() const { return exit_done_; }
  X11Hotkey* Hotkey() const { return hotkey_.get(); }
  QSystemTrayIcon* Tray() const { return tray_; }
  // The modal dialog the window shows now (the innermost), or nullptr.
  QDialog* OpenDialog() const;
  void RefreshRows();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  void BuildMenus();
  QPushButton* AddButton(int command, const QString& text, const char* name);
  void UpdateButtons();
  bool TrayShown() const;
  void ScheduleRefresh();
  int RunModal(QDialog& dialog);
  bool RunLogin(LoginMode mode);
  void OpenDialogOf(DialogKind kind);
  void ShowMessages(const std::vector<uint32_t>& ids);
  void ConfirmAndRun(uint32_t question, nvr::CoreOutcome (nvr::RecorderCore::*command)());
  void OnDevice(nvr::CoreOutcome (nvr::RecorderCore::*command)(int32_t));
  void DeleteSelected();
  void DeleteAll();
  void SetCaption(const QString& text);
  void SetLocked(bool locked);
  void ShowDeviceMenu(int32_t id, const QPoint& global);
  void ShowStreamMenu(const QPoint& pos);
  void StartHotkeyAndTray();
  void ApplyAutorun(bool on);

  // What the core reports while it runs (through observer_).
  void OnNotice(int32_t id, const std::string& text);

  nvr::RecorderCore& core_;
  nvr::RecorderDb& db_;
  MessageService& messages_;
  DialogHost* dialogs_;
  WindowOptions options_;

  class Observer;
  std::unique_ptr<Observer> observer_;
  CoreDriver* driver_ = nullptr;
  DeviceTable* table_ = nullptr;
  qvui::VideoArea* video_ = nullptr;
  QLineEdit* caption_ = nullptr;
  QLabel* status_ = nullptr;
  std::vector<std::pair<int, QPushButton*>> buttons_;
  QMenu* device_menu_ = nullptr;
  QMenu* stream_menu_ = nullptr;
  QMenu* tray_menu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  std::unique_ptr<X11Hotkey> hotkey_;
  std::vector<QPointer<QDialog>> open_dialogs_;
  LiveView live_;

  bool started_ = false;
  bool locked_ = false;
  bool exiting_ = false;
  bool exit_done_ = false;
  bool shown_toggle_ = false;
  bool refresh_queued_ = false;
};

// " QV_NVR " and the version, "%d.%d.%d.%d".
QString WindowTitle();

}  // namespace nvrui
