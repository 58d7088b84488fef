#include "nvr/core/engine/program_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace nvr {
namespace {

// Between fork and exec only async-signal-safe calls: no allocation, no locks.
[[noreturn]] void RunGrandchild(const char* path, char* const* argv, int report_fd) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execv(path, argv);
  const int err = errno;
  ssize_t ignored = write(report_fd, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

[[noreturn]] void RunIntermediate(const char* path, char* const* argv, int report_fd) {
  setsid();
  const pid_t grandchild = fork();
  if (grandchild == 0) RunGrandchild(path, argv, report_fd);
  if (grandchild < 0) {
    const int err = errno;
    ssize_t ignored = write(report_fd, &err, sizeof err);
    (void)ignored;
  }
  _exit(0);
}

}  // namespace

int StartDetachedProgram(const std::string& path, const std::vector<std::string>& args) {
  std::vector<std::string> owned;
  owned.reserve(args.size() + 1);
  owned.push_back(path);
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The exec closes the write end (O_CLOEXEC): end of file = started, 4 bytes = its errno.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  const pid_t child = fork();
  if (child == 0) RunIntermediate(path.c_str(), argv.data(), report[1]);
  const int fork_error = errno;
  close(report[1]);
  if (child < 0) {
    close(report[0]);
    return fork_error;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n = 0;
  do {
    n = read(report[0], &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  return n == static_cast<ssize_t>(sizeof err) ? (err != 0 ? err : ECHILD) : 0;
}

}  // namespace nvr
