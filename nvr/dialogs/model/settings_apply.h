// What follows the system settings dialog's OK, beyond the dialog itself: the recorder core
// takes the new block (watchdog started or told to stop, a recording drive no longer in the
// table left, Local.dat written), the log-in start entry is written or removed, and the window
// learns whether the hotkey letter changed (it grabs the new key itself). Every failure is a
// box to show; the new settings are in force in the running recorder all the same.
#pragma once

#include <string>
#include <vector>

#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/engine/strings.h"
#include "nvr/dialogs/model/autorun_entry.h"

namespace nvrdlg {

struct ApplyOutcome {
  bool hotkey_changed = false;
  std::vector<std::string> messages;  // boxes to show, in order
};

ApplyOutcome ApplySystemSettings(nvr::RecorderCore& core, const nvr::SettingsBlock& settings,
                                 const AutorunPlace& autorun, nvr::Language language);

// The log viewer's OK: the live-log row limit (500 or 1000) stored with the other settings.
// Returns the box to show when Local.dat could not be written, else "".
std::string ApplyLiveLogRows(nvr::RecorderCore& core, int32_t rows, nvr::Language language);

}  // namespace nvrdlg
