#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace qvp {
namespace {

thread_local int t_last_error = 0;

// Records `err` (already translated) and hands it back, so failures read `return Fail(...)`.
int Fail(int err) {
  t_last_error = err;
  return err;
}

bool IsNonBlockingFd(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

// Records the current errno for an operation on `fd`; EAGAIN's meaning depends on the mode.
void FailFromErrno(int fd) {
  const int err = errno;
  Fail(SocketErrorFromErrno(err, fd >= 0 && IsNonBlockingFd(fd)));
}

sockaddr_in MakeAddress(const in_addr& addr, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr = addr;
  return sa;
}

bool SetIntOption(const Socket& s, int level, int name, int value) {
  if (setsockopt(s.Fd(), level, name, &value, sizeof(value)) == 0) return true;
  FailFromErrno(-1);
  return false;
}

bool SetTimeoutOption(const Socket& s, int name, uint32_t timeout_ms) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(timeout_ms / 1000);
  tv.tv_usec = static_cast<suseconds_t>((timeout_ms % 1000) * 1000);
  if (setsockopt(s.Fd(), SOL_SOCKET, name, &tv, sizeof(tv)) == 0) return true;
  FailFromErrno(-1);
  return false;
}

// Waits until a non-blocking connect has finished or `timeout_ms` has passed; returns 0 or
// the translated error.
int WaitConnected(int fd, uint32_t timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const int wait_ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
    pollfd pfd{fd, POLLOUT, 0};
    const int rc = poll(&pfd, 1, wait_ms);
    if (rc == 0) return kSockTimedOut;
    if (rc < 0) {
      if (errno == EINTR) continue;
      return SocketErrorFromErrno(errno, false);
    }
    int so_error = 0;
    socklen_t len = sizeof(so_error);
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) != 0) return SocketErrorFromErrno(errno, false);
    // A refused or unreachable connect also reports "writable"; SO_ERROR tells which it was.
    return so_error == 0 ? 0 : SocketErrorFromErrno(so_error, false);
  }
}

}  // namespace

int LastSocketError() { return t_last_error; }

int SocketErrorFromErrno(int err, bool nonblocking) {
  if (err == EINPROGRESS) return kSockWouldBlock;
  if (err == EAGAIN || err == EWOULDBLOCK) return nonblocking ? kSockWouldBlock : kSockTimedOut;
  if (err == ETIMEDOUT) return kSockTimedOut;
  return err;
}

Socket::Socket(Socket&& other) noexcept : fd_(other.Release()) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

Socket Socket::Tcp() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) FailFromErrno(-1);
  return Socket(fd);
}

Socket Socket::Udp() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) FailFromErrno(-1);
  return Socket(fd);
}

int Socket::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Socket::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

void Socket::Shutdown() const {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

bool ResolveIPv4(const std::string& host, in_addr* out) {
  if (out == nullptr) return false;
  const bool numeric = std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
  if (numeric) {
    if (inet_pton(AF_INET, host.c_str(), out) == 1) return true;
    Fail(kSockHostNotFound);
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
    Fail(kSockHostNotFound);
    return false;
  }
  bool found = false;
  for (const addrinfo* ai = list; ai != nullptr && !found; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET || ai->ai_addrlen < sizeof(sockaddr_in)) continue;
    *out = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
    found = true;
  }
  freeaddrinfo(list);
  if (!found) Fail(kSockHostNotFound);
  return found;
}

int ConnectWithTimeout(const Socket& s, const in_addr& addr, uint16_t port, uint32_t timeout_ms) {
  if (!s.IsValid()) return Fail(EBADF);
  if (!SetNonBlocking(s, true)) return LastSocketError();
  const sockaddr_in sa = MakeAddress(addr, port);
  int result = 0;
  if (connect(s.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) != 0) {
    const int err = errno;
    // EINTR leaves the connect running in the background, like EINPROGRESS.
    const int mapped = err == EINTR ? kSockWouldBlock : SocketErrorFromErrno(err, true);
    result = mapped == kSockWouldBlock ? WaitConnected(s.Fd(), timeout_ms) : mapped;
  }
  // Back to blocking whatever happened: callers use the socket (or close it) in blocking mode.
  const bool restored = SetNonBlocking(s, false);
  if (result != 0) return Fail(result);
  return restored ? 0 : LastSocketError();
}

bool SetSendTimeout(const Socket& s, uint32_t timeout_ms) { return SetTimeoutOption(s, SO_SNDTIMEO, timeout_ms); }
bool SetRecvTimeout(const Socket& s, uint32_t timeout_ms) { return SetTimeoutOption(s, SO_RCVTIMEO, timeout_ms); }
bool SetNoDelay(const Socket& s, bool on) { return SetIntOption(s, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
bool SetSendBufferSize(const Socket& s, int bytes) { return SetIntOption(s, SOL_SOCKET, SO_SNDBUF, bytes); }
bool SetRecvBufferSize(const Socket& s, int bytes) { return SetIntOption(s, SOL_SOCKET, SO_RCVBUF, bytes); }

bool SetNonBlocking(const Socket& s, bool on) {
  const int flags = fcntl(s.Fd(), F_GETFL);
  if (flags < 0) {
    FailFromErrno(-1);
    return false;
  }
  const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (wanted == flags || fcntl(s.Fd(), F_SETFL, wanted) == 0) return true;
  FailFromErrno(-1);
  return false;
}

bool Bind(const Socket& s, const in_addr& local, uint16_t port) {
  const sockaddr_in sa = MakeAddress(local, port);
  if (bind(s.Fd(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == 0) return true;
  FailFromErrno(-1);
  return false;
}

Socket OpenUdp(const in_addr& local, uint16_t port) {
  Socket s = Socket::Udp();
  if (!s.IsValid() || !Bind(s, local, port)) return Socket();
  return s;
}

bool Listen(const Socket& s, const in_addr& local, uint16_t port, int backlog) {
  if (!SetIntOption(s, SOL_SOCKET, SO_REUSEADDR, 1) || !Bind(s, local, port)) return false;
  if (listen(s.Fd(), backlog) == 0) return true;
  FailFromErrno(-1);
  return false;
}

Socket Accept(const Socket& listener) {
  for (;;) {
    const int fd = accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return Socket(fd);
    if (errno == EINTR) continue;
    FailFromErrno(listener.Fd());
    return Socket();
  }
}

uint16_t LocalPort(const Socket& s) {
  sockaddr_in sa{};
  socklen_t len = sizeof(sa);
  if (getsockname(s.Fd(), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET) return 0;
  return ntohs(sa.sin_port);
}

size_t SendAll(const Socket& s, const void* data, size_t len) {
  const auto* p = static_cast<const uint8_t*>(data);
  size_t sent = 0;
  while (sent < len) {
    const ssize_t n = send(s.Fd(), p + sent, len - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {
      Fail(EPIPE);  // a stream send that moves nothing will never move anything
    } else {
      FailFromErrno(s.Fd());
    }
    break;
  }
  return sent;
}

ssize_t Recv(const Socket& s, void* buf, size_t len) { return RecvFrom(s, buf, len, nullptr); }

ssize_t RecvFrom(const Socket& s, void* buf, size_t len, sockaddr_in* from) {
  for (;;) {
    socklen_t from_len = sizeof(sockaddr_in);
    const ssize_t n = recvfrom(s.Fd(), buf, len, 0, reinterpret_cast<sockaddr*>(from), from ? &from_len : nullptr);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    FailFromErrno(s.Fd());
    return -1;
  }
}

ssize_t SendTo(const Socket& s, const void* data, size_t len, const in_addr& addr, uint16_t port) {
  const sockaddr_in sa = MakeAddress(addr, port);
  for (;;) {
    const ssize_t n = sendto(s.Fd(), data, len, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof(sa));
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    FailFromErrno(s.Fd());
    return -1;
  }
}

}  // namespace qvp
