// The commands of the device list: all manual devices at once, and one device.
#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/strings.h"

namespace nvr {
namespace {

// OP_STATE as the manual commands leave it; read back after an unclean exit.
constexpr int32_t kOpDisconnected = 0;
constexpr int32_t kOpConnected = 1;
constexpr int32_t kOpRecording = 2;

// The command acted: a row of OPERATE_LOG.
CoreOutcome Done(ActivityLog& log, OperationCode code) {
  log.Operation(code);
  return CoreOutcome{true, {}};
}
CoreOutcome Refused(uint32_t message) { return CoreOutcome{false, {message}}; }

}  // namespace

CoreOutcome RecorderCore::ConnectAll() {
  {
    DeviceLock lock = state_.devices.Lock();
    for (DeviceEntry& e : state_.devices.Entries()) {
      if (!e.IsManual() || e.client != 0) continue;
      if (ConnectEntry(e)) state_.Refresh(e);
    }
  }
  db_.SetManualOpState(kOpConnected);
  return Done(state_.activity, kOpConnectAll);
}

CoreOutcome RecorderCore::DisconnectAll() {
  {
    DeviceLock lock = state_.devices.Lock();
    for (DeviceEntry& e : state_.devices.Entries()) {
      if (!e.IsManual() || e.client == 0) continue;
      StopClient(e);
      state_.Refresh(e);
    }
  }
  db_.SetManualOpState(kOpDisconnected);
  return Done(state_.activity, kOpDisconnectAll);
}

CoreOutcome RecorderCore::RecordAll() {
  // As for one device: nothing is started on full drives.
  if (state_.disks_full.load()) return Refused(kStrAllDisksFull);
  {
    DeviceLock lock = state_.devices.Lock();
    for (DeviceEntry& e : state_.devices.Entries()) {
      if (!e.IsManual()) continue;
      if (e.client != 0) {
        // A device still connecting records once it is connected (the monitor starts it).
        e.record_wanted = true;
        if (e.connected && e.state == kStateConnected && !e.recording &&
            recordings_.StartRecording(e)) {
          state_.Refresh(e);
        }
        continue;
      }
      // Not connected yet: recording starts when the library reports the connection.
      e.Clear();
      ConnectEntry(e);
      e.record_on_connect = true;
      e.record_wanted = true;
      state_.Refresh(e);
    }
  }
  db_.SetManualOpState(kOpRecording);
  return Done(state_.activity, kOpRecordAll);
}

CoreOutcome RecorderCore::StopAll() {
  {
    DeviceLock lock = state_.devices.Lock();
    for (DeviceEntry& e : state_.devices.Entries()) {
      if (!e.IsManual() || e.client == 0) continue;
      e.record_wanted = false;
      recordings_.StopRecording(e);
      state_.Refresh(e);
    }
  }
  db_.SetManualOpState(kOpConnected);
  return Done(state_.activity, kOpStopAll);
}

CoreOutcome RecorderCore::Connect(int32_t id) {
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr || e->client != 0) return CoreOutcome{};
  if (!e->IsManual()) return Refused(kStrScheduledConnect);
  ConnectEntry(*e);
  state_.Refresh(*e);
  SetOpState(*e, kOpConnected);
  return Done(state_.activity, kOpConnect);
}

CoreOutcome RecorderCore::Disconnect(int32_t id) {
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr || e->client == 0) return CoreOutcome{};
  if (!e->IsManual()) return Refused(kStrScheduledConnect);
  StopClient(*e);
  state_.Refresh(*e);
  SetOpState(*e, kOpDisconnected);
  return Done(state_.activity, kOpDisconnect);
}

CoreOutcome RecorderCore::Record(int32_t id) {
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr) return CoreOutcome{};
  if (!e->IsManual()) return Refused(kStrScheduledRecord);
  if (state_.disks_full.load()) return Refused(kStrAllDisksFull);
  if (e->client == 0) {
    e->Clear();
    ConnectEntry(*e);
    e->record_on_connect = true;
    e->record_wanted = true;
    state_.Refresh(*e);
    SetOpState(*e, kOpRecording);
    return Done(state_.activity, kOpRecord);
  }
  if (e->recording) return CoreOutcome{};
  if (e->state != kStateConnected) return Refused(kStrNotConnected);
  // A start that fails is reported and tried again with a back-off until the device is told
  // to stop: the recording is wanted either way.
  e->record_wanted = true;
  SetOpState(*e, kOpRecording);
  if (!recordings_.StartRecording(*e)) return CoreOutcome{};
  state_.Refresh(*e);
  return Done(state_.activity, kOpRecord);
}

CoreOutcome RecorderCore::StopRecord(int32_t id) {
  DeviceLock lock = state_.devices.Lock();
  DeviceEntry* e = state_.devices.FindById(id);
  if (e == nullptr) return CoreOutcome{};
  if (!e->IsManual()) return Refused(kStrScheduledRecord);
  if (!e->recording && !e->record_wanted) return CoreOutcome{};
  e->record_wanted = false;
  if (e->recording) recordings_.StopRecording(*e);
  state_.Refresh(*e);
  SetOpState(*e, kOpConnected);
  return Done(state_.activity, kOpStopRecord);
}

CoreOutcome RecorderCore::DeleteDevice(int32_t id) {
  DeviceLock lock = state_.devices.Lock();
  const int row = state_.devices.RowOf(id);
  if (row < 0) return CoreOutcome{};
  DeviceEntry& e = state_.devices.Entries()[static_cast<size_t>(row)];
  if (!db_.DeleteDevice(e.host, e.channel, e.port, e.stream_url)) {
    return CoreOutcome{false, {kStrDeleteDeviceFailed, kStrDeleteFailed}};
  }
  StopClient(e);
  state_.devices.RemoveRow(static_cast<size_t>(row));
  if (state_.observer != nullptr) state_.observer->DeviceRemoved(id);
  return Done(state_.activity, kOpDeleteDevice);
}

CoreOutcome RecorderCore::DeleteAll() {
  DeviceLock lock = state_.devices.Lock();
  if (state_.devices.Size() == 0) return CoreOutcome{};
  // The database first: a list emptied over rows that stay would bring the devices back at
  // the next start, after the person was shown them gone.
  if (!db_.DeleteAllDevices()) return CoreOutcome{false, {kStrDeleteDeviceFailed, kStrDeleteFailed}};
  for (DeviceEntry& e : state_.devices.Entries()) StopClient(e);
  state_.devices.Clear();
  if (state_.observer != nullptr) state_.observer->DevicesCleared();
  return Done(state_.activity, kOpDeleteAll);
}

}  // namespace nvr
