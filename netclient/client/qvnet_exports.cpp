// The exported C interface of libQVNetClient.so: library start-up, client life cycle and state,
// and the camera-control commands. The other families have export files of their own. Every
// export looks its handle up first: an unknown handle behaves like handle 0, so a stale handle
// fails cleanly. No exception leaves an export.
#include "netclient/include/QVNetClient.h"
#include "netclient/stream/mctp_commands.h"
#include "netclient/client/qvnet_library.h"
#include "platform/tick_clock.h"

using qvnet::NetClient;
using qvnet::NetLibrary;
using qvnet::WithClient;

extern "C" {

QVNET_API int QVNET_Startup(int, int, ClientNotifyCallback callback, int) {
  NetLibrary().context.callback = callback;
  return 1;
}

QVNET_API void QVNET_Cleanup(void) {}

QVNET_API int QVNET_SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval) {
  NetLibrary().context.SetWaitTime(connect_timeout, retry_count, reconnect_interval);
  return 1;
}

// The library never opens a log stream, so there is nothing to format into.
QVNET_API void QVNET_Log(const char*, ...) {}

QVNET_API QVNET_HANDLE QVNET_ClientStart(const ClientParams* params) {
  if (params == nullptr) return 0;
  return qvnet::Guarded(QVNET_HANDLE{0}, [&] { return qvnet::StartLiveClient(*params); });
}

QVNET_API int QVNET_ClientStop(QVNET_HANDLE h) {
  return qvnet::Guarded(0, [&] { return qvnet::Bool(qvnet::StopClient(h)); });
}

QVNET_API int QVNET_ClientStartView(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.display_control.view = qvnet::ViewState::kOn;
    return 1;
  });
}

QVNET_API int QVNET_ClientStopView(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) {
    c.display_control.view = qvnet::ViewState::kOff;
    // Succeeds only once no drawing into the window is in progress, so the caller may reuse
    // it. A drawing takes milliseconds; one that has not ended within the bound (a window
    // sink that hangs) fails the call rather than holding the caller, and the client, for ever.
    for (uint32_t waited = 0; c.display_control.drawing.load(); ++waited) {
      if (waited >= qvnet::kStopViewWaitMs) return 0;
      qvp::SleepMs(1);
    }
    return 1;
  });
}

QVNET_API int QVNET_GetClientState(QVNET_HANDLE h) {
  return WithClient(h, 65535, [](NetClient& c) { return static_cast<int>(c.state.load()); });
}

QVNET_API int QVNET_GetBitStreamInfo(QVNET_HANDLE h, int* kbps, int* fps) {
  return WithClient(h, 0, [&](NetClient& c) {
    if (kbps != nullptr) *kbps = c.kbps.load();
    if (fps != nullptr) *fps = c.fps.load();
    return 1;
  });
}

QVNET_API int QVNET_ClientPTZCtrl(QVNET_HANDLE h, int command, int value) {
  return WithClient(h, 0, [&](NetClient& c) { return qvnet::Bool(qvnet::PTZCtrl(c, command, value)); });
}

QVNET_API int QVNET_ClientGetMDInfo(QVNET_HANDLE h, MDRegionTable* table) {
  return WithClient(h, 0, [&](NetClient& c) { return qvnet::Bool(table && qvnet::GetMDInfo(c, table)); });
}

QVNET_API int QVNET_ClientSaveMDInfo(QVNET_HANDLE h, const MDRegionTable* table) {
  return WithClient(h, 0, [&](NetClient& c) { return qvnet::Bool(table && qvnet::SaveMDInfo(c, table)); });
}

QVNET_API int QVNET_ClientStartMD(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) { return qvnet::Bool(qvnet::StartMD(c)); });
}

QVNET_API int QVNET_ClientStopMD(QVNET_HANDLE h) {
  return WithClient(h, 0, [](NetClient& c) { return qvnet::Bool(qvnet::StopMD(c)); });
}

QVNET_API int QVNET_ClientStopAlarm(QVNET_HANDLE h, int output) {
  return WithClient(h, 0, [&](NetClient& c) { return qvnet::Bool(qvnet::StopAlarm(c, output)); });
}

QVNET_API int QVNET_ClientSetVideoParam(QVNET_HANDLE h, int v1, int v2, int v3, int save) {
  return WithClient(h, 0, [&](NetClient& c) { return qvnet::Bool(qvnet::SetVideoParam(c, v1, v2, v3, save)); });
}

QVNET_API int QVNET_ClientGetVideoParam(QVNET_HANDLE h, uint8_t* v1, uint8_t* v2, uint8_t* v3) {
  return WithClient(h, 0, [&](NetClient& c) {
    if (v1 == nullptr || v2 == nullptr || v3 == nullptr) return 0;
    return qvnet::Bool(qvnet::GetVideoParam(c, v1, v2, v3));
  });
}

}  // extern "C"
