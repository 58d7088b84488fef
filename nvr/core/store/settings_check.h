// The settings files as the recorder loads them: read, every field checked against the range the
// recorder can use, and a damaged file repaired. The files have no checksum, so a file of random
// bytes reads "successfully": without these checks it turned the watchdog on, set a split of
// minus two billion minutes and lost every drive, and a flipped byte in Schedule.dat gave a
// schedule that could never match, its device silently never recording.
//
// A field out of range takes its default; a drive entry that is no drive (a letter other than
// 'A'..'Z', one after the end of the table, a letter listed twice) is dropped, and a table left
// without drives gets the default drive; a schedule record that is not sound (identifier not
// positive or taken twice, a day code outside 0..10, a time that is no clock time, a name without
// its terminator) is dropped. Each problem is one line for the text log. A file that had any is
// kept as "<name>.bad" beside the checked contents written in its place, so nothing is lost.
#pragma once

#include <string>
#include <vector>

#include "nvr/core/store/drives.h"
#include "nvr/core/store/settings_files.h"

namespace nvr {

inline constexpr int32_t kMaxSplitMinutes = 24 * 60;
// A reserve beyond this (1 TiB) is damage: it would make every drive count as full and the
// clean-up delete recordings at every check.
inline constexpr uint32_t kMaxReserveMb = 1u << 20;

// Problems of the block's fields, fixed in place.
std::vector<std::string> CheckSettings(SettingsBlock* block, char default_drive);
// Records that are not sound, removed from `schedules`.
std::vector<std::string> CheckSchedules(std::vector<ScheduleRecord>* schedules);

// Local.dat (defaults when it is missing), checked; a damaged file is repaired as above.
// `problems` receives the log lines (may be null).
SettingsBlock LoadSettingsFile(const std::string& home, const DriveMap& drives,
                               std::vector<std::string>* problems);
// Schedule.dat (empty when missing), checked; a damaged file is repaired as above.
std::vector<ScheduleRecord> LoadScheduleFile(const std::string& home,
                                             std::vector<std::string>* problems);

}  // namespace nvr
