#include "nvr/core/store/text_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/folder.h"

namespace nvr {
namespace {

std::mutex& TimeSourceLock() {
  static std::mutex lock;
  return lock;
}

LocalTimeSource& TimeSource() {
  static LocalTimeSource source;
  return source;
}

std::tm CurrentLocalTime() {
  {
    std::lock_guard<std::mutex> guard(TimeSourceLock());
    if (TimeSource()) return TimeSource()();
  }
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string FormatMessage(const char* format, va_list args) {
  std::vector<char> buf(kMaxLogMessage + 1);
  const int n = vsnprintf(buf.data(), buf.size(), format, args);
  if (n <= 0) return std::string();
  return std::string(buf.data(), std::min(static_cast<size_t>(n), kMaxLogMessage));
}

}  // namespace

void SetLogTimeSource(LocalTimeSource source) {
  std::lock_guard<std::mutex> guard(TimeSourceLock());
  TimeSource() = std::move(source);
}

std::string LogFilePath(const std::tm& local_time) {
  char date[32];
  if (strftime(date, sizeof date, "%Y-%m-%d", &local_time) == 0) date[0] = '\0';
  return qvp::ProgramFolder() + "/log/" + date + ".txt";
}

std::string TimestampedLine(const std::tm& local_time, const char* format, va_list args) {
  char stamp[32];
  if (strftime(stamp, sizeof stamp, "%H:%M:%S ", &local_time) == 0) stamp[0] = '\0';
  return stamp + FormatMessage(format, args);
}

std::string TimestampedLineNow(const char* format, va_list args) {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return TimestampedLine(local, format, args);
}

void WriteLog(const char* format, ...) {
  if (format == nullptr) return;
  try {
    const std::tm now = CurrentLocalTime();
    va_list args;
    va_start(args, format);
    std::string line = TimestampedLine(now, format, args);
    va_end(args);
    if (line.back() != '\n') line += '\n';
    // Creates the day's file, never the folder: without the folder the open fails.
    const int fd = open(LogFilePath(now).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const ssize_t written = write(fd, line.data(), line.size());
    (void)written;  // a log that cannot be written is not reported anywhere
    close(fd);
  } catch (...) {
    // Logging never takes the caller down.
  }
}

}  // namespace nvr
