// How the recorder's windows tell and ask the person in front of them: every box goes through
// one service, so that tests record each box (text and buttons) and answer from a script.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace nvrui {

class MessageService {
 public:
  virtual ~MessageService() = default;
  // A message with an OK button.
  virtual void Show(const QString& text) = 0;
  // A confirmation: OK and Cancel, warning icon. True for OK.
  virtual bool Ask(const QString& text) = 0;
};

// The real boxes: modal QMessageBox over `parent`, caption "QV_NVR".
class BoxMessageService : public MessageService {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }
  void Show(const QString& text) override;
  bool Ask(const QString& text) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace nvrui
