// Texts of the dialogs' boxes from the recorder's string table (nvr/core/engine/strings.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "nvr/core/engine/strings.h"

namespace nvrdlg {

std::string Text(uint32_t id, nvr::Language language);
// A text whose "%s" takes `value` (the whole value, however long).
std::string TextWith(uint32_t id, nvr::Language language, std::string_view value);

}  // namespace nvrdlg
