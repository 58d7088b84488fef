#include "uishared/translation.h"

#include <QCoreApplication>
#include <QTranslator>

namespace qvui {

bool InstallTranslation(const QString& resource, bool install) {
  static QTranslator* translator = new QTranslator;  // lives as long as the application
  QCoreApplication::removeTranslator(translator);
  if (!install) return true;
  if (!translator->load(resource)) return false;
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace qvui
