// The commands of the buttons and the device menu, and the dialogs' reports.
#include <QMenu>

#include "nvr/core/engine/autorun_entry.h"
#include "nvr/core/engine/strings.h"
#include "nvr/core/store/text_log.h"
#include "nvr/ui/device_table.h"
#include "nvr/ui/main_window.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/ui_texts.h"
#include "nvr/ui/x11_hotkey.h"
#include "replay/core/replay_launch.h"
#include "uishared/video_area.h"

namespace nvrui {

void MainWindow::Invoke(int command) {
  switch (command) {
    case kCmdConnectAll: return ConfirmAndRun(nvr::kStrConfirmConnectAll, &nvr::RecorderCore::ConnectAll);
    case kCmdDisconnectAll:
      return ConfirmAndRun(nvr::kStrConfirmDisconnectAll, &nvr::RecorderCore::DisconnectAll);
    case kCmdRecordAll: return ConfirmAndRun(nvr::kStrConfirmRecordAll, &nvr::RecorderCore::RecordAll);
    case kCmdStopAll: return ConfirmAndRun(nvr::kStrConfirmStopAll, &nvr::RecorderCore::StopAll);
    case kCmdConnect: return OnDevice(&nvr::RecorderCore::Connect);
    case kCmdDisconnect: return OnDevice(&nvr::RecorderCore::Disconnect);
    case kCmdRecord: return OnDevice(&nvr::RecorderCore::Record);
    case kCmdStopRecord: return OnDevice(&nvr::RecorderCore::StopRecord);
    case kCmdDeleteDevice:
    case kCmdDeleteMenu: return DeleteSelected();
    case kCmdDeleteAll: return DeleteAll();
    case kCmdSearch: return OpenDialogOf(DialogKind::kDiscovery);
    case kCmdAddDevice: return OpenDialogOf(DialogKind::kDeviceAdd);
    case kCmdModify: return OpenDialogOf(DialogKind::kDeviceModify);
    case kCmdSchedule: return OpenDialogOf(DialogKind::kSchedules);
    case kCmdSystem: return OpenDialogOf(DialogKind::kSettings);
    case kCmdLogs: return OpenDialogOf(DialogKind::kLogViewer);
    case kCmdReplay:
      replay::StartOrRaiseReplay(options_.exe_dir, options_.start_program, options_.replay_endpoint);
      return;
    case kCmdLock: return ToggleLock();
    case kCmdStopLive: return StopLive();
    case kCmdPrimary:
    case kCmdSecondary: {
      const int stream = command == kCmdPrimary ? 0 : 1;
      if (live_.Running() && live_.Stream() != stream) StartLive(live_.DeviceId(), stream);
      return;
    }
    case kCmdExit: return Exit();
    default: return;
  }
}

void MainWindow::ConfirmAndRun(uint32_t question, nvr::CoreOutcome (nvr::RecorderCore::*command)()) {
  if (!messages_.Ask(Str(question))) return;
  const nvr::CoreOutcome out = (core_.*command)();
  RefreshRows();
  ShowMessages(out.messages);
}

void MainWindow::OnDevice(nvr::CoreOutcome (nvr::RecorderCore::*command)(int32_t)) {
  const int32_t id = table_->SelectedId();
  // A row that has gone (deleted, list emptied) is no selection.
  if (id == 0 || table_->RowOfId(id) < 0) return;
  const nvr::CoreOutcome out = (core_.*command)(id);
  RefreshRows();
  ShowMessages(out.messages);
}

void MainWindow::DeleteSelected() {
  const int32_t id = table_->SelectedId();
  if (id == 0 || table_->RowOfId(id) < 0) return;
  const std::optional<nvr::DeviceEntry> device = core_.Device(id);
  if (!device) return;
  if (!messages_.Ask(StrWith(nvr::kStrConfirmDelete, QString::fromStdString(device->name)))) return;
  const nvr::CoreOutcome out = core_.DeleteDevice(id);
  if (out.done) {
    if (live_.DeviceId() == id) StopLive();
    table_->ClearSelection();
  }
  RefreshRows();
  ShowMessages(out.messages);
}

void MainWindow::DeleteAll() {
  if (table_->rowCount() == 0) return;
  if (!messages_.Ask(Str(nvr::kStrConfirmDeleteAll))) return;
  if (!messages_.Ask(Str(nvr::kStrConfirmContinue))) return;
  const nvr::CoreOutcome out = core_.DeleteAll();
  if (out.done) {
    StopLive();
    table_->ClearSelection();
  }
  RefreshRows();
  ShowMessages(out.messages);
}

void MainWindow::OpenDialogOf(DialogKind kind) {
  if (dialogs_ == nullptr || !dialogs_->Has(kind)) return;
  DialogContext context;
  context.db = &db_;
  context.messages = &messages_;
  context.reports = this;
  context.schedules = core_.Schedules();
  context.settings = core_.Settings();
  context.parent = this;
  if (kind == DialogKind::kDeviceModify) {
    const int32_t id = table_->SelectedId();
    context.device = id != 0 ? core_.Device(id) : std::nullopt;
    if (!context.device) return;
  }
  std::unique_ptr<QDialog> dialog = dialogs_->Make(kind, context);
  if (dialog) RunModal(*dialog);
  RefreshRows();
}

void MainWindow::DeviceAdded(const nvr::DeviceRecord& device) {
  core_.AddDevice(device);
  RefreshRows();
}

void MainWindow::DeviceModified(int32_t id, const nvr::DeviceRecord& device) {
  const nvr::ModifyOutcome out = core_.ModifyDevice(id, device);
  // The live view follows new connection parameters, with or without a recording client.
  if (out.connection_changed && live_.Running() && live_.DeviceId() == id) StartLive(id, 0);
  RefreshRows();
}

void MainWindow::SchedulesReplaced(const std::vector<nvr::ScheduleRecord>& schedules) {
  core_.SetSchedules(schedules);
  RefreshRows();
}

void MainWindow::ScheduleDeleted(int32_t schedule_id) {
  core_.ScheduleDeleted(schedule_id);
  RefreshRows();
}

void MainWindow::ScheduleChanged(int32_t schedule_id) {
  core_.ScheduleChanged(schedule_id);
  RefreshRows();
}

void MainWindow::SettingsApplied(const nvr::SettingsBlock& settings) {
  const nvr::SettingsBlock before = core_.Settings();
  if (settings.hotkey != before.hotkey && hotkey_ && hotkey_->Id() != 0) hotkey_->Rebind(settings.hotkey);
  // Watchdog start or stop, the new block, the drive change, Local.dat.
  core_.ApplySettings(settings);
  ApplyAutorun(settings.autorun != 0);
  RefreshRows();
}

void MainWindow::ApplyAutorun(bool on) {
  const std::string folder =
      options_.autostart_folder.empty() ? nvr::AutostartFolder() : options_.autostart_folder;
  const int error = on ? nvr::WriteAutorunEntry(folder, options_.program_path, options_.home)
                       : nvr::RemoveAutorunEntry(folder);
  if (error == 0) return;
  const std::string text = (on ? "cannot write the autostart entry in " : "cannot remove the autostart entry in ") +
                           folder + " (error " + std::to_string(error) + ")";
  nvr::WriteLog("%s\r\n", text.c_str());
  OnNotice(0, text);
}

void MainWindow::ShowDeviceMenu(int32_t id, const QPoint& global) {
  if (locked_ || id == 0) return;
  device_menu_->popup(global);
}

void MainWindow::ShowStreamMenu(const QPoint& pos) {
  if (locked_ || !live_.Running()) return;
  for (QAction* action : stream_menu_->actions()) {
    const int stream = action->data().toInt() == kCmdPrimary ? 0 : 1;
    action->setChecked(stream == live_.Stream());
  }
  stream_menu_->popup(video_->mapToGlobal(pos));
}

}  // namespace nvrui
