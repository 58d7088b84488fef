// What the recorder holds while it runs, shared by the core's parts: the device array, the
// schedules, the settings, the recording drive and the disks-full flag. The core thread owns
// all of it; the schedule monitor thread reads the devices under the device lock, the schedules
// under the schedule lock (always in that order) and the two atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "nvr/core/engine/activity_log.h"
#include "nvr/core/engine/device_list.h"
#include "nvr/core/store/settings_files.h"

namespace nvr {

// How a view learns that rows changed. Called on the core thread; the view reads the rows
// back through RecorderCore::Rows().
class CoreObserver {
 public:
  virtual ~CoreObserver() = default;
  virtual void DeviceChanged(int32_t /*id*/) {}  // status texts, image, schedule name
  virtual void DeviceAdded(int32_t /*id*/) {}
  virtual void DeviceRemoved(int32_t /*id*/) {}  // later rows move up and renumber
  virtual void DevicesCleared() {}
  // Something the person running the recorder must learn of: a recording that did not start,
  // a connection that failed, a drive that went away or came back. `id` is the device (0: the
  // recorder as a whole). The same text is in the daily text log.
  virtual void Notice(int32_t /*id*/, const std::string& /*text*/) {}
};

struct RecorderState {
  RecorderState() { SetSettings(DefaultSettings(0)); }

  // Settings are written on the core thread only; the monitor reads its copy of the split
  // length.
  void SetSettings(const SettingsBlock& block) {
    settings = block;
    split_minutes.store(block.split_minutes, std::memory_order_relaxed);
  }
  // Writes `text` to the text log ("<device name>: " in front when `id` names a device) and
  // hands it to the observer. Core thread.
  void Notice(int32_t id, const std::string& text);

  // Row refresh after a change of `entry` (device lock held): a connected device shows the
  // "reachable" image whatever the last ping found.
  void Refresh(DeviceEntry& entry) {
    if (entry.state == kStateConnected) entry.row_image = kImageReachable;
    if (observer != nullptr) observer->DeviceChanged(entry.id);
  }

  DeviceList devices;
  std::mutex schedule_lock;
  std::vector<ScheduleRecord> schedules;  // under schedule_lock
  SettingsBlock settings{};
  std::atomic<int32_t> split_minutes{kDefaultSplitMinutes};
  // Set when recording stopped for lack of space: nothing is started meanwhile.
  std::atomic<bool> disks_full{false};
  char current_drive = 0;          // where new files go
  uint32_t current_reserve = 0;    // megabytes that drive must keep free
  std::string skipped_folder;      // day folder the clean-up passes over
  CoreObserver* observer = nullptr;
  // Rows of the log tables (core thread); writes nothing until the core attaches its database.
  ActivityLog activity;
};

}  // namespace nvr
