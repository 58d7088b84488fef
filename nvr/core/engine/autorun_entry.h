// Starting the recorder when the user logs in: an XDG autostart entry,
// "$XDG_CONFIG_HOME/autostart/QV_NVR.desktop" (default "~/.config/autostart"), whose command
// starts this program with "-autorun" and its program folder. Switched off, the entry goes.
#pragma once

#include <string>

namespace nvr {

// The autostart folder of the user ("" when neither $XDG_CONFIG_HOME nor $HOME is set).
std::string AutostartFolder();
inline constexpr char kAutorunEntryName[] = "QV_NVR.desktop";

// One argument of a desktop entry's Exec key: quoted, with '"', '`', '$' and '\' escaped as
// the Desktop Entry Specification asks (paths with blanks stay one argument), and the
// string-value escapes of the file applied on top ('\' doubled, '%' doubled for Exec).
std::string DesktopExecArgument(const std::string& argument);

// The whole entry: Exec=env "QV_NVR_HOME=<home>" "<program>" -autorun.
std::string AutorunEntryText(const std::string& program, const std::string& home);

// Writes (atomically) or removes "<folder>/QV_NVR.desktop". 0 or the errno value; removing an
// entry that is not there is no failure. The folder is made when missing.
int WriteAutorunEntry(const std::string& folder, const std::string& program, const std::string& home);
int RemoveAutorunEntry(const std::string& folder);

}  // namespace nvr
