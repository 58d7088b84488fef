// The recorder core: everything the main window of the recorder does that is not drawing. It
// owns the device array, schedules and settings (RecorderState), the recording manager, the
// disk manager, the watchdog, the schedule monitor and ping threads, and runs on the core
// thread (CoreLoop): every operation below is called there, and the worker threads and the
// recording library only queue work for it.
//
// Every command of the device list is an operation that returns its outcome: whether it acted
// and the numbers of the texts to show (strings.h), in order. Confirmations are the caller's:
// a window asks kStrConfirmConnectAll (and the like) before calling ConnectAll(); the service
// mode asks nobody.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/engine/core_loop.h"
#include "nvr/core/engine/disk_manager.h"
#include "nvr/core/store/drives.h"
#include "nvr/core/engine/exit_restore.h"
#include "nvr/core/engine/ping_thread.h"
#include "nvr/core/store/recorder_db.h"
#include "nvr/core/engine/recorder_state.h"
#include "nvr/core/engine/recording_library.h"
#include "nvr/core/engine/recording_manager.h"
#include "nvr/core/engine/schedule_monitor.h"
#include "nvrclient/include/QVNVRClient.h"

namespace nvr {

inline constexpr uint32_t kDiskTimerId = 500;
inline constexpr uint32_t kDiskTimerMs = 5000;
inline constexpr uint32_t kHeartbeatTimerId = 501;
inline constexpr uint32_t kHeartbeatTimerMs = 2000;

// The connection states the recording library reports (code NOTIFY_STATE) that the core acts on,
// as its public header numbers them.
inline constexpr uint32_t kNotifyState = NOTIFY_STATE;
// Motion (bit mask of the regions) and alarm reports of the camera: rows of RECORD_LOG.
inline constexpr uint32_t kNotifyMotion = NOTIFY_MOTION;
inline constexpr uint32_t kNotifyAlarm = NOTIFY_ALARM;
enum ClientState : int32_t {
  kClientStreaming = QV_STATE_STREAMING,
  kClientFailed = QV_STATE_FAILED,
  kClientReconnecting = QV_STATE_RECONNECTING,
  kClientRefused = QV_STATE_REFUSED,  // user name or password refused
};

struct CoreConfig {
  std::string home;                  // program folder: config.ini, NVRData/, the watchdog
  RecordingLibrary* library = nullptr;
  RecorderDb* db = nullptr;
  DriveMap drives;
  DiskOps disk_ops;                  // members left empty: the real file system
  LocalTimeSource local_time;        // empty: the real local time
  PingThread::Pinger pinger;         // empty: ICMP echo
  ProgramStarter start_program;      // empty: detached start
  std::string watchdog_endpoint = kWatchdogEndpoint;
  std::string replay_endpoint = kReplayEndpoint;
  // Tests drive the monitor passes and the ping steps themselves.
  bool start_threads = true;
};

struct CoreOutcome {
  bool done = false;               // the operation acted
  std::vector<uint32_t> messages;  // texts to show, in order (strings.h)
};

// The texts of a start that could not run its worker threads.
inline constexpr char kTextPingThreadFailed[] = "Start the ping thread failed!";
inline constexpr char kTextMonitorThreadFailed[] = "Start the schedule monitor thread failed!";

struct StartOutcome {
  bool ok = false;                 // false: start-up stopped (loading the devices failed, or a
                                   // worker thread did not start)
  std::vector<uint32_t> messages;
  std::string failure_text;        // a failure without a string number: show it as it is
  LastExit last_exit = LastExit::kUnknown;
};

struct ModifyOutcome {
  bool reconnected = false;        // the recording client was started again
  // Host, channel, port, user, password or stream type changed: a live view of this device
  // restarts on stream 0, whether or not the device has a recording client.
  bool connection_changed = false;
};

// Column texts of one row, as string numbers (0 = empty).
int32_t StatusTextId(int32_t state);  // column 5; -1 = leave the column as it is
uint32_t RecordTextId(const DeviceEntry& entry);  // column 6

struct RowView {
  int32_t id = 0;
  int number = 0;             // column 0, from 1
  std::string name;
  std::string host;
  int32_t channel = 0;        // column 3 shows channel + 1
  std::string schedule_name;  // column 4
  int32_t status_text = 0;    // column 5 (StatusTextId)
  uint32_t record_text = 0;   // column 6
  int32_t image = kImageNotPinged;
  int32_t state = kStateNone;
};

class RecorderCore {
 public:
  explicit RecorderCore(CoreConfig config);
  ~RecorderCore();
  RecorderCore(const RecorderCore&) = delete;
  RecorderCore& operator=(const RecorderCore&) = delete;

  CoreLoop& Loop() { return loop_; }
  void SetObserver(CoreObserver* observer) { state_.observer = observer; }

  // What views and tests read of the recorder's state: copies, taken under the device lock
  // where the devices are concerned. Core thread.
  std::optional<DeviceEntry> Device(int32_t id);
  std::vector<DeviceEntry> Devices();
  int32_t SplitMinutes() const { return state_.settings.split_minutes; }
  SettingsBlock Settings() const { return state_.settings; }
  char CurrentDrive() const { return state_.current_drive; }
  uint32_t CurrentReserve() const { return state_.current_reserve; }
  bool DisksFull() const { return state_.disks_full.load(); }
  std::string SkippedFolder() const { return state_.skipped_folder; }
  const std::string& Home() const { return config_.home; }
  // The id the next device added will get ("device %d" of the device dialog).
  int32_t NextDeviceId();

  // Start of the recorder: the library, Local.dat, Schedule.dat, the devices, the drive, the
  // watchdog, the worker threads, the timers, the last-exit check, the OP_STATE reset and the
  // exit flag "0". After an unclean exit the caller restores (RestoreLastState) when it sees
  // fit: a window after its tip dialog, the service mode at once.
  StartOutcome Start();
  // Connects the manual devices that were connected (OP_STATE 1) or recording (2) before.
  void RestoreLastState();
  // The core steps of the exit: stop the worker threads, tell the watchdog and the replay
  // program, stop the timers and every client, join the threads, write the exit flag "1".
  void Exit();

  // Commands of the device list.
  CoreOutcome ConnectAll();
  CoreOutcome DisconnectAll();
  CoreOutcome RecordAll();
  CoreOutcome StopAll();
  CoreOutcome Connect(int32_t id);
  CoreOutcome Disconnect(int32_t id);
  CoreOutcome Record(int32_t id);
  CoreOutcome StopRecord(int32_t id);
  CoreOutcome DeleteDevice(int32_t id);
  CoreOutcome DeleteAll();

  // Reports of the dialogs.
  int32_t AddDevice(const DeviceRecord& record);  // the new device's id
  ModifyOutcome ModifyDevice(int32_t id, const DeviceRecord& edited);
  void ScheduleDeleted(int32_t schedule_id);
  void ScheduleChanged(int32_t schedule_id);
  std::vector<ScheduleRecord> Schedules();
  void SetSchedules(std::vector<ScheduleRecord> schedules);  // the editor's new array
  // New settings from the settings dialog: watchdog, drive change, Local.dat. Returns 0, or
  // the errno value of writing Local.dat (the new settings are in force all the same).
  int ApplySettings(const SettingsBlock& settings);

  // The log tables (activity_log.h): the user operations are written for, and a row for an
  // operation the core does not run itself (log in, lock, the dialogs' changes).
  void SetOperator(std::string user) { state_.activity.SetOperator(std::move(user)); }
  void LogOperation(OperationCode code) { state_.activity.Operation(code); }

  // Work arriving on the core thread.
  void OnClientNotify(int32_t id, uint32_t code, int32_t value);
  void HandleMonitorActions(const std::vector<MonitorAction>& actions);
  void PingStep(bool answered);
  // One pass of the schedule monitor, handled at once (tests; the thread queues its passes).
  void RunMonitorPass();
  void DiskCheck() { disks_.DiskCheck(); }
  void Heartbeat() { watchdog_.Heartbeat(state_.settings.watchdog != 0); }

  std::vector<RowView> Rows();
  int watchdog_state() const { return watchdog_.state(); }
  // The device whose host was last handed to the ping thread (0: none).
  int32_t ping_device() const { return ping_pending_ ? ping_device_ : 0; }

 private:
  bool LoadDevices();
  bool ConnectEntry(DeviceEntry& entry);
  void StopClient(DeviceEntry& entry);
  void OnWindowMessage(uint32_t msg, uint32_t wparam, int32_t lparam);
  void OnCameraEvent(int32_t id, uint32_t code, int32_t value);
  void HandleMonitorAction(const MonitorAction& action, uint64_t split_ms);
  // Nullptr when both threads run, else the text of the one that did not start.
  const char* StartThreads();
  void StopThreads();
  void StopAllClients();
  void SetOpState(const DeviceEntry& entry, int32_t op_state);

  CoreConfig config_;
  RecordingLibrary& library_;
  RecorderDb& db_;
  CoreLoop loop_;
  RecorderState state_;
  RecordingManager recordings_;
  DiskManager disks_;
  Watchdog watchdog_;
  bool exiting_ = false;

  // Ping block of the core thread: the row at the cursor was handed to the ping thread.
  size_t ping_cursor_ = 0;
  int32_t ping_device_ = 0;
  bool ping_pending_ = false;

  std::unique_ptr<ScheduleMonitor> monitor_;
  std::unique_ptr<PingThread> ping_;
};

}  // namespace nvr
