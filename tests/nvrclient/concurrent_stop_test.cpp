// Exports of libQVNVRClient.so called on one handle from several threads while another thread
// stops that client, round after round: the stop waits for the calls in flight, later calls
// fail cleanly, and nothing touches a freed client (the sanitizer builds check the last).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "nvrclient/include/QVNVRClient.h"
#include "tests/support/camera_helpers.h"
#include "tests/support/stop_race.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kRounds = 150;

TEST(NvrConcurrentStopTest, CallsOnAHandleRaceTheStopOfItsClient) {
  ASSERT_EQ(QVNVR_Startup(0, 0, 0, 0), 1);
  // Nothing listens on the camera port: attempts and commands fail at once, rounds are short.
  QVNVR_SetWaitTime(1, -1, 1);
  const uint16_t port = qvtest::ClosedPort();
  ASSERT_NE(port, 0);
  qvtest::TempDir dir("qv-nvr-concurrent-stop");
  const std::string path = dir.File("race.h264");
  for (int round = 0; round < kRounds; ++round) {
    NvrClientParams p{};
    p.transport = static_cast<int16_t>(round % 2);
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%u", port);
    const QVNVR_HANDLE h = QVNVR_ClientStart(&p);
    ASSERT_NE(h, 0u);
    qvtest::RaceTheStop(
        {
            {"QVNVR_GetClientState", [h] { return QVNVR_GetClientState(h); }, 65535},
            {"QVNVR_ClientStartMD", [h] { return QVNVR_ClientStartMD(h); }, 0},
            {"QVNVR_ClientStartRecord", [h, &path] { return QVNVR_ClientStartRecord(h, path.c_str(), 0); }, 0},
            {"QVNVR_ClientStopRecord", [h] { return QVNVR_ClientStopRecord(h); }, 0},
        },
        [h] { return QVNVR_ClientStop(h); });
    if (HasFailure()) return;
  }
}

}  // namespace
