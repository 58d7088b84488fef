// Pieces shared by the setup commands (setup_*.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "nvr/app/setup_commands.h"
#include "nvr/core/store/database.h"
#include "nvr/core/store/settings_files.h"
#include "nvr/core/engine/strings.h"

namespace nvrapp {

// One command's view of its arguments: the positionals in order and "--name value" options.
struct CommandArgs {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;

  std::optional<std::string> Option(const std::string& name) const;
};

// Splits args[1..] into positionals and the `known` options (each takes one value); false
// with a message on `err` for an unknown option or one without its value.
bool SplitArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
               CommandArgs* out, std::FILE* err);

// A decimal number made of digits only, within [min, max].
std::optional<int64_t> ParseNumber(const std::string& text, int64_t min, int64_t max);

struct SetupContext {
  std::string home;
  nvr::Language language = nvr::Language::kEnglish;
  SetupIo io;
};

// Prints "usage: QV_NVR <line>" on the error stream; returns kExitUsage.
int Usage(const SetupContext& ctx, const char* line);

// Opens the database of the program folder; prints "Connect database failed" when it cannot.
bool OpenDatabase(const SetupContext& ctx, nvr::DbConnection* conn);
// Tells the user that a running recorder sees the change only after its next start.
void NoteRunningRecorder(const SetupContext& ctx);
// True when NVRData exists (the setup step ran); prints how to make it otherwise.
bool RequireDataFolder(const SetupContext& ctx);
// The settings files as the recorder loads them (checked, a damaged file repaired); what was
// wrong is printed on the error stream.
nvr::SettingsBlock LoadSettings(const SetupContext& ctx);
std::vector<nvr::ScheduleRecord> LoadSchedules(const SetupContext& ctx);

int InitDatabaseCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int AddDeviceCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int ListDevicesCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int AddScheduleCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int ListSchedulesCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int SetCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int DriveCommand(const SetupContext& ctx, const std::vector<std::string>& args);
int ShowSettingsCommand(const SetupContext& ctx, const std::vector<std::string>& args);

}  // namespace nvrapp
