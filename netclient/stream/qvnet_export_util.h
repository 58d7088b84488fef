// Shared by the export files of libQVNetClient.so: look a handle up and run an export body on
// its client, turning an unknown handle and any exception into the export's failure value.
#pragma once

#include "netclient/include/QVNetClient.h"
#include "netclient/stream/net_client.h"
#include "netclient/stream/qvnet_library.h"

namespace qvnet {

inline NetClient* FindClient(QVNET_HANDLE h) { return NetLibrary().clients.Find(h); }

// Runs `body` on the client of `h`; `fail` for an unknown handle or an exception.
template <typename Result, typename Body>
Result WithClient(QVNET_HANDLE h, Result fail, Body body) noexcept {
  try {
    NetClient* c = FindClient(h);
    return c == nullptr ? fail : body(*c);
  } catch (...) {
    return fail;
  }
}

inline int Bool(bool b) { return b ? 1 : 0; }

}  // namespace qvnet
