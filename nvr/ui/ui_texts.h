// Texts of the recorder's windows: numbered texts from the recorder's string table
// (nvr/core/engine/strings.h) in the language config.ini chose at start, and the texts without
// a number through tr() with the compiled Chinese translation in translations/.
#pragma once

#include <QString>
#include <cstdint>

#include "nvr/core/engine/strings.h"

namespace nvrui {

// The language of the recorder's windows; set once at start (tests switch it between cases).
void SetLanguage(nvr::Language language);
nvr::Language CurrentLanguage();

// The numbered text `id` in the window language.
QString Str(uint32_t id);
// Text `id` with its one printf argument ("%s" or "%c") filled in.
QString StrWith(uint32_t id, const QString& argument);

// Sets the language and loads (Chinese) or removes (English) the translation of the texts
// without a number. Call before the windows are built.
void InstallLanguage(nvr::Language language);

// The caption of every message box of the recorder.
inline constexpr char kBoxCaption[] = "QV_NVR";

}  // namespace nvrui
