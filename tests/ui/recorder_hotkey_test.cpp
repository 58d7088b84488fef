// The global Alt+letter hotkey on a real X server: an Xvfb of the test's own (skipped when Xvfb is
// not installed), keys pressed through XTest as a person would press them.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "nvr/core/store/text_log.h"
#include "nvr/ui/x11_hotkey.h"
#include "tests/support/temp_dir.h"

// Xlib's macros (Bool, Status, None) must come after Qt's headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

extern char** environ;

namespace {

// An Xvfb on a display number it picks itself (-displayfd), ended with the test.
class Xvfb {
 public:
  Xvfb() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"/usr/bin/Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                          "640x480x24", nullptr};
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = -1;
    close(fds[1]);
    char buf[16] = {};
    ssize_t n = 0;
    if (pid_ > 0) n = read(fds[0], buf, sizeof buf - 1);  // the display number once it is ready
    close(fds[0]);
    if (n > 0) display_ = ":" + std::to_string(std::atoi(buf));
  }
  ~Xvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

class HotkeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.Display().empty()) GTEST_SKIP() << "no Xvfb here";
    old_display_ = getenv("DISPLAY") != nullptr ? getenv("DISPLAY") : "";
    setenv("DISPLAY", xvfb_.Display().c_str(), 1);
    std::filesystem::create_directories(home_.Path() + "/log");
    setenv("QV_NVR_HOME", home_.Path().c_str(), 1);
    keyboard_ = XOpenDisplay(xvfb_.Display().c_str());
    ASSERT_NE(keyboard_, nullptr);
  }
  void TearDown() override {
    if (keyboard_ != nullptr) XCloseDisplay(keyboard_);
    setenv("DISPLAY", old_display_.c_str(), 1);
    unsetenv("QV_NVR_HOME");
  }

  // Alt + `key`, pressed and released on the server.
  void PressAlt(KeySym key) {
    const KeyCode alt = XKeysymToKeycode(keyboard_, XK_Alt_L);
    const KeyCode code = XKeysymToKeycode(keyboard_, key);
    XTestFakeKeyEvent(keyboard_, alt, True, 0);
    XTestFakeKeyEvent(keyboard_, code, True, 0);
    XTestFakeKeyEvent(keyboard_, code, False, 0);
    XTestFakeKeyEvent(keyboard_, alt, False, 0);
    XFlush(keyboard_);
  }
  // Runs the event loop until `count` presses arrived or two seconds passed.
  bool WaitForPresses(const int& presses, int count) {
    QElapsedTimer timer;
    timer.start();
    while (presses < count && timer.elapsed() < 2000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return presses >= count;
  }
  std::string Log() {
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(home_.Path() + "/log")) {
      std::ifstream in(entry.path());
      std::stringstream ss;
      ss << in.rdbuf();
      all += ss.str();
    }
    return all;
  }

  Xvfb xvfb_;
  qvtest::TempDir home_{"qv-hotkey"};
  std::string old_display_;
  Display* keyboard_ = nullptr;
};

TEST_F(HotkeyTest, AltLetterArrivesAndMovesWithTheSettings) {
  nvrui::X11Hotkey hotkey;
  int presses = 0;
  QObject::connect(&hotkey, &nvrui::X11Hotkey::pressed, [&presses] { ++presses; });
  ASSERT_TRUE(hotkey.Register('G'));
  EXPECT_NE(hotkey.Id(), 0u);
  PressAlt(XK_g);
  EXPECT_TRUE(WaitForPresses(presses, 1));
  PressAlt(XK_h);  // not ours
  WaitForPresses(presses, 2);
  EXPECT_EQ(presses, 1);

  ASSERT_TRUE(hotkey.Rebind('H'));
  PressAlt(XK_h);
  EXPECT_TRUE(WaitForPresses(presses, 2));
  PressAlt(XK_g);  // let go with the rebind
  WaitForPresses(presses, 3);
  EXPECT_EQ(presses, 2);
}

TEST_F(HotkeyTest, AKeyHeldByAnotherProgramIsLoggedAndLeavesNoHotkey) {
  nvrui::X11Hotkey first;
  ASSERT_TRUE(first.Register('G'));
  nvrui::X11Hotkey second;
  EXPECT_FALSE(second.Register('G'));
  EXPECT_EQ(second.Id(), 0u);
  EXPECT_NE(Log().find("RegisterHotKey failed error:10"), std::string::npos) << "BadAccess: " << Log();
}

}  // namespace
