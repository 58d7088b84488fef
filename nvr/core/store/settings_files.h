// The recorder's two binary settings files in "<program folder>/NVRData":
//
//   Local.dat     the settings block, exactly 1052 bytes (layout below)
//   Schedule.dat  a 32-bit record count, then 120-byte schedule records
//
// All integers are 32-bit little-endian; there is no header, magic or checksum. Both files are
// rewritten whole through a temporary file and a rename, so a crash leaves the old file or the
// new one, never half of one.
//
// Short or damaged files: the readers take every field the file holds completely and nothing
// else. For Local.dat a field cut short by the end of the file (or beyond it) keeps its default
// (DefaultSettings): a file of only 1044 bytes therefore loads with the watchdog off and the
// hotkey Alt+G, and an empty file loads as the defaults. Bytes after 1052 are ignored. For
// Schedule.dat only whole records are read: a count larger than the records present reads the
// records present, and a count is never trusted to size anything. A schedule name is always
// cut to end inside its 32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nvr/core/store/drives.h"

namespace nvr {

inline constexpr size_t kMaxDriveEntries = 128;
inline constexpr uint32_t kDefaultReserveMb = 500;
inline constexpr int32_t kDefaultSplitMinutes = 60;
inline constexpr int32_t kDefaultDiskFullPolicy = 1;  // 0 stop recording, 1 delete the earliest
inline constexpr int32_t kDefaultHotkey = 71;         // 'G': Alt+G

// One entry of the drive table: letter 0 ends the table.
struct DriveEntry {
  uint8_t letter;      // ASCII upper-case drive letter, 0 = unused
  uint8_t pad[3];      // 0
  uint32_t reserve_mb; // free space recording must leave on the drive
};
static_assert(sizeof(DriveEntry) == 8);

// Local.dat byte for byte.
struct SettingsBlock {
  int32_t split_minutes;                // 0: every recording file is cut after this time
  int32_t disk_full_policy;             // 4
  DriveEntry drives[kMaxDriveEntries];  // 8: the first entry is where recording starts
  int32_t live_log_rows;                // 1032: 500 or 1000
  int32_t autorun;                      // 1036
  int32_t connect_all;                  // 1040: kept, not acted on
  int32_t watchdog;                     // 1044
  int32_t hotkey;                       // 1048: virtual-key code 'A'..'Z'
};
static_assert(sizeof(SettingsBlock) == 1052);
static_assert(offsetof(SettingsBlock, disk_full_policy) == 4);
static_assert(offsetof(SettingsBlock, drives) == 8);
static_assert(offsetof(SettingsBlock, live_log_rows) == 1032);
static_assert(offsetof(SettingsBlock, autorun) == 1036);
static_assert(offsetof(SettingsBlock, connect_all) == 1040);
static_assert(offsetof(SettingsBlock, watchdog) == 1044);
static_assert(offsetof(SettingsBlock, hotkey) == 1048);

// A schedule in memory: the identifier, the seven day codes, starts and ends (hour * 100 +
// minute), then the name. In the file the three values of each slot are kept together.
struct ScheduleRecord {
  int32_t id;
  int32_t day_code[7];
  int32_t start[7];
  int32_t end[7];
  char name[32];  // ends with a 0 byte inside the 32
};
static_assert(sizeof(ScheduleRecord) == 120);
static_assert(offsetof(ScheduleRecord, name) == 88);

inline constexpr size_t kScheduleRecordSize = 120;
// Schedule.dat is read up to this many records (far more than anyone edits by hand).
inline constexpr size_t kMaxSchedules = 10000;

std::string LocalDatPath(const std::string& home);     // "<home>/NVRData/Local.dat"
std::string ScheduleDatPath(const std::string& home);  // "<home>/NVRData/Schedule.dat"

// The drive recording starts on when there are no settings yet: the second fixed drive when
// there are two or more, the only one when there is one, 0 when there is none.
char DefaultDriveLetter(const DriveMap& drives);
// All zero except: drive entry 0 = `drive_letter` with 500 MB reserved, 60-minute files,
// delete-earliest policy, hotkey Alt+G.
SettingsBlock DefaultSettings(char drive_letter);

// Local.dat, or the defaults (drive from `drives`) when it cannot be opened.
SettingsBlock ReadSettings(const std::string& path, const DriveMap& drives);
// Writes the 1052 bytes; false when the file could not be written (callers may ignore it).
bool WriteSettings(const std::string& path, const SettingsBlock& block);

// The records of Schedule.dat in file order; empty when it is missing.
std::vector<ScheduleRecord> ReadSchedules(const std::string& path);
bool WriteSchedules(const std::string& path, const std::vector<ScheduleRecord>& schedules);

// The exact file contents, for the writers and for tests.
std::string EncodeSettings(const SettingsBlock& block);
std::string EncodeSchedules(const std::vector<ScheduleRecord>& schedules);

}  // namespace nvr
