// qvplay: plays a recorded file from the command line through libQVNetClient.so, with the
// exports the replay application uses, into an in-memory window.
//
//   qvplay FILE [--seek S] [--speed N] [--snapshot OUT.jpg [--at S]]... [--info] [--play]
//
// --info prints what the file holds and stops there. --snapshot writes the picture at S
// seconds (the first picture without --at) as a JPEG file: the file is opened paused, sought,
// stepped one picture on and captured, as the replay window does it. Without --snapshot, or
// with --play, the file is played to its end, printing the position twice a second.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "netclient/include/QVNetClient.h"
#include "platform/memory_window_sink.h"
#include "platform/window_registry.h"
#include "tools/qvplay/file_info.h"

namespace {

constexpr int kWindowWidth = 704;
constexpr int kWindowHeight = 576;
constexpr uint32_t kPictureWaitMs = 5000;
constexpr int kPollMs = 20;

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_end_of_file{false};

struct Snapshot {
  std::string path;
  long at = -1;  // seconds; -1: the picture shown first
};

struct Options {
  std::string file;
  long seek = -1;
  int speed = 0;
  std::vector<Snapshot> snapshots;
  bool info_only = false;
  bool play = false;
};

void Usage() {
  std::puts(
      "usage: qvplay FILE [options]\n"
      "Plays a record file (H.264, motion JPEG, legacy layout) or a servers' AVI file.\n"
      "  --info             print the file's layout, header, index and duration, then stop\n"
      "  --seek S           start playing at S seconds\n"
      "  --speed N          play at 2^N times normal speed (-4..4)\n"
      "  --snapshot OUT.jpg write a picture as JPEG; --at S right after it picks the position\n"
      "                     (the picture after the first key frame later than S seconds)\n"
      "  --play             also play to the end after the snapshots");
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "-h" || a == "--help") return false;
    if (a == "--info") {
      o->info_only = true;
    } else if (a == "--play") {
      o->play = true;
    } else if (a == "--seek" && has_value) {
      o->seek = std::atol(argv[++i]);
    } else if (a == "--speed" && has_value) {
      o->speed = std::atoi(argv[++i]);
    } else if (a == "--snapshot" && has_value) {
      o->snapshots.push_back({argv[++i], -1});
    } else if (a == "--at" && has_value && !o->snapshots.empty()) {
      o->snapshots.back().at = std::atol(argv[++i]);
    } else if (!a.empty() && a[0] != '-' && o->file.empty()) {
      o->file = a;
    } else {
      std::fprintf(stderr, "qvplay: unknown argument %s\n", a.c_str());
      return false;
    }
  }
  if (o->speed < -4 || o->speed > 4) return false;
  if (o->snapshots.empty()) o->play = true;
  return !o->file.empty();
}

// The library names the first path component a drive and never creates it.
std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

void OnNotify(uint32_t, uint32_t code, uint32_t, uint32_t) {
  if (code == NOTIFY_REPLAY_END) g_end_of_file = true;
}

void SetSpeed(QVNET_HANDLE h, int speed) {
  for (int i = 0; i < speed; ++i) QVNET_SpeedFast(h);
  for (int i = 0; i > speed; --i) QVNET_SpeedSlow(h);
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// The display writes the file within about 100 ms; it is done once its size stops changing.
bool WaitForFile(const std::string& path) {
  long long last = -1;
  for (int waited = 0; waited < int(kPictureWaitMs); waited += kPollMs) {
    const long long size = FileSize(path);
    if (size > 0 && size == last) return true;
    last = size;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return false;
}

bool TakeSnapshot(QVNET_HANDLE h, qvp::MemoryWindowSink& window, const Snapshot& s) {
  const std::string path = Absolute(s.path);
  std::remove(path.c_str());
  if (s.at >= 0) {
    // The first picture after a seek may still be the decoder's rest of the old place; the
    // picture stepped to after it is the new place's.
    const uint64_t shown = window.PresentCount();
    if (QVNET_ReplaySeek(h, static_cast<uint32_t>(s.at)) == 1) window.WaitPresentCount(shown + 1, kPictureWaitMs);
    const uint64_t sought = window.PresentCount();
    QVNET_ReplayStepByStep(h);
    window.WaitPresentCount(sought + 1, kPictureWaitMs);
  }
  const bool ok = QVNET_ClientCapturePicture(h, path.c_str()) == 1 && WaitForFile(path);
  std::printf("snapshot %s at %u s: %s\n", path.c_str(), QVNET_ReplayCurTime(h), ok ? "written" : "FAILED");
  QVNET_ReplayPause(h);
  return ok;
}

bool Snapshots(const Options& o, qvp::MemoryWindowSink& window, qvp::WindowHandle wnd) {
  const QVNET_HANDLE h = QVNET_OpenFile(o.file.c_str(), wnd, 1);
  if (h == 0) return false;
  bool ok = window.WaitPresentCount(1, kPictureWaitMs);
  for (const Snapshot& s : o.snapshots) ok = TakeSnapshot(h, window, s) && ok;
  QVNET_CloseFile(h);
  return ok;
}

bool Play(const Options& o, qvp::MemoryWindowSink& window, qvp::WindowHandle wnd) {
  const QVNET_HANDLE h = QVNET_OpenFile(o.file.c_str(), wnd, 0);
  if (h == 0) return false;
  SetSpeed(h, o.speed);
  if (o.seek >= 0 && QVNET_ReplaySeek(h, static_cast<uint32_t>(o.seek)) == 0) {
    std::printf("qvplay: the file has no time line to seek in\n");
  }
  const uint32_t total = QVNET_ReplayTotalTime(h);
  const uint64_t before = window.PresentCount();
  while (!g_interrupted && !g_end_of_file) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    int kbps = 0;
    int fps = 0;
    QVNET_GetBitStreamInfo(h, &kbps, &fps);
    std::printf("position %u / %u s, %llu pictures, %d kbit/s, %d pictures/s\n", QVNET_ReplayCurTime(h), total,
                static_cast<unsigned long long>(window.PresentCount() - before), kbps, fps);
    std::fflush(stdout);
  }
  // The last pictures may still be on their way to the window.
  uint64_t shown = window.PresentCount();
  while (!g_interrupted && window.WaitPresentCount(shown + 1, 500)) shown = window.PresentCount();
  std::printf("%s after %llu pictures\n", g_end_of_file ? "end of file" : "stopped",
              static_cast<unsigned long long>(shown - before));
  QVNET_CloseFile(h);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, &o)) {
    Usage();
    return 2;
  }
  if (!qvplay::PrintFileInfo(o.file)) return 1;
  if (o.info_only) return 0;
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  std::signal(SIGTERM, [](int) { g_interrupted = true; });
  QVNET_Startup(0, 0, OnNotify, 0);
  auto window = std::make_shared<qvp::MemoryWindowSink>(kWindowWidth, kWindowHeight);
  const qvp::WindowHandle wnd = qvp::RegisterWindow(window);
  bool ok = true;
  if (!o.snapshots.empty()) ok = Snapshots(o, *window, wnd);
  if (ok && o.play && !g_interrupted) ok = Play(o, *window, wnd);
  if (!ok) std::fprintf(stderr, "qvplay: %s could not be played\n", o.file.c_str());
  qvp::UnregisterWindow(wnd);
  QVNET_Cleanup();
  return ok ? 0 : 1;
}
