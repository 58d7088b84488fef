#include "tools/camsim/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace camsim {

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int Fd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Fd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

WakePipe::WakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  read_.Reset(fds[0]);
  write_.Reset(fds[1]);
}

void WakePipe::Wake() {
  const char byte = 1;
  // A full pipe already wakes every reader, so a failed write loses nothing.
  [[maybe_unused]] ssize_t n = ::write(write_.Get(), &byte, 1);
}

bool MakeAddress(const std::string& host, uint16_t port, sockaddr_in* out) {
  std::memset(out, 0, sizeof(*out));
  out->sin_family = AF_INET;
  out->sin_port = htons(port);
  return ::inet_pton(AF_INET, host.c_str(), &out->sin_addr) == 1;
}

Fd ListenTcp(const std::string& host, uint16_t port, std::string* error) {
  sockaddr_in addr;
  if (!MakeAddress(host, port, &addr)) {
    *error = "not an IPv4 address: " + host;
    return Fd();
  }
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    *error = std::string("socket: ") + std::strerror(errno);
    return Fd();
  }
  const int one = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::listen(fd.Get(), 64) != 0) {
    *error = host + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return Fd();
  }
  return fd;
}

static Fd BindUdp(const sockaddr_in& addr) {
  Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return Fd();
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) return Fd();
  return fd;
}

bool BindUdpPair(const std::string& host, Fd* rtp, Fd* rtcp, uint16_t* rtp_port) {
  sockaddr_in addr;
  if (!MakeAddress(host, 0, &addr)) return false;
  // RTP wants an even port with RTCP on the next one (RFC 3550 §11); a few tries find a pair.
  for (int attempt = 0; attempt < 32; ++attempt) {
    addr.sin_port = 0;
    Fd first = BindUdp(addr);
    if (!first.Valid()) return false;
    const uint16_t port = LocalPort(first.Get());
    if (port % 2 != 0 || port == 65534) continue;
    addr.sin_port = htons(static_cast<uint16_t>(port + 1));
    Fd second = BindUdp(addr);
    if (!second.Valid()) continue;
    *rtp = std::move(first);
    *rtcp = std::move(second);
    *rtp_port = port;
    return true;
  }
  return false;
}

uint16_t LocalPort(int fd) {
  sockaddr_in addr;
  socklen_t len = sizeof(addr);
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

bool PeerAddress(int fd, sockaddr_in* out) {
  socklen_t len = sizeof(*out);
  return ::getpeername(fd, reinterpret_cast<sockaddr*>(out), &len) == 0 &&
         out->sin_family == AF_INET;
}

bool SendAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int WaitReadable(int fd, int wake_fd, int timeout_ms) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  const nfds_t count = wake_fd >= 0 ? 2 : 1;
  for (;;) {
    const int n = ::poll(fds, count, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) return 0;
    if (count == 2 && (fds[1].revents & POLLIN)) return -1;
    return 1;
  }
}

}  // namespace camsim
