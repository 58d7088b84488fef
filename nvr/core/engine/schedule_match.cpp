#include "nvr/core/engine/schedule_match.h"

#include <cstring>

namespace nvr {

bool SlotMatches(int32_t day_code, int32_t start, int32_t end, int weekday_code, int clock) {
  if (day_code == 0) return false;
  if (day_code >= 1 && day_code <= 7 && day_code != weekday_code) return false;
  const bool weekend = weekday_code == 1 || weekday_code == 7;
  if (day_code == 8 && weekend) return false;
  if (day_code == 9 && weekday_code >= 2 && weekday_code <= 6) return false;
  return start <= clock && clock <= end;
}

bool ScheduleMatches(const std::vector<ScheduleRecord>& schedules, int32_t schedule_id,
                     const std::tm* local) {
  const int weekday_code = local != nullptr ? local->tm_wday + 1 : 0;
  const int clock = local != nullptr ? local->tm_hour * 100 + local->tm_min : -1 * 100 + -1;
  for (const ScheduleRecord& record : schedules) {
    if (record.id != schedule_id) continue;
    for (int k = 0; k < 7; ++k) {
      if (SlotMatches(record.day_code[k], record.start[k], record.end[k], weekday_code, clock)) {
        return true;
      }
    }
  }
  return false;
}

std::string ScheduleName(const std::vector<ScheduleRecord>& schedules, int32_t schedule_id) {
  if (schedule_id == 0) return std::string();
  for (const ScheduleRecord& record : schedules) {
    if (record.id == schedule_id) return std::string(record.name, strnlen(record.name, sizeof record.name));
  }
  return std::string();
}

}  // namespace nvr
