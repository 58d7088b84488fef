// The rules of the dialogs' text fields, whatever draws them: the fields of names, hosts, users
// and passwords never hold a quote (the recorder's fields always kept them out) nor a control
// character (a tab or a line break would break file names, the log and the lists), and each is
// limited as the field it is stored in: the device name to 63 characters, the others in UTF-8
// bytes, cut only at a character boundary so that Chinese text never loses half a character.
// A view applies FitTextField to everything that enters a field: typed, pasted or dropped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nvrdlg {

enum class TextField { kDeviceName, kHost, kUser, kPassword, kScheduleName };

// What `field` keeps of `text`: quotes and control characters dropped, then cut to its limit.
std::string FitTextField(TextField field, std::string_view text);

// Quotes (' and ") and control characters (below 0x20, 0x7F) removed.
std::string DropQuotesAndControls(std::string_view text);
// The longest start of `text` with at most `max_bytes` bytes that ends at a character boundary.
std::string CutUtf8Bytes(std::string_view text, size_t max_bytes);
// The longest start of `text` with at most `max_chars` characters.
std::string CutUtf8Chars(std::string_view text, size_t max_chars);

}  // namespace nvrdlg
