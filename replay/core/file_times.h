// The two times the catalogue shows for a recording: when it was created (its start) and when
// it was last written (its end).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace replay {

struct FileTimes {
  std::optional<int64_t> created;  // seconds since 1970-01-01 UTC
  std::optional<int64_t> written;
};

// Where a search gets the times of the file `name` in the folder open as `dir_fd` (whose path
// is `folder`). nullopt: the file is gone or not a regular file, and is left out.
using FileTimesSource =
    std::function<std::optional<FileTimes>(int dir_fd, const std::string& folder, const std::string& name)>;

// The file system's answer: the birth time where the file system keeps one, else the start
// time in the recording's name, else the last-write time; and the last-write time.
std::optional<FileTimes> ReadFileTimes(int dir_fd, const std::string& folder, const std::string& name);

// "%Y%m%d %H:%M:%S" in local time; "" without a time or when it cannot be converted.
std::string FormatFileTime(std::optional<int64_t> seconds);

// hour * 10000 + minute * 100 + second of the local time; nullopt when it cannot be converted.
std::optional<int> LocalTimeOfDay(int64_t seconds);

}  // namespace replay
