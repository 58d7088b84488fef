// Reports of the dialogs: devices added and modified, schedules deleted and changed, new
// settings; and the restore after an unclean exit and the exit itself.
#include "nvr/core/store/atomic_file.h"
#include "nvr/core/store/config_ini.h"
#include "nvr/core/engine/recorder_core.h"

namespace nvr {

int32_t RecorderCore::AddDevice(const DeviceRecord& record) {
  int32_t id = 0;
  {
    DeviceLock lock = state_.devices.Lock();
    id = state_.devices.Append(record).id;
    if (state_.observer != nullptr) state_.observer->DeviceAdded(id);
  }
  // The dialog's insert leaves SCHEDULE_ID at its default.
  if (record.schedule_id != 0) db_.SetScheduleId(record.name, record.schedule_id);
  return id;
}

ModifyOutcome RecorderCore::ModifyDevice(int32_t id, const DeviceRecord& edited) {
  ModifyOutcome out;
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr) return out;
  if (edited.schedule_id == 0 && e->schedule_id != 0 && e->client != 0) {
    recordings_.StopRecording(*e);
  }
  const bool connection_differs = edited.url != e->host || edited.channel != e->channel ||
                                  edited.rtsp_port != e->port || edited.username != e->user ||
                                  edited.password != e->password ||
                                  edited.stream_type != e->stream_type;
  e->name = edited.name;
  e->host = edited.url;
  e->channel = edited.channel;
  e->stream_type = edited.stream_type;
  e->user = edited.username;
  e->password = edited.password;
  e->port = edited.rtsp_port;
  e->schedule_id = edited.schedule_id;
  e->alarm_state = edited.alarm_state;
  out.connection_changed = connection_differs;
  if (connection_differs && e->client != 0) {
    StopClient(*e);
    ConnectEntry(*e);
    out.reconnected = true;
  }
  state_.Refresh(*e);
  return out;
}

void RecorderCore::ScheduleDeleted(int32_t schedule_id) {
  {
    DeviceLock lock = state_.devices.Lock();
    for (DeviceEntry& e : state_.devices.Entries()) {
      if (e.schedule_id != schedule_id) continue;
      // The device stays connected, now operated by hand; its scheduled recording ends.
      if (e.client != 0 && e.recording) recordings_.StopRecording(e);
      e.schedule_id = 0;
      e.recording = false;
      e.record_start = 0;
      state_.Refresh(e);
    }
  }
  db_.DetachSchedule(schedule_id);
}

void RecorderCore::ScheduleChanged(int32_t schedule_id) {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& e : state_.devices.Entries()) {
    if (e.schedule_id != schedule_id) continue;
    state_.Refresh(e);
    db_.SetScheduleId(e.name, e.schedule_id);
  }
}

std::vector<ScheduleRecord> RecorderCore::Schedules() {
  std::lock_guard<std::mutex> guard(state_.schedule_lock);
  return state_.schedules;
}

void RecorderCore::SetSchedules(std::vector<ScheduleRecord> schedules) {
  std::lock_guard<std::mutex> guard(state_.schedule_lock);
  state_.schedules = std::move(schedules);
}

int RecorderCore::ApplySettings(const SettingsBlock& settings) {
  const bool watchdog_on = settings.watchdog != 0;
  if (watchdog_on != (state_.settings.watchdog != 0)) watchdog_.SettingChanged(watchdog_on);
  state_.SetSettings(settings);
  disks_.ChangeDriveAfterSettings();
  return WriteFileAtomically(LocalDatPath(config_.home), EncodeSettings(settings), 0644);
}

void RecorderCore::RestoreLastState() {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& e : state_.devices.Entries()) {
    if (!e.IsManual() || e.client != 0) continue;
    const int32_t op_state = e.op_state;
    if (op_state != 1 && op_state != 2) continue;
    ConnectEntry(e);
    e.record_on_connect = op_state == 2;
    state_.Refresh(e);
    // The start reset every OP_STATE to 0: write back what the device is doing again, or a
    // second unclean exit would find nothing to restore.
    SetOpState(e, op_state);
  }
}

void RecorderCore::Exit() {
  if (exiting_) return;
  exiting_ = true;
  if (ping_) ping_->Stop();
  if (monitor_) monitor_->Stop();
  watchdog_.StopWatching();
  PostReplayClose(config_.replay_endpoint);
  loop_.KillTimer(kDiskTimerId);
  loop_.KillTimer(kHeartbeatTimerId);
  StopAllClients();
  if (monitor_) monitor_->Join();
  if (ping_) ping_->Join();
  MarkCleanExit(ConfigIniPath(config_.home));
}

}  // namespace nvr
