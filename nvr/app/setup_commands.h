// The setup commands of the recorder program: what a person does in the recorder's windows,
// from a command line, for a recorder that runs without any (the service). Each command reads
// and writes the program folder's files (NVRData/NVR.db, Local.dat, Schedule.dat, config.ini)
// and ends; a running recorder picks the changes up at its next start.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace nvrapp {

struct SetupIo {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; the reason went to `err`
inline constexpr int kExitUsage = 2;

// Runs the command args[0] ("--init-db", "--add-device", ...) with the arguments after it
// against the program folder `home`.
int RunSetupCommand(const std::vector<std::string>& args, const std::string& home, SetupIo io);

void PrintHelp(std::FILE* out);

}  // namespace nvrapp
