#include "nvr/core/engine/schedule_monitor.h"

#include "nvr/core/engine/recording_manager.h"
#include "nvr/core/engine/schedule_match.h"

namespace nvr {

uint64_t SplitLengthMs(int32_t split_minutes) {
  const int32_t minutes = split_minutes > 0 ? split_minutes : kDefaultSplitMinutes;
  return static_cast<uint64_t>(minutes) * 60000u;
}

bool SplitDue(uint32_t record_start, qvp::Tick now, uint64_t split_ms) {
  return qvp::TicksSince(record_start, now) >= split_ms;
}

std::vector<MonitorAction> ScanDevices(RecorderState& state, qvp::Tick now, const std::tm* local) {
  std::vector<MonitorAction> actions;
  const uint64_t split_ms = SplitLengthMs(state.split_minutes.load(std::memory_order_relaxed));
  DeviceLock lock = state.devices.Lock();
  if (state.disks_full.load()) return actions;
  for (const DeviceEntry& e : state.devices.Entries()) {
    if (e.client == 0 && e.schedule_id == 0) continue;
    // A manual device told to record whose recording ended (a failed split or restart, a
    // full disk that has room again) starts again.
    if (e.schedule_id == 0 && e.record_wanted && e.connected && !e.recording &&
        RecordRetryDue(e, now)) {
      actions.push_back({MonitorRequest::kStartRecord, e.id});
    }
    bool just_disconnected = false;
    if (e.schedule_id != 0) {
      bool in_schedule = false;
      {
        std::lock_guard<std::mutex> schedules(state.schedule_lock);
        in_schedule = ScheduleMatches(state.schedules, e.schedule_id, local);
      }
      if (in_schedule) {
        if (e.client == 0) {
          actions.push_back({MonitorRequest::kConnect, e.id});
          continue;
        }
        if (!e.connected) continue;
        if (!e.recording && RecordRetryDue(e, now)) {
          actions.push_back({MonitorRequest::kStartRecord, e.id});
        }
      } else {
        if (e.client == 0) continue;
        actions.push_back({MonitorRequest::kDisconnect, e.id});
        just_disconnected = true;
      }
    }
    if (e.client != 0 && e.recording && !just_disconnected &&
        SplitDue(e.record_start, now, split_ms)) {
      actions.push_back({MonitorRequest::kSplit, e.id});
    }
  }
  return actions;
}

ScheduleMonitor::ScheduleMonitor(RecorderState& state, LocalTimeSource local_time, BatchSink sink)
    : state_(state), local_time_(std::move(local_time)), sink_(std::move(sink)) {
  if (!local_time_) local_time_ = CurrentLocalTime;
}

ScheduleMonitor::~ScheduleMonitor() {
  Stop();
  Join();
}

int ScheduleMonitor::Begin() {
  run_.store(true);
  wake_.Reset();
  ended_.store(false);
  const int started = Start();
  if (started != kStarted) ended_.store(true);
  return started;
}

void ScheduleMonitor::Stop() {
  run_.store(false);
  wake_.Set();
}

void ScheduleMonitor::Pass() {
  if (batch_pending_.load()) return;
  const qvp::Tick now = qvp::TickCount();
  const std::tm local = local_time_();
  std::vector<MonitorAction> actions = ScanDevices(state_, now, &local);
  if (state_.disks_full.load()) {
    wake_.Wait(kDisksFullWaitMs);
    return;
  }
  if (actions.empty()) return;
  batch_pending_.store(true);
  if (!sink_(std::move(actions))) batch_pending_.store(false);
}

void ScheduleMonitor::Thread() {
  try {
    uint32_t wait_ms = kFirstWaitMs;
    while (run_.load()) {
      // The stop event ends the wait at once, where a loop of short sleeps would poll.
      wake_.Wait(wait_ms);
      wait_ms = kPassWaitMs;
      if (!run_.load()) break;
      Pass();
    }
  } catch (...) {
    // Nothing may leave a thread body; the recorder goes on without schedules.
  }
  ended_.store(true);
}

}  // namespace nvr
