#include "platform/endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/sync.h"

namespace qvp {
namespace {

// A folder of ours that nobody else can enter.
bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 077) == 0;
}

bool IsFolder(const char* path) {
  struct stat st {};
  return path != nullptr && path[0] != '\0' && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string SafeName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '-') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool MakeAddress(const std::string& path, sockaddr_un* addr) {
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
  path.copy(addr->sun_path, path.size());
  return true;
}

Socket DatagramSocket() { return Socket(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)); }

enum class Probe { kAlive, kStale, kAbsent, kUnknown };

Probe ProbePath(const std::string& path) {
  sockaddr_un addr{};
  if (!MakeAddress(path, &addr)) return Probe::kUnknown;
  const Socket s = DatagramSocket();
  if (!s.IsValid()) return Probe::kUnknown;
  if (connect(s.Fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return Probe::kAlive;
  if (errno == ECONNREFUSED) return Probe::kStale;
  if (errno == ENOENT) return Probe::kAbsent;
  return Probe::kUnknown;
}

// Exclusive flock on the runtime folder for the life of the object (bind and removal only).
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

std::string RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = IsFolder(xdg) ? std::string(xdg) + "/qv_nvr"
                                           : "/tmp/qv_nvr-" + std::to_string(geteuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  return IsPrivateFolder(folder) ? folder : std::string();
}

std::string RuntimePath(const std::string& name, const char* suffix) {
  if (name.empty()) return std::string();
  const std::string folder = RuntimeFolder();
  if (folder.empty()) return std::string();
  return folder + "/" + SafeName(name) + (suffix != nullptr ? suffix : "");
}

Endpoint::Endpoint(Endpoint&& other) noexcept
    : socket_(std::move(other.socket_)), path_(std::move(other.path_)), dev_(other.dev_),
      ino_(other.ino_) {
  other.path_.clear();
}

Endpoint& Endpoint::operator=(Endpoint&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = std::move(other.socket_);
    path_ = std::move(other.path_);
    dev_ = other.dev_;
    ino_ = other.ino_;
    other.path_.clear();
  }
  return *this;
}

bool Endpoint::Bind(const std::string& name) {
  Close();
  const std::string path = RuntimePath(name, ".sock");
  sockaddr_un addr{};
  if (!MakeAddress(path, &addr)) return false;
  Socket s = DatagramSocket();
  if (!s.IsValid()) return false;

  FolderLock lock(RuntimeFolder());
  const Probe probe = ProbePath(path);
  if (probe == Probe::kAlive || probe == Probe::kUnknown) return false;
  if (probe == Probe::kStale) unlink(path.c_str());
  if (bind(s.Fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return false;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  socket_ = std::move(s);
  path_ = path;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  return true;
}

std::optional<EndpointMessage> Endpoint::Receive(uint32_t timeout_ms) {
  if (!socket_.IsValid()) return std::nullopt;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int wait_ms = -1;
    if (timeout_ms != kInfinite) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait_ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
    }
    pollfd pfd{socket_.Fd(), POLLIN, 0};
    const int ready = poll(&pfd, 1, wait_ms);
    if (ready < 0 && errno != EINTR) return std::nullopt;
    if (ready > 0) {
      uint8_t buf[64];
      const ssize_t n = recv(socket_.Fd(), buf, sizeof buf, MSG_DONTWAIT);
      if (n == static_cast<ssize_t>(kEndpointMessageSize)) {
        return EndpointMessage{GetU32(buf), GetU32(buf + 4), static_cast<int32_t>(GetU32(buf + 8))};
      }
      continue;  // a foreign datagram: look at what else is queued
    }
    if (ready == 0 && wait_ms == 0) return std::nullopt;
  }
}

void Endpoint::Close() {
  if (!path_.empty()) {
    FolderLock lock(RuntimeFolder());
    struct stat st {};
    // A later Bind by someone else may have replaced the file; only our own is removed.
    if (lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) {
      unlink(path_.c_str());
    }
    path_.clear();
  }
  socket_.Close();
}

bool EndpointExists(const std::string& name) {
  const std::string path = RuntimePath(name, ".sock");
  if (path.empty()) return false;
  const Probe probe = ProbePath(path);
  if (probe == Probe::kAlive) return true;
  if (probe == Probe::kStale) {
    FolderLock lock(RuntimeFolder());
    if (ProbePath(path) == Probe::kStale) unlink(path.c_str());  // still stale under the lock
  }
  return false;
}

bool PostToEndpoint(const std::string& name, uint32_t msg, uint32_t wparam, int32_t lparam) {
  sockaddr_un addr{};
  if (!MakeAddress(RuntimePath(name, ".sock"), &addr)) return false;
  const Socket s = DatagramSocket();
  if (!s.IsValid()) return false;
  uint8_t buf[kEndpointMessageSize];
  PutU32(buf, msg);
  PutU32(buf + 4, wparam);
  PutU32(buf + 8, static_cast<uint32_t>(lparam));
  const ssize_t n = sendto(s.Fd(), buf, sizeof buf, MSG_DONTWAIT | MSG_NOSIGNAL,
                           reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  return n == static_cast<ssize_t>(sizeof buf);
}

}  // namespace qvp
