#include "nvr/dialogs/model/autorun_entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "nvr/core/store/atomic_file.h"

namespace nvrdlg {
namespace {

constexpr char kEntryName[] = "QV_NVR.desktop";
constexpr char kReserved[] = " \t\n\"'\\><~|&;$*?#()`";

bool HasControl(const std::string& text) {
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

// One Exec argument, quoted when it holds a reserved character.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(kReserved) == std::string::npos) return arg;
  std::string out = "\"";
  for (const char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// The Exec value as a Desktop Entry string: '\' escaped once more, '%' doubled (field codes).
std::string EscapeValue(const std::string& exec) {
  std::string out;
  for (const char c : exec) {
    if (c == '\\') out += "\\\\";
    else if (c == '%') out += "%%";
    else out.push_back(c);
  }
  return out;
}

int MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) return 0;
  }
}

}  // namespace

AutorunPlace DefaultAutorunPlace(const std::string& program, const std::string& home) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* user_home = std::getenv("HOME");
  std::string config;
  if (xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else if (user_home != nullptr && user_home[0] == '/') {
    config = std::string(user_home) + "/.config";
  } else {
    return AutorunPlace{std::string(), program, home};  // nowhere to write: refused when written
  }
  return AutorunPlace{config + "/autostart/" + kEntryName, program, home};
}

std::string AutorunEntryText(const std::string& program, const std::string& home) {
  if (program.empty() || HasControl(program) || HasControl(home)) return std::string();
  const std::string exec = "env " + QuoteArgument("QV_NVR_HOME=" + home) + " " +
                           QuoteArgument(program) + " -autorun";
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=QV_NVR\n"
         "Comment=Network video recorder\n"
         "Exec=" + EscapeValue(exec) + "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

int WriteAutorunEntry(const AutorunPlace& place) {
  const std::string text = AutorunEntryText(place.program, place.home);
  if (text.empty()) return EINVAL;
  const size_t slash = place.file.rfind('/');
  if (slash == std::string::npos || slash == 0) return EINVAL;
  if (const int err = MakeFolders(place.file.substr(0, slash)); err != 0) return err;
  return nvr::WriteFileAtomically(place.file, text, 0644);
}

int RemoveAutorunEntry(const AutorunPlace& place) {
  if (place.file.empty()) return 0;
  if (::unlink(place.file.c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

}  // namespace nvrdlg
