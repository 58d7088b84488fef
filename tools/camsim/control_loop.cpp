#include "tools/camsim/control_loop.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <list>

#include "tools/camsim/net.h"

namespace camsim {

namespace {

constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxClients = 16;

struct LineSource {
  Fd fd;          // unused for stdin (not owned)
  int raw = -1;   // descriptor polled
  std::string pending;
};

Fd ListenUnix(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof(addr.sun_path)) return Fd();
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  // Replace a socket left by an earlier run, never any other kind of file.
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid() || ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::listen(fd.Get(), 4) != 0) {
    return Fd();
  }
  return fd;
}

// Reads what is there and runs every complete line; false when the source is finished.
bool ServeLines(Simulator& simulator, LineSource* source, bool reply_to_stdout, bool* quit) {
  char chunk[1024];
  const ssize_t n = ::read(source->raw, chunk, sizeof(chunk));
  if (n <= 0) return false;
  source->pending.append(chunk, static_cast<size_t>(n));
  size_t nl;
  while ((nl = source->pending.find('\n')) != std::string::npos) {
    const std::string line = source->pending.substr(0, nl);
    source->pending.erase(0, nl + 1);
    const std::string reply = simulator.Execute(line, quit) + "\n";
    if (reply.size() > 1) {
      if (reply_to_stdout) {
        std::fputs(reply.c_str(), stdout);
        std::fflush(stdout);
      } else if (!SendAll(source->raw, reply.data(), reply.size())) {
        return false;
      }
    }
    if (*quit) return true;
  }
  return source->pending.size() <= kMaxLine;
}

}  // namespace

sigset_t BlockStopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return set;
}

int RunControlLoop(Simulator& simulator, const std::string& control_path, bool use_stdin,
                   const sigset_t& stop_signals) {
  Fd signals(::signalfd(-1, &stop_signals, SFD_CLOEXEC));
  Fd listener;
  if (!control_path.empty()) {
    listener = ListenUnix(control_path);
    if (!listener.Valid()) {
      std::fprintf(stderr, "qv_camsim: cannot listen on %s: %s\n", control_path.c_str(), std::strerror(errno));
      return 1;
    }
  }
  LineSource input;
  input.raw = use_stdin ? STDIN_FILENO : -1;
  std::list<LineSource> clients;
  bool quit = false;
  while (!quit) {
    std::vector<pollfd> fds = {{signals.Get(), POLLIN, 0}, {listener.Get(), POLLIN, 0}, {input.raw, POLLIN, 0}};
    for (const LineSource& c : clients) fds.push_back({c.raw, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) break;
    if ((fds[1].revents & POLLIN) && clients.size() < kMaxClients) {
      Fd client(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (client.Valid()) {
        clients.emplace_back();
        clients.back().raw = client.Get();
        clients.back().fd = std::move(client);
      }
    }
    // End of stdin (a program started in the background) does not stop the cameras.
    if ((fds[2].revents & (POLLIN | POLLHUP)) && !ServeLines(simulator, &input, true, &quit)) input.raw = -1;
    // Clients accepted in this turn were not polled; they come after the polled ones.
    size_t i = 3;
    for (auto it = clients.begin(); i < fds.size() && !quit; ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && !ServeLines(simulator, &*it, false, &quit)) {
        it = clients.erase(it);
      } else {
        ++it;
      }
    }
  }
  if (listener.Valid()) ::unlink(control_path.c_str());
  return 0;
}

}  // namespace camsim
