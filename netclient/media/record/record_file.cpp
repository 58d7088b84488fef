#include "netclient/media/record/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace qvnet {
namespace {

class PosixRecordFile final : public RecordFile {
 public:
  PosixRecordFile() = default;
  ~PosixRecordFile() override { Close(); }
  PosixRecordFile(const PosixRecordFile&) = delete;
  PosixRecordFile& operator=(const PosixRecordFile&) = delete;

  bool OpenTruncate(const std::string& path) override {
    Close();
    // Opened without O_TRUNC: the file is cut only once we own the lock, so a file another
    // writer still holds is refused instead of being emptied under it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
      ::close(fd);
      return false;
    }
    fd_ = fd;
    return true;
  }

  size_t Write(uint64_t offset, const uint8_t* data, size_t length) override {
    if (fd_ < 0) return 0;
    size_t done = 0;
    while (done < length) {
      const ssize_t n = ::pwrite(fd_, data + done, length - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

  bool Truncate(uint64_t size) override {
    if (fd_ < 0) return false;
    int rc;
    do {
      rc = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  }

  bool Close() override {
    if (fd_ < 0) return true;
    // Closing the descriptor releases the flock.
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<RecordFile> MakePosixRecordFile() { return std::make_unique<PosixRecordFile>(); }

}  // namespace qvnet
