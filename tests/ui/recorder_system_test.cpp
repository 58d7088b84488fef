// What keeps the recorder reachable and ends it: locking, the exit with the watchdog's and
// the replay program's messages, the restart tip and the restore, the autorun entry, the
// Replay command, and the login dialog in its three modes.
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "nvr/core/engine/autorun_entry.h"
#include "nvr/core/engine/strings.h"
#include "nvr/ui/tip_dialog.h"
#include "platform/endpoint.h"
#include "tests/ui/recorder_fixture.h"

namespace recordertest {
namespace {

// The eleven buttons a lock disables.
constexpr int kLockedCommands[] = {nvrui::kCmdConnectAll, nvrui::kCmdDisconnectAll, nvrui::kCmdRecordAll,
                                   nvrui::kCmdStopAll,    nvrui::kCmdSearch,        nvrui::kCmdAddDevice,
                                   nvrui::kCmdDeleteDevice, nvrui::kCmdDeleteAll,   nvrui::kCmdSchedule,
                                   nvrui::kCmdSystem,     nvrui::kCmdStopLive};

class SystemTest : public RecorderWindowTest {
 protected:
  bool AnyLockedCommandEnabled() {
    for (int c : kLockedCommands) {
      if (window_->Button(c)->isEnabled()) return true;
    }
    return false;
  }
};

TEST_F(SystemTest, LockDisablesTheCommandsAndUnlockWantsTheRightPassword) {
  Store(Device("A", "127.0.0.1"));
  ASSERT_TRUE(StartWindow());
  window_->Invoke(nvrui::kCmdLock);  // locking asks nobody
  EXPECT_TRUE(window_->Locked());
  EXPECT_FALSE(AnyLockedCommandEnabled());
  EXPECT_TRUE(window_->Button(nvrui::kCmdReplay)->isEnabled());
  EXPECT_TRUE(window_->Button(nvrui::kCmdLock)->isEnabled());
  EXPECT_EQ(window_->Button(nvrui::kCmdLock)->text(), "Unlock");
  Table()->cellDoubleClicked(0, 1);
  EXPECT_FALSE(window_->Live().Running());

  std::vector<nvrui::LoginMode> modes;
  on_modal = [&](QDialog& d) {
    modes.push_back(qobject_cast<nvrui::LoginDialog*>(&d)->Mode());
    return AnswerLogin(d, QStringLiteral("wrong"));
  };
  window_->Invoke(nvrui::kCmdLock);
  EXPECT_EQ(modes, std::vector<nvrui::LoginMode>{nvrui::LoginMode::kUnlock});
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrLoginRefused), false}}));
  EXPECT_TRUE(window_->Locked());
  on_modal = [](QDialog& d) { return AnswerLogin(d, kPassword); };
  window_->Invoke(nvrui::kCmdLock);
  EXPECT_FALSE(window_->Locked());
  EXPECT_EQ(window_->Button(nvrui::kCmdLock)->text(), "Lock QV_NVR");
  EXPECT_TRUE(window_->Button(nvrui::kCmdConnectAll)->isEnabled());
  EXPECT_FALSE(window_->Button(nvrui::kCmdSearch)->isEnabled());  // no dialog in this build
}

TEST_F(SystemTest, ExitLogsOutTellsTheWatchdogAndTheReplayAndStopsEverything) {
  Store(Device("A", "127.0.0.1"));
  qvp::Endpoint watchdog;
  qvp::Endpoint replay;
  ASSERT_TRUE(watchdog.Bind("test watchdog"));
  ASSERT_TRUE(replay.Bind("test replay"));
  ASSERT_TRUE(StartWindow());
  ASSERT_TRUE(watchdog.Receive(1000).has_value());  // the greeting
  window_->Invoke(nvrui::kCmdConnectAll);

  // Logout cancelled: nothing stops. A second Exit while the logout dialog is open is ignored.
  int logins = 0;
  on_modal = [&](QDialog&) {
    ++logins;
    window_->Exit();
    return int(QDialog::Rejected);
  };
  window_->Invoke(nvrui::kCmdExit);
  EXPECT_EQ(logins, 1);
  EXPECT_EQ(lib_.Running(), 1u);
  EXPECT_EQ(ExitFlag(), "0");
  EXPECT_EQ(ended_, 0);

  on_modal = [](QDialog& d) { return AnswerLogin(d, kPassword); };
  window_->Invoke(nvrui::kCmdExit);
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(lib_.Running(), 0u);
  EXPECT_EQ(ExitFlag(), "1");
  const std::optional<qvp::EndpointMessage> stop = watchdog.Receive(1000);
  ASSERT_TRUE(stop.has_value());
  EXPECT_EQ(stop->msg, 3524u);
  EXPECT_EQ(stop->wparam, 2u);
  const std::optional<qvp::EndpointMessage> close = replay.Receive(1000);
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(close->msg, 6024u);
  EXPECT_EQ(close->wparam, 0u);
  window_->Invoke(nvrui::kCmdExit);  // done once
  EXPECT_EQ(ended_, 1);
}

// A dialog of the next issue's kind, so the exit has one to close.
class OneDialogHost : public nvrui::DialogHost {
 public:
  bool Has(nvrui::DialogKind kind) const override { return kind == nvrui::DialogKind::kSettings; }
  std::unique_ptr<QDialog> Make(nvrui::DialogKind, const nvrui::DialogContext& context) override {
    auto dialog = std::make_unique<QDialog>(context.parent);
    dialog->setObjectName(QStringLiteral("settingsStandIn"));
    return dialog;
  }
};

TEST_F(SystemTest, ExitWhileADialogIsOpenClosesItFirst) {
  OneDialogHost host;
  dialogs_ = &host;
  ASSERT_TRUE(StartWindow());
  EXPECT_TRUE(window_->Button(nvrui::kCmdSystem)->isEnabled());
  int settings_result = -5;
  on_modal = [&](QDialog& d) {
    if (auto* login = qobject_cast<nvrui::LoginDialog*>(&d)) return AnswerLogin(*login, kPassword);
    // The exit comes from the notification menu while the dialog runs.
    QTimer::singleShot(0, window_.get(), [&] { window_->Invoke(nvrui::kCmdExit); });
    settings_result = d.exec();
    return settings_result;
  };
  window_->Invoke(nvrui::kCmdSystem);
  EXPECT_EQ(settings_result, 0);
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(window_->OpenDialog(), nullptr);
}

TEST_F(SystemTest, AfterAnUncleanExitTheTipCountsDownAndRestores) {
  Store(Device("D1", "127.0.0.1", 0, 0, 1));
  Store(Device("D2", "127.0.0.2", 0, 0, 2));
  Store(Device("D3", "127.0.0.3", 0, 0, 0));
  WriteText(Path("config.ini"), "[OTHER]\nexit=0\n");
  std::vector<int> shown;
  on_modal = [&](QDialog& d) {
    auto* tip = qobject_cast<nvrui::TipDialog*>(&d);
    if (tip == nullptr) return int(QDialog::Rejected);
    QObject::connect(tip, &nvrui::TipDialog::ticked, [&](int n) { shown.push_back(n); });
    return d.exec();
  };
  options_.unattended_start = true;
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(shown, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(lib_.Running(), 2u);
  EXPECT_TRUE(Entry(2).record_on_connect);
  EXPECT_EQ(OpState("D1"), 1);
  EXPECT_EQ(OpState("D2"), 2);
  EXPECT_EQ(OpState("D3"), 0);
  EXPECT_NE(ReadText(nvr::LogFilePath(nvr::CurrentLocalTime())).find("detect qvnvr close illegally last time"),
            std::string::npos);
  Report(2, nvr::kClientStreaming);
  ASSERT_EQ(lib_.files.size(), 1u);
  EXPECT_NE(lib_.files[0].find(Path("c") + "/QV_Record/Normal/"), std::string::npos);
  EXPECT_NE(lib_.files[0].find("/D2(127.0.0.2_554)_1_"), std::string::npos);
  EXPECT_EQ(ExitFlag(), "0");
  // Started at log-in after a crash: locked, nobody logged in.
  EXPECT_TRUE(window_->Locked());
  EXPECT_EQ(window_->Button(nvrui::kCmdLock)->text(), "Unlock");
}

TEST_F(SystemTest, ACancelledTipRestoresNothingAndACleanExitShowsNone) {
  Store(Device("D1", "127.0.0.1", 0, 0, 1));
  WriteText(Path("config.ini"), "[OTHER]\nexit=0\n");
  int tips = 0;
  on_modal = [&](QDialog& d) {
    ++tips;
    QTimer::singleShot(20, &d, &QDialog::reject);
    return d.exec();
  };
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(tips, 1);
  EXPECT_TRUE(lib_.clients.empty());
  EXPECT_FALSE(window_->Locked());
  window_.reset();
  core_.reset();
  WriteText(Path("config.ini"), "[OTHER]\nexit=1\n");
  options_.unattended_start = true;
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(tips, 1);
  EXPECT_FALSE(window_->Locked());
}

TEST(TipDialogTest, ACountdownOfZeroStillEnds) {
  nvrui::TipDialog tip(0, 1);
  EXPECT_EQ(tip.exec(), QDialog::Accepted);
}

TEST_F(SystemTest, SettingsWriteTheAutorunEntryAndLocalDat) {
  ASSERT_TRUE(StartWindow());
  nvr::SettingsBlock s = core_->Settings();
  s.autorun = 1;
  s.hotkey = 'H';
  window_->SettingsApplied(s);
  const std::string entry = ReadText(Path("autostart/QV_NVR.desktop"));
  EXPECT_NE(entry.find("\nExec=env \"QV_NVR_HOME=" + home_ + "\" \"/opt/qv nvr/bin/QV_NVR\" -autorun\n"),
            std::string::npos)
      << entry;
  const std::string local = ReadText(nvr::LocalDatPath(home_));
  ASSERT_EQ(local.size(), 1052u);
  EXPECT_EQ(local[1048], 'H');
  s.autorun = 0;
  window_->SettingsApplied(s);
  EXPECT_FALSE(Exists(Path("autostart/QV_NVR.desktop")));
  // Switching the watchdog on and off again with no watchdog running says so in the log.
  s.watchdog = 1;
  window_->SettingsApplied(s);
  s.watchdog = 0;
  window_->SettingsApplied(s);
  EXPECT_NE(ReadText(nvr::LogFilePath(nvr::CurrentLocalTime())).find("can't find dog window?????"),
            std::string::npos);
}

TEST(AutorunEntryTest, ExecArgumentsAreQuotedForDesktopEntries) {
  EXPECT_EQ(nvr::DesktopExecArgument("/opt/a b/QV_NVR"), "\"/opt/a b/QV_NVR\"");
  EXPECT_EQ(nvr::DesktopExecArgument("/x/$HOME`\"%"), "\"/x/\\\\$HOME\\\\`\\\\\"%%\"");
  EXPECT_EQ(nvr::DesktopExecArgument("a\\b"), "\"a\\\\\\\\b\"");
}

TEST_F(SystemTest, ReplayStartsTheProgramOrBringsTheRunningOneForward) {
  ASSERT_TRUE(StartWindow());
  window_->Invoke(nvrui::kCmdReplay);
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0].path, "/opt/qv/bin/QV_NVR_Replay");
  EXPECT_EQ(started_[0].args, std::vector<std::string>{"-soft"});
  qvp::Endpoint replay;
  ASSERT_TRUE(replay.Bind("test replay"));
  window_->Invoke(nvrui::kCmdReplay);
  EXPECT_EQ(started_.size(), 1u);
  const std::optional<qvp::EndpointMessage> front = replay.Receive(1000);
  ASSERT_TRUE(front.has_value());
  EXPECT_EQ(front->msg, 1040u);
}

class LoginTest : public RecorderWindowTest {};

TEST_F(LoginTest, ModesChecksAndTheQuotesFilter) {
  nvrui::LoginDialog login(nvrui::LoginMode::kLogin, db_, messages_);
  EXPECT_EQ(login.windowTitle(), "Login");
  login.Submit();
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrUserNameEmpty), false}}));
  login.UserEdit()->setText("admin");
  login.PasswordEdit()->setText("nope");
  login.Submit();
  EXPECT_EQ(messages_.boxes.back(), (Box{S(nvr::kStrLoginRefused), false}));
  EXPECT_NE(login.result(), QDialog::Accepted);
  login.PasswordEdit()->setText(kPassword);
  login.Submit();
  EXPECT_EQ(login.result(), QDialog::Accepted);
  // Pasted quotes are taken out, the rest stays.
  login.UserEdit()->clear();
  login.UserEdit()->insert(QStringLiteral("ad'mi\"n"));
  EXPECT_EQ(login.UserEdit()->text(), "admin");

  nvrui::LoginDialog unlock(nvrui::LoginMode::kUnlock, db_, messages_);
  unlock.show();
  EXPECT_EQ(unlock.windowTitle(), "Unlock");
  EXPECT_FALSE(unlock.findChild<QPushButton*>("changePassword_1123")->isVisible());
  nvrui::LoginDialog logout(nvrui::LoginMode::kLogout, db_, messages_);
  EXPECT_EQ(logout.windowTitle(), "Logout");
  QTimer::singleShot(0, &logout, [&] { QTest::keyClick(&logout, Qt::Key_Escape); });
  EXPECT_EQ(logout.exec(), QDialog::Rejected);
}

TEST_F(LoginTest, PasswordChangeChecksInOrderAndTakesEffect) {
  nvrui::LoginDialog login(nvrui::LoginMode::kLogin, db_, messages_);
  login.show();
  const int collapsed = login.sizeHint().height();
  login.ToggleChange();
  EXPECT_TRUE(login.Expanded());
  EXPECT_GT(login.sizeHint().height(), collapsed);
  EXPECT_TRUE(login.NewPasswordEdit()->isEnabled());
  login.UserEdit()->setText("admin");
  login.PasswordEdit()->setText("wrong");
  login.ChangePassword();
  login.NewPasswordEdit()->setText("N3w-pass");
  login.ChangePassword();
  login.ConfirmEdit()->setText("N3w-pasS");
  login.ChangePassword();
  login.ConfirmEdit()->setText("N3w-pass");
  login.ChangePassword();
  EXPECT_EQ(messages_.boxes, (std::vector<Box>{{S(nvr::kStrNewPasswordEmpty), false},
                                               {S(nvr::kStrConfirmPasswordEmpty), false},
                                               {S(nvr::kStrConfirmPasswordWrong), false},
                                               {S(nvr::kStrOldPasswordWrong), false}}));
  EXPECT_EQ(db_.CheckLogin("admin", kPassword), nvr::LoginResult::kAccepted);
  login.PasswordEdit()->setText(kPassword);
  login.ChangePassword();
  EXPECT_EQ(messages_.boxes.back(), (Box{S(nvr::kStrPasswordChanged), false}));
  EXPECT_EQ(db_.CheckLogin("admin", kPassword), nvr::LoginResult::kRejected);
  EXPECT_EQ(db_.CheckLogin("admin", "N3w-pass"), nvr::LoginResult::kAccepted);
  EXPECT_TRUE(login.isVisible());  // the change never ends the dialog
}

}  // namespace
}  // namespace recordertest
