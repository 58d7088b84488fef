#include "replay/core/record_names.h"

#include <ctime>

namespace replay {
namespace {

constexpr size_t kMaxDateField = 9;     // read through a 10-byte buffer
constexpr size_t kMaxChannelField = 8;  // read through a 9-byte buffer

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

bool EqualsFolded(std::string_view name, size_t at, const std::string& lower) {
  if (at + lower.size() > name.size()) return false;
  for (size_t i = 0; i < lower.size(); ++i) {
    if (Lower(name[at + i]) != lower[i]) return false;
  }
  return true;
}

// 1 to `max_digits` decimal digits.
std::optional<int> Decimal(std::string_view text, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = 12;
  t.tm_isdst = -1;
  if (timegm(&t) == static_cast<time_t>(-1)) return false;
  return t.tm_mday == day && t.tm_mon == month - 1;  // timegm moved 30 February on
}

// "(*_*)_*_*_*_*_*_*.h264": the address part and the six fields behind it.
WildcardMask& AddressTail(WildcardMask& mask) {
  mask.Literal("_").Star().Literal(")");
  for (int i = 0; i < 6; ++i) mask.Literal("_").Star();
  return mask.Literal(".h264");
}

}  // namespace

WildcardMask& WildcardMask::Star() {
  if (parts_.empty() || !parts_.back().star) parts_.push_back({true, {}});
  return *this;
}

WildcardMask& WildcardMask::Literal(std::string_view text) {
  if (text.empty()) return *this;
  if (!parts_.empty() && !parts_.back().star) {
    parts_.back().text += LowerCopy(text);
  } else {
    parts_.push_back({false, LowerCopy(text)});
  }
  return *this;
}

// Greedy matching with one resume point per star (the classic linear-backtracking
// wildcard match): on a mismatch the last star takes one more character.
bool WildcardMask::Matches(std::string_view name) const {
  size_t pos = 0;
  size_t part = 0;
  size_t star_part = parts_.size();  // none yet
  size_t star_pos = 0;
  while (part < parts_.size() || pos < name.size()) {
    if (part < parts_.size() && parts_[part].star) {
      star_part = part++;
      star_pos = pos;
      continue;
    }
    if (part < parts_.size() && EqualsFolded(name, pos, parts_[part].text)) {
      pos += parts_[part].text.size();
      ++part;
      continue;
    }
    if (star_part == parts_.size() || star_pos >= name.size()) return false;
    part = star_part + 1;
    pos = ++star_pos;
  }
  return true;
}

WildcardMask AllRecordingsMask() {
  WildcardMask mask;
  mask.Star().Literal(".h264");
  return mask;
}

WildcardMask DeviceNameMask(std::string_view name) {
  WildcardMask mask;
  mask.Star().Literal(name).Star().Literal("(").Star();
  return AddressTail(mask);
}

WildcardMask DeviceAddressMask(std::string_view ip) {
  WildcardMask mask;
  mask.Star().Literal("(").Literal(ip);
  return AddressTail(mask);
}

uint32_t DateValue(int year, int month, int day) {
  return static_cast<uint32_t>(year) * 10000u + static_cast<uint32_t>(month) * 100u + static_cast<uint32_t>(day);
}

std::optional<uint32_t> DayFolderValue(std::string_view name) {
  const size_t first = name.find('-');
  if (first == std::string_view::npos) return std::nullopt;
  const size_t second = name.find('-', first + 1);
  const size_t last = name.rfind('-');
  if (second == std::string_view::npos) return std::nullopt;
  const std::optional<int> year = Decimal(name.substr(0, first), kMaxDateField);
  const std::optional<int> month = Decimal(name.substr(first + 1, second - first - 1), kMaxDateField);
  const std::optional<int> day = Decimal(name.substr(last + 1), kMaxDateField);
  if (!year || !month || !day || last != second) return std::nullopt;
  if (!IsValidDate(*year, *month, *day)) return std::nullopt;
  return DateValue(*year, *month, *day);
}

std::optional<int> ChannelOfRecording(std::string_view name) {
  const size_t paren = name.rfind(')');
  if (paren == std::string_view::npos) return std::nullopt;
  const size_t first = name.find('_', paren);
  if (first == std::string_view::npos) return std::nullopt;
  const size_t next = name.find('_', first + 1);
  if (next == std::string_view::npos) return std::nullopt;
  return Decimal(name.substr(first + 1, next - first - 1), kMaxChannelField);
}

}  // namespace replay
