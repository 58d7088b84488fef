// The login dialog in its three uses: before the main window opens (login), before the exit
// (logout) and to unlock a locked main window (unlock). It checks a user name and password
// against the database's users and answers only OK or Cancel; the caller decides what follows.
// Its second half changes a user's password; in unlock mode that half is not offered.
#pragma once

#include <QDialog>

#include "nvr/core/store/recorder_db.h"

class QLineEdit;
class QPushButton;
class QWidget;

namespace nvrui {

class MessageService;

enum class LoginMode { kLogin = 0, kLogout = 1, kUnlock = 2 };

class LoginDialog : public QDialog {
  Q_OBJECT

 public:
  LoginDialog(LoginMode mode, nvr::RecorderDb& db, MessageService& messages, QWidget* parent = nullptr);

  LoginMode Mode() const { return mode_; }
  bool Expanded() const { return expanded_; }
  QLineEdit* UserEdit() const { return user_; }
  QLineEdit* PasswordEdit() const { return password_; }
  QLineEdit* NewPasswordEdit() const { return new_password_; }
  QLineEdit* ConfirmEdit() const { return confirm_; }

  // OK: accepted only when exactly one user has this name and password.
  void Submit();
  // Shows or hides the password-change half.
  void ToggleChange();
  // The change half's OK: the dialog stays open whatever the result.
  void ChangePassword();

 private:
  QLineEdit* AddEdit(const char* object_name, bool password);

  LoginMode mode_;
  nvr::RecorderDb& db_;
  MessageService& messages_;
  bool expanded_ = false;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* new_password_ = nullptr;
  QLineEdit* confirm_ = nullptr;
  QPushButton* change_button_ = nullptr;
  QPushButton* change_ok_ = nullptr;
  QWidget* change_area_ = nullptr;
};

// Longest text of each field, in characters.
inline constexpr int kLoginFieldMax = 63;

}  // namespace nvrui
