// The schedule monitor: a worker thread that looks at every device five times a second and asks
// the core thread to connect devices entering their schedule, start their recording, disconnect
// them when it ends, and split every recording (scheduled or manual) after the split length.
//
// It never calls the recording library and never changes a device entry: it scans under the
// device lock and queues its requests to the core thread without waiting for them, so the core
// thread may take the device lock at any time without a lock-order hazard. The core handles a
// request only after checking the entry again (connect only without a client, start only when
// connected and not recording, ...), so a request made stale by what happened meanwhile does
// nothing. While one batch of requests waits to be handled, the monitor asks nothing new:
// like a synchronous request, a slow core thread is never flooded with repeats.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "nvr/core/engine/recorder_state.h"
#include "nvr/core/store/text_log.h"
#include "platform/jthread.h"
#include "platform/sync.h"
#include "platform/tick_clock.h"

namespace nvr {

enum class MonitorRequest : uint32_t {
  kSplit = 1224,        // split the recording
  kStartRecord = 1225,  // start recording
  kConnect = 1227,      // connect the device
  kDisconnect = 1228,   // stop the client
};

struct MonitorAction {
  MonitorRequest request;
  int32_t device_id;
  bool operator==(const MonitorAction&) const = default;
};

// Split length in milliseconds; a split length that is not positive (only a damaged settings
// file holds one) counts as the default 60 minutes rather than a new file on every pass.
uint64_t SplitLengthMs(int32_t split_minutes);

// True when a recording started at tick `record_start` has run for `split_ms` at `now`. Counted
// as an unsigned difference, so a start near the wrap of the tick counter is split after the
// split length, not at once.
bool SplitDue(uint32_t record_start, qvp::Tick now, uint64_t split_ms);

// One scan of the devices at tick `now` and local time `local` (null: unknown). Empty when the
// disks are full. Takes the device lock and, inside it, the schedule lock.
std::vector<MonitorAction> ScanDevices(RecorderState& state, qvp::Tick now, const std::tm* local);

class ScheduleMonitor : public qvp::JThread {
 public:
  // Queues a batch to the core thread; false when it cannot be queued.
  using BatchSink = std::function<bool(std::vector<MonitorAction>)>;

  static constexpr uint32_t kFirstWaitMs = 600;
  static constexpr uint32_t kPassWaitMs = 200;
  static constexpr uint32_t kDisksFullWaitMs = 500;

  // `local_time` empty: the real local time.
  ScheduleMonitor(RecorderState& state, LocalTimeSource local_time, BatchSink sink);
  ~ScheduleMonitor() override;

  // Starts the thread with the run flag set.
  int Begin();
  // Clears the run flag and wakes the thread; Join() waits for it.
  void Stop();
  bool Ended() const { return ended_.load(); }
  // The core thread has handled the last batch.
  void BatchHandled() { batch_pending_.store(false); }

 protected:
  void Thread() override;

 private:
  void Pass();

  RecorderState& state_;
  LocalTimeSource local_time_;
  BatchSink sink_;
  std::atomic<bool> run_{false};
  std::atomic<bool> ended_{true};
  std::atomic<bool> batch_pending_{false};
  qvp::Event wake_{true, false};
};

}  // namespace nvr
