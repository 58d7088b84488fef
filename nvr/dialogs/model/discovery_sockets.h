// The sockets device discovery sends from: one UDP socket per local IPv4 network, each bound
// to its address with a free port, allowed to broadcast and sending multicast out of its own
// interface (IP_MULTICAST_IF), so the request reaches every network the machine is on. An
// address in the same /24 network as a socket already open gets no socket of its own.
//
// The list is shared by the dialog's thread (Refresh, Send) and the receive thread (Collect,
// Receive), each under the list's lock. A socket that fails to receive is marked closed; it is
// left out from then on and dropped (closed) at the next Refresh.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/socket.h"

namespace nvrdlg {

// The IPv4 addresses of the interfaces that are up, loopback included, in the system's order.
std::vector<in_addr> LocalIPv4Addresses();

// True when `a` and `b` share their first three bytes.
bool SameSlash24(const in_addr& a, const in_addr& b);

class DiscoverySockets {
 public:
  // Drops the sockets marked closed, then opens one for each address whose /24 network has no
  // live socket yet. Returns the number of live sockets.
  size_t Refresh(const std::vector<in_addr>& addresses);
  // Sends `datagram` from every live socket to `group` and then, after `between()` (the pause
  // the cameras are given), to the broadcast address; both on `port`. Returns the datagrams
  // sent.
  size_t Send(const void* datagram, size_t size, const in_addr& group, uint16_t port,
              const std::function<void()>& between);

  // The descriptors of the live sockets (at most `limit`), for the receive thread's poll.
  std::vector<int> Collect(size_t limit);
  // Receives one datagram on descriptor `fd` without waiting: the byte count (0 also when
  // there was none after all), or -1 after an error (the socket is then marked closed).
  ssize_t Receive(int fd, void* buffer, size_t size, sockaddr_in* from);

  // Local addresses of the live sockets, in order (tests and the dialog's status).
  std::vector<in_addr> BoundAddresses();
  void CloseAll();

 private:
  struct Entry {
    qvp::Socket socket;
    in_addr address{};
    bool closed = false;
  };

  std::mutex lock_;
  std::vector<Entry> entries_;
};

}  // namespace nvrdlg
