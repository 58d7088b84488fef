// Where the main window meets the recorder's dialogs (discovery, device add and modify,
// schedule editor, system settings, log viewer). The window owns the buttons and menu
// commands that open them and runs each dialog modally as its open dialog (so the Exit can
// end it); the dialogs are built by a DialogHost and report back through DialogReports, which
// the main window implements over the recorder core.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "nvr/core/engine/device_entry.h"
#include "nvr/core/store/recorder_db.h"
#include "nvr/core/store/settings_files.h"

namespace nvrui {

class MessageService;

enum class DialogKind { kDiscovery, kDeviceAdd, kDeviceModify, kSchedules, kSettings, kLogViewer };

// The main window's side of every dialog's report. Called on the GUI thread while the dialog
// runs or when it ends.
class DialogReports {
 public:
  virtual ~DialogReports() = default;
  // A device stored in the database by the dialog (only after its insert succeeded): listed,
  // and its schedule stored.
  virtual void DeviceAdded(const nvr::DeviceRecord& device) = 0;
  // Device `id` stored with these values: list, connection and live view follow.
  virtual void DeviceModified(int32_t id, const nvr::DeviceRecord& device) = 0;
  // The schedule editor's new array (already written to Schedule.dat), then what changed.
  virtual void SchedulesReplaced(const std::vector<nvr::ScheduleRecord>& schedules) = 0;
  virtual void ScheduleDeleted(int32_t schedule_id) = 0;
  virtual void ScheduleChanged(int32_t schedule_id) = 0;
  // New settings from the settings dialog or the log viewer (a copy the dialog edited):
  // watchdog, hotkey, drive change, autorun entry, Local.dat.
  virtual void SettingsApplied(const nvr::SettingsBlock& settings) = 0;
};

// What a dialog is given when it is made.
struct DialogContext {
  nvr::RecorderDb* db = nullptr;
  MessageService* messages = nullptr;
  DialogReports* reports = nullptr;
  std::vector<nvr::ScheduleRecord> schedules;
  nvr::SettingsBlock settings{};
  std::optional<nvr::DeviceEntry> device;  // kDeviceModify: the selected device
  QWidget* parent = nullptr;
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // Whether this build has the dialog; without it the window's button stays disabled.
  virtual bool Has(DialogKind kind) const = 0;
  // A new dialog of `kind`; the window runs it modally and destroys it afterwards.
  virtual std::unique_ptr<QDialog> Make(DialogKind kind, const DialogContext& context) = 0;
};

}  // namespace nvrui
