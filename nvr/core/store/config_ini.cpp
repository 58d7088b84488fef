#include "nvr/core/store/config_ini.h"

#include <unistd.h>

#include <cerrno>

#include "nvr/core/store/ini_file.h"

namespace nvr {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<char> DriveLetter(const std::string& key) {
  if (key.size() != 1) return std::nullopt;
  const char c = key[0];
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 'A' && c <= 'Z') return c;
  return std::nullopt;
}

}  // namespace

std::string ConfigIniPath(const std::string& home) { return home + "/config.ini"; }

std::optional<uint32_t> ReadLocaleId(const std::string& ini_path) {
  const std::optional<std::string> plang = ReadIniString(ini_path, "LANG", "plang");
  if (!plang) return std::nullopt;
  const std::optional<std::string> slang = ReadIniString(ini_path, "LANG", "slang");
  if (!slang) return std::nullopt;
  const auto primary = static_cast<uint32_t>(ParseDecimal(CutToBuffer(*plang, kConfigValueBuffer)));
  const auto sub = static_cast<uint32_t>(ParseDecimal(CutToBuffer(*slang, kConfigValueBuffer)));
  return primary | (sub << 10);
}

std::optional<std::string> ReadExitFlag(const std::string& ini_path, int* error) {
  *error = 0;
  const std::optional<std::string> value = ReadIniString(ini_path, "OTHER", "exit");
  if (!value) {
    // The file's own error when it cannot be read at all; a missing section or key is ENOENT.
    *error = access(ini_path.c_str(), R_OK) != 0 ? errno : ENOENT;
    return std::nullopt;
  }
  return CutToBuffer(*value, kConfigValueBuffer);
}

bool ExitFlagShowsUncleanExit(const std::string& flag) { return !flag.empty() && flag[0] == '0'; }

int WriteExitFlag(const std::string& ini_path, bool clean) {
  return WriteIniString(ini_path, "OTHER", "exit", clean ? "1" : "0");
}

std::map<char, std::string> ReadDriveRoots(const std::string& ini_path, const std::string& home) {
  std::map<char, std::string> roots;
  const auto section = ReadIniSection(ini_path, "DRIVES");
  if (section) {
    for (const auto& [key, value] : *section) {
      const std::optional<char> letter = DriveLetter(key);
      if (!letter || value.empty() || roots.count(*letter) != 0) continue;
      roots[*letter] = WithoutTrailingSlashes(value[0] == '/' ? value : home + "/" + value);
    }
  }
  if (roots.empty()) roots['C'] = home + "/storage";
  return roots;
}

}  // namespace nvr
