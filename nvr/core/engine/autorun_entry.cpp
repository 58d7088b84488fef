#include "nvr/core/engine/autorun_entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "nvr/core/store/atomic_file.h"

namespace nvr {

std::string AutostartFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return std::string();
  return std::string(home) + "/.config/autostart";
}

std::string DesktopExecArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    switch (c) {
      case '"':
      case '`':
      case '$':
        // Exec quoting asks for a backslash before these; the file's string escaping, applied
        // first by readers, writes that backslash as two.
        quoted += "\\\\";
        quoted += c;
        break;
      case '\\':
        // Exec quoting makes it two backslashes; the string escaping doubles each of them.
        quoted += "\\\\\\\\";
        break;
      case '%':
        quoted += "%%";
        break;
      case '\n':
      case '\r':
        // Cannot be written in a one-line value: a folder so named is not a real case.
        quoted += ' ';
        break;
      default:
        quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::string AutorunEntryText(const std::string& program, const std::string& home) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=QV_NVR\n"
         "Comment=Network video recorder\n"
         "Exec=env " + DesktopExecArgument("QV_NVR_HOME=" + home) + " " + DesktopExecArgument(program) +
         " -autorun\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

int WriteAutorunEntry(const std::string& folder, const std::string& program, const std::string& home) {
  if (folder.empty()) return ENOENT;
  // ~/.config may be missing on a fresh account; make both levels.
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0) mkdir(folder.substr(0, slash).c_str(), 0700);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return WriteFileAtomically(folder + "/" + kAutorunEntryName, AutorunEntryText(program, home), 0644);
}

int RemoveAutorunEntry(const std::string& folder) {
  if (folder.empty()) return 0;
  if (unlink((folder + "/" + kAutorunEntryName).c_str()) != 0 && errno != ENOENT) return errno;
  return 0;
}

}  // namespace nvr
