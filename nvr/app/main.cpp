// QV_NVR: the recorder program: the window (no arguments, "-watchdog" or "-autorun"), the
// recorder without a window (-service) and the setup commands; see PrintHelp.
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "nvr/app/command_line.h"
#include "nvr/app/service.h"
#include "nvr/app/app_names.h"
#include "nvr/app/setup_commands.h"
#include "nvr/ui/window_program.h"
#include "platform/folder.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  switch (nvrapp::ModeOf(args)) {
    case nvrapp::ProgramMode::kService: {
      nvrapp::PrepareServiceProcess();  // before any thread exists
      nvrapp::ServiceOptions options;
      options.home = qvp::ProgramFolder();
      options.exe_dir = qvp::ExecutableFolder();
      options.flags = nvrapp::ParseStartFlags(nvrapp::JoinArguments(args, 1));
      return nvrapp::RunService(options);
    }
    case nvrapp::ProgramMode::kSetup:
      return nvrapp::RunSetupCommand(args, qvp::ProgramFolder(), nvrapp::SetupIo{});
    case nvrapp::ProgramMode::kHelp:
      nvrapp::PrintHelp(stdout);
      return 0;
    case nvrapp::ProgramMode::kWindow:
      break;
  }
  nvrui::WindowProgramOptions options;
  options.home = qvp::ProgramFolder();
  options.exe_dir = qvp::ExecutableFolder();
  options.program_path = options.exe_dir + "/" + nvrapp::kRecorderProgram;
  options.flags = nvrapp::ParseStartFlags(nvrapp::JoinArguments(args, 0));
  return nvrui::RunWindowProgram(argc, argv, options);
}
