// The search engine of device discovery: the sockets (discovery_sockets.h), the receive thread
// and the queue of replies between it and the dialog's thread.
//
// The receive thread runs from Open() to Close(). It waits at most 10 ms at a time for any of
// at most 64 live sockets, reads one datagram from each readable one, keeps the whole replies
// (discovery_wire.h) in a queue of bounded length and calls the wake function once per reply
// queued; that function must only hand the news to the dialog's thread (a queued call), which
// then takes the replies with TakeReply(). Everything else is dropped there and then. The
// dialog's thread never reads a socket.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "nvr/dialogs/model/discovery_sockets.h"
#include "nvr/dialogs/model/discovery_wire.h"

namespace nvrdlg {

struct SearchOptions {
  uint16_t port = kDiscoveryPort;  // where the cameras listen
  std::string group = kDiscoveryGroup;
  uint32_t broadcast_delay_ms = 50;  // between the multicast and the broadcast request
  // The local addresses to search from; empty: LocalIPv4Addresses().
  std::function<std::vector<in_addr>()> addresses;
  size_t max_queued = 1024;  // replies beyond this wait nowhere: they are dropped
};

inline constexpr size_t kMaxReceiveSockets = 64;
inline constexpr int kReceiveWaitMs = 10;

class DeviceSearch {
 public:
  explicit DeviceSearch(SearchOptions options = SearchOptions());
  ~DeviceSearch();
  DeviceSearch(const DeviceSearch&) = delete;
  DeviceSearch& operator=(const DeviceSearch&) = delete;

  // Starts the receive thread; false when it cannot start (or already runs).
  bool Open(std::function<void()> wake);
  // One search: the sockets refreshed, the request sent from each. Returns the datagrams sent
  // (0: no address, no socket).
  size_t Search();
  // The oldest reply waiting, if any.
  std::optional<DiscoveryReply> TakeReply();
  // Stops and joins the receive thread, closes every socket and drops the replies still
  // waiting. Also done by the destructor.
  void Close();

  DiscoverySockets& Sockets() { return sockets_; }

 private:
  class ReceiveThread;
  void ReceiveOnce();
  void Queue(const DiscoveryReply& reply);

  SearchOptions options_;
  DiscoverySockets sockets_;
  std::function<void()> wake_;
  std::unique_ptr<ReceiveThread> thread_;
  std::mutex queue_lock_;
  std::deque<DiscoveryReply> queue_;
};

}  // namespace nvrdlg
