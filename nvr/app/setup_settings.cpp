// --set, --drive and --show-settings: the fields of Local.dat that matter without a window, and
// the recording drives (config.ini [DRIVES] and the drive table).
#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <filesystem>

#include "nvr/app/setup_internal.h"
#include "nvr/core/store/config_ini.h"
#include "nvr/core/store/drives.h"
#include "nvr/core/store/ini_file.h"
#include "nvr/core/store/settings_check.h"
#include "nvr/core/store/settings_files.h"

namespace nvrapp {
namespace {

constexpr char kSetUsage[] =
    "--set split-minutes 1..1440 | --set disk-full stop|delete | --set watchdog on|off";
constexpr char kDriveUsage[] = "--drive LETTER ROOT RESERVE_MB";

std::optional<int32_t> ParseSwitch(const std::string& value, const char* off, const char* on) {
  if (value == off || value == "0") return 0;
  if (value == on || value == "1") return 1;
  return std::nullopt;
}

// Applies one "--set NAME VALUE" to `s`; false for an unknown name or a value out of range.
bool ApplySetting(const std::string& name, const std::string& value, nvr::SettingsBlock* s) {
  if (name == "split-minutes") {
    const auto minutes = ParseNumber(value, 1, nvr::kMaxSplitMinutes);
    if (!minutes) return false;
    s->split_minutes = static_cast<int32_t>(*minutes);
    return true;
  }
  std::optional<int32_t> flag;
  if (name == "disk-full") {
    flag = ParseSwitch(value, "stop", "delete");
    if (flag) s->disk_full_policy = *flag;
  } else if (name == "watchdog") {
    flag = ParseSwitch(value, "off", "on");
    if (flag) s->watchdog = *flag;
  }
  return flag.has_value();
}

void PrintSettings(std::FILE* out, const std::string& home, const nvr::SettingsBlock& s) {
  const nvr::DriveMap drives = nvr::DriveMap::FromConfig(home);
  std::fprintf(out, "split-minutes %d\n", s.split_minutes);
  std::fprintf(out, "disk-full     %s\n", s.disk_full_policy == 0   ? "stop"
                                        : s.disk_full_policy == 1 ? "delete"
                                                                  : "(unknown policy)");
  std::fprintf(out, "watchdog      %s\n", s.watchdog != 0 ? "on" : "off");
  for (size_t i = 0; i < nvr::kMaxDriveEntries && s.drives[i].letter != 0; ++i) {
    const char letter = static_cast<char>(s.drives[i].letter);
    const std::optional<std::string> root = drives.Root(letter);
    const std::optional<uint64_t> free_mb = drives.FreeMegabytes(letter);
    std::fprintf(out, "drive %c       %s, reserve %u MB, %s%s\n", letter,
                 root ? root->c_str() : "(no root in config.ini)", s.drives[i].reserve_mb,
                 free_mb ? (std::to_string(*free_mb) + " MB free").c_str() : "not available",
                 i == 0 ? " (recording starts here)" : "");
  }
  if (s.drives[0].letter == 0) std::fprintf(out, "drives        (none: nothing can be recorded)\n");
}

// A root relative to the working folder, as the person typing it means it; config.ini would
// take it relative to the program folder.
std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  std::string text = absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// Puts `letter` with `reserve` into the drive table: a new reserve for a letter it holds,
// else a new entry after the last one. False when the table is full.
bool PutDrive(nvr::SettingsBlock* s, char letter, uint32_t reserve) {
  for (nvr::DriveEntry& e : s->drives) {
    if (e.letter == 0) {
      e = nvr::DriveEntry{static_cast<uint8_t>(letter), {0, 0, 0}, reserve};
      return true;
    }
    if (e.letter == static_cast<uint8_t>(letter)) {
      e.reserve_mb = reserve;
      return true;
    }
  }
  return false;
}

}  // namespace

int SetCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  if (args.size() != 3) return Usage(ctx, kSetUsage);
  if (!RequireDataFolder(ctx)) return kExitFailed;
  nvr::SettingsBlock settings = LoadSettings(ctx);
  if (!ApplySetting(args[1], args[2], &settings)) return Usage(ctx, kSetUsage);
  if (!nvr::WriteSettings(nvr::LocalDatPath(ctx.home), settings)) {
    std::fprintf(ctx.io.err, "QV_NVR --set: cannot write %s\n", nvr::LocalDatPath(ctx.home).c_str());
    return kExitFailed;
  }
  PrintSettings(ctx.io.out, ctx.home, settings);
  NoteRunningRecorder(ctx);
  return kExitOk;
}

int DriveCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  if (args.size() != 4 || args[1].size() != 1 || !std::isalpha(static_cast<unsigned char>(args[1][0]))) {
    return Usage(ctx, kDriveUsage);
  }
  const auto reserve = ParseNumber(args[3], 0, nvr::kMaxReserveMb);
  if (!reserve || args[2].empty()) return Usage(ctx, kDriveUsage);
  if (!RequireDataFolder(ctx)) return kExitFailed;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(args[1][0])));
  const std::string root = AbsolutePath(args[2]);
  const std::string ini = nvr::ConfigIniPath(ctx.home);

  // The table as it stands before the new drive counts: without Local.dat its defaults depend
  // on the drives configured, and the new drive goes after them, not in their place.
  nvr::SettingsBlock settings = LoadSettings(ctx);
  if (!PutDrive(&settings, letter, static_cast<uint32_t>(*reserve))) {
    std::fprintf(ctx.io.err, "QV_NVR --drive: the drive table is full (128 drives)\n");
    return kExitFailed;
  }
  // The first [DRIVES] entry replaces the implicit drive C at <home>/storage: keep that one.
  if (!nvr::ReadIniSection(ini, "DRIVES") && letter != 'C') {
    nvr::WriteIniString(ini, "DRIVES", "C", ctx.home + "/storage");
  }
  if (const int error = nvr::WriteIniString(ini, "DRIVES", std::string(1, letter), root); error != 0) {
    std::fprintf(ctx.io.err, "QV_NVR --drive: cannot write %s: %s\n", ini.c_str(), std::strerror(error));
    return kExitFailed;
  }
  if (!nvr::WriteSettings(nvr::LocalDatPath(ctx.home), settings)) {
    std::fprintf(ctx.io.err, "QV_NVR --drive: cannot write %s\n", nvr::LocalDatPath(ctx.home).c_str());
    return kExitFailed;
  }
  struct stat st {};
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    // The recorder never makes a drive's root: a missing one is a disk that is not mounted.
    std::fprintf(ctx.io.out,
                 "note: %s is not a folder yet; drive %c is used once it is (the recorder never "
                 "creates it: make it inside the mounted disk)\n",
                 root.c_str(), letter);
  }
  PrintSettings(ctx.io.out, ctx.home, settings);
  NoteRunningRecorder(ctx);
  return kExitOk;
}

int ShowSettingsCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage(ctx, "--show-settings");
  PrintSettings(ctx.io.out, ctx.home, LoadSettings(ctx));
  return kExitOk;
}

}  // namespace nvrapp
