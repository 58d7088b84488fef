// The part of a client that the shared stream code works on: connection parameters, the
// connection state, what is known of the camera's stream (StreamFacts: picture, codecs,
// statistics) and the motion-detection state of the control channel. The live-view client
// (NetClient) and the recording client (NvrClient) derive from it and add what only they have;
// each decides how a notification travels (Notify).
//
// Fields written by one thread and polled by others are atomics with relaxed order: they are
// single values read by polling, never used to publish other memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "netclient/include/QVNetClient.h"
#include "netclient/media/display/motion_state.h"
#include "netclient/stream/library_context.h"
#include "netclient/wire/client_address.h"
#include "netclient/wire/rtp_packet.h"
#include "netclient/wire/stream_facts.h"
#include "netclient/wire/stream_flavor.h"

namespace qvnet {

// The connection states, as the public headers number them (value of NOTIFY_STATE, result of
// GetClientState).
enum ConnectionState : int32_t {
  kStateStreaming = QV_STATE_STREAMING,
  kStateConnecting = QV_STATE_CONNECTING,
  kStateFailed = QV_STATE_FAILED,
  kStateLost = QV_STATE_LOST,
  kStateReconnecting = QV_STATE_RECONNECTING,
  kStateGivenUp = QV_STATE_GIVEN_UP,
  kStateRefused = QV_STATE_REFUSED,  // recording library only
};

// The transport field of the client records (ClientParams, NvrClientParams): 0 RTP over UDP,
// 1 interleaved in the RTSP connection. False for any other value, which the start refuses.
bool TransportOf(int16_t field, MediaTransport* transport);

class StreamClient : public StreamFacts {
 public:
  StreamClient(LibraryContext& context, const StreamFlavor& flavor) : StreamFacts(flavor), context_(context) {}
  virtual ~StreamClient() = default;
  StreamClient(const StreamClient&) = delete;
  StreamClient& operator=(const StreamClient&) = delete;

  // Sends one notification the library's way (callback, posted message, or nothing).
  virtual void Notify(uint32_t code, int32_t value) = 0;

  LibraryContext& Context() const { return context_; }

  // Connection parameters, fixed once the client is made.
  uint32_t handle = 0;
  MediaTransport transport = MediaTransport::kUdp;
  uint8_t stream_number = 0;  // channel + 4 * stream index
  ClientAddress address;
  std::string user;
  std::string password;

  std::atomic<int32_t> state{kStateConnecting};
  // Set once the application started stopping the client.
  std::atomic<bool> stopping{false};

  MotionState motion;

 private:
  LibraryContext& context_;
};

inline bool TransportOf(int16_t field, MediaTransport* transport) {
  if (field != 0 && field != 1) return false;
  *transport = field == 0 ? MediaTransport::kUdp : MediaTransport::kTcp;
  return true;
}

}  // namespace qvnet
