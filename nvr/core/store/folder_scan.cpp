#include "nvr/core/store/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace nvr {
namespace {

// Sub-folders deeper than this are left alone rather than followed without end.
constexpr int kMaxDeleteDepth = 32;

// fnmatch(3) pattern for a mask: brackets and backslashes lose their special meaning.
std::string EscapeMask(std::string_view mask) {
  std::string out;
  for (const char c : mask) {
    if (c == '[' || c == ']' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

bool Fnmatch(const std::string& pattern, std::string_view name) {
  return fnmatch(pattern.c_str(), std::string(name).c_str(), FNM_CASEFOLD) == 0;
}

// Names of a folder's entries other than "." and ".."; `fd` is consumed.
std::vector<std::string> EntryNames(int fd) {
  std::vector<std::string> names;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return names;
  }
  while (names.size() < kMaxFolderEntries) {
    const dirent* e = readdir(dir);
    if (e == nullptr) break;
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    names.emplace_back(name);
  }
  closedir(dir);
  return names;
}

bool IsRealFolder(int dir_fd, const std::string& name) {
  struct stat st {};
  return fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteTree(int parent_fd, const std::string& name, int depth) {
  if (depth > kMaxDeleteDepth) return false;
  const int fd = openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const int keep = dup(fd);  // EntryNames closes its descriptor
  if (keep < 0) {
    close(fd);
    return false;
  }
  for (const std::string& entry : EntryNames(fd)) {
    if (IsRealFolder(keep, entry)) {
      DeleteTree(keep, entry, depth + 1);
    } else {
      unlinkat(keep, entry.c_str(), 0);  // a file that stays keeps its folder
    }
  }
  close(keep);
  return unlinkat(parent_fd, name.c_str(), AT_REMOVEDIR) == 0;
}

int64_t ToNs(int64_t sec, int64_t nsec) { return sec * 1000000000 + nsec; }

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (Fnmatch(EscapeMask(mask), name)) return true;
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*") {
    return Fnmatch(EscapeMask(mask.substr(0, mask.size() - 2)), name);
  }
  return false;
}

std::vector<FolderEntry> ListMatching(const std::string& folder, std::string_view mask) {
  std::vector<FolderEntry> out;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return out;
  const int keep = dup(fd);
  if (keep < 0) {
    close(fd);
    return out;
  }
  for (std::string& name : EntryNames(fd)) {
    if (!MatchesMask(name, mask)) continue;
    const bool is_folder = IsRealFolder(keep, name);
    out.push_back({std::move(name), is_folder});
  }
  close(keep);
  std::sort(out.begin(), out.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return out;
}

std::optional<int64_t> StartTimeFromFileName(std::string_view name) {
  constexpr std::string_view kExt = ".h264";
  if (name.size() <= kExt.size() || !MatchesMask(name.substr(name.size() - kExt.size()), kExt)) {
    return std::nullopt;
  }
  std::string_view rest = name.substr(0, name.size() - kExt.size());
  int fields[6] = {};  // seconds, minutes, hours, day, month, year: read from the end
  for (int& field : fields) {
    const size_t sep = rest.rfind('_');
    if (sep == std::string_view::npos) return std::nullopt;
    const std::string_view digits = rest.substr(sep + 1);
    if (digits.empty() || digits.size() > 4) return std::nullopt;
    field = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
      field = field * 10 + (c - '0');
    }
    rest = rest.substr(0, sep);
  }
  std::tm t{};
  t.tm_sec = fields[0];
  t.tm_min = fields[1];
  t.tm_hour = fields[2];
  t.tm_mday = fields[3];
  t.tm_mon = fields[4] - 1;
  t.tm_year = fields[5] - 1900;
  t.tm_isdst = -1;
  if (t.tm_sec > 60 || t.tm_min > 59 || t.tm_hour > 23 || t.tm_mday < 1 || t.tm_mday > 31 ||
      t.tm_mon < 0 || t.tm_mon > 11 || fields[5] < 1970) {
    return std::nullopt;
  }
  const time_t when = mktime(&t);
  if (when == static_cast<time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(when);
}

std::optional<int64_t> FileCreationTimeNs(const std::string& path) {
  struct statx stx {};
  if (statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BTIME | STATX_MTIME, &stx) != 0) {
    return std::nullopt;
  }
  if ((stx.stx_mask & STATX_BTIME) != 0) return ToNs(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec);
  const size_t slash = path.rfind('/');
  const std::string_view name =
      slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  if (const std::optional<int64_t> start = StartTimeFromFileName(name)) return ToNs(*start, 0);
  return ToNs(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
}

bool DeleteFolderTree(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty() || path == "/") return false;
  const size_t slash = path.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name == "." || name == "..") return false;
  const int parent_fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent_fd < 0) return false;
  const bool gone = DeleteTree(parent_fd, name, 0);
  close(parent_fd);
  return gone;
}

bool CanLockExclusively(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);  // releases the lock taken just now
  return free;
}

}  // namespace nvr
