// The replay window's export rules that need no window: the part the slider's marks enclose
// and the name an export gets by default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace replay {

// The marks set on the position slider, in seconds (either may be missing).
struct SliderMarks {
  std::optional<uint32_t> start;
  std::optional<uint32_t> end;
  bool Any() const { return start.has_value() || end.has_value(); }
};

// A part of the file in seconds: from `from_s` (0: the start), to `to_s` (none: the end).
struct ExportPart {
  uint32_t from_s = 0;
  std::optional<uint32_t> to_s;
};

// The part the marks enclose in a file of `total_s` seconds: a start alone runs to the end, an
// end alone from the beginning; marks set the wrong way round are taken in order. Nullopt
// without marks or when they enclose nothing (start and end on the same second).
std::optional<ExportPart> MarkedPart(const SliderMarks& marks, uint32_t total_s);

// "<folder>/<name>.<extension>" for the recording at `input` (its .h264 replaced), or
// "<name>_<from>-<to>s.<extension>" for a part.
std::string DefaultExportPath(const std::string& input, const std::string& extension,
                              const std::optional<ExportPart>& part);

}  // namespace replay
