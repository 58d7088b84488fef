// Exports of the file-replay family: open and close a file client, and the replay controls.
// The controls only store single values that the reader and the display thread poll.
#include <algorithm>

#include "netclient/include/QVNetClient.h"
#include "netclient/client/qvnet_library.h"

using qvnet::NetClient;
using qvnet::ReplayControl;
using qvnet::WithClient;

extern "C" {

QVNET_API QVNET_HANDLE QVNET_OpenFile(const char* path, QV_HWND wnd, int start_paused) {
  return qvnet::Guarded(QVNET_HANDLE{0}, [&] { return qvnet::StartFileClient(path, wnd, start_paused != 0); });
}

QVNET_API int QVNET_CloseFile(QVNET_HANDLE h) {
  return qvnet::Guarded(0, [&] { return qvnet::Bool(qvnet::StopClient(h)); });
}

QVNET_API int QVNET_ReplayPause(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.replay.pause_state = 1;
    return 1;
  });
}

QVNET_API int QVNET_ReplayContinue(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.replay.pause_state = 0;
    return 1;
  });
}

QVNET_API int QVNET_ReplayStepByStep(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.replay.pause_state = 2;
    c.replay.step_request = true;
    return 1;
  });
}

QVNET_API int QVNET_SpeedFast(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    const int32_t speed = c.replay.speed.load();
    if (speed >= qvnet::kMaxReplaySpeed) return 0;
    c.replay.speed = speed + 1;
    return 1;
  });
}

QVNET_API int QVNET_SpeedNormal(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.replay.speed = 0;
    return 1;
  });
}

QVNET_API int QVNET_SpeedSlow(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    const int32_t speed = c.replay.speed.load();
    if (speed <= qvnet::kMinReplaySpeed) return 0;
    c.replay.speed = speed - 1;
    return 1;
  });
}

QVNET_API uint32_t QVNET_ReplayTotalTime(QVNET_HANDLE h) {
  return WithClient(h, 0u, [](NetClient& c) { return c.replay.total_seconds.load(); });
}

QVNET_API uint32_t QVNET_ReplayCurTime(QVNET_HANDLE h) {
  return WithClient(h, 0u, [](NetClient& c) {
    return std::min(c.replay.current_seconds.load(), c.replay.total_seconds.load());
  });
}

QVNET_API int QVNET_ReplaySeek(QVNET_HANDLE h, uint32_t seconds) {
  return WithClient(h, 0, [&](NetClient& c) {
    ReplayControl& rc = c.replay;
    const uint32_t total = rc.total_seconds.load();
    if (total == 0) return 0;
    const uint32_t target = std::min(seconds, total);
    rc.seek_target = target;
    rc.current_seconds = target;
    // Pending first: a paused display that sees the second flag waits while the first is up.
    rc.seek_pending = true;
    if (rc.pause_state.load() == 1) rc.seek_while_paused = true;
    return 1;
  });
}

}  // extern "C"
