#include "nvr/dialogs/model/settings_apply.h"

#include <cstring>

#include "nvr/core/engine/activity_log.h"
#include "nvr/core/store/settings_files.h"
#include "nvr/dialogs/model/dialog_texts.h"

namespace nvrdlg {
namespace {

std::string Failure(uint32_t id, nvr::Language language, const std::string& what, int err) {
  return TextWith(id, language, what + ": " + std::strerror(err));
}

// Applies `settings` in the core; the box for a Local.dat that was not written, else "".
std::string ApplyInCore(nvr::RecorderCore& core, const nvr::SettingsBlock& settings,
                        nvr::Language language) {
  const int err = core.ApplySettings(settings);
  core.LogOperation(nvr::kOpChangeSettings);
  if (err == 0) return std::string();
  return Failure(nvr::kStrSettingsNotSaved, language, nvr::LocalDatPath(core.Home()), err);
}

}  // namespace

ApplyOutcome ApplySystemSettings(nvr::RecorderCore& core, const nvr::SettingsBlock& settings,
                                 const AutorunPlace& autorun, nvr::Language language) {
  ApplyOutcome out;
  out.hotkey_changed = settings.hotkey != core.Settings().hotkey;
  const int autorun_err = settings.autorun != 0 ? WriteAutorunEntry(autorun) : RemoveAutorunEntry(autorun);
  if (autorun_err != 0) {
    const uint32_t id = settings.autorun != 0 ? nvr::kStrAutorunNotWritten : nvr::kStrAutorunNotRemoved;
    out.messages.push_back(Failure(id, language, autorun.file.empty() ? "(no home folder)" : autorun.file,
                                   autorun_err));
  }
  if (std::string box = ApplyInCore(core, settings, language); !box.empty()) {
    out.messages.push_back(std::move(box));
  }
  return out;
}

std::string ApplyLiveLogRows(nvr::RecorderCore& core, int32_t rows, nvr::Language language) {
  nvr::SettingsBlock settings = core.Settings();
  settings.live_log_rows = rows;
  return ApplyInCore(core, settings, language);
}

}  // namespace nvrdlg
