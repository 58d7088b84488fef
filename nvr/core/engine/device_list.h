// The device array of the recorder in list order, guarded by the device lock, and the
// parameters a device's recording client is started with.
//
// The device lock is recursive, like the critical section it stands for: whole-array
// operations (stop all, restart all on a new drive) are also called from inside other
// operations that already hold it. Every access to the entries holds the lock; the core thread
// is the only writer, the schedule monitor thread reads during its scans.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "nvr/core/engine/device_entry.h"
#include "nvr/core/store/recorder_db.h"
#include "platform/window_registry.h"

namespace nvr {

using DeviceLock = std::unique_lock<std::recursive_mutex>;

// Notification message of a device's recording client: this base + device id.
inline constexpr uint32_t kClientMessageBase = 9024;

class DeviceList {
 public:
  DeviceLock Lock() { return DeviceLock(lock_); }

  // The functions below expect the caller to hold the lock.
  std::vector<DeviceEntry>& Entries() { return entries_; }
  size_t Size() const { return entries_.size(); }
  DeviceEntry* FindById(int32_t id);
  // Row of the device, or -1.
  int RowOf(int32_t id) const;
  // Appends an entry for `record` with the next running id.
  DeviceEntry& Append(const DeviceRecord& record);
  void RemoveRow(size_t row);
  void Clear() { entries_.clear(); }
  int32_t NextId() const { return next_id_; }

 private:
  std::recursive_mutex lock_;
  std::vector<DeviceEntry> entries_;
  int32_t next_id_ = 1;
};

// Identity fields of an entry from a database row; the client state starts cleared.
DeviceEntry EntryFromRecord(const DeviceRecord& record);
// The identity of an entry as a database row (what the device dialog edits).
DeviceRecord RecordFromEntry(const DeviceEntry& entry);

// Recording client parameters of `entry`: its transport (RTSP interleaved in TCP unless the
// device says UDP), stream number channel (+4 for the secondary stream), notifications to
// `window` as message 9024 + id, "host:port" (or the device's rtsp:// URL), "admin", user and
// password. nullopt when the address, user or password does not fit its
// field: a cut address could reach another host, a cut credential can never log in.
std::optional<NvrClientParams> MakeClientParams(const DeviceEntry& entry,
                                                qvp::WindowHandle window);

}  // namespace nvr
