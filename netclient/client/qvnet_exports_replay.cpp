// Exports of the file-replay family: open and close a file client, and the replay controls.
// The controls only leave their command in the client's replay mailbox (ReplayControl), which
// the reader and the display thread carry out.
#include "netclient/include/QVNetClient.h"
#include "netclient/client/qvnet_library.h"

using qvnet::Bool;
using qvnet::NetClient;
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
    c.display_control.replay.Pause();
    return 1;
  });
}

QVNET_API int QVNET_ReplayContinue(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.display_control.replay.Continue();
    return 1;
  });
}

QVNET_API int QVNET_ReplayStepByStep(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.display_control.replay.Step();
    return 1;
  });
}

QVNET_API int QVNET_SpeedFast(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) { return Bool(c.display_control.replay.Faster()); });
}

QVNET_API int QVNET_SpeedNormal(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.display_control.replay.NormalSpeed();
    return 1;
  });
}

QVNET_API int QVNET_SpeedSlow(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) { return Bool(c.display_control.replay.Slower()); });
}

QVNET_API uint32_t QVNET_ReplayTotalTime(QVNET_HANDLE h) {
  return WithClient(h, 0u, [](NetClient& c) { return c.display_control.replay.TotalSeconds(); });
}

QVNET_API uint32_t QVNET_ReplayCurTime(QVNET_HANDLE h) {
  return WithClient(h, 0u, [](NetClient& c) { return c.display_control.replay.CurrentSeconds(); });
}

QVNET_API int QVNET_ReplaySeek(QVNET_HANDLE h, uint32_t seconds) {
  return WithClient(h, 0, [&](NetClient& c) { return Bool(c.display_control.replay.RequestSeek(seconds)); });
}

}  // extern "C"
