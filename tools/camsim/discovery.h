// The cameras' side of device discovery: a responder on UDP port 6789 that answers each
// discovery request ("quorvalenta\0", type 2, 43 bytes) with one 176-byte reply naming a camera
// with a model, a name, an RTSP port and a number of channels. It listens on every address and
// has joined the multicast group 224.111.111.1 on every interface that is up, so it hears both
// the multicast and the broadcast request, as a camera does.
//
// It answers only requests sent from an address of this machine: the simulator must never pose
// as a camera to other hosts of a network. Tests run it inside a network namespace of their own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/camsim/net.h"

namespace camsim {

struct DiscoveryOptions {
  std::string model = "IPCAMERA";  // the cameras say "IPCAMERA" or "DVS"
  std::string name = "QVCamSim";
  int channels = 1;                // 0..255
  uint16_t port = 6789;            // where requests arrive
  std::string address_text;        // the reply's address field; "" = the address it was asked on
};

// One request as the responder received it.
struct DiscoveryRequestSeen {
  std::vector<uint8_t> bytes;
  std::string source;       // dotted sender
  uint16_t source_port = 0;
  std::string destination;  // the address it was sent to: the group, 255.255.255.255, ...
  bool answered = false;
};

inline constexpr size_t kDiscoveryRequestBytes = 43;
inline constexpr size_t kDiscoveryReplyBytes = 176;

// A discovery request: magic, type 2 (the 30 zero bytes are not checked).
bool IsDiscoveryRequest(const uint8_t* data, size_t size);
// The reply of a camera with `options` whose RTSP port is `rtsp_port`; `address` goes into the
// address field (cut to 29 bytes).
std::vector<uint8_t> EncodeDiscoveryReply(const DiscoveryOptions& options, uint16_t rtsp_port,
                                          const std::string& address);

class DiscoveryResponder {
 public:
  explicit DiscoveryResponder(DiscoveryOptions options) : options_(std::move(options)) {}
  ~DiscoveryResponder() { Stop(); }
  DiscoveryResponder(const DiscoveryResponder&) = delete;
  DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

  // Binds the port, joins the group and starts answering for a camera on `rtsp_port`.
  bool Start(uint16_t rtsp_port, std::string* error);
  void Stop();
  // Every request received so far (at most the last 1000).
  std::vector<DiscoveryRequestSeen> Requests() const;
  // The interfaces whose group membership worked (dotted addresses).
  const std::vector<std::string>& JoinedOn() const { return joined_; }

 private:
  void Run();
  void HandleOne();

  DiscoveryOptions options_;
  uint16_t rtsp_port_ = 0;
  Fd socket_;
  WakePipe wake_;
  std::thread thread_;
  std::vector<std::string> joined_;
  mutable std::mutex lock_;
  std::vector<DiscoveryRequestSeen> requests_;
};

}  // namespace camsim
