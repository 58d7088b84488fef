// A private network for tests that broadcast or use multicast: the calling process moves into
// a network namespace of its own (unshare(CLONE_NEWNET)) with only the loopback interface up,
// so no datagram of the test can reach any other host. Threads started afterwards share it.
// Creating the namespace needs root (CAP_SYS_ADMIN); without it the test skips:
//
//   if (!qvtest::EnterPrivateNetwork(&why)) GTEST_SKIP() << why;
#pragma once

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace qvtest {

// True when every IPv4 interface address that is up is a loopback address.
inline bool OnlyLoopbackAddresses() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool only_loopback = true;
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    const auto* a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
    if ((ntohl(a->sin_addr.s_addr) >> 24) != 127) only_loopback = false;
  }
  freeifaddrs(list);
  return only_loopback;
}

inline bool EnterPrivateNetwork(std::string* why) {
  if (unshare(CLONE_NEWNET) != 0) {
    *why = std::string("cannot make a private network namespace (needs root): ") + std::strerror(errno);
    return false;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 &&
                  (ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP), ioctl(fd, SIOCSIFFLAGS, &ifr) == 0);
  if (fd >= 0) close(fd);
  if (!up || !OnlyLoopbackAddresses()) {
    *why = "the private network namespace has no loopback interface of its own";
    return false;
  }
  return true;
}

}  // namespace qvtest
