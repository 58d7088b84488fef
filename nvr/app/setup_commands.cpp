// The dispatcher of the setup commands, their shared helpers and --init-db.
#include "nvr/app/setup_commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "nvr/app/app_names.h"
#include "nvr/app/setup_internal.h"
#include "nvr/core/store/settings_check.h"
#include "nvr/core/store/config_ini.h"
#include "nvr/core/store/db_setup.h"
#include "nvr/core/store/password_hash.h"
#include "platform/endpoint.h"

namespace nvrapp {

std::optional<std::string> CommandArgs::Option(const std::string& name) const {
  for (const auto& [key, value] : options) {
    if (key == name) return value;
  }
  return std::nullopt;
}

bool SplitArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
               CommandArgs* out, std::FILE* err) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
      out->positional.push_back(a);
      continue;
    }
    bool is_known = false;
    for (const std::string& k : known) is_known = is_known || k == a;
    if (!is_known) {
      std::fprintf(err, "QV_NVR %s: unknown option %s\n", args[0].c_str(), a.c_str());
      return false;
    }
    if (i + 1 >= args.size()) {
      std::fprintf(err, "QV_NVR %s: %s needs a value\n", args[0].c_str(), a.c_str());
      return false;
    }
    out->options.emplace_back(a, args[i + 1]);
    ++i;
  }
  return true;
}

std::optional<int64_t> ParseNumber(const std::string& text, int64_t min, int64_t max) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < min || value > max) return std::nullopt;
  return value;
}

int Usage(const SetupContext& ctx, const char* line) {
  std::fprintf(ctx.io.err, "usage: QV_NVR %s\n", line);
  return kExitUsage;
}

bool OpenDatabase(const SetupContext& ctx, nvr::DbConnection* conn) {
  if (nvr::DbOpen(*conn, nvr::DatabasePath(ctx.home)) == 1 && nvr::UpgradeDatabase(*conn)) return true;
  std::fprintf(ctx.io.err, "%s (%s; create it with QV_NVR --init-db)\n",
               nvr::LoadString(nvr::kStrConnectDbFailed, ctx.language),
               nvr::DatabasePath(ctx.home).c_str());
  return false;
}

void NoteRunningRecorder(const SetupContext& ctx) {
  if (!qvp::EndpointExists(kAppEndpoint)) return;
  std::fprintf(ctx.io.out, "note: a recorder is running; it uses this change after its next start\n");
}

bool RequireDataFolder(const SetupContext& ctx) {
  struct stat st {};
  const std::string folder = ctx.home + "/NVRData";
  if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  std::fprintf(ctx.io.err, "QV_NVR: %s does not exist; run QV_NVR --init-db first\n", folder.c_str());
  return false;
}

namespace {

void PrintProblems(const SetupContext& ctx, const std::vector<std::string>& problems) {
  for (const std::string& line : problems) std::fprintf(ctx.io.err, "QV_NVR: %s\n", line.c_str());
}

}  // namespace

nvr::SettingsBlock LoadSettings(const SetupContext& ctx) {
  std::vector<std::string> problems;
  const nvr::SettingsBlock block =
      nvr::LoadSettingsFile(ctx.home, nvr::DriveMap::FromConfig(ctx.home), &problems);
  PrintProblems(ctx, problems);
  return block;
}

std::vector<nvr::ScheduleRecord> LoadSchedules(const SetupContext& ctx) {
  std::vector<std::string> problems;
  std::vector<nvr::ScheduleRecord> schedules = nvr::LoadScheduleFile(ctx.home, &problems);
  PrintProblems(ctx, problems);
  return schedules;
}

namespace {

bool MakeFolder(const std::string& path, mode_t mode, std::FILE* err) {
  if (mkdir(path.c_str(), mode) == 0 || errno == EEXIST) return true;
  std::fprintf(err, "QV_NVR --init-db: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
  return false;
}

}  // namespace

// Creates the program folder's database with the user admin, and the folders a first start
// needs: log/ (the daily text log is written only where this folder exists) and storage/ (the
// default recording drive C).
int InitDatabaseCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  if (!SplitArgs(args, {"--password"}, &a, ctx.io.err) || !a.positional.empty()) {
    return Usage(ctx, "--init-db [--password P]");
  }
  const std::string db_path = nvr::DatabasePath(ctx.home);
  struct stat st {};
  if (lstat(db_path.c_str(), &st) == 0) {
    std::fprintf(ctx.io.err, "QV_NVR --init-db: %s exists already; nothing was changed\n",
                 db_path.c_str());
    return kExitFailed;
  }
  std::error_code ec;
  std::filesystem::create_directories(ctx.home, ec);
  const std::optional<std::string> given = a.Option("--password");
  if (given && given->empty()) {
    std::fprintf(ctx.io.err, "QV_NVR --init-db: the password must not be empty\n");
    return kExitUsage;
  }
  const std::string password = given ? *given : nvr::GeneratePassword();
  if (password.empty() || !nvr::InitDatabase(ctx.home, password)) {
    std::fprintf(ctx.io.err, "QV_NVR --init-db: cannot create %s\n", db_path.c_str());
    return kExitFailed;
  }
  if (!MakeFolder(ctx.home + "/log", 0750, ctx.io.err)) return kExitFailed;
  if (!MakeFolder(ctx.home + "/storage", 0750, ctx.io.err)) return kExitFailed;
  // A first start then reads a clean last exit instead of logging a missing flag.
  const std::string ini = nvr::ConfigIniPath(ctx.home);
  int error = 0;
  if (!nvr::ReadExitFlag(ini, &error)) nvr::WriteExitFlag(ini, true);

  std::fprintf(ctx.io.out, "created %s with user admin\n", db_path.c_str());
  if (!given) std::fprintf(ctx.io.out, "admin password (shown only now): %s\n", password.c_str());
  return kExitOk;
}

int RunSetupCommand(const std::vector<std::string>& args, const std::string& home, SetupIo io) {
  if (args.empty()) return kExitUsage;
  if (home.empty()) {
    std::fprintf(io.err, "QV_NVR: no program folder (set QV_NVR_HOME)\n");
    return kExitFailed;
  }
  SetupContext ctx{home, nvr::LanguageFromConfig(home), io};
  using Command = int (*)(const SetupContext&, const std::vector<std::string>&);
  static constexpr std::pair<const char*, Command> kCommands[] = {
      {"--init-db", InitDatabaseCommand},       {"--add-device", AddDeviceCommand},
      {"--list-devices", ListDevicesCommand},   {"--add-schedule", AddScheduleCommand},
      {"--list-schedules", ListSchedulesCommand}, {"--set", SetCommand},
      {"--drive", DriveCommand},                {"--show-settings", ShowSettingsCommand},
  };
  for (const auto& [name, command] : kCommands) {
    if (args[0] == name) return command(ctx, args);
  }
  std::fprintf(io.err, "QV_NVR: unknown command %s (QV_NVR --help lists them)\n", args[0].c_str());
  return kExitUsage;
}

}  // namespace nvrapp
