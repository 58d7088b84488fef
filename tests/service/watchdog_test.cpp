// The watchdog's decisions on a hand-moved tick, and its command line.
#include <gtest/gtest.h>

#include "nvr/core/engine/exit_restore.h"
#include "nvr/watchdog/heartbeat_watch.h"

namespace {

using qvwd::HeartbeatWatch;
using qvwd::WatchAction;

qvp::EndpointMessage Beat(uint32_t wparam) { return {nvr::kWmWatchdog, wparam, 0}; }

TEST(HeartbeatWatchTest, HeartbeatsKeepTheRecorderAliveAndSilenceRestartsIt) {
  HeartbeatWatch watch(30000, 1000);
  EXPECT_EQ(watch.OnTick(30999, false), WatchAction::kNone);
  EXPECT_EQ(watch.OnMessage(Beat(nvr::kWatchdogHello), 20000), WatchAction::kNone);
  EXPECT_EQ(watch.OnMessage(Beat(nvr::kWatchdogSeen), 40000), WatchAction::kNone);
  EXPECT_EQ(watch.heartbeats(), 2u);
  EXPECT_EQ(watch.OnTick(69999, false), WatchAction::kNone);
  EXPECT_EQ(watch.OnTick(70000, false), WatchAction::kRestart);
  // The new recorder gets a whole time-out to come up.
  watch.Restarted(70000);
  EXPECT_EQ(watch.OnTick(99999, false), WatchAction::kNone);
  EXPECT_EQ(watch.OnTick(100000, false), WatchAction::kRestart);
}

TEST(HeartbeatWatchTest, ARecorderThatStillRunsIsNeverStartedAgain) {
  HeartbeatWatch watch(30000, 0);
  EXPECT_EQ(watch.OnTick(30000, true), WatchAction::kStalled);
  EXPECT_EQ(watch.OnTick(60000, true), WatchAction::kNone);  // reported once per silence
  EXPECT_EQ(watch.OnMessage(Beat(1), 61000), WatchAction::kNone);
  EXPECT_EQ(watch.OnTick(91000, true), WatchAction::kStalled);
  EXPECT_EQ(watch.OnTick(91500, false), WatchAction::kRestart);
}

TEST(HeartbeatWatchTest, StopWatchingEndsAndOtherMessagesAreNoHeartbeat) {
  HeartbeatWatch watch(1000, 0);
  EXPECT_EQ(watch.OnMessage({nvr::kWmWatchdog + 1, 0, 0}, 900), WatchAction::kNone);
  EXPECT_EQ(watch.OnMessage(Beat(3), 900), WatchAction::kNone);
  EXPECT_EQ(watch.heartbeats(), 0u);
  EXPECT_EQ(watch.OnTick(1000, false), WatchAction::kRestart);
  EXPECT_EQ(watch.OnMessage(Beat(nvr::kWatchdogStop), 1000), WatchAction::kExit);
}

TEST(HeartbeatWatchTest, SilenceAcrossTheTickWrapIsMeasuredAsElapsedTime) {
  HeartbeatWatch watch(30000, 0xFFFFF000u);
  EXPECT_EQ(watch.OnTick(0x00001000u, false), WatchAction::kNone);  // 8 s later
  EXPECT_EQ(watch.OnTick(0xFFFFF000u + 30000u, false), WatchAction::kRestart);
}

TEST(WatchdogArgsTest, OptionsAndTheRestartCommand) {
  const auto soft = qvwd::ParseWatchdogArgs({"-soft"});
  ASSERT_TRUE(soft.has_value());
  EXPECT_TRUE(soft->soft);
  EXPECT_EQ(soft->timeout_ms, 30000u);

  const auto custom = qvwd::ParseWatchdogArgs({"--timeout", "1.5", "--", "/bin/rec", "-x"});
  ASSERT_TRUE(custom.has_value());
  EXPECT_EQ(custom->timeout_ms, 1500u);
  EXPECT_EQ(custom->command, (std::vector<std::string>{"/bin/rec", "-x"}));

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--timeout"}, {"--timeout", "0"},
                                             {"--timeout", "5s"}, {"--"}, {"-hard"}}) {
    EXPECT_FALSE(qvwd::ParseWatchdogArgs(bad).has_value()) << bad[0];
  }

  EXPECT_EQ(qvwd::RestartCommand({}, "/opt/qv", nullptr),
            (std::vector<std::string>{"/opt/qv/QV_NVR", "-watchdog"}));
  EXPECT_EQ(qvwd::RestartCommand({}, "/opt/qv", "-service -watchdog"),
            (std::vector<std::string>{"/opt/qv/QV_NVR", "-service", "-watchdog"}));
  EXPECT_EQ(qvwd::RestartCommand({"/x"}, "/opt/qv", "-service"), std::vector<std::string>{"/x"});
}

}  // namespace
