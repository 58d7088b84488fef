// Single instance of a program per user: an flock(2) on "<runtime folder>/<name>.lock"
// (endpoint.h), held for as long as the lock object lives. The kernel drops the lock when the
// process ends however it ends, so a crashed copy never blocks the next start. The lock file
// itself stays (removing it would let two copies lock two different files).
#pragma once

#include <optional>
#include <string>

namespace qvp {

class InstanceLock {
 public:
  explicit InstanceLock(int fd) : fd_(fd) {}
  ~InstanceLock();
  InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  int fd_;
};

// The lock for `name`, or nothing when another holder has it (or the runtime folder is
// unusable). Each call opens the file anew, so a second call in the same process is refused
// too while the first lock lives.
std::optional<InstanceLock> TryAcquireInstance(const std::string& name);

// The same on the file at `path` (made when missing). `busy` tells why nothing came back: true
// when another holder has the lock, false when the file cannot be opened.
std::optional<InstanceLock> TryAcquireLockFile(const std::string& path, bool* busy);

}  // namespace qvp
