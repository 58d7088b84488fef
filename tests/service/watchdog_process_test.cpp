// QV_Watchdog as a process: heartbeats keep it quiet, silence makes it start the recorder (a
// stub that notes each start), a recorder that still answers is never started twice, one
// watchdog runs at a time, and "stop watching" ends it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "nvr/core/engine/exit_restore.h"
#include "platform/endpoint.h"
#include "tests/core/core_test_support.h"
#include "tests/service/child_process.h"
#include "tests/support/poll.h"

namespace {

using servicetest::ChildProcess;
using servicetest::ReadFile;

class WatchdogProcessTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    const std::string runtime = Path("runtime");
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    starts_ = Path("starts.txt");
    out_ = Path("watchdog.out");
  }
  void TearDown() override {
    watchdog_.Signal(SIGTERM);
    watchdog_.Wait(5000);
    unsetenv("XDG_RUNTIME_DIR");
    TempHome::TearDown();
  }

  // The watchdog with a 1-second time-out and a stub recorder that appends a line per start.
  void StartWatchdog() {
    ASSERT_TRUE(watchdog_.Start({QV_WATCHDOG_BIN, "-soft", "--timeout", "1", "--", "/bin/sh",
                                 "-c", "echo started >> '" + starts_ + "'"},
                                out_));
    ASSERT_TRUE(qvtest::PollUntil([] { return qvp::EndpointExists(nvr::kWatchdogEndpoint); }))
        << ReadFile(out_);
  }
  size_t Starts() {
    const std::string text = ReadFile(starts_);
    size_t n = 0;
    for (char c : text) n += c == '\n' ? 1 : 0;
    return n;
  }
  static void Beat(uint32_t wparam) {
    qvp::PostToEndpoint(nvr::kWatchdogEndpoint, nvr::kWmWatchdog, wparam, 0);
  }
  // Heartbeats every 200 ms for `ms`.
  static void BeatFor(int ms) {
    for (int waited = 0; waited < ms; waited += 200) {
      Beat(waited == 0 ? nvr::kWatchdogHello : nvr::kWatchdogSeen);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }

  std::string starts_;
  std::string out_;
  ChildProcess watchdog_;
};

TEST_F(WatchdogProcessTest, SilenceStartsTheRecorderAgainAndStopWatchingEndsIt) {
  StartWatchdog();
  BeatFor(2500);
  EXPECT_EQ(Starts(), 0u) << ReadFile(out_);

  ASSERT_TRUE(qvtest::PollUntil([&] { return Starts() >= 1; }, 5000)) << ReadFile(out_);
  EXPECT_TRUE(qvtest::PollUntil(
      [&] { return ReadFile(out_).find("no heartbeat: started /bin/sh -c") != std::string::npos; },
      2000))
      << ReadFile(out_);

  Beat(nvr::kWatchdogStop);
  EXPECT_EQ(watchdog_.Wait(5000), 0);
  EXPECT_NE(ReadFile(out_).find("the recorder stopped watching"), std::string::npos);
  EXPECT_FALSE(qvp::EndpointExists(nvr::kWatchdogEndpoint));
}

TEST_F(WatchdogProcessTest, ARecorderThatStillAnswersIsNotStartedAgain) {
  qvp::Endpoint recorder;
  ASSERT_TRUE(recorder.Bind("QV_NVRAPP"));  // a running (hung) recorder
  StartWatchdog();
  ASSERT_TRUE(qvtest::PollUntil(
      [&] { return ReadFile(out_).find("the recorder still runs") != std::string::npos; }, 5000))
      << ReadFile(out_);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a further time-out passes
  EXPECT_EQ(Starts(), 0u);

  recorder.Close();  // gone: the next check starts it
  EXPECT_TRUE(qvtest::PollUntil([&] { return Starts() == 1; }, 5000)) << ReadFile(out_);
}

TEST_F(WatchdogProcessTest, ASecondWatchdogLeavesAtOnce) {
  StartWatchdog();
  std::string output;
  EXPECT_EQ(servicetest::RunProgram({QV_WATCHDOG_BIN, "-soft"}, Path("second.out"), &output), 0);
  EXPECT_TRUE(watchdog_.Running());
  EXPECT_EQ(servicetest::RunProgram({QV_WATCHDOG_BIN, "--timeout", "x"}, Path("bad.out"), &output),
            2);
}

}  // namespace
