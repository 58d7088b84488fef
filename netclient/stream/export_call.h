// How the exports of both libraries reach a client: look the handle up, hold a lease of the
// client for the whole call (a concurrent stop waits for it, see HandleRegistry), and turn an
// unknown handle and any exception into the export's failure value. No exception leaves an
// export.
#pragma once

#include <cstdint>

#include "platform/handle_registry.h"

namespace qvnet {

// Runs `body` on the client of `h`; `fail` for an unknown handle or an exception.
template <typename Client, typename Result, typename Body>
Result WithClient(qvp::HandleRegistry<Client>& clients, uint32_t h, Result fail, Body body) noexcept {
  try {
    const typename qvp::HandleRegistry<Client>::Lease client = clients.Find(h);
    return client ? body(*client) : fail;
  } catch (...) {
    return fail;
  }
}

// Runs `call` and turns an exception into `fail` (exports that make or stop clients).
template <typename Result, typename Call>
Result Guarded(Result fail, Call call) noexcept {
  try {
    return call();
  } catch (...) {
    return fail;
  }
}

inline int Bool(bool b) { return b ? 1 : 0; }

}  // namespace qvnet
