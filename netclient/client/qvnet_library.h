// The state of the loaded libQVNetClient.so: its settings and callback (the library context)
// and the registry of its client handles, plus starting and stopping of clients.
#pragma once

#include "netclient/include/QVNetClient.h"
#include "netclient/stream/export_call.h"
#include "netclient/stream/library_context.h"
#include "netclient/client/net_client.h"
#include "platform/handle_registry.h"

namespace qvnet {

struct NetLibraryState {
  LibraryContext context;
  qvp::HandleRegistry<NetClient> clients;
};

// The one instance of this library (each shared library built from these sources has its own).
NetLibraryState& NetLibrary();

// Runs an export's `body` on the client of `h` (export_call.h).
template <typename Result, typename Body>
Result WithClient(QVNET_HANDLE h, Result fail, Body body) noexcept {
  return WithClient(NetLibrary().clients, h, fail, body);
}

// Makes a live client from `params` and starts its threads; 0 when anything fails (everything
// made so far is destroyed again).
QVNET_HANDLE StartLiveClient(const ClientParams& params);
// Makes a file client playing `path` into `window` and starts its threads; 0 when the path
// is missing or longer than 255 characters, or anything fails (everything made so far is
// destroyed again). With `start_paused` the first picture is shown and playback waits.
QVNET_HANDLE StartFileClient(const char* path, QV_HWND window, bool start_paused);
// Forgets the handle (calls from now on fail as for an unknown handle), waits for the calls
// still running on the client, stops its threads and frees it; false for an unknown handle.
// Live and file clients stop alike.
bool StopClient(QVNET_HANDLE h);

}  // namespace qvnet
