#include "nvr/dialogs/model/dialog_texts.h"

namespace nvrdlg {

std::string Text(uint32_t id, nvr::Language language) { return nvr::LoadString(id, language); }

std::string TextWith(uint32_t id, nvr::Language language, std::string_view value) {
  // Replaced by hand rather than by printf: the value may hold '%' and any length.
  std::string text = nvr::LoadString(id, language);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace nvrdlg
