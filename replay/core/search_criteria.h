// What the user asks the catalogue for: a date and time range, a range of drives, a device by
// name or address, a channel and a file type; the checks made before a search runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace replay {

// Indexes of the "File Type" and "Search By" lists.
enum class FileType { kAll = 0, kNormal = 1, kAlarm = 2 };
enum class SearchBy { kName = 0, kAddress = 1 };

struct DateTimeFields {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// A recording drive as the lists offer it: its letter and its storage root.
struct Drive {
  char letter = 'C';
  std::string root;
};

struct SearchCriteria {
  DateTimeFields start;
  DateTimeFields end;
  size_t start_drive = 0;  // indexes into the drive list
  size_t end_drive = 0;
  SearchBy by = SearchBy::kName;
  std::string device_name;
  uint32_t address = 0;  // most significant byte first; 0 = any device
  int channel = 0;       // 0 = all channels
  FileType type = FileType::kAll;
};

// 0 when the search may run, else the number of the text to show: the end drive before the
// start drive (139), the end before the start (154).
uint32_t CheckCriteria(const SearchCriteria& criteria);

// The device part of the masks: the name with blanks trimmed at both ends, or the address as
// "a.b.c.d"; "" selects every device.
std::string DeviceKey(const SearchCriteria& criteria);

// The address typed as "a.b.c.d", most significant byte first: blank or missing fields count
// as 0, so an empty entry is 0 (any device). nullopt for a field that is not 0..255.
std::optional<uint32_t> ParseAddress(const std::string& text);

// The time of day as hour * 10000 + minute * 100 + second.
inline int TimeOfDayValue(int hour, int minute, int second) { return hour * 10000 + minute * 100 + second; }

// Whether a recording started at `time_of_day` passes the time range. A range whose start is
// after its end (23:00 to 01:00) spans midnight: times from the start on or up to the end pass.
bool TimeOfDayPasses(int time_of_day, const SearchCriteria& criteria);

}  // namespace replay
