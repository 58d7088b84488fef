// Profile files ("config.ini"): our reader and writer with the behaviour the recorder was
// written against.
//
//   - "[section]" headers and "key=value" lines; section and key names compare without regard
//     to ASCII case; names and values are trimmed of blanks and tabs; a value wrapped in a pair
//     of double or single quotes loses them.
//   - Lines whose first non-blank character is ';' or '#' are comments; a ';' after a value is
//     part of the value. Lines that are neither header, key nor comment are ignored.
//   - The first section of a name and, inside it, the first line of a key win.
//   - A missing or unreadable file reads as empty. Only the first kIniMaxFileSize bytes of a
//     larger file are read, and such a file is never rewritten (EFBIG).
//   - Lines end at '\n'; carriage returns before it are part of the line ending, however many.
//   - Writes rewrite the whole file atomically (atomic_file.h), keeping every other section,
//     key, comment, blank line and the order as they were, and the file's line ending (CRLF or
//     LF). A new key goes after the last key of its section; a new section goes at the end.
//
// Reads return the whole value; callers that mirror a fixed buffer cut it with CutToBuffer.
// Writes return 0 or an errno value, so callers can log the failure with its number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nvr {

inline constexpr size_t kIniMaxFileSize = 1u << 20;

// The value of `key` in `section`; nullopt when the file, the section or the key is missing.
std::optional<std::string> ReadIniString(const std::string& path, std::string_view section,
                                         std::string_view key);

// The value parsed as a decimal number (ParseDecimal); `fallback` when the key is missing.
int32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                   int32_t fallback);

// Every key and value of `section` in file order (the first section of that name); nullopt
// when there is no such section.
std::optional<std::vector<std::pair<std::string, std::string>>> ReadIniSection(
    const std::string& path, std::string_view section);

// Sets `key` in `section` to `value`, adding the key or the section as needed. EINVAL for a
// name or value that the format cannot hold (line breaks, '=' or a leading '[', ';', '#' in a
// key, ']' in a section, empty names); EFBIG for a file over kIniMaxFileSize.
int WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

// Removes `key` from `section`; a key that is not there is no error.
int DeleteIniKey(const std::string& path, std::string_view section, std::string_view key);

// The first `buffer_size` - 1 bytes of `value`: what a read into a terminated buffer of that
// size yields.
std::string CutToBuffer(std::string_view value, size_t buffer_size);

// A decimal parse in the manner of atoi: leading blanks, an optional sign, then digits up to
// the first other character; no digits give 0; values beyond 32 bits are clamped.
int32_t ParseDecimal(std::string_view text);

}  // namespace nvr
