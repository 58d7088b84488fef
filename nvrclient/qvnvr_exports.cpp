// The exported C interface of libQVNVRClient.so. Every export looks its handle up first: an
// unknown handle behaves like handle 0. No exception leaves an export.
#include <memory>

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
  try {
    NvrClient* c = Library().clients.Find(h);
    return c == nullptr ? fail : body(*c);
  } catch (...) {
    return fail;
  }
}

int Bool(bool b) { return b ? 1 : 0; }

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
  try {
    return qvnvr::StartClient(*params);
  } catch (...) {
    return 0;
  }
}

QVNVR_API int QVNVR_ClientStop(QVNVR_HANDLE h) {
  try {
    NvrClient* client = qvnvr::Library().clients.Remove(h);
    if (client == nullptr) return 0;
    client->Stop();
    delete client;
    return 1;
  } catch (...) {
    return 0;
  }
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
