#include "nvr/dialogs/model/device_form.h"

#include "nvr/core/engine/activity_log.h"
#include "nvr/core/engine/strings.h"
#include "nvr/dialogs/model/dialog_texts.h"
#include "nvr/dialogs/model/entry_checks.h"

namespace nvrdlg {
namespace {

std::vector<ScheduleChoice> ScheduleChoices(nvr::RecorderCore& core) {
  std::vector<ScheduleChoice> out{{0, std::string()}};
  for (const nvr::ScheduleRecord& s : core.Schedules()) out.push_back({s.id, ScheduleRecordName(s)});
  return out;
}

// Which field a refusal of CheckDeviceFields is about, as the dialog moves the focus.
FormField FocusOf(const DeviceFields& typed) {
  const std::string name = TrimBlanks(typed.name);
  if (name.empty() || name.find_first_of(kIllegalNameCharacters) != std::string::npos) {
    return FormField::kName;
  }
  return TrimBlanks(typed.url).empty() ? FormField::kHost : FormField::kNone;
}

}  // namespace

DeviceForm::DeviceForm(nvr::RecorderCore& core, nvr::RecorderDb& db, nvr::Language language)
    : DeviceForm(core, db, language, 0, DeviceFields{}) {
  initial_.name = "device " + std::to_string(core.NextDeviceId());
}

DeviceForm::DeviceForm(nvr::RecorderCore& core, nvr::RecorderDb& db, nvr::Language language,
                       int32_t device_id, DeviceFields initial)
    : core_(core),
      db_(db),
      language_(language),
      device_id_(device_id),
      initial_(std::move(initial)),
      schedules_(ScheduleChoices(core)) {}

std::optional<DeviceForm> DeviceForm::ForModify(nvr::RecorderCore& core, nvr::RecorderDb& db,
                                                int32_t id, nvr::Language language) {
  const std::optional<nvr::DeviceEntry> e = core.Device(id);
  if (!e) return std::nullopt;
  return DeviceForm(core, db, language, id, nvr::RecordFromEntry(*e));
}

uint32_t DeviceForm::CaptionId() const {
  return modify_mode() ? nvr::kStrModify : nvr::kStrAddDeviceCaption;
}

uint32_t DeviceForm::OkTextId() const { return modify_mode() ? nvr::kStrModify : nvr::kStrAdd; }

int DeviceForm::ScheduleIndex(int32_t id) const {
  for (size_t i = 1; i < schedules_.size(); ++i) {
    if (schedules_[i].id == id) return static_cast<int>(i);
  }
  return 0;
}

std::vector<int32_t> DeviceForm::Channels() const {
  std::vector<int32_t> out;
  for (int32_t c = 0; c < kMaxChannels; ++c) out.push_back(c);
  if (initial_.channel < 0 || initial_.channel >= kMaxChannels) out.push_back(initial_.channel);
  return out;
}

FormOutcome DeviceForm::Refuse(std::string message, FormField focus) const {
  FormOutcome out;
  out.message = std::move(message);
  out.focus = focus;
  out.device_id = device_id_;
  return out;
}

FormOutcome DeviceForm::Submit(DeviceFields fields) {
  nvr::DeviceRecord device = fields;
  device.alarm_state = 0;  // the dialog always stores 0
  if (const Refusal refusal = CheckDeviceFields(&device, language_)) {
    return Refuse(*refusal, FocusOf(fields));
  }
  return modify_mode() ? Modify(device) : Add(device);
}

FormOutcome DeviceForm::Add(const nvr::DeviceRecord& device) {
  if (const Refusal refusal = CheckDeviceDuplicates(db_, device, language_)) return Refuse(*refusal);
  {
    nvr::DbTransaction transaction(db_.Connection());
    const bool stored = transaction.Begun() && db_.InsertDevice(device) &&
                        (device.schedule_id == 0 || db_.SetScheduleId(device.name, device.schedule_id)) &&
                        transaction.Commit();
    if (!stored) return Refuse(Text(nvr::kStrDeviceAddFailed, language_));
  }
  FormOutcome out;
  out.accepted = true;
  out.device_id = core_.AddDevice(device);
  core_.LogOperation(nvr::kOpAddDevice);
  return out;
}

FormOutcome DeviceForm::Modify(const nvr::DeviceRecord& device) {
  if (const Refusal refusal = CheckModifiedDeviceDuplicates(db_, device, initial_.name, language_)) {
    return Refuse(*refusal);
  }
  if (!db_.UpdateDevice(initial_.name, device)) {
    return Refuse(Text(nvr::kStrModifyFailed, language_));
  }
  FormOutcome out;
  out.accepted = true;
  out.device_id = device_id_;
  out.connection_changed = device.url != initial_.url || device.channel != initial_.channel ||
                           device.rtsp_port != initial_.rtsp_port || device.username != initial_.username ||
                           device.password != initial_.password ||
                           device.stream_type != initial_.stream_type;
  core_.ModifyDevice(device_id_, device);
  core_.LogOperation(nvr::kOpModifyDevice);
  return out;
}

}  // namespace nvrdlg
