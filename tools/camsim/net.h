// Small POSIX socket helpers for the camera simulator. The simulator is a test peer that
// must stay independent of the client's own socket layer, so it keeps its own RAII here.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace camsim {

// Owns one file descriptor; closes it on destruction.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release();
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// A pipe whose read end becomes readable once Wake() was called; lets poll() loops stop.
class WakePipe {
 public:
  WakePipe();
  bool Valid() const { return read_.Valid() && write_.Valid(); }
  int ReadFd() const { return read_.Get(); }
  void Wake();

 private:
  Fd read_;
  Fd write_;
};

// Parses a dotted IPv4 address and port into `out`.
bool MakeAddress(const std::string& host, uint16_t port, sockaddr_in* out);

// TCP listener with SO_REUSEADDR; port 0 picks a free port. Sets `error` on failure.
Fd ListenTcp(const std::string& host, uint16_t port, std::string* error);

// Free-port UDP sockets for RTP and RTCP on an even/odd port pair.
bool BindUdpPair(const std::string& host, Fd* rtp, Fd* rtcp, uint16_t* rtp_port);

uint16_t LocalPort(int fd);
// Address of the connected peer in host order; 0 on failure.
bool PeerAddress(int fd, sockaddr_in* out);

// Sends every byte (looping over partial sends); false on any error. Never raises SIGPIPE.
bool SendAll(int fd, const void* data, size_t size);

// Waits until `fd` is readable or `wake_fd` fires. 1 readable, 0 time-out, -1 woken/error.
int WaitReadable(int fd, int wake_fd, int timeout_ms);

}  // namespace camsim
