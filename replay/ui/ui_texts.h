// Texts of the replay window: numbered texts from the program's string table, in the language
// config.ini chose at start; texts without a number go through QCoreApplication::translate
// (contexts "ReplayWindow" and "SearchPanel", as lupdate finds them in translations/) and the
// compiled Chinese translation that InstallTranslation loads.
#pragma once

#include <QString>

#include "replay/core/replay_strings.h"

namespace replay {

// The language of the process's windows; set once at start (tests switch it between cases).
void SetUiLanguage(Language language);
Language UiLanguage();

// The numbered text `id` in the window language.
QString Str(uint32_t id);

// Loads the Chinese translation of the un-numbered texts for kChinese, removes it for
// kEnglish. Call before the window is built.
void InstallTranslation(Language language);

}  // namespace replay
