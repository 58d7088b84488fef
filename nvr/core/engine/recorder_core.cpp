// Construction, start, the library's notifications, the schedule monitor's requests and the
// row texts of the recorder core.
#include "nvr/core/engine/recorder_core.h"

#include "nvr/core/store/config_ini.h"
#include "nvr/core/engine/schedule_match.h"
#include "nvr/core/store/settings_check.h"
#include "nvr/core/engine/strings.h"
#include "platform/tick_clock.h"

namespace nvr {

int32_t StatusTextId(int32_t state) {
  switch (state) {
    case kStateNone: return 0;
    case kStateConnecting: return kStrConnecting;
    case kStateConnected: return kStrConnected;
    case kStateReconnecting: return kStrReconnecting;
    case kStateUnauthorized: return kStrUnauthorized;
    default: return -1;
  }
}

uint32_t RecordTextId(const DeviceEntry& entry) {
  if (!entry.recording) return 0;
  return entry.state == kStateConnected ? kStrRecording : kStrRecordFailed;
}

RecorderCore::RecorderCore(CoreConfig config)
    : config_(std::move(config)),
      library_(*config_.library),
      db_(*config_.db),
      recordings_(state_, library_, config_.drives, config_.local_time),
      disks_(state_, recordings_, config_.drives, WithRealDefaults(config_.disk_ops, config_.drives)),
      watchdog_(config_.watchdog_endpoint, config_.home + "/QV_Watchdog", config_.start_program) {
  loop_.SetMessageHandler([this](uint32_t msg, uint32_t wparam, int32_t lparam) {
    OnWindowMessage(msg, wparam, lparam);
  });
  state_.activity.Attach(&db_, config_.local_time);
}

RecorderCore::~RecorderCore() {
  StopThreads();
  if (!exiting_) StopAllClients();
}

StartOutcome RecorderCore::Start() {
  StartOutcome out;
  // 5-second connect time-out, reconnect for ever, 10 seconds between attempts.
  library_.Startup();
  library_.SetWaitTime(5, -1, 10);
  std::vector<std::string> problems;
  state_.SetSettings(LoadSettingsFile(config_.home, config_.drives, &problems));
  SetSchedules(LoadScheduleFile(config_.home, &problems));
  for (const std::string& problem : problems) state_.Notice(0, problem);
  if (!LoadDevices()) {
    out.messages = {kStrReadDbFailed, kStrInitFailed};
    return out;
  }
  state_.current_drive = static_cast<char>(state_.settings.drives[0].letter);
  state_.current_reserve = state_.settings.drives[0].reserve_mb;
  // The first check at once, not five seconds on: a first drive that is full or not there
  // must not take the first recordings.
  disks_.DiskCheck();
  recordings_.RemoveEmptyRecordings();

  if (state_.settings.watchdog != 0) watchdog_.StartProgram();
  if (const char* failed = StartThreads()) {
    // Without its workers the recorder would look alive and record nothing.
    StopThreads();
    out.failure_text = failed;
    return out;
  }
  watchdog_.Greet();
  loop_.SetTimer(kDiskTimerId, kDiskTimerMs, [this] { DiskCheck(); });
  loop_.SetTimer(kHeartbeatTimerId, kHeartbeatTimerMs, [this] { Heartbeat(); });

  const std::string ini = ConfigIniPath(config_.home);
  out.last_exit = CheckLastExit(ini);
  db_.SetManualOpState(0);
  MarkRunning(ini);
  out.ok = true;
  return out;
}

bool RecorderCore::LoadDevices() {
  std::vector<DeviceRecord> records;
  if (!db_.AllDevices(&records)) return false;
  DeviceLock lock = state_.devices.Lock();
  for (const DeviceRecord& record : records) {
    const int32_t id = state_.devices.Append(record).id;
    if (state_.observer != nullptr) state_.observer->DeviceAdded(id);
  }
  return true;
}

bool RecorderCore::ConnectEntry(DeviceEntry& entry) {
  const std::optional<NvrClientParams> params = MakeClientParams(entry, loop_.Window());
  if (!params) {
    state_.Notice(entry.id, "cannot connect: the address, user name or password is too long "
                            "for the recording library");
    return false;
  }
  entry.client = library_.ClientStart(*params);
  if (entry.client == 0) {
    state_.Notice(entry.id, "cannot connect: the recording library refused " +
                                std::string(params->address));
    return false;
  }
  entry.state = kStateConnecting;
  return true;
}

void RecorderCore::StopClient(DeviceEntry& entry) {
  if (entry.client != 0) {
    // Stopping the client ends its recording.
    if (entry.recording) state_.activity.RecordingStopped(entry);
    library_.ClientStop(entry.client);
    // Whatever the stopped client queued must not reach the next client of this device.
    loop_.DiscardMessages(kClientMessageBase + static_cast<uint32_t>(entry.id));
  }
  entry.Clear();
}

void RecorderCore::OnWindowMessage(uint32_t msg, uint32_t wparam, int32_t lparam) {
  if (msg <= kClientMessageBase || msg - kClientMessageBase > INT32_MAX) return;
  OnClientNotify(static_cast<int32_t>(msg - kClientMessageBase), wparam, lparam);
}

void RecorderCore::OnClientNotify(int32_t id, uint32_t code, int32_t value) {
  if (exiting_) return;
  if (code == kNotifyMotion || code == kNotifyAlarm) return OnCameraEvent(id, code, value);
  if (code != kNotifyState) return;
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr || e->client == 0) return;
  switch (value) {
    case kClientStreaming:
      if (e->record_on_connect) {
        if (e->IsManual()) {
          e->record_wanted = true;
          recordings_.StartRecording(*e);
        }
        e->record_on_connect = false;
      } else if (e->recording) {
        // Back after a loss: the rest goes to a new file.
        recordings_.Split(*e);
      }
      e->state = kStateConnected;
      e->connected = true;
      break;
    case kClientFailed:
      state_.Notice(e->id, "the connection failed and is given up");
      StopClient(*e);
      break;
    case kClientReconnecting:
      e->state = kStateReconnecting;
      break;
    case kClientRefused:
      e->state = kStateUnauthorized;
      break;
    default:
      break;
  }
  state_.Refresh(*e);
}

void RecorderCore::HandleMonitorActions(const std::vector<MonitorAction>& actions) {
  if (!exiting_) {
    const uint64_t split_ms = SplitLengthMs(state_.split_minutes.load());
    DeviceLock lock = state_.devices.Lock();
    for (const MonitorAction& action : actions) HandleMonitorAction(action, split_ms);
  }
  if (monitor_) monitor_->BatchHandled();
}

// Each request is checked against the entry as it is now: the monitor saw it a moment ago.
void RecorderCore::HandleMonitorAction(const MonitorAction& action, uint64_t split_ms) {
  DeviceEntry* e = state_.devices.FindById(action.device_id);
  if (e == nullptr) return;
  switch (action.request) {
    case MonitorRequest::kSplit:
      if (e->client != 0 && e->recording && SplitDue(e->record_start, qvp::TickCount(), split_ms)) {
        recordings_.Split(*e);
      }
      break;
    case MonitorRequest::kStartRecord:
      if (e->client == 0 || !e->connected || e->recording) return;
      if (e->IsManual() && !e->record_wanted) return;
      if (state_.disks_full.load() || !RecordRetryDue(*e, qvp::TickCount())) return;
      if (recordings_.StartRecording(*e)) state_.Refresh(*e);
      break;
    case MonitorRequest::kConnect:
      if (e->client != 0 || e->IsManual() || state_.disks_full.load()) return;
      if (ConnectEntry(*e)) state_.Refresh(*e);
      break;
    case MonitorRequest::kDisconnect:
      // A device whose schedule was deleted meanwhile is manual now and stays connected.
      if (e->client == 0 || e->IsManual()) return;
      StopClient(*e);
      state_.Refresh(*e);
      break;
  }
}

void RecorderCore::RunMonitorPass() {
  const std::tm local = config_.local_time ? config_.local_time() : CurrentLocalTime();
  HandleMonitorActions(ScanDevices(state_, qvp::TickCount(), &local));
}

const char* RecorderCore::StartThreads() {
  if (!config_.start_threads) return nullptr;
  ping_ = std::make_unique<PingThread>(config_.pinger, [this](bool answered) {
    loop_.Post([this, answered] { PingStep(answered); });
  });
  monitor_ = std::make_unique<ScheduleMonitor>(
      state_, config_.local_time, [this](std::vector<MonitorAction> actions) {
        return loop_.Post([this, batch = std::move(actions)] { HandleMonitorActions(batch); });
      });
  if (ping_->Begin() != qvp::JThread::kStarted) return kTextPingThreadFailed;
  if (monitor_->Begin() != qvp::JThread::kStarted) return kTextMonitorThreadFailed;
  return nullptr;
}

void RecorderCore::StopThreads() {
  if (ping_) ping_->Stop();
  if (monitor_) monitor_->Stop();
  if (monitor_) monitor_->Join();
  if (ping_) ping_->Join();
}

void RecorderCore::StopAllClients() {
  DeviceLock lock = state_.devices.Lock();
  for (DeviceEntry& e : state_.devices.Entries()) StopClient(e);
}

void RecorderCore::SetOpState(const DeviceEntry& entry, int32_t op_state) {
  db_.SetOpState(entry.name, op_state);
}

std::vector<RowView> RecorderCore::Rows() {
  std::vector<RowView> rows;
  DeviceLock lock = state_.devices.Lock();
  std::lock_guard<std::mutex> schedules(state_.schedule_lock);
  int number = 0;
  for (const DeviceEntry& e : state_.devices.Entries()) {
    RowView row;
    row.id = e.id;
    row.number = ++number;
    row.name = e.name;
    row.host = e.host;
    row.channel = e.channel;
    row.schedule_name = ScheduleName(state_.schedules, e.schedule_id);
    row.status_text = StatusTextId(e.state);
    row.record_text = RecordTextId(e);
    row.image = e.row_image;
    row.state = e.state;
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace nvr
