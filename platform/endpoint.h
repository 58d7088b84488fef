// Named endpoints between programs of one user on one machine: how the recorder finds and
// messages the watchdog and the replay program ("find window", "post message"), and how a
// second copy of a program finds the first.
//
// An endpoint is a Unix-domain datagram socket (unix(7)) in the runtime folder
// ($XDG_RUNTIME_DIR/qv_nvr, or /tmp/qv_nvr-<uid> when there is no usable $XDG_RUNTIME_DIR),
// one per name (a window class or title such as "QV_WATCHDOGAPP" or " QV_NVR Replay"). Names
// are mapped to safe file names: letters, digits, '_' and '-' stay, every other byte becomes
// "%XX". A message is one 12-byte datagram {u32 msg, u32 wparam, i32 lparam}, little-endian.
//
// A socket file whose owner died stays behind; it refuses connections, and counts as absent:
// EndpointExists removes it and Bind replaces it. Binding, replacing and removing happen under
// an flock on the runtime folder, so two programs never remove each other's fresh endpoint.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/socket.h"

namespace qvp {

struct EndpointMessage {
  uint32_t msg = 0;
  uint32_t wparam = 0;
  int32_t lparam = 0;
};

inline constexpr size_t kEndpointMessageSize = 12;

// The runtime folder, created with mode 0700 when missing. A fallback folder that is not a
// folder of ours with mode 0700 (someone else made it first) is refused: "" then, and every
// endpoint and instance-lock call fails.
std::string RuntimeFolder();
// "<runtime folder>/<safe name><suffix>"; "" when the folder is unusable or the name empty.
std::string RuntimePath(const std::string& name, const char* suffix);

// The receiving side of one named endpoint. Move-only; closing removes its socket file.
class Endpoint {
 public:
  Endpoint() = default;
  ~Endpoint() { Close(); }
  Endpoint(Endpoint&& other) noexcept;
  Endpoint& operator=(Endpoint&& other) noexcept;
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  // Creates the endpoint `name`. Fails while a live endpoint of that name exists (another
  // copy of the program), replaces a stale one.
  bool Bind(const std::string& name);
  bool IsBound() const { return socket_.IsValid(); }
  // The socket, for an event loop that waits for readability itself.
  int Fd() const { return socket_.Fd(); }
  // The next message, waiting at most `timeout_ms` (0: only what is queued; kInfinite from
  // platform/sync.h: for ever). Datagrams of another size are dropped. nullopt on time-out.
  std::optional<EndpointMessage> Receive(uint32_t timeout_ms);
  // Removes the socket file (only if it is still this endpoint's) and closes the socket.
  void Close();

 private:
  Socket socket_;
  std::string path_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
};

// True when a live endpoint `name` exists (a datagram to it would be accepted). A stale
// socket file is removed.
bool EndpointExists(const std::string& name);

// Queues one message for the endpoint `name` without waiting: false when there is no live
// endpoint or its queue is full.
bool PostToEndpoint(const std::string& name, uint32_t msg, uint32_t wparam, int32_t lparam);

}  // namespace qvp
