#include "nvr/ui/message_service.h"

#include <QMessageBox>

#include "nvr/ui/ui_texts.h"

namespace nvrui {

void BoxMessageService::Show(const QString& text) {
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kBoxCaption), text, QMessageBox::Ok,
                  parent_.data());
  box.exec();
}

bool BoxMessageService::Ask(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kBoxCaption), text,
                  QMessageBox::Ok | QMessageBox::Cancel, parent_.data());
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace nvrui
