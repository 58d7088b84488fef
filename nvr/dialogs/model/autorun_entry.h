// "Run application at log-in": an XDG autostart entry, QV_NVR.desktop in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart without it), that starts the recorder with
// "-autorun" and its program folder:
//
//   Exec=env "QV_NVR_HOME=/srv/nvr" "/opt/qv-nvr/bin/QV_NVR" -autorun
//
// Arguments are quoted by the Desktop Entry rules (within double quotes '"', '`', '$' and '\'
// take a backslash, and the value itself escapes '\' once more and doubles '%'), so program
// folders with blanks or quotes start the right program. A path with a control character cannot
// be written as an Exec line and is refused.
#pragma once

#include <string>

namespace nvrdlg {

struct AutorunPlace {
  std::string file;     // the .desktop file
  std::string program;  // full path of QV_NVR
  std::string home;     // its program folder (QV_NVR_HOME)
};

// The place for this user: $XDG_CONFIG_HOME (absolute) or $HOME/.config, "autostart/QV_NVR.desktop".
AutorunPlace DefaultAutorunPlace(const std::string& program, const std::string& home);

// The entry's text; "" when a path cannot be written in an Exec line.
std::string AutorunEntryText(const std::string& program, const std::string& home);

// Writes the entry (making the autostart folder) or removes it (an absent file is no error).
// Return 0 or the errno value of the failing step (EINVAL for a path that cannot be written).
int WriteAutorunEntry(const AutorunPlace& place);
int RemoveAutorunEntry(const AutorunPlace& place);

}  // namespace nvrdlg
