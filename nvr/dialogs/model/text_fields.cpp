#include "nvr/dialogs/model/text_fields.h"

#include "nvr/dialogs/model/entry_checks.h"

namespace nvrdlg {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string DropQuotesAndControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\'' || c == '"' || u < 0x20 || u == 0x7F) continue;
    out.push_back(c);
  }
  return out;
}

std::string CutUtf8Bytes(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return std::string(text);
  size_t end = max_bytes;
  while (end > 0 && IsContinuation(text[end])) --end;
  return std::string(text.substr(0, end));
}

std::string CutUtf8Chars(std::string_view text, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(text[i])) continue;
    if (chars == max_chars) return std::string(text.substr(0, i));
    ++chars;
  }
  return std::string(text);
}

std::string FitTextField(TextField field, std::string_view text) {
  const std::string kept = DropQuotesAndControls(text);
  switch (field) {
    case TextField::kDeviceName: return CutUtf8Chars(kept, kMaxDeviceNameChars);
    case TextField::kHost: return CutUtf8Bytes(kept, kMaxHostBytes);
    case TextField::kUser:
    case TextField::kPassword: return CutUtf8Bytes(kept, kMaxCredentialBytes);
    case TextField::kScheduleName: return CutUtf8Bytes(kept, kMaxScheduleNameBytes);
  }
  return kept;
}

}  // namespace nvrdlg
