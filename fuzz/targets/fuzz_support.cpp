#include "fuzz/targets/fuzz_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

extern "C" {
#include <libavutil/log.h>
}

namespace qvfuzz {
namespace {

class ScratchFolderOwner {
 public:
  // In memory where the system offers it: the settings writers flush every file to disk, which
  // on a real disk would slow a fuzzing run down to a few inputs a second.
  ScratchFolderOwner() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0) {
      base = std::filesystem::temp_directory_path(ec);
    }
    std::string pattern = (base / "qv_fuzz_XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolderOwner() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolderOwner(const ScratchFolderOwner&) = delete;
  ScratchFolderOwner& operator=(const ScratchFolderOwner&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string& InputNote() {
  static std::string note;
  return note;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  // Each pass writes at least one byte or gives up.
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

const std::string& ScratchFolder() {
  static const ScratchFolderOwner folder;
  return folder.Path();
}

ScratchFile::ScratchFile(const std::string& name) : path_(ScratchFolder() + "/" + name) {}

ScratchFile::ScratchFile(const std::string& name, std::span<const uint8_t> bytes) : ScratchFile(name) {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  written_ = WriteAll(fd, bytes);
  written_ = ::close(fd) == 0 && written_;
}

ScratchFile::~ScratchFile() { ::unlink(path_.c_str()); }

void SetInputNote(std::string note) { InputNote() = std::move(note); }

void Fail(const char* target, const char* what) {
  std::fprintf(stderr, "fuzz target %s: %s", target, what);
  if (!InputNote().empty()) std::fprintf(stderr, " (input: %s)", InputNote().c_str());
  std::fprintf(stderr, "\n");
  std::fflush(stderr);
  std::abort();
}

void QuietCodecLogs() {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
  }();
  (void)quiet;
}

}  // namespace qvfuzz
