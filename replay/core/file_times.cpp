#include "replay/core/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "nvr/core/store/folder_scan.h"
#include "replay/core/search_criteria.h"

namespace replay {
namespace {

std::optional<std::tm> LocalTime(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  std::tm out{};
  if (localtime_r(&t, &out) == nullptr) return std::nullopt;
  return out;
}

}  // namespace

std::optional<FileTimes> ReadFileTimes(int dir_fd, const std::string&, const std::string& name) {
  struct statx stx {};
  // Our own recordings are plain files: a link is not followed out of the day folder.
  if (statx(dir_fd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_BTIME | STATX_MTIME,
            &stx) != 0) {
    return std::nullopt;
  }
  if (!S_ISREG(stx.stx_mode)) return std::nullopt;
  FileTimes times;
  times.written = stx.stx_mtime.tv_sec;
  if ((stx.stx_mask & STATX_BTIME) != 0) {
    times.created = stx.stx_btime.tv_sec;
  } else if (const std::optional<int64_t> start = nvr::StartTimeFromFileName(name)) {
    times.created = *start;
  } else {
    times.created = times.written;
  }
  return times;
}

std::string FormatFileTime(std::optional<int64_t> seconds) {
  if (!seconds) return "";
  const std::optional<std::tm> t = LocalTime(*seconds);
  if (!t) return "";
  char text[64];
  if (std::strftime(text, sizeof text, "%Y%m%d %H:%M:%S", &*t) == 0) return "";
  return text;
}

std::optional<int> LocalTimeOfDay(int64_t seconds) {
  const std::optional<std::tm> t = LocalTime(seconds);
  if (!t) return std::nullopt;
  return TimeOfDayValue(t->tm_hour, t->tm_min, t->tm_sec);
}

}  // namespace replay
