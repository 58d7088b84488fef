// The device dialog ("Device configuration") without its widgets: the initial values of its
// two modes, the schedule and channel choices, and OK with every check in its order and its
// message, the database statements and the report to the recorder core.
//
// Add mode proposes "device <next id>", port 554, channel 1, the primary stream and no
// schedule. Modify mode starts from the device as the core holds it; a device found by
// discovery on a channel beyond the list's four keeps that channel (it is offered as a fifth
// item), so saving it unchanged never moves it to another channel.
//
// OK stops at the first problem and leaves the dialog open with the entries as they were
// typed: 146 empty name, 121 illegal character in the name (focus on the name, text
// selected), 257 empty host (focus on the host), then 114 / 259 / 155 from the database, then
// 144 or 189 when the statement fails. Nothing is half stored: a new device and its schedule
// are written in one transaction, and the core hears of the device only once it is stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/strings.h"
#include "nvr/core/store/recorder_db.h"

namespace nvrdlg {

// What the controls hold: name, host (url), user (username), password, RTSP port, channel
// (0-based; the list shows channel + 1), stream type (0 primary, 1 secondary) and schedule id
// (0: "Select a Schedule"). The other fields of the row are not the dialog's.
using DeviceFields = nvr::DeviceRecord;

// An item of the schedule list; the first has id 0 and stands for "Select a Schedule".
struct ScheduleChoice {
  int32_t id = 0;
  std::string name;
};

enum class FormField { kNone, kName, kHost };

struct FormOutcome {
  bool accepted = false;  // stored and reported: the dialog closes with OK
  std::string message;    // the box to show when refused
  FormField focus = FormField::kNone;  // the field that gets the focus (the name: text selected)
  int32_t device_id = 0;  // the device in the core (the new one, or the one modified)
  // Modify: host, channel, port, user, password or stream changed, so a live view of the
  // device must restart on the primary stream (whether or not it was connected for recording).
  bool connection_changed = false;
};

class DeviceForm {
 public:
  // Add mode.
  DeviceForm(nvr::RecorderCore& core, nvr::RecorderDb& db, nvr::Language language);
  // Modify mode for the core's device `id`; nullopt when there is no such device.
  static std::optional<DeviceForm> ForModify(nvr::RecorderCore& core, nvr::RecorderDb& db,
                                             int32_t id, nvr::Language language);

  bool modify_mode() const { return device_id_ != 0; }
  uint32_t CaptionId() const;   // 109 "Add a Device" or 184 "Modify"
  uint32_t OkTextId() const;    // 183 "Add" or 184 "Modify"
  const DeviceFields& Initial() const { return initial_; }
  const std::vector<ScheduleChoice>& Schedules() const { return schedules_; }
  // The list index of the schedule with `id` (0, "Select a Schedule", for 0 or an unknown id).
  int ScheduleIndex(int32_t id) const;
  // The channels the channel list offers (0-based): 0..3, and the device's own beyond them.
  std::vector<int32_t> Channels() const;

  FormOutcome Submit(DeviceFields fields);

 private:
  DeviceForm(nvr::RecorderCore& core, nvr::RecorderDb& db, nvr::Language language,
             int32_t device_id, DeviceFields initial);
  FormOutcome Refuse(std::string message, FormField focus = FormField::kNone) const;
  FormOutcome Add(const nvr::DeviceRecord& device);
  FormOutcome Modify(const nvr::DeviceRecord& device);

  nvr::RecorderCore& core_;
  nvr::RecorderDb& db_;
  nvr::Language language_;
  int32_t device_id_ = 0;  // 0: add mode
  DeviceFields initial_;
  std::vector<ScheduleChoice> schedules_;
};

}  // namespace nvrdlg
