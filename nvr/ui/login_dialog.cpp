#include "nvr/ui/login_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "nvr/core/engine/strings.h"
#include "nvr/ui/message_service.h"
#include "nvr/ui/no_quotes_validator.h"
#include "nvr/ui/ui_texts.h"

namespace nvrui {
namespace {

uint32_t TitleOf(LoginMode mode) {
  switch (mode) {
    case LoginMode::kLogin: return nvr::kStrLogin;
    case LoginMode::kLogout: return nvr::kStrLogout;
    case LoginMode::kUnlock: return nvr::kStrUnlock;
  }
  return nvr::kStrLogin;
}

std::string Utf8(const QLineEdit* edit) { return edit->text().toStdString(); }

}  // namespace

LoginDialog::LoginDialog(LoginMode mode, nvr::RecorderDb& db, MessageService& messages, QWidget* parent)
    : QDialog(parent), mode_(mode), db_(db), messages_(messages) {
  setObjectName(QStringLiteral("loginDialog_153"));
  setWindowTitle(Str(TitleOf(mode)));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  user_ = AddEdit("userName_1027", false);
  password_ = AddEdit("password_1098", true);
  form->addRow(tr("User Name:"), user_);
  form->addRow(tr("Password:"), password_);
  layout->addLayout(form);

  auto* buttons = new QHBoxLayout;
  change_button_ = new QPushButton(tr("Change Password"), this);
  change_button_->setObjectName(QStringLiteral("changePassword_1123"));
  change_button_->setAutoDefault(false);
  auto* ok = new QPushButton(Str(TitleOf(mode)), this);
  ok->setObjectName(QStringLiteral("ok_1"));
  ok->setDefault(true);
  buttons->addWidget(change_button_);
  buttons->addStretch();
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  // Unlocking is no occasion to change a password.
  change_button_->setVisible(mode != LoginMode::kUnlock);

  change_area_ = new QWidget(this);
  change_area_->setObjectName(QStringLiteral("changeArea"));
  auto* change_form = new QFormLayout(change_area_);
  change_form->setContentsMargins(0, 0, 0, 0);
  new_password_ = AddEdit("newPassword_1099", true);
  confirm_ = AddEdit("confirmPassword_1100", true);
  change_form->addRow(tr("New Password:"), new_password_);
  change_form->addRow(tr("Confirm Password:"), confirm_);
  change_ok_ = new QPushButton(tr("OK"), change_area_);
  change_ok_->setObjectName(QStringLiteral("changeOk_1116"));
  change_ok_->setAutoDefault(false);
  change_form->addRow(QString(), change_ok_);
  layout->addWidget(change_area_);
  change_area_->setEnabled(false);
  change_area_->setVisible(false);

  connect(ok, &QPushButton::clicked, this, &LoginDialog::Submit);
  connect(change_button_, &QPushButton::clicked, this, &LoginDialog::ToggleChange);
  connect(change_ok_, &QPushButton::clicked, this, &LoginDialog::ChangePassword);
  setMinimumWidth(300);
  user_->setFocus();
}

QLineEdit* LoginDialog::AddEdit(const char* object_name, bool password) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(object_name));
  edit->setMaxLength(kLoginFieldMax);
  edit->setValidator(new NoQuotesValidator(edit));
  if (password) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

void LoginDialog::Submit() {
  if (user_->text().isEmpty()) {
    messages_.Show(Str(nvr::kStrUserNameEmpty));
    return;
  }
  switch (db_.CheckLogin(Utf8(user_), Utf8(password_))) {
    case nvr::LoginResult::kAccepted:
      accept();
      return;
    case nvr::LoginResult::kDbFailed:
      messages_.Show(Str(nvr::kStrReadDbFailedShort));
      return;
    case nvr::LoginResult::kRejected:
      messages_.Show(Str(nvr::kStrLoginRefused));
      return;
  }
}

void LoginDialog::ToggleChange() {
  expanded_ = !expanded_;
  change_area_->setVisible(expanded_);
  change_area_->setEnabled(expanded_);
  adjustSize();
}

void LoginDialog::ChangePassword() {
  if (new_password_->text().isEmpty()) {
    messages_.Show(Str(nvr::kStrNewPasswordEmpty));
    return;
  }
  if (confirm_->text().isEmpty()) {
    messages_.Show(Str(nvr::kStrConfirmPasswordEmpty));
    return;
  }
  if (new_password_->text() != confirm_->text()) {
    messages_.Show(Str(nvr::kStrConfirmPasswordWrong));
    return;
  }
  switch (db_.CheckOldPassword(Utf8(user_), Utf8(password_))) {
    case nvr::LoginResult::kDbFailed:
      // A database that cannot be read is said so, not passed over in silence.
      messages_.Show(Str(nvr::kStrReadDbFailedShort));
      return;
    case nvr::LoginResult::kRejected:
      messages_.Show(Str(nvr::kStrOldPasswordWrong));
      return;
    case nvr::LoginResult::kAccepted:
      break;
  }
  if (!db_.ChangePassword(Utf8(user_), Utf8(new_password_))) {
    messages_.Show(tr("Change password failed!"));
    return;
  }
  messages_.Show(Str(nvr::kStrPasswordChanged));
}

}  // namespace nvrui
