// Start and exit around the exit flag, the restore after an unclean exit, the watchdog
// heartbeat, and the core loop's timers and messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "nvr/core/store/config_ini.h"
#include "nvr/core/engine/program_start.h"
#include "platform/endpoint.h"
#include "tests/core/engine_fixture.h"

namespace {

using coretest::EngineTest;

std::string ExitFlag(const std::string& home) {
  int error = 0;
  return nvr::ReadExitFlag(nvr::ConfigIniPath(home), &error).value_or("?");
}

class ExitRestoreTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1", 0, 0, /*op_state*/ 1));
    Store(Device("Hall", "127.0.0.3", 0, 0, 2));
    Store(Device("Yard", "127.0.0.2", 0, 9, 2));  // scheduled: the schedule decides
    Store(Device("Shed", "127.0.0.4", 0, 0, 0));
    const std::string suffix = std::to_string(getpid());
    watchdog_name_ = "engine-test-watchdog-" + suffix;
    replay_name_ = "engine-test-replay-" + suffix;
  }
  nvr::CoreConfig Endpoints() {
    nvr::CoreConfig config;
    config.watchdog_endpoint = watchdog_name_;
    config.replay_endpoint = replay_name_;
    config.start_program = [this](const std::string& path, const std::vector<std::string>& args) {
      started_.push_back(path + " " + (args.empty() ? "" : args[0]));
      return start_result_;
    };
    return config;
  }
  static std::optional<qvp::EndpointMessage> Next(qvp::Endpoint& e) { return e.Receive(1000); }

  std::string watchdog_name_;
  std::string replay_name_;
  std::vector<std::string> started_;
  int start_result_ = 0;
};

TEST_F(ExitRestoreTest, UncleanExitRestoresManualStates) {
  ASSERT_EQ(nvr::WriteExitFlag(nvr::ConfigIniPath(home_), false), 0);
  StartCore(Endpoints());
  EXPECT_EQ(start_.last_exit, nvr::LastExit::kUnclean);
  EXPECT_NE(Log().find("detect qvnvr close illegally last time"), std::string::npos);
  EXPECT_EQ(OpState("Gate"), 0);  // reset at start
  EXPECT_EQ(ExitFlag(home_), "0");

  core_->RestoreLastState();
  EXPECT_NE(Entry(1).client, 0u);
  EXPECT_FALSE(Entry(1).record_on_connect);
  EXPECT_TRUE(Entry(2).record_on_connect);
  EXPECT_EQ(Entry(3).client, 0u);
  EXPECT_EQ(Entry(4).client, 0u);
  Connected(1);
  Connected(2);
  EXPECT_FALSE(Entry(1).recording);
  EXPECT_TRUE(Entry(2).recording);
  // Written back, so that a second crash restores them again.
  EXPECT_EQ(OpState("Gate"), 1);
  EXPECT_EQ(OpState("Hall"), 2);
}

TEST_F(ExitRestoreTest, CleanOrUnreadableExitFlag) {
  ASSERT_EQ(nvr::WriteExitFlag(nvr::ConfigIniPath(home_), true), 0);
  StartCore(Endpoints());
  EXPECT_EQ(start_.last_exit, nvr::LastExit::kClean);
  core_.reset();
  unlink(nvr::ConfigIniPath(home_).c_str());
  StartCore(Endpoints());
  EXPECT_EQ(start_.last_exit, nvr::LastExit::kUnknown);
  EXPECT_NE(Log().find("read ini file to get exit parameter failed error :2\r\n"), std::string::npos);
  EXPECT_EQ(Log().find("detect qvnvr"), std::string::npos);
}

TEST_F(ExitRestoreTest, HeartbeatFollowsTheWatchdog) {
  settings_.watchdog = 1;
  qvp::Endpoint watchdog;
  ASSERT_TRUE(watchdog.Bind(watchdog_name_));
  StartCore(Endpoints());
  EXPECT_EQ(started_.size(), 1u);  // the setting starts it at start
  EXPECT_EQ(started_[0], home_ + "/QV_Watchdog -soft");
  auto greeting = Next(watchdog);
  ASSERT_TRUE(greeting);
  EXPECT_EQ(greeting->msg, 3524u);
  EXPECT_EQ(greeting->wparam, 0u);
  EXPECT_EQ(core_->watchdog_state(), 1);
  clock_.Advance(nvr::kHeartbeatTimerMs);
  Pump();
  auto beat = Next(watchdog);
  ASSERT_TRUE(beat);
  EXPECT_EQ(beat->wparam, 1u);

  watchdog.Close();
  start_result_ = 2;
  clock_.Advance(nvr::kHeartbeatTimerMs);
  Pump();
  EXPECT_EQ(core_->watchdog_state(), 0);
  EXPECT_EQ(started_.size(), 2u);
  EXPECT_NE(Log().find("winexec watchdog failed error:2\r\n"), std::string::npos);
}

TEST_F(ExitRestoreTest, ExitStopsEverythingAndTellsTheOthers) {
  qvp::Endpoint watchdog, replay;
  ASSERT_TRUE(watchdog.Bind(watchdog_name_));
  ASSERT_TRUE(replay.Bind(replay_name_));
  nvr::CoreConfig config = Endpoints();
  config.pinger = [](const std::string&) { return true; };
  ASSERT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_), settings_));
  // With its worker threads this time.
  config.home = home_;
  config.library = &lib_;
  config.db = &db_;
  config.drives = nvr::DriveMap({{'C', Path("c")}});
  nvr::RecorderCore core(std::move(config));
  ASSERT_TRUE(core.Start().ok);
  core.ConnectAll();
  ASSERT_EQ(lib_.Running(), 3u);
  ASSERT_TRUE(Next(watchdog));  // greeting
  core.Exit();
  EXPECT_EQ(lib_.Running(), 0u);
  EXPECT_EQ(ExitFlag(home_), "1");
  auto stop = Next(watchdog);
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->wparam, 2u);
  EXPECT_EQ(core.watchdog_state(), -1);
  auto close = Next(replay);
  ASSERT_TRUE(close);
  EXPECT_EQ(close->msg, 6024u);
  EXPECT_FALSE(core.Loop().NextTimerDueIn());  // both timers gone
}

TEST(ProgramStart, ReportsAMissingProgram) {
  EXPECT_EQ(nvr::StartDetachedProgram("/nonexistent/QV_Watchdog", {"-soft"}), ENOENT);
  EXPECT_EQ(nvr::StartDetachedProgram("/bin/true", {"-soft"}), 0);
}

TEST(CoreLoop, TimersOnTheTickClockFireOnceWhenLate) {
  qvtest::FakeClock clock(0xFFFFF000u);  // across the wrap too
  nvr::CoreLoop loop;
  int fired = 0;
  loop.SetTimer(1, 5000, [&] { ++fired; });
  loop.RunPending();
  EXPECT_EQ(fired, 0);
  clock.Advance(4999);
  loop.RunPending();
  EXPECT_EQ(fired, 0);
  clock.Advance(1);
  loop.RunPending();
  EXPECT_EQ(fired, 1);
  clock.Advance(15000);  // three intervals late
  loop.RunPending();
  EXPECT_EQ(fired, 2);
  loop.SetTimer(2, 10, [&] { loop.KillTimer(2); });
  clock.Advance(10);
  loop.RunPending();
  EXPECT_EQ(loop.NextTimerDueIn(), std::optional<uint32_t>(5000 - 10));
}

TEST(CoreLoop, MessagesAndTasksFromOtherThreads) {
  nvr::CoreLoop loop;
  std::vector<uint32_t> seen;
  loop.SetMessageHandler([&](uint32_t msg, uint32_t, int32_t) { seen.push_back(msg); });
  ASSERT_TRUE(qvp::PostWindowMessage(loop.Window(), 9025, 1, 0));
  ASSERT_TRUE(qvp::PostWindowMessage(loop.Window(), 9026, 1, 0));
  loop.DiscardMessages(9025);
  std::thread poster([&] {
    loop.Post([&] { seen.push_back(1); });
    loop.Post([&] { loop.Quit(); });
  });
  loop.Run();  // returns once the posted Quit ran
  poster.join();
  EXPECT_EQ(seen, (std::vector<uint32_t>{9026, 1}));
  EXPECT_FALSE(loop.Post([] {}));
}

}  // namespace
