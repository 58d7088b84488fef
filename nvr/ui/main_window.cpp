// Construction, layout, start and the core's reports of the main window.
#include "nvr/ui/main_window.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "nvr/core/engine/strings.h"
#include "nvr/ui/core_driver.h"
#include "nvr/ui/device_table.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/recorder_icons.h"
#include "nvr/ui/tip_dialog.h"
#include "nvr/ui/ui_texts.h"
#include "nvr/ui/x11_hotkey.h"
#include "uishared/video_area.h"

#ifndef QV_VERSION
#define QV_VERSION ""
#endif

namespace nvrui {

// The core calls its observer inside its operations, with the device lock held: the window
// only notes that the rows changed and reads them back once the operation is over.
class MainWindow::Observer : public nvr::CoreObserver {
 public:
  explicit Observer(MainWindow* window) : window_(window) {}
  void DeviceChanged(int32_t) override { window_->ScheduleRefresh(); }
  void DeviceAdded(int32_t) override { window_->ScheduleRefresh(); }
  void DeviceRemoved(int32_t) override { window_->ScheduleRefresh(); }
  void DevicesCleared() override { window_->ScheduleRefresh(); }
  void Notice(int32_t id, const std::string& text) override { window_->OnNotice(id, text); }

 private:
  MainWindow* window_;
};

QString WindowTitle() {
  const QString version = QStringLiteral(QV_VERSION);
  return QStringLiteral(" QV_NVR ") + version;
}

MainWindow::MainWindow(nvr::RecorderCore& core, nvr::RecorderDb& db, MessageService& messages,
                       DialogHost* dialogs, WindowOptions options)
    : core_(core),
      db_(db),
      messages_(messages),
      dialogs_(dialogs),
      options_(std::move(options)),
      observer_(std::make_unique<Observer>(this)) {
  setObjectName(QStringLiteral("mainWindow_102"));
  setWindowIcon(ProgramIcon());
  setWindowTitle(WindowTitle());
  BuildLayout();
  BuildMenus();
  core_.SetObserver(observer_.get());
  driver_ = new CoreDriver(core_.Loop(), this);
  connect(driver_, &CoreDriver::ran, this, &MainWindow::RefreshRows);
  // Exit is reachable everywhere, also where no notification area offers it.
  auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit, &QShortcut::activated, this, &MainWindow::Exit);
}

MainWindow::~MainWindow() {
  core_.SetObserver(nullptr);
  live_.Stop();
}

QPushButton* MainWindow::AddButton(int command, const QString& text, const char* name) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(command));
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, command] { Invoke(command); });
  buttons_.emplace_back(command, button);
  return button;
}

void MainWindow::BuildLayout() {
  auto* layout = new QVBoxLayout(this);
  caption_ = new QLineEdit(this);
  caption_->setObjectName(QStringLiteral("caption_1079"));
  caption_->setReadOnly(true);
  caption_->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(caption_);

  auto* upper = new QHBoxLayout;
  video_ = new qvui::VideoArea(this);
  video_->setObjectName(QStringLiteral("videoArea_1011"));
  video_->setMinimumSize(480, 300);
  video_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(video_, &qvui::VideoArea::doubleClicked, this, &MainWindow::OpenFullScreen);
  connect(video_, &QWidget::customContextMenuRequested, this, &MainWindow::ShowStreamMenu);
  upper->addWidget(video_, 1);

  auto* grid = new QGridLayout;
  int at = 0;
  auto place = [&](QPushButton* b) {
    grid->addWidget(b, at / 2, at % 2);
    ++at;
  };
  place(AddButton(kCmdConnectAll, tr("Connect All"), "connectAll"));
  place(AddButton(kCmdDisconnectAll, tr("Disconnect All"), "disconnectAll"));
  place(AddButton(kCmdRecordAll, tr("Record All"), "recordAll"));
  place(AddButton(kCmdStopAll, tr("Stop All"), "stopAll"));
  place(AddButton(kCmdSearch, tr("Search"), "search"));
  place(AddButton(kCmdAddDevice, tr("Add a Device"), "addDevice"));
  place(AddButton(kCmdDeleteDevice, tr("Delete Device"), "deleteDevice"));
  place(AddButton(kCmdDeleteAll, tr("Delete All"), "deleteAll"));
  place(AddButton(kCmdSchedule, tr("Schedule"), "schedule"));
  place(AddButton(kCmdSystem, tr("System"), "system"));
  place(AddButton(kCmdLogs, tr("Logs"), "logs"));
  place(AddButton(kCmdReplay, tr("Replay"), "replay"));
  place(AddButton(kCmdLock, Str(nvr::kStrLock), "lock"));
  place(AddButton(kCmdStopLive, tr("Stop"), "stopLive"));
  grid->setRowStretch(grid->rowCount(), 1);
  upper->addLayout(grid);
  layout->addLayout(upper, 3);

  table_ = new DeviceTable(this);
  table_->setMinimumHeight(180);
  connect(table_, &DeviceTable::contextMenuAt, this, &MainWindow::ShowDeviceMenu);
  connect(table_, &DeviceTable::deviceDoubleClicked, this, [this](int32_t id) {
    if (!locked_) StartLive(id, 0);
  });
  layout->addWidget(table_, 2);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusLine"));
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(status_);
  SetCaption(Str(nvr::kStrLiveCaption));
  UpdateButtons();
  resize(1000, 720);
}

void MainWindow::BuildMenus() {
  device_menu_ = new QMenu(this);
  device_menu_->setObjectName(QStringLiteral("deviceMenu_143"));
  auto add = [this](QMenu* menu, int command, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { Invoke(command); });
    return action;
  };
  add(device_menu_, kCmdConnect, tr("Connect(&C)"));
  add(device_menu_, kCmdDisconnect, tr("Disconnect(&G)"));
  add(device_menu_, kCmdRecord, tr("Record(&R)"));
  add(device_menu_, kCmdStopRecord, tr("Stop record(S)"));
  QAction* modify = add(device_menu_, kCmdModify, tr("Modify device(&M)"));
  modify->setEnabled(dialogs_ != nullptr && dialogs_->Has(DialogKind::kDeviceModify));
  add(device_menu_, kCmdDeleteMenu, tr("Delete device(&D)"));

  stream_menu_ = new QMenu(this);
  stream_menu_->setObjectName(QStringLiteral("streamMenu_265"));
  add(stream_menu_, kCmdPrimary, tr("Primary stream"))->setCheckable(true);
  add(stream_menu_, kCmdSecondary, tr("Secondary stream"))->setCheckable(true);

  tray_menu_ = new QMenu(this);
  tray_menu_->setObjectName(QStringLiteral("trayMenu_144"));
  add(tray_menu_, kCmdExit, tr("Exit"));
}

QPushButton* MainWindow::Button(int command) const {
  for (const auto& [id, button] : buttons_) {
    if (id == command) return button;
  }
  return nullptr;
}

// The dialogs of each button; without its dialog in this build the button stays disabled.
static std::optional<DialogKind> DialogOf(int command) {
  switch (command) {
    case kCmdSearch: return DialogKind::kDiscovery;
    case kCmdAddDevice: return DialogKind::kDeviceAdd;
    case kCmdSchedule: return DialogKind::kSchedules;
    case kCmdSystem: return DialogKind::kSettings;
    case kCmdLogs: return DialogKind::kLogViewer;
    default: return std::nullopt;
  }
}

void MainWindow::UpdateButtons() {
  for (const auto& [command, button] : buttons_) {
    // Replay and the lock button stay usable while locked.
    bool enabled = !locked_ || command == kCmdReplay || command == kCmdLock;
    if (const std::optional<DialogKind> kind = DialogOf(command)) {
      const bool available = dialogs_ != nullptr && dialogs_->Has(*kind);
      if (!available) button->setToolTip(tr("This dialog is not part of this build yet."));
      enabled = enabled && available;
    }
    button->setEnabled(enabled);
  }
}

bool MainWindow::Start() {
  const nvr::StartOutcome out = core_.Start();
  RefreshRows();
  if (!out.ok) {
    ShowMessages(out.messages);
    if (!out.failure_text.empty()) messages_.Show(QString::fromStdString(out.failure_text));
    return false;
  }
  started_ = true;
  driver_->RunPending();  // the core's timers run from now on
  if (out.last_exit == nvr::LastExit::kUnclean) {
    TipDialog tip(kTipSeconds, options_.tip_tick_ms, this);
    if (RunModal(tip) == QDialog::Accepted) {
      core_.RestoreLastState();
      RefreshRows();
    }
    // Started by the watchdog or at log-in after a crash: nobody has logged in.
    if (options_.unattended_start) SetLocked(true);
  }
  StartHotkeyAndTray();
  ShowFromOutside();
  return true;
}

void MainWindow::ScheduleRefresh() {
  if (refresh_queued_) return;
  refresh_queued_ = true;
  QMetaObject::invokeMethod(this, &MainWindow::RefreshRows, Qt::QueuedConnection);
}

void MainWindow::RefreshRows() {
  refresh_queued_ = false;
  table_->Show(core_.Rows());
}

void MainWindow::OnNotice(int32_t id, const std::string& text) {
  QString line = QString::fromStdString(text);
  if (id != 0) {
    if (const std::optional<nvr::DeviceEntry> e = core_.Device(id)) {
      line = QString::fromStdString(e->name) + QStringLiteral(": ") + line;
    }
  }
  status_->setText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")) + line);
}

QString MainWindow::Caption() const { return caption_->text(); }
QString MainWindow::StatusLine() const { return status_->text(); }
void MainWindow::SetCaption(const QString& text) { caption_->setText(text); }

void MainWindow::ShowMessages(const std::vector<uint32_t>& ids) {
  for (uint32_t id : ids) messages_.Show(Str(id));
}

QDialog* MainWindow::OpenDialog() const {
  for (auto it = open_dialogs_.rbegin(); it != open_dialogs_.rend(); ++it) {
    if (!it->isNull()) return it->data();
  }
  return nullptr;
}

int MainWindow::RunModal(QDialog& dialog) {
  open_dialogs_.emplace_back(&dialog);
  const int result = options_.run_modal ? options_.run_modal(dialog) : dialog.exec();
  open_dialogs_.pop_back();
  return result;
}

bool MainWindow::RunLogin(LoginMode mode) {
  LoginDialog login(mode, db_, messages_, this);
  return RunModal(login) == QDialog::Accepted;
}

}  // namespace nvrui
