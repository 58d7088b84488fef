// The live view and full screen, locking, the notification icon and the hotkey, closing and
// minimising, and the exit of the main window.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "nvr/core/engine/strings.h"
#include "nvr/ui/device_table.h"
#include "nvr/ui/full_screen_view.h"
#include "nvr/ui/main_window.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/recorder_icons.h"
#include "nvr/ui/ui_texts.h"
#include "nvr/ui/x11_hotkey.h"
#include "uishared/video_area.h"

namespace nvrui {

void MainWindow::StartLive(int32_t device_id, int stream) {
  const std::optional<nvr::DeviceEntry> device = core_.Device(device_id);
  if (!device) return;
  if (live_.Running()) {
    if (!live_.Stop()) {
      messages_.Show(Str(nvr::kStrStopFailed));
      return;
    }
    video_->Clear();
    SetCaption(Str(nvr::kStrLiveCaption));
  }
  if (!live_.Start(*device, stream, video_->Handle())) return;
  SetCaption(QStringLiteral("%1(%2 %3 %4)")
                 .arg(QString::fromStdString(device->name), QString::fromStdString(device->host),
                      Str(nvr::kStrChannel))
                 .arg(device->channel + 1));
}

void MainWindow::StopLive() {
  if (!live_.Running()) return;
  if (!live_.Stop()) {
    messages_.Show(Str(nvr::kStrStopFailed));
    return;
  }
  video_->Clear();
  SetCaption(Str(nvr::kStrLiveCaption));
}

void MainWindow::OpenFullScreen() {
  if (!live_.Running()) return;
  FullScreenView view(this);
  live_.MoveTo(view.Video()->Handle());
  RunModal(view);
  // Back into the video area, on the same client (unless the exit stopped it meanwhile).
  live_.MoveTo(video_->Handle());
}

void MainWindow::SetLocked(bool locked) {
  locked_ = locked;
  Button(kCmdLock)->setText(Str(locked ? nvr::kStrUnlock : nvr::kStrLock));
  UpdateButtons();
}

void MainWindow::ToggleLock() {
  if (locked_ && !RunLogin(LoginMode::kUnlock)) return;
  SetLocked(!locked_);
}

bool MainWindow::TrayShown() const { return tray_ != nullptr && tray_->isVisible(); }

void MainWindow::StartHotkeyAndTray() {
  if (options_.use_hotkey) {
    hotkey_ = std::make_unique<X11Hotkey>();
    connect(hotkey_.get(), &X11Hotkey::pressed, this, &MainWindow::ToggleByHotkey);
    hotkey_->Register(core_.Settings().hotkey);
  }
  if (options_.use_tray && QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(ProgramIcon(), this);
    tray_->setObjectName(QStringLiteral("trayIcon_100"));
    tray_->setToolTip(QStringLiteral("QV_NVR"));
    tray_->setContextMenu(tray_menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      if (reason == QSystemTrayIcon::Trigger) TrayClicked();
    });
    tray_->show();
  }
}

void MainWindow::ShowFromOutside() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  shown_toggle_ = false;
}

void MainWindow::TrayClicked() {
  if (shown_toggle_) {
    hide();
  } else {
    show();
    raise();
    activateWindow();
  }
  shown_toggle_ = !shown_toggle_;
}

void MainWindow::ToggleByHotkey() {
  if (isVisible() && !isMinimized()) {
    hide();
    return;
  }
  ShowFromOutside();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (exit_done_) {
    event->accept();
    return;
  }
  // With a notification icon the close box only hides; without one, hiding would leave a
  // recorder nobody can reach, so the close box is the way out.
  if (TrayShown()) {
    hide();
    return;
  }
  Exit();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized() || !TrayShown()) return;
  QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
  shown_toggle_ = false;
}

void MainWindow::Exit() {
  if (exiting_ || exit_done_) return;
  exiting_ = true;
  if (!RunLogin(LoginMode::kLogout)) {
    exiting_ = false;
    return;
  }
  // Every dialog still open ends (the full-screen view among them); their loops return once
  // this handler has.
  for (const QPointer<QDialog>& dialog : open_dialogs_) {
    if (!dialog.isNull()) dialog->done(0);
  }
  // The live client stops before the program ends, not during its teardown.
  StopLive();
  if (tray_ != nullptr) tray_->hide();
  if (hotkey_) hotkey_->Unregister();
  // Worker threads, the watchdog's and the replay program's messages, timers, every recording
  // client, the exit flag "1".
  if (started_) core_.Exit();
  exit_done_ = true;
  exiting_ = false;
  if (options_.end_program) {
    options_.end_program();
  } else {
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  }
}

}  // namespace nvrui
