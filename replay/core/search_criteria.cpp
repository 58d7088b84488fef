#include "replay/core/search_criteria.h"

#include <cstdio>

#include "replay/core/record_names.h"
#include "replay/core/replay_strings.h"

namespace replay {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Seconds-resolution ordering value of a composite date and time.
uint64_t Ordinal(const DateTimeFields& t) {
  return static_cast<uint64_t>(DateValue(t.year, t.month, t.day)) * 1000000u +
         static_cast<uint64_t>(TimeOfDayValue(t.hour, t.minute, t.second));
}

}  // namespace

uint32_t CheckCriteria(const SearchCriteria& criteria) {
  if (criteria.end_drive < criteria.start_drive) return kStrDriveOrder;
  if (Ordinal(criteria.end) < Ordinal(criteria.start)) return kStrTimeOrder;
  return 0;
}

std::string DeviceKey(const SearchCriteria& criteria) {
  if (criteria.by == SearchBy::kName) return Trimmed(criteria.device_name);
  if (criteria.address == 0) return "";
  const uint32_t a = criteria.address;
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
  return text;
}

std::optional<uint32_t> ParseAddress(const std::string& text) {
  uint32_t address = 0;
  size_t begin = 0;
  for (int field = 0; field < 4; ++field) {
    const size_t dot = field < 3 ? text.find('.', begin) : std::string::npos;
    const std::string part = Trimmed(text.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin));
    if (part.size() > 3) return std::nullopt;
    uint32_t value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 255) return std::nullopt;
    address = (address << 8) | value;
    if (dot == std::string::npos) {
      address <<= 8 * (3 - field);
      return address;
    }
    begin = dot + 1;
  }
  return address;
}

bool TimeOfDayPasses(int time_of_day, const SearchCriteria& criteria) {
  const int from = TimeOfDayValue(criteria.start.hour, criteria.start.minute, criteria.start.second);
  const int to = TimeOfDayValue(criteria.end.hour, criteria.end.minute, criteria.end.second);
  if (from <= to) return from <= time_of_day && time_of_day <= to;
  return time_of_day >= from || time_of_day <= to;
}

}  // namespace replay
