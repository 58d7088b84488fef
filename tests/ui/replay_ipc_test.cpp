// QV_NVR_Replay as a program between the recorder's messages: the recorder core's Exit()
// closes a replay started with "-soft" and leaves any other running; the recorder's Replay
// command starts the program in soft mode once and then only brings it to the front.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "nvr/core/store/db_setup.h"
#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/store/settings_files.h"
#include "platform/endpoint.h"
#include "replay/core/replay_launch.h"
#include "tests/core/fake_recording_library.h"
#include "tests/support/poll.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

constexpr int kStartLimitMs = 20000;
constexpr int kExitLimitMs = 10000;

// A replay program started by the test; killed if a test leaves it running.
class Child {
 public:
  Child() = default;
  ~Child() {
    if (pid_ <= 0 || Exited()) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool Start(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
  }
  bool Exited() {
    if (status_ >= 0) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
  }
  int Status() const { return status_; }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

class ReplayIpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Endpoints of this test alone; the program inherits the environment.
    setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    chmod(runtime_.Path().c_str(), 0700);
    setenv("QV_NVR_HOME", home_.Path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ALSA_CONFIG_PATH", QV_TEST_ALSA_DIR "/no_device.conf", 1);
    std::filesystem::create_directories(home_.File("storage"));
    ASSERT_TRUE(nvr::InitDatabase(home_.Path(), "Adm1n-Pw"));
    ASSERT_EQ(nvr::DbOpen(conn_, nvr::DatabasePath(home_.Path())), 1);
    ASSERT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_.Path()), nvr::DefaultSettings('C')));
  }

  // The recorder core's start and exit, as the recorder runs them.
  void RecorderStartsAndExits() {
    nvr::CoreConfig config;
    config.home = home_.Path();
    config.library = &library_;
    config.db = &db_;
    config.drives = nvr::DriveMap({{'C', home_.File("storage")}});
    config.start_threads = false;
    nvr::RecorderCore core(std::move(config));
    ASSERT_TRUE(core.Start().ok);
    core.Exit();
  }

  static bool ReplayAnswers() {
    return qvtest::PollUntil([] { return qvp::EndpointExists(replay::kReplayEndpoint); }, kStartLimitMs);
  }

  qvtest::TempDir runtime_{"qv_ipc_runtime"};
  qvtest::TempDir home_{"qv_ipc_home"};
  nvr::DbConnection conn_;
  nvr::RecorderDb db_{conn_};
  coretest::FakeRecordingLibrary library_;
};

TEST_F(ReplayIpcTest, TheRecordersExitClosesASoftReplayOnly) {
  Child soft;
  ASSERT_TRUE(soft.Start(QV_REPLAY_PROGRAM, {"-soft"}));
  ASSERT_TRUE(ReplayAnswers());
  RecorderStartsAndExits();
  ASSERT_TRUE(qvtest::PollUntil([&] { return soft.Exited(); }, kExitLimitMs));
  EXPECT_EQ(soft.Status(), 0);
  EXPECT_FALSE(qvp::EndpointExists(replay::kReplayEndpoint));

  // Started by hand ("-soft x" is not soft mode either): the recorder's exit leaves it alone.
  Child manual;
  ASSERT_TRUE(manual.Start(QV_REPLAY_PROGRAM, {"-soft", "x"}));
  ASSERT_TRUE(ReplayAnswers());
  RecorderStartsAndExits();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_FALSE(manual.Exited());
  EXPECT_TRUE(qvp::EndpointExists(replay::kReplayEndpoint));
}

TEST_F(ReplayIpcTest, TheReplayCommandStartsSoftModeOnceThenRaises) {
  Child started;
  int starts = 0;
  std::vector<std::string> args;
  const nvr::ProgramStarter starter = [&](const std::string& program, const std::vector<std::string>& a) {
    ++starts;
    args = a;
    return started.Start(program, a) ? 0 : 1;
  };
  const std::string folder = std::filesystem::path(QV_REPLAY_PROGRAM).parent_path().string();
  EXPECT_FALSE(replay::StartOrRaiseReplay(folder, starter));
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(args, std::vector<std::string>{"-soft"});
  ASSERT_TRUE(ReplayAnswers());
  EXPECT_TRUE(replay::StartOrRaiseReplay(folder, starter));  // the running one comes to the front
  EXPECT_EQ(starts, 1);
  RecorderStartsAndExits();
  ASSERT_TRUE(qvtest::PollUntil([&] { return started.Exited(); }, kExitLimitMs));
  EXPECT_EQ(started.Status(), 0);
}

}  // namespace
