// A plain TCP/UDP client for the simulator's tests, written like the cameras' real clients:
// one send per request, one recv per answer, RTP read from interleaved frames or datagrams.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/md5.h>
}

namespace camsim_test {

inline sockaddr_in Loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

class TestSocket {
 public:
  // TCP connection to 127.0.0.1:port.
  explicit TestSocket(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    const sockaddr_in addr = Loopback(port);
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
  }
  // UDP socket bound to a free port of 127.0.0.1.
  TestSocket() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in addr = Loopback(0);
    connected_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  }
  ~TestSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  TestSocket(const TestSocket&) = delete;
  TestSocket& operator=(const TestSocket&) = delete;

  bool ok() const { return connected_; }
  int fd() const { return fd_; }
  uint16_t LocalPort() const {
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
  }

  bool Send(std::string_view text) {
    return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
  }

  bool Readable(int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) == 1;
  }

  // One recv, as the client under test reads an answer; empty on time-out or close.
  std::string RecvOnce(int timeout_ms = 5000) {
    if (!Readable(timeout_ms)) return {};
    char buffer[8192];
    const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }

  bool RecvExact(uint8_t* out, size_t size, int timeout_ms) {
    while (size > 0) {
      if (!Readable(timeout_ms)) return false;
      const ssize_t n = ::recv(fd_, out, size, 0);
      if (n <= 0) return false;
      out += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  // One '$' frame of the RTSP connection; returns its channel, or -1.
  int ReadInterleaved(std::vector<uint8_t>* packet, int timeout_ms = 3000) {
    uint8_t header[4];
    if (!RecvExact(header, 4, timeout_ms) || header[0] != '$') return -1;
    packet->resize(static_cast<size_t>(header[2] << 8 | header[3]));
    if (!RecvExact(packet->data(), packet->size(), timeout_ms)) return -1;
    return header[1];
  }

  // One datagram; false on time-out.
  bool ReadDatagram(std::vector<uint8_t>* packet, int timeout_ms = 3000) {
    if (!Readable(timeout_ms)) return false;
    packet->resize(65536);
    const ssize_t n = ::recv(fd_, packet->data(), packet->size(), 0);
    if (n <= 0) return false;
    packet->resize(static_cast<size_t>(n));
    return true;
  }

 private:
  int fd_;
  bool connected_ = false;
};

inline std::string Md5(std::string_view text) {
  uint8_t digest[16];
  av_md5_sum(digest, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

// The text between `key` + '"' and the next '"' in `text`.
inline std::string QuotedAfter(const std::string& text, const std::string& key) {
  const size_t pos = text.find(key + "\"");
  if (pos == std::string::npos) return {};
  const size_t begin = pos + key.size() + 1;
  return text.substr(begin, text.find('"', begin) - begin);
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    lines.push_back(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return lines;
}

}  // namespace camsim_test
