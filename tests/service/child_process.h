// Programs under test run as child processes: started with the test's environment, their
// output in files, every wait bounded, and killed and reaped when the test is done.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace servicetest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] with stdout and stderr appended to `output`.
  bool Start(const std::vector<std::string>& argv, const std::string& output) {
    std::vector<char*> args;
    std::vector<std::string> owned = argv;
    for (std::string& a : owned) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return rc == 0;
  }

  void Signal(int signo) const {
    if (pid_ > 0) kill(pid_, signo);
  }

  // Waits at most `timeout_ms` for the child to end; its exit code, or -1 (still running or
  // killed by a signal).
  int Wait(int timeout_ms) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (std::chrono::steady_clock::now() >= deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  bool Running() const { return pid_ > 0 && kill(pid_, 0) == 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// Runs a program to its end (at most 30 s); its exit code, with its output in `*output`.
inline int RunProgram(const std::vector<std::string>& argv, const std::string& scratch,
                      std::string* output) {
  unlink(scratch.c_str());
  ChildProcess child;
  if (!child.Start(argv, scratch)) return -1;
  const int code = child.Wait(30000);
  *output = ReadFile(scratch);
  return code;
}

}  // namespace servicetest
