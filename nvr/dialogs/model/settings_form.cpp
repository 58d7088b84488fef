#include "nvr/dialogs/model/settings_form.h"

#include <sys/statvfs.h>

#include <cstdio>

#include "nvr/dialogs/model/dialog_texts.h"

namespace nvrdlg {
namespace {

constexpr int32_t kFirstHotkey = 'A';
constexpr int32_t kLastHotkey = 'Z';

// The first item whose text begins with the minutes written out ("1" selects "10").
int SplitIndexOf(int32_t minutes) {
  const std::string saved = std::to_string(minutes);
  for (size_t i = 0; i < kSplitMinuteItems.size(); ++i) {
    if (std::to_string(kSplitMinuteItems[i]).starts_with(saved)) return static_cast<int>(i);
  }
  return -1;
}

// The table's entry for `letter` (up to its first empty letter).
const nvr::DriveEntry* TableEntry(const nvr::SettingsBlock& block, char letter) {
  for (const nvr::DriveEntry& e : block.drives) {
    if (e.letter == 0) break;
    if (e.letter == static_cast<uint8_t>(letter)) return &e;
  }
  return nullptr;
}

// Digits of at most 9 characters, as a number; 0 for none.
uint32_t ReserveValue(std::string_view text) {
  uint64_t value = 0;
  for (const char c : text.substr(0, kMaxReserveDigits)) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

}  // namespace

std::optional<DriveSpace> StatDriveSpace(const std::string& root) {
  struct statvfs st {};
  if (statvfs(root.c_str(), &st) != 0) return std::nullopt;
  return DriveSpace{static_cast<uint64_t>(st.f_blocks) * st.f_frsize,
                    static_cast<uint64_t>(st.f_bavail) * st.f_frsize};
}

std::string DriveText(char letter) { return std::string(1, letter) + ":"; }

std::string GigabytesText(uint64_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
  return buf;
}

SettingsChoices ChoicesFromSettings(const nvr::SettingsBlock& block, const nvr::DriveMap& drives,
                                    const DriveSpaceSource& space) {
  SettingsChoices c;
  c.split_index = SplitIndexOf(block.split_minutes);
  c.disk_full_policy = block.disk_full_policy;
  for (const char letter : drives.FixedDrives()) {
    DriveRow row;
    row.letter = letter;
    row.root = drives.Root(letter).value_or(std::string());
    row.space = space(row.root).value_or(DriveSpace{});
    const nvr::DriveEntry* entry = TableEntry(block, letter);
    row.ticked = entry != nullptr;
    row.reserve = std::to_string(entry != nullptr ? entry->reserve_mb : nvr::kDefaultReserveMb);
    c.drives.push_back(std::move(row));
  }
  c.autorun = block.autorun != 0;
  c.connect_all = block.connect_all != 0;
  c.watchdog = block.watchdog != 0;
  const bool letter = block.hotkey >= kFirstHotkey && block.hotkey <= kLastHotkey;
  c.hotkey_index = (letter ? block.hotkey : nvr::kDefaultHotkey) - kFirstHotkey;
  return c;
}

std::string FilterReserveInput(std::string_view typed) {
  std::string out;
  for (const char c : typed) {
    if (c >= '0' && c <= '9' && out.size() < kMaxReserveDigits) out.push_back(c);
  }
  return out;
}

std::string CommitReserve(std::string_view typed) {
  const std::string_view text = typed.substr(0, kMaxReserveDigits);
  const uint32_t value = ReserveValue(text);
  if (value > kMaxEditedReserveMb) return std::to_string(kMaxEditedReserveMb);
  if (value < kMinReserveMb) return std::to_string(kMinReserveMb);
  return std::string(text);
}

SettingsResult SettingsFromChoices(const SettingsChoices& choices, const nvr::SettingsBlock& saved,
                                   nvr::Language language) {
  nvr::SettingsBlock block = saved;
  for (nvr::DriveEntry& e : block.drives) e = nvr::DriveEntry{};
  size_t used = 0;
  for (const DriveRow& row : choices.drives) {
    if (!row.ticked || used == nvr::kMaxDriveEntries) continue;
    block.drives[used++] = nvr::DriveEntry{static_cast<uint8_t>(row.letter), {0, 0, 0}, ReserveValue(row.reserve)};
  }
  if (used == 0) return SettingsResult{std::nullopt, Text(nvr::kStrNoRecordingDrive, language)};
  const bool split_chosen = choices.split_index >= 0 &&
                            static_cast<size_t>(choices.split_index) < kSplitMinuteItems.size();
  if (split_chosen) block.split_minutes = kSplitMinuteItems[static_cast<size_t>(choices.split_index)];
  block.disk_full_policy = choices.disk_full_policy;
  block.autorun = choices.autorun ? 1 : 0;
  block.connect_all = choices.connect_all ? 1 : 0;
  block.watchdog = choices.watchdog ? 1 : 0;
  const bool hotkey_chosen = choices.hotkey_index >= 0 && choices.hotkey_index <= kLastHotkey - kFirstHotkey;
  block.hotkey = hotkey_chosen ? kFirstHotkey + choices.hotkey_index : nvr::kDefaultHotkey;
  return SettingsResult{block, std::string()};
}

}  // namespace nvrdlg
