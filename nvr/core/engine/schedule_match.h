// Whether a device's schedule covers a moment. Pure functions over the schedule records.
//
// Day codes: 0 never; 1..7 one weekday (1 Sunday .. 7 Saturday); 8 Monday to Friday; 9 Saturday
// and Sunday; 10 and every other value every day. Times are hour * 100 + minute, both ends
// inside; a slot whose start is after its end never matches (no slot spans midnight).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "nvr/core/store/settings_files.h"

namespace nvr {

// `weekday_code` 1 (Sunday) .. 7, or 0 when the time is unknown; `clock` hour * 100 + minute.
bool SlotMatches(int32_t day_code, int32_t start, int32_t end, int weekday_code, int clock);

// True when the first record with `schedule_id` (or a later one with the same id) has a slot
// matching `local`. `local` null: the time could not be computed (weekday code 0, clock -101).
// An id without record is never in schedule.
bool ScheduleMatches(const std::vector<ScheduleRecord>& schedules, int32_t schedule_id,
                     const std::tm* local);

// The name of the schedule with this id (cut to its 32-byte field); "" for 0 or an unknown id.
std::string ScheduleName(const std::vector<ScheduleRecord>& schedules, int32_t schedule_id);

}  // namespace nvr
