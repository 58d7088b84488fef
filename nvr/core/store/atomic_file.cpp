#include "nvr/core/store/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace nvr {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

// Writes, sets the mode and flushes the temporary file; 0 or errno.
int FillTemp(int fd, std::string_view data, mode_t mode) {
  if (const int err = WriteAll(fd, data); err != 0) return err;
  if (fchmod(fd, mode) != 0) return errno;
  if (fsync(fd) != 0) return errno;
  return 0;
}

}  // namespace

int WriteFileAtomically(const std::string& path, std::string_view data, mode_t new_mode) {
  if (path.empty()) return EINVAL;
  mode_t mode = new_mode;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

  std::string temp_name = path + ".XXXXXX";
  std::vector<char> pattern(temp_name.begin(), temp_name.end());
  pattern.push_back('\0');
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  temp_name = pattern.data();

  int err = FillTemp(fd, data, mode);
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp_name.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(temp_name.c_str());
    return err;
  }
  // Make the rename itself durable; the data are safe in either file already.
  const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return 0;
}

int ReadWholeFile(const std::string& path, size_t limit, std::string* out) {
  out->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = 0;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) break;
    const size_t room = limit - out->size();
    if (static_cast<size_t>(n) > room) {
      out->append(buf, room);
      err = EFBIG;
      break;
    }
    out->append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return err;
}

}  // namespace nvr
