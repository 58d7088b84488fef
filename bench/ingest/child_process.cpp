#include "bench/ingest/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace qvbench {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

void OnStopSignal(int) { g_stop.store(true); }

// In the child right after fork: die with the benchmark even when it is killed outright, so
// that no camera or recorder outlives a crashed run.
void DieWithParent(pid_t parent) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(1);
}

bool Redirect(const std::string& path, int target, int flags) {
  const char* name = path.empty() ? "/dev/null" : path.c_str();
  const int fd = ::open(name, flags | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = ::dup2(fd, target) == target;
  ::close(fd);
  return ok;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

}  // namespace

ChildProcess::~ChildProcess() { Terminate(2000); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), ended_(other.ended_), status_(other.status_), usage_(other.usage_) {
  other.Reset();
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this == &other) return *this;
  Terminate(2000);
  pid_ = other.pid_;
  ended_ = other.ended_;
  status_ = other.status_;
  usage_ = other.usage_;
  other.Reset();
  return *this;
}

void ChildProcess::Reset() {
  pid_ = -1;
  ended_ = false;
  status_ = 0;
  usage_ = {};
}

bool ChildProcess::Exec(const std::vector<std::string>& argv, const std::string& stdout_path,
                        const std::string& stderr_path) {
  if (Started() || argv.empty()) return false;
  // Everything the child needs is prepared before the fork.
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = ::getpid();
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    DieWithParent(parent);
    if (!Redirect("", STDIN_FILENO, O_RDONLY) ||
        !Redirect(stdout_path, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC) ||
        !Redirect(stderr_path, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC)) {
      ::_exit(127);
    }
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

bool ChildProcess::Fork(const std::function<int()>& body) {
  if (Started()) return false;
  const pid_t parent = ::getpid();
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    DieWithParent(parent);
    int rc = 1;
    try {
      rc = body();
    } catch (...) {
      rc = 1;
    }
    std::fflush(nullptr);
    // Skip the parent's exit handlers and destructors: they belong to the parent's objects.
    ::_exit(rc);
  }
  pid_ = pid;
  return true;
}

bool ChildProcess::Poll() {
  if (!Started() || ended_) return ended_;
  int status = 0;
  const pid_t r = ::wait4(pid_, &status, WNOHANG, &usage_);
  if (r == pid_) {
    status_ = status;
    ended_ = true;
  }
  return ended_;
}

bool ChildProcess::WaitUntil(SteadyClock::time_point deadline) {
  while (!Poll()) {
    if (StopRequested() || SteadyClock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

void ChildProcess::Terminate(int grace_ms) {
  if (!Started() || Poll()) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(grace_ms);
  while (!Poll() && SteadyClock::now() < deadline) std::this_thread::sleep_for(kPollInterval);
  if (ended_) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  // SIGKILL cannot be caught, so this blocking reap ends.
  while (::wait4(pid_, &status, 0, &usage_) < 0 && errno == EINTR) {
  }
  status_ = status;
  ended_ = true;
}

bool ChildProcess::Succeeded() const { return ended_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }

std::string ChildProcess::DescribeEnd() const {
  if (!ended_) return "still running";
  if (WIFEXITED(status_)) return "exit status " + std::to_string(WEXITSTATUS(status_));
  if (WIFSIGNALED(status_)) return "killed by signal " + std::to_string(WTERMSIG(status_));
  return "ended";
}

double ChildProcess::CpuSeconds() const { return UserSeconds() + SystemSeconds(); }
double ChildProcess::UserSeconds() const { return Seconds(usage_.ru_utime); }
double ChildProcess::SystemSeconds() const { return Seconds(usage_.ru_stime); }

std::string FindExecutable(const std::string& name) {
  if (name.empty()) return "";
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t begin = 0;
  while (begin <= dirs.size()) {
    size_t end = dirs.find(':', begin);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > begin ? dirs.substr(begin, end - begin) : ".";
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    begin = end + 1;
  }
  return "";
}

void InstallStopHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
}

bool StopRequested() { return g_stop.load(); }

}  // namespace qvbench
