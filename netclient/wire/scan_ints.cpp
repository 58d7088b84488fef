#include "netclient/wire/scan_ints.h"

#include <cstdint>
#include <limits>

namespace qvnet {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipSpace(std::string_view text, size_t* pos) {
  while (*pos < text.size() && IsSpace(text[*pos])) ++*pos;
}

// One "%d" conversion starting at *pos; false on a matching failure or an out-of-range number.
bool ReadInt(std::string_view text, size_t* pos, int32_t* value) {
  size_t i = *pos;
  SkipSpace(text, &i);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !IsDigit(text[i])) return false;
  // The magnitude of INT32_MIN is one more than INT32_MAX.
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : static_cast<int64_t>(std::numeric_limits<int32_t>::max());
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) return false;
  }
  *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  *pos = i;
  return true;
}

}  // namespace

int ScanInts(std::string_view text, std::string_view format, int32_t* out, size_t max_out) {
  size_t pos = 0;
  size_t count = 0;
  for (size_t f = 0; f < format.size(); ++f) {
    const char fc = format[f];
    if (IsSpace(fc)) {
      SkipSpace(text, &pos);
      continue;
    }
    if (fc == '%' && f + 1 < format.size() && format[f + 1] == 'd') {
      ++f;
      int32_t value = 0;
      if (count >= max_out || out == nullptr || !ReadInt(text, &pos, &value)) break;
      out[count++] = value;
      continue;
    }
    if (pos >= text.size() || text[pos] != fc) break;
    ++pos;
  }
  return static_cast<int>(count);
}

}  // namespace qvnet
