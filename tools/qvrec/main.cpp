// qvrec: records one camera into a record file from the command line, printing the connection
// states and the bytes written per second as it goes. It drives libQVNVRClient.so exactly as the
// recorder does: notifications arrive as messages posted to a window of this process.
//
//   qvrec ADDRESS [--user U] [--password P] [--seconds N] [--out FILE] [--udp] [--channel C]
//   qvrec rtsp://[USER:PASSWORD@]HOST[:PORT]/PATH [--seconds N] [--out FILE] [--udp]
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "netclient/media/record/record_reader.h"
#include "nvrclient/include/QVNVRClient.h"
#include "platform/memory_window_sink.h"
#include "platform/tick_clock.h"
#include "platform/window_registry.h"

namespace {

constexpr uint32_t kNotifyMessage = 0x2340;
std::atomic<bool> g_interrupted{false};

struct Options {
  std::string address;
  std::string user;
  std::string password;
  std::string out = "qvrec.h264";
  int seconds = 10;
  bool udp = false;
  int channel = 0;
};

void Usage() {
  std::puts(
      "usage: qvrec ADDRESS [options]\n"
      "Records one camera (RTSP with Digest, H.264 or motion JPEG) into a record file.\n"
      "  ADDRESS            host, host:port or host:port/path (the cameras' dialect), or\n"
      "                     rtsp://[USER:PASSWORD@]HOST[:PORT]/PATH for any RTSP camera or server\n"
      "  --user U           user name for the camera\n"
      "  --password P       password for the camera\n"
      "  --seconds N        how long to run (default 10; 0 = until Ctrl-C)\n"
      "  --out FILE         record file (default qvrec.h264); a recording restarted after a\n"
      "                     reconnection goes to FILE with -2, -3, ... before the extension\n"
      "  --udp              RTP over UDP instead of interleaved in the RTSP connection\n"
      "  --channel C        stream path number (channel + 4 for the second stream)");
}

// The library treats the first component of a path as its drive and never creates it, so
// relative names are made absolute against the working folder.
std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "-h" || a == "--help") return false;
    if (a == "--udp") {
      o->udp = true;
    } else if (a == "--user") {
      if (!value(&o->user)) return false;
    } else if (a == "--password") {
      if (!value(&o->password)) return false;
    } else if (a == "--out") {
      if (!value(&o->out)) return false;
    } else if (a == "--seconds") {
      if (!value(&v)) return false;
      o->seconds = std::atoi(v.c_str());
    } else if (a == "--channel") {
      if (!value(&v)) return false;
      o->channel = std::atoi(v.c_str());
    } else if (!a.empty() && a[0] != '-' && o->address.empty()) {
      o->address = a;
    } else {
      std::fprintf(stderr, "qvrec: unknown argument %s\n", a.c_str());
      return false;
    }
  }
  o->out = Absolute(o->out);
  return !o->address.empty();
}

const char* StateName(int32_t v) {
  switch (v) {
    case 0: return "streaming";
    case 1: return "connecting";
    case 2: return "connection failed";
    case 3: return "stream lost";
    case 4: return "reconnecting";
    case 5: return "given up";
    case 6: return "user name or password refused";
    default: return "unknown";
  }
}

const char* RecordEventName(int32_t v) {
  switch (v) {
    case 0: return "recording started";
    case 1: return "recording stopped";
    case 4: return "recording reached its time limit";
    default: return "alarm recording event";
  }
}

std::string NumberedPath(const std::string& path, int n) {
  if (n <= 1) return path;
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = has_ext ? path.substr(0, dot) : path;
  return stem + "-" + std::to_string(n) + (has_ext ? path.substr(dot) : "");
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

bool Summarize(const std::string& path) {
  qvnet::RecordFileReader reader;
  if (reader.Open(path) != qvnet::RecordOpenResult::kOk) {
    std::printf("%s: no record file (no key frame was recorded)\n", path.c_str());
    return false;
  }
  std::printf("%s: %lld bytes, %zu key frames in the index (%s)\n", path.c_str(), FileSize(path),
              reader.Index().size(),
              reader.Origin() == qvnet::IndexOrigin::kTail ? "index block" : "rebuilt by scanning");
  return true;
}

// A field the text does not fit is refused: a cut address or password connects to the wrong
// place or never logs in.
template <size_t N>
bool Fits(const char (&)[N], const std::string& text, const char* what) {
  if (text.size() < N) return true;
  std::fprintf(stderr, "qvrec: the %s is too long (at most %zu bytes)\n", what, N - 1);
  return false;
}

NvrClientParams MakeParams(const Options& o, qvp::WindowHandle wnd) {
  NvrClientParams p{};
  p.transport = o.udp ? 0 : 1;
  p.stream_number = static_cast<uint8_t>(o.channel);
  p.notify_window = wnd;
  p.notify_message = kNotifyMessage;
  std::snprintf(p.address, sizeof p.address, "%s", o.address.c_str());
  std::snprintf(p.name, sizeof p.name, "admin");
  std::snprintf(p.user, sizeof p.user, "%s", o.user.c_str());
  std::snprintf(p.password, sizeof p.password, "%s", o.password.c_str());
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, &o)) {
    Usage();
    return 2;
  }
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  std::signal(SIGTERM, [](int) { g_interrupted = true; });

  auto sink = std::make_shared<qvp::MemoryWindowSink>();
  const qvp::WindowHandle wnd = qvp::RegisterWindow(sink);
  QVNVR_Startup(0, 0, 0, 0);
  QVNVR_SetWaitTime(5, -1, 10);
  const NvrClientParams params = MakeParams(o, wnd);
  if (!Fits(params.address, o.address, "address") || !Fits(params.user, o.user, "user name") ||
      !Fits(params.password, o.password, "password")) {
    return 2;
  }
  const QVNVR_HANDLE h = QVNVR_ClientStart(&params);
  if (h == 0) {
    std::fprintf(stderr, "qvrec: the client could not be started (address or transport refused)\n");
    return 1;
  }
  std::printf("qvrec: %s over %s, writing %s\n", o.address.c_str(), o.udp ? "UDP" : "TCP", o.out.c_str());

  int file_number = 0;
  std::string current;
  long long last_size = 0;
  const qvp::Tick start = qvp::TickCount();
  qvp::Tick last_report = start;
  while (!g_interrupted && (o.seconds == 0 || qvp::TicksSince(start, qvp::TickCount()) < uint32_t(o.seconds) * 1000u)) {
    if (auto m = sink->WaitMessage(100)) {
      if (m->wparam == 1) {
        std::printf("state: %s\n", StateName(m->lparam));
        if (m->lparam == 0) {
          current = NumberedPath(o.out, ++file_number);
          if (QVNVR_ClientStartRecord(h, current.c_str(), 0) == 0) {
            std::printf("qvrec: could not start recording into %s\n", current.c_str());
          }
          last_size = 0;
        }
      } else if (m->wparam == 6) {
        std::printf("record: %s\n", RecordEventName(m->lparam));
      } else if (m->wparam == 2) {
        std::printf("motion: regions 0x%04x\n", static_cast<unsigned>(m->lparam));
      } else if (m->wparam == 4) {
        std::printf("alarm: %d\n", m->lparam);
      }
    }
    const qvp::Tick now = qvp::TickCount();
    if (!current.empty() && qvp::TicksSince(last_report, now) >= 1000) {
      const long long size = FileSize(current);
      if (size >= 0) std::printf("%s: %lld bytes (+%lld B/s)\n", current.c_str(), size, size - last_size);
      last_size = size < 0 ? 0 : size;
      last_report = now;
    }
    std::fflush(stdout);
  }
  QVNVR_ClientStopRecord(h);
  QVNVR_ClientStop(h);
  qvp::UnregisterWindow(wnd);
  bool any = false;
  for (int n = 1; n <= file_number; ++n) any |= Summarize(NumberedPath(o.out, n));
  return any ? 0 : 1;
}
