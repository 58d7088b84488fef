#include "replay/ui/ui_texts.h"

#include "uishared/translation.h"

namespace replay {
namespace {

Language g_language = Language::kEnglish;

}  // namespace

void SetUiLanguage(Language language) { g_language = language; }
Language UiLanguage() { return g_language; }

QString Str(uint32_t id) { return QString::fromUtf8(replay::LoadString(id, g_language)); }

void InstallTranslation(Language language) {
  SetUiLanguage(language);
  qvui::InstallTranslation(QStringLiteral(":/i18n/replay_zh_CN.qm"), language == Language::kChinese);
}

}  // namespace replay
