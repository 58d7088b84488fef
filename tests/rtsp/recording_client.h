// The live-view library's flavor of the notification-keeping test client.
#pragma once

#include "tests/support/note_client.h"

namespace qvtest {

class RecordingClient : public NoteClient {
 public:
  RecordingClient(qvnet::LibraryContext& context, uint16_t port, int16_t transport_kind = 1)
      : NoteClient(context, qvnet::kNetClientFlavor, port, transport_kind) {}
};

}  // namespace qvtest
