// The recorder's daily text log: "<program folder>/log/YYYY-MM-DD.txt" (local date), one line
// per call, "HH:MM:SS " followed by the message. The formats are in log_messages.h.
//
// The log folder is never created: without it nothing is written and nothing is reported, so
// logging is switched on by making the folder. The file is opened, appended to with a single
// write(2) and closed for every line, so lines of several writers never interleave and an
// external rotation or deletion is picked up at the next line.
#pragma once

#include <cstdarg>
#include <ctime>
#include <functional>
#include <string>

namespace nvr {

// Writes one line. A message that does not end in a line break gets "\n", so that the next
// line starts on its own. Messages are cut at kMaxLogMessage bytes.
void WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline constexpr size_t kMaxLogMessage = 8192;

// The broken-down local time the log stamps its lines with. Tests install their own;
// an empty function restores the real clock (localtime_r of time()).
using LocalTimeSource = std::function<std::tm()>;
void SetLogTimeSource(LocalTimeSource source);

// The file a line written now goes to: "<program folder>/log/%Y-%m-%d.txt".
std::string LogFilePath(const std::tm& local_time);

// "%H:%M:%S " + the formatted message (cut at kMaxLogMessage), without a line end: the shape
// of every log and status line of the recorder's programs.
std::string TimestampedLine(const std::tm& local_time, const char* format, va_list args);
// The same with the current local time (the real clock, not the log's test time source).
std::string TimestampedLineNow(const char* format, va_list args);

}  // namespace nvr
