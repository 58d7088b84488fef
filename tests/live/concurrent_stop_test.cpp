// Exports of libQVNetClient.so called on one handle from several threads while another thread
// stops that client, round after round: the stop waits for the calls in flight, later calls
// fail cleanly, and nothing touches a freed client (the sanitizer builds check the last).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "tests/support/camera_helpers.h"
#include "tests/support/stop_race.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kRounds = 150;

TEST(ConcurrentStopTest, CallsOnAHandleRaceTheStopOfItsClient) {
  ASSERT_EQ(QVNET_Startup(0, 0, nullptr, 0), 1);
  // Nothing listens on the camera port, so every attempt and every command fails at once and
  // a round takes milliseconds; the client is busy reconnecting when it is stopped.
  QVNET_SetWaitTime(1, -1, 1);
  const uint16_t port = qvtest::ClosedPort();
  ASSERT_NE(port, 0);
  qvtest::TempDir dir("qv-concurrent-stop");
  const std::string path = dir.File("race.h264");
  for (int round = 0; round < kRounds; ++round) {
    ClientParams p{};
    p.transport = static_cast<int16_t>(round % 2);
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", port);
    const QVNET_HANDLE h = QVNET_ClientStart(&p);
    ASSERT_NE(h, 0u);
    qvtest::RaceTheStop(
        {
            {"QVNET_GetClientState", [h] { return QVNET_GetClientState(h); }, 65535},
            {"QVNET_ClientPTZCtrl", [h] { return QVNET_ClientPTZCtrl(h, 1, 1); }, 0},
            {"QVNET_ClientStartRecord", [h, &path] { return QVNET_ClientStartRecord(h, path.c_str(), 0); }, 0},
            {"QVNET_ReplayCurTime", [h] { return static_cast<int64_t>(QVNET_ReplayCurTime(h)); }, 0},
        },
        [h] { return QVNET_ClientStop(h); });
    if (HasFailure()) return;
  }
}

}  // namespace
