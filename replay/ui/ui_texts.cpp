#include "replay/ui/ui_texts.h"

#include <QCoreApplication>
#include <QTranslator>

namespace replay {
namespace {

Language g_language = Language::kEnglish;

QTranslator& Translator() {
  static QTranslator* translator = new QTranslator;  // lives as long as the application
  return *translator;
}

}  // namespace

void SetUiLanguage(Language language) { g_language = language; }
Language UiLanguage() { return g_language; }

QString Str(uint32_t id) { return QString::fromUtf8(replay::LoadString(id, g_language)); }

void InstallTranslation(Language language) {
  SetUiLanguage(language);
  QCoreApplication::removeTranslator(&Translator());
  if (language != Language::kChinese) return;
  if (Translator().load(QStringLiteral(":/i18n/replay_zh_CN.qm"))) QCoreApplication::installTranslator(&Translator());
}

}  // namespace replay
