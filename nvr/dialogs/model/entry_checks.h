// The checks a device or a schedule passes before it is stored: those of the device dialog and
// the schedule editor, in their order and with their texts, plus what a command line needs on
// top (the length limits and number ranges the dialogs' controls enforce by themselves). The
// dialogs' models and the setup commands of QV_NVR both use them.
// A refusal is the text to show; nullopt means the entry may be stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/store/recorder_db.h"
#include "nvr/core/store/settings_files.h"
#include "nvr/core/engine/strings.h"
#include "nvrclient/include/QVNVRClient.h"

namespace nvrdlg {

using Refusal = std::optional<std::string>;

inline constexpr size_t kMaxDeviceNameChars = 63;
// What the recording library connects to; a longer host could never be recorded.
inline constexpr size_t kMaxHostBytes = QVNVR_MAX_HOST_LENGTH;
inline constexpr size_t kMaxCredentialBytes = 31;
inline constexpr size_t kMaxScheduleNameBytes = 31;
inline constexpr int kMaxChannels = 4;  // the device dialog's channel list
// Discovery adds one device per channel a camera announces (one byte: up to 255 channels).
inline constexpr int kMaxDeviceChannels = 256;
inline constexpr size_t kMaxSlots = 7;
// Characters a device name cannot hold (they would break file names and statements).
inline constexpr char kIllegalNameCharacters[] = "\"'*/:<>?\\|";

// Blanks (spaces and tabs) removed from both ends.
std::string TrimBlanks(const std::string& text);

// Name and host are trimmed in place, then: empty name (146), an illegal character in the
// name (121), empty host (257), quotes in host, user or password (121: the dialog's fields
// cannot take them), control characters anywhere (a tab or a line break in a name would
// break the file names, the log and the list), then the length limits.
Refusal CheckDeviceFields(nvr::DeviceRecord* device, nvr::Language language);
// Duplicate name (259) and duplicate host + channel + port + stream URL (155); 114 when the
// table cannot be read.
Refusal CheckDeviceDuplicates(nvr::RecorderDb& db, const nvr::DeviceRecord& device,
                              nvr::Language language);
// The same for the device now called `old_name`: the name is looked up only when it changed
// (case-sensitive), and the device itself never counts as a duplicate, so "gate" may become
// "Gate" although names compare without regard to case.
Refusal CheckModifiedDeviceDuplicates(nvr::RecorderDb& db, const nvr::DeviceRecord& device,
                                      const std::string& old_name, nvr::Language language);

struct SlotInput {
  int32_t day_code = 0;
  int32_t start = 0;  // hour * 100 + minute
  int32_t end = 0;
};

// Day code from its number (0..10) or a name: close, sun, mon, tue, wed, thu, fri, sat,
// weekdays, weekend, everyday.
std::optional<int32_t> ParseDayCode(const std::string& text);
// "HHMM" as one number (800 = 08:00) or "HH:MM"; nullopt outside 00:00..23:59.
std::optional<int32_t> ParseClock(const std::string& text);

// The check of the schedule editor's Add and Edit: name trimmed in place; empty name (142); a
// name that differs from `picked_name` (the schedule being edited, "" when adding) and that
// another schedule has (259); end before start on a slot that is not closed (156); then the
// name must fit its field (31 bytes) and there are 1 to 7 slots.
Refusal CheckScheduleFields(std::string* name, const std::string& picked_name,
                            const std::vector<SlotInput>& slots,
                            const std::vector<nvr::ScheduleRecord>& existing,
                            nvr::Language language);
// The schedule editor's Add: a name some schedule has already (149), then the check above.
Refusal CheckNewSchedule(std::string* name, const std::vector<SlotInput>& slots,
                         const std::vector<nvr::ScheduleRecord>& existing, nvr::Language language);
// The name of a schedule record (its field up to the 0 byte).
std::string ScheduleRecordName(const nvr::ScheduleRecord& record);

// A record for a new schedule with `id`; slots beyond those given stay closed at 00:00.
nvr::ScheduleRecord MakeSchedule(int32_t id, const std::string& name,
                                 const std::vector<SlotInput>& slots);
// An identifier like the editor's (the tick count), positive and unused by `existing`.
int32_t NewScheduleId(uint32_t tick, const std::vector<nvr::ScheduleRecord>& existing);

// "EVERY DAY", "MON. TO FRI." ... as the editor lists the day codes.
const char* DayCodeName(int32_t day_code);

}  // namespace nvrdlg
