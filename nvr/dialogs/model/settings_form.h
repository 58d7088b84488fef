// The system settings dialog ("System configuration") without its widgets: the choices it
// shows for a settings block, the drive list with capacity, free space and the reserve, the
// in-place reserve editor's rules, and OK turning the choices back into a settings block. The
// dialog writes nothing; applying the block is settings_apply.h.
//
// The drive list has one row per fixed drive (a configured letter whose root exists), ticked
// when the drive table holds it, with that entry's reserve (else 500 MB). The reserve editor
// takes digits only; a committed value above 2000 becomes "2000", below 300 "300", and other
// text stays as typed ("0800" is kept and stored as 800). Beyond that:
// a hotkey letter outside A..Z (a damaged Local.dat) shows and returns 'G'; OK without a
// selected split length keeps the saved one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nvr/core/engine/strings.h"
#include "nvr/core/store/drives.h"
#include "nvr/core/store/settings_files.h"

namespace nvrdlg {

inline constexpr uint32_t kMinReserveMb = 300;
inline constexpr uint32_t kMaxEditedReserveMb = 2000;
inline constexpr size_t kMaxReserveDigits = 9;

// The split-length list: "5", "10", ... "120" minutes.
inline constexpr std::array<int32_t, 8> kSplitMinuteItems = {5, 10, 15, 30, 45, 60, 90, 120};

struct DriveSpace {
  uint64_t capacity_bytes = 0;
  uint64_t free_bytes = 0;  // available to the recorder (not the root-only reserve)
};
// Space of a drive root; nullopt when it cannot be asked.
using DriveSpaceSource = std::function<std::optional<DriveSpace>(const std::string& root)>;
std::optional<DriveSpace> StatDriveSpace(const std::string& root);

struct DriveRow {
  char letter = 0;
  std::string root;           // shown as the tooltip of the drive cell
  DriveSpace space;           // zeros when it could not be asked
  std::string reserve;        // the cell's text
  bool ticked = false;        // a recording drive
};

// Column texts: "%c:", bytes / 1024^3 "%.2f".
std::string DriveText(char letter);
std::string GigabytesText(uint64_t bytes);

struct SettingsChoices {
  int split_index = -1;            // into kSplitMinuteItems; -1: no item selected
  int32_t disk_full_policy = 1;    // 0 stop, 1 delete the earliest; other values tick neither
  std::vector<DriveRow> drives;
  bool autorun = false;
  bool connect_all = false;        // not shown; carried through
  bool watchdog = false;
  int hotkey_index = 6;            // 0 'A' .. 25 'Z'
};

SettingsChoices ChoicesFromSettings(const nvr::SettingsBlock& block, const nvr::DriveMap& drives,
                                    const DriveSpaceSource& space = StatDriveSpace);

// The reserve editor: what the cell keeps of typed text (digits only, at most 9), and the cell
// text a commit leaves.
std::string FilterReserveInput(std::string_view typed);
std::string CommitReserve(std::string_view typed);

struct SettingsResult {
  std::optional<nvr::SettingsBlock> block;  // OK accepted: the block to apply
  std::string message;                      // refused: the box (148), the dialog stays open
};

// OK: the ticked drives in list order make the drive table; nothing ticked is refused with 148.
// Fields the dialog does not show (the live-log row limit) come from `saved`.
SettingsResult SettingsFromChoices(const SettingsChoices& choices, const nvr::SettingsBlock& saved,
                                   nvr::Language language);

}  // namespace nvrdlg
