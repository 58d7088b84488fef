#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/endpoint.h"

namespace qvp {

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);  // releases the flock
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

std::optional<InstanceLock> TryAcquireLockFile(const std::string& path, bool* busy) {
  *busy = false;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return std::nullopt;
  int rc = 0;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    *busy = errno == EWOULDBLOCK;
    close(fd);
    return std::nullopt;
  }
  return InstanceLock(fd);
}

std::optional<InstanceLock> TryAcquireInstance(const std::string& name) {
  const std::string path = RuntimePath(name, ".lock");
  if (path.empty()) return std::nullopt;
  bool busy = false;
  return TryAcquireLockFile(path, &busy);
}

}  // namespace qvp
