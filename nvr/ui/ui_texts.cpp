#include "nvr/ui/ui_texts.h"

#include "uishared/translation.h"

namespace nvrui {
namespace {

nvr::Language g_language = nvr::Language::kEnglish;

}  // namespace

void SetLanguage(nvr::Language language) { g_language = language; }
nvr::Language CurrentLanguage() { return g_language; }

QString Str(uint32_t id) { return QString::fromUtf8(nvr::LoadString(id, g_language)); }

QString StrWith(uint32_t id, const QString& argument) {
  QString text = Str(id);
  const qsizetype at = text.indexOf(QLatin1Char('%'));
  if (at < 0 || at + 1 >= text.size()) return text;
  return text.replace(at, 2, argument);
}

void InstallLanguage(nvr::Language language) {
  SetLanguage(language);
  qvui::InstallTranslation(QStringLiteral(":/i18n/nvr_zh_CN.qm"), language == nvr::Language::kChinese);
}

}  // namespace nvrui
