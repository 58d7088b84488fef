// A bounded reader for the fixed numeric line formats of the cameras ("%d*%d*%d*%d\r\n",
// "@%d@%d@%d\n", ...). It behaves like sscanf restricted to "%d" conversions, so answers are
// accepted exactly as the cameras' own firmware tools accept them, but it never reads past the
// view it is given and refuses numbers that do not fit an int32 instead of wrapping them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvnet {

// Reads `text` against `format` and stores the converted numbers into out[0..max_out).
// Format elements: "%d" (optional white space, optional sign, at least one digit), white
// space (matches any run of white space, also none) and any other character (must match
// itself). Returns how many numbers were converted before the first mismatch, as sscanf
// does (0 rather than EOF for an empty text). A number outside int32 stops the scan and is
// not counted. Conversions beyond `max_out` stop the scan as well.
int ScanInts(std::string_view text, std::string_view format, int32_t* out, size_t max_out);

}  // namespace qvnet
