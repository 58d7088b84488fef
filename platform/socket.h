// IPv4 sockets for the stream, control and talk connections: an owning RAII handle and the
// handful of operations the clients are written against (resolve, connect with a time-out,
// socket options, UDP ports, whole sends, receives).
//
// Error numbers. Every function here that fails records an error number for the calling
// thread, read back with LastSocketError() (like errno, it is not cleared by a success).
// Callers test two numbers, which keep their Windows sockets values:
//   kSockWouldBlock (10035)  EINPROGRESS, or EAGAIN/EWOULDBLOCK on a connect or on a
//                            non-blocking socket: the operation cannot finish at once.
//   kSockTimedOut   (10060)  EAGAIN/EWOULDBLOCK on a blocking socket whose SO_RCVTIMEO or
//                            SO_SNDTIMEO ran out, a connect that did not finish within its
//                            time-out, and ETIMEDOUT.
// Every other failure records its errno value unchanged (all below 10000 on Linux, so they
// never collide with the two above); an unresolvable host records kSockHostNotFound.
//
// Sends use MSG_NOSIGNAL: a peer that went away yields EPIPE, never SIGPIPE.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace qvp {

inline constexpr int kSockWouldBlock = 10035;
inline constexpr int kSockTimedOut = 10060;
inline constexpr int kSockHostNotFound = 11001;

// The error number of the last failing socket call of this module on this thread.
int LastSocketError();
// Translates an errno value as described above. `nonblocking` says whether EAGAIN means
// "would block" (non-blocking socket, connect) or "timed out" (blocking socket with a time-out).
int SocketErrorFromErrno(int err, bool nonblocking);

// Owns one socket descriptor; move-only, closed on destruction.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  static Socket Tcp();  // invalid when the descriptor cannot be created
  static Socket Udp();

  int Fd() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }
  // Gives up ownership without closing.
  int Release();
  void Close();
  // Wakes every thread blocked on this socket (their calls return 0 or fail) without
  // releasing the descriptor. Closing alone does not wake a blocked receive on Linux, and a
  // descriptor closed under a running thread can be reused by an unrelated open: stop a
  // receiving thread with Shutdown(), join it, then Close().
  void Shutdown() const;

 private:
  int fd_ = -1;
};

// Resolves `host` to an IPv4 address. A text of only digits and dots is converted directly
// (and fails if it is not a valid address); anything else is looked up by name and the first
// IPv4 address is taken.
bool ResolveIPv4(const std::string& host, in_addr* out);

// Connects a TCP socket within `timeout_ms`: the socket is switched to non-blocking for the
// connect and back to blocking afterwards, whatever the outcome. Returns 0 when connected,
// else the error number (kSockTimedOut when the time ran out, ECONNREFUSED, ...), which is
// also what LastSocketError() reports.
int ConnectWithTimeout(const Socket& s, const in_addr& addr, uint16_t port, uint32_t timeout_ms);

// Socket options; each returns false (with the error recorded) when the kernel refuses it.
// A time-out of 0 means "wait for ever", as with SO_RCVTIMEO itself.
bool SetSendTimeout(const Socket& s, uint32_t timeout_ms);
bool SetRecvTimeout(const Socket& s, uint32_t timeout_ms);
bool SetNoDelay(const Socket& s, bool on);
bool SetSendBufferSize(const Socket& s, int bytes);
bool SetRecvBufferSize(const Socket& s, int bytes);
bool SetNonBlocking(const Socket& s, bool on);

// Binds `s` to `local`:`port` (INADDR_ANY for every local address, port 0 for any free one).
// No SO_REUSEADDR, so a port in use fails with EADDRINUSE and the caller can try the next.
bool Bind(const Socket& s, const in_addr& local, uint16_t port);
// Creates a UDP socket bound to `local`:`port`; invalid (error recorded) when the bind fails.
Socket OpenUdp(const in_addr& local, uint16_t port);
// Makes `s` a TCP listener on `local`:`port` (SO_REUSEADDR, for servers and test peers).
bool Listen(const Socket& s, const in_addr& local, uint16_t port, int backlog);
// Accepts one connection; invalid on failure (kSockTimedOut after SO_RCVTIMEO).
Socket Accept(const Socket& listener);
// The local port the socket is bound to, 0 when unbound or on error.
uint16_t LocalPort(const Socket& s);

// Sends all `len` bytes, looping on partial sends and EINTR. Returns how many bytes went;
// fewer than `len` means an error (recorded) stopped it, e.g. kSockTimedOut.
size_t SendAll(const Socket& s, const void* data, size_t len);
// One receive of at most `len` bytes, retried on EINTR. Returns the byte count, 0 when the
// peer closed, -1 on error (kSockTimedOut when SO_RCVTIMEO ran out).
ssize_t Recv(const Socket& s, void* buf, size_t len);
// Datagram forms; `from` may be null.
ssize_t RecvFrom(const Socket& s, void* buf, size_t len, sockaddr_in* from);
ssize_t SendTo(const Socket& s, const void* data, size_t len, const in_addr& addr, uint16_t port);

}  // namespace qvp
