#include "platform/folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qvp {
namespace {

enum class Kind { kMissing, kFolder, kOther };

// An empty folder name before a leading '/' is the root.
Kind KindOf(const std::string& folder, char sep) {
  const std::string name = folder.empty() && sep == '/' ? std::string("/") : folder;
  if (name.empty()) return Kind::kMissing;
  struct stat st {};
  if (stat(name.c_str(), &st) != 0) return Kind::kMissing;
  return S_ISDIR(st.st_mode) ? Kind::kFolder : Kind::kOther;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

bool EnsureFolderForFile(const std::string& path) {
  const char sep = path.find('/') != std::string::npos ? '/' : '\\';
  const size_t last = path.rfind(sep);
  if (last == std::string::npos) return false;
  const std::string folder = path.substr(0, last);

  const Kind kind = KindOf(folder, sep);
  if (kind != Kind::kMissing) return kind == Kind::kFolder;

  // Growing prefixes: one ending before each separator, then the whole folder. The first is
  // the drive (the root for an absolute path) and is left alone.
  std::vector<std::string> prefixes;
  for (size_t i = folder.find(sep); i != std::string::npos; i = folder.find(sep, i + 1)) {
    prefixes.push_back(folder.substr(0, i));
  }
  prefixes.push_back(folder);
  for (size_t i = 1; i < prefixes.size(); ++i) {
    const std::string& prefix = prefixes[i];
    if (KindOf(prefix, sep) == Kind::kFolder) continue;
    // EEXIST is fine when another thread or program made the same folder meanwhile; the
    // check below tells it apart from a file in the way.
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (KindOf(prefix, sep) != Kind::kFolder) return false;
  }
  return KindOf(folder, sep) == Kind::kFolder;
}

std::string ProgramFolder() {
  const char* home = std::getenv("QV_NVR_HOME");
  if (home != nullptr && home[0] != '\0') return WithoutTrailingSlashes(home);
  return ExecutableFolder();
}

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  // A path longer than the buffer is truncated by readlink: grow and retry, within reason.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buf.size()) {
      const std::string exe(buf.data(), static_cast<size_t>(n));
      const size_t slash = exe.rfind('/');
      return slash == std::string::npos ? std::string() : WithoutTrailingSlashes(exe.substr(0, slash));
    }
    buf.resize(buf.size() * 2);
  }
  return std::string();
}

}  // namespace qvp
