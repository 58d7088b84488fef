#include "nvr/core/store/drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include "nvr/core/store/config_ini.h"

namespace nvr {
namespace {

std::optional<char> UpperLetter(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 'A' && c <= 'Z') return c;
  return std::nullopt;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

DriveMap::DriveMap(const std::map<char, std::string>& roots) {
  for (const auto& [letter, root] : roots) {
    if (const std::optional<char> upper = UpperLetter(letter)) roots_.emplace(*upper, root);
  }
}

DriveMap DriveMap::FromConfig(const std::string& home) {
  return DriveMap(ReadDriveRoots(ConfigIniPath(home), home));
}

std::optional<std::string> DriveMap::Root(char letter) const {
  const std::optional<char> upper = UpperLetter(letter);
  if (!upper) return std::nullopt;
  const auto it = roots_.find(*upper);
  if (it == roots_.end()) return std::nullopt;
  return it->second;
}

bool DriveMap::Present(char letter) const {
  const std::optional<std::string> root = Root(letter);
  return root && IsFolder(*root);
}

std::optional<uint64_t> DriveMap::FreeMegabytes(char letter) const {
  const std::optional<std::string> root = Root(letter);
  if (!root || !IsFolder(*root)) return std::nullopt;
  struct statvfs vfs {};
  if (statvfs(root->c_str(), &vfs) != 0) return std::nullopt;
  return (static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize)) >> 20;
}

std::vector<char> DriveMap::FixedDrives() const {
  std::vector<char> fixed;
  for (const auto& [letter, root] : roots_) {
    if (IsFolder(root)) fixed.push_back(letter);
  }
  return fixed;
}

std::optional<std::string> DriveMap::RecordRoot(char letter) const {
  const std::optional<std::string> root = Root(letter);
  if (!root) return std::nullopt;
  return *root + "/QV_Record/Normal";
}

}  // namespace nvr
