// The exported C interface of libQVNVRClient.so. Every export looks its handle up first: an
// unknown handle behaves like handle 0. No exception leaves an export.
#include <memory>

#include "netclient/stream/export_call.h"
#include "netclient/stream/library_context.h"
#include "netclient/stream/mctp_commands.h"
#include "nvrclient/include/QVNVRClient.h"
#include "nvrclient/nvr_client.h"
#include "platform/handle_registry.h"

namespace qvnvr {
namespace {

struct NvrLibraryState {
  qvnet::LibraryContext context;
  qvp::HandleRegistry<NvrClient> clients;
};

NvrLibraryState& Library() {
  // Never destroyed: threads of clients the application did not stop may still use it at exit.
  static NvrLibraryState* state = new NvrLibraryState;
  return *state;
}

template <typename Result, typename Body>
Result WithClient(QVNVR_HANDLE h, Result fail, Body body) noexcept {
  return qvnet::WithClient(Library().clients, h, fail, body);
}

using qvnet::Bool;

QVNVR_HANDLE StartClient(const NvrClientParams& params) {
  auto client = std::make_unique<NvrClient>(Library().context);
  if (!client->Configure(params)) return 0;
  client->handle = Library().clients.Add(client.get());
  if (client->handle == 0) return 0;
  if (!client->Start()) {
    Library().clients.Remove(client->handle);
    return 0;
  }
  return client.release()->handle;
}

}  // namespace
}  // namespace qvnvr

using qvnvr::NvrClient;
using qvnvr::WithClient;

extern "C" {

QVNVR_API int QVNVR_Startup(int, int, int, int) { return 1; }

QVNVR_API void QVNVR_Cleanup(void) {}

QVNVR_API int QVNVR_SetWaitTime(int connect_timeout, int retry_count, int reconnect_interval) {
  qvnvr::Library().context.SetWaitTime(connect_timeout, retry_count, reconnect_interval);
  return 1;
}

QVNVR_API void QVNVR_Log(void) {}

QVNVR_API QVNVR_HANDLE QVNVR_ClientStart(const NvrClientParams* params) {
  if (params == nullptr) return 0;
  return qvnet::Guarded(QVNVR_HANDLE{0}, [&] { return qvnvr::StartClient(*params); });
}

QVNVR_API int QVNVR_ClientStop(QVNVR_HANDLE h) {
  return qvnet::Guarded(0, [&] {
    // Calls from now on fail as for an unknown handle; the ones still running end first.
    std::unique_ptr<NvrClient> client(qvnvr::Library().clients.Remove(h));
    if (client == nullptr) return 0;
    client->Stop();
    return 1;
  });
}

QVNVR_API int QVNVR_GetClientState(QVNVR_HANDLE h) {
  return WithClient(h, 65535, [](NvrClient& c) { return static_cast<int>(c.state.load()); });
}

QVNVR_API int QVNVR_ClientStartRecord(QVNVR_HANDLE h, const char* path, int seconds) {
  return WithClient(h, 0, [&](NvrClient& c) {
    if (c.Source().IsRecording()) return 0;
    return c.Source().ClientStartRecord(path, seconds);
  });
}

QVNVR_API int QVNVR_ClientStopRecord(QVNVR_HANDLE h) {
  return WithClient(h, 0, [](NvrClient& c) {
    if (!c.Source().IsRecording()) return 0;
    return c.Source().ClientStopRecord();
  });
}

QVNVR_API int QVNVR_ClientStartAlarmRecord(QVNVR_HANDLE h, const char* path, int seconds) {
  return WithClient(h, 0, [&](NvrClient& c) {
    if (c.Source().IsAlarmRecording()) return 0;
    return c.Source().ClientStartAlarmRecord(path, seconds);
  });
}

QVNVR_API int QVNVR_ClientStopAlarmRecord(QVNVR_HANDLE h) {
  return WithClient(h, 0, [](NvrClient& c) {
    if (!c.Source().IsAlarmRecording()) return 0;
    return c.Source().ClientStopAlarmRecord();
  });
}

QVNVR_API int QVNVR_ClientGetMDInfo(QVNVR_HANDLE h, MDRegionTable* table) {
  return WithClient(h, 0, [&](NvrClient& c) { return qvnvr::Bool(table && qvnet::GetMDInfo(c, table)); });
}

QVNVR_API int QVNVR_ClientSaveMDInfo(QVNVR_HANDLE h, const MDRegionTable* table) {
  return WithClient(h, 0, [&](NvrClient& c) { return qvnvr::Bool(table && qvnet::SaveMDInfo(c, table)); });
}

QVNVR_API int QVNVR_ClientStartMD(QVNVR_HANDLE h) {
  return WithClient(h, 0, [](NvrClient& c) { return qvnvr::Bool(qvnet::StartMD(c)); });
}

QVNVR_API int QVNVR_ClientStopMD(QVNVR_HANDLE h) {
  return WithClient(h, 0, [](NvrClient& c) { return qvnvr::Bool(qvnet::StopMD(c)); });
}

QVNVR_API int QVNVR_ClientStopAlarm(QVNVR_HANDLE h, int output) {
  return WithClient(h, 0, [&](NvrClient& c) { return qvnvr::Bool(qvnet::StopAlarm(c, output)); });
}

}  // extern "C"
