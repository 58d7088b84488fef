// One child process of the benchmark: started by exec or as a forked function, always killed
// and reaped by its owner, and measured by the rusage that the kernel hands over when it is
// reaped (its own CPU, not the benchmark's).
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qvbench {

using SteadyClock = std::chrono::steady_clock;

class ChildProcess {
 public:
  ChildProcess() = default;
  // Ends a child still running (SIGTERM, then SIGKILL) and reaps it.
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Runs `argv` (argv[0] is a path, or a name searched on PATH) with stdin from /dev/null and
  // stdout / stderr into the given files (empty: /dev/null). False when it could not be forked;
  // a program that cannot be executed ends with status 127.
  bool Exec(const std::vector<std::string>& argv, const std::string& stdout_path,
            const std::string& stderr_path);
  // Runs `body` in a forked copy of this process, which ends with its result. The benchmark
  // is single-threaded whenever it forks, so the copy may use anything.
  bool Fork(const std::function<int()>& body);

  bool Started() const { return pid_ > 0; }
  bool Ended() const { return ended_; }
  // Reaps the child if it has ended; true once it has.
  bool Poll();
  // Polls until the child ends, `deadline` passes or a stop is requested; true when it ended.
  bool WaitUntil(SteadyClock::time_point deadline);
  // SIGTERM, up to `grace_ms` for it to end, then SIGKILL; always reaps.
  void Terminate(int grace_ms);

  // Valid once ended: true for a normal exit with status 0.
  bool Succeeded() const;
  std::string DescribeEnd() const;
  // User plus system CPU seconds of the ended child (and of any children it reaped).
  double CpuSeconds() const;
  double UserSeconds() const;
  double SystemSeconds() const;

 private:
  void Reset();

  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
  struct rusage usage_ {};
};

// The full path of an executable: `name` itself when it holds a '/', else the first match on
// PATH; empty when there is none.
std::string FindExecutable(const std::string& name);

// Set by SIGINT / SIGTERM; every wait of the benchmark gives up when it is set.
void InstallStopHandlers();
bool StopRequested();

}  // namespace qvbench
