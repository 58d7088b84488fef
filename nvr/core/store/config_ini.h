// The keys of "<program folder>/config.ini" that the recorder reads and writes:
//
//   [LANG]   plang, slang   language of the texts (read at start)
//   [OTHER]  exit           "0" while the recorder runs, "1" after a clean exit
//   [DRIVES] C=/srv/nvr/c   storage root of each drive letter
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace nvr {

// Values are read as the recorder always did, into 32-byte buffers.
inline constexpr size_t kConfigValueBuffer = 32;

// "<home>/config.ini".
std::string ConfigIniPath(const std::string& home);

// The locale identifier plang | (slang << 10) (a language identifier with the default sort
// order, e.g. 0x804 for plang 4 and slang 2), each a decimal parse of its value; nullopt unless
// both keys are present, and then the locale in force stays.
std::optional<uint32_t> ReadLocaleId(const std::string& ini_path);

// The exit flag as read (cut to the 32-byte buffer); nullopt when it cannot be read, with
// *error set to the errno value (ENOENT when the file, section or key is missing).
std::optional<std::string> ReadExitFlag(const std::string& ini_path, int* error);
// True for a flag that shows the last run never reached a clean exit (starts with '0').
bool ExitFlagShowsUncleanExit(const std::string& flag);
// Writes "1" (clean) or "0" (running); 0 or the errno value of the failure.
int WriteExitFlag(const std::string& ini_path, bool clean);

// Drive letter ('A'-'Z') -> storage root, from section [DRIVES]. Keys are single letters in
// either case; other keys and empty values are skipped. Absolute roots are taken as they are,
// relative ones under `home`; trailing slashes are dropped. Without the section, or when it
// names no usable letter, there is one drive: C at "<home>/storage".
std::map<char, std::string> ReadDriveRoots(const std::string& ini_path, const std::string& home);

}  // namespace nvr
