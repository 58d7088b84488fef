// Recording ingest cost: CPU seconds per recorded GiB and resident memory per recording client
// of libQVNVRClient.so, against ffmpeg copying the same streams in the same run.
//
// Usage: bench_ingest [--cameras 1,8,32] [--seconds 20] [--camsim PATH] [--ffmpeg PATH]
//                     [--no-ffmpeg] [--port P] [--kbps 4096]
//
// For each camera count N the camera simulator serves N cameras on 127.0.0.1 (a process of its
// own, whose CPU counts for neither side). Our side is a forked child running N recording
// clients over RTSP/TCP; the baseline is N ffmpeg processes run after it against the same
// cameras. Both sides are measured by the rusage of their reaped processes and by the bytes
// they wrote. Timings on a shared machine are noisy: compare ratios, not absolute seconds. Each
// ffmpeg's start-up and probing is a fixed cost inside its CPU, so the ratio of runs of different
// lengths differs: compare runs of equal length.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/ingest/bench_files.h"
#include "bench/ingest/camera_sim.h"
#include "bench/ingest/child_process.h"
#include "bench/ingest/ffmpeg_baseline.h"
#include "bench/ingest/nvr_recorder.h"

namespace {

using namespace qvbench;

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
constexpr double kTargetRatio = 0.2;
constexpr double kTargetMiBPerClient = 1.5;
constexpr int kMaxCameras = 256;
// Beyond the recording time: connecting every client, then stopping them and closing files.
constexpr auto kOursExtraTime = std::chrono::seconds(120);

struct Options {
  std::vector<int> cameras = {1, 8, 32};
  int seconds = 20;
  std::string camsim;
  std::string ffmpeg = "ffmpeg";
  bool baseline = true;
  int port = 0;
  int kbps = 4096;
};

struct OursResult {
  bool ok = false;
  std::string message;
  double cpu_seconds = 0;
  double system_seconds = 0;  // the part of cpu_seconds spent in the kernel
  uint64_t bytes = 0;
  int files = 0;
  int replayable_files = 0;
  RecorderReport report;
};

struct RunResult {
  int cameras = 0;
  OursResult ours;
  bool baseline_ran = false;
  BaselineResult baseline;
};

void Usage() {
  std::puts(
      "usage: bench_ingest [options]\n"
      "Recording cost of libQVNVRClient.so against ffmpeg -c copy, same cameras, same run.\n"
      "  --cameras LIST   camera counts to run, comma-separated (default 1,8,32)\n"
      "  --seconds S      recording time per run (default 20)\n"
      "  --camsim PATH    camera simulator (default: tools/camsim/qv_camsim of this build tree)\n"
      "  --ffmpeg PATH    baseline program (default ffmpeg on PATH)\n"
      "  --no-ffmpeg      skip the baseline\n"
      "  --port P         first camera port (default: a random free range)\n"
      "  --kbps K         H.264 bit rate of each camera in kbit/s (default 4096)");
}

bool ParseList(const std::string& text, std::vector<int>* out) {
  out->clear();
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find(',', begin);
    if (end == std::string::npos) end = text.size();
    const int n = std::atoi(text.substr(begin, end - begin).c_str());
    if (n < 1 || n > kMaxCameras) return false;
    out->push_back(n);
    begin = end + 1;
  }
  return !out->empty();
}

// The simulator of the build tree this benchmark was built in; if that tree has been moved, the
// same place relative to this program (tools/camsim/ beside bench/ingest/).
std::string DefaultCamsim() {
  const std::string built = QV_CAMSIM_PATH;
  if (!FindExecutable(built).empty()) return built;
  return ExecutableFolder() + "/../../tools/camsim/qv_camsim";
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--no-ffmpeg") {
      o->baseline = false;
    } else if (a == "--cameras" && has_value) {
      if (!ParseList(argv[++i], &o->cameras)) return false;
    } else if (a == "--seconds" && has_value) {
      o->seconds = std::atoi(argv[++i]);
      if (o->seconds < 1 || o->seconds > 3600) return false;
    } else if (a == "--camsim" && has_value) {
      o->camsim = argv[++i];
    } else if (a == "--ffmpeg" && has_value) {
      o->ffmpeg = argv[++i];
    } else if (a == "--port" && has_value) {
      o->port = std::atoi(argv[++i]);
      if (o->port < 1024 || o->port > 65000) return false;
    } else if (a == "--kbps" && has_value) {
      o->kbps = std::atoi(argv[++i]);
      if (o->kbps < 16 || o->kbps > 100000) return false;
    } else {
      return false;
    }
  }
  if (o->camsim.empty()) o->camsim = DefaultCamsim();
  return true;
}

// A pipe whose ends close themselves.
struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe2(fd, O_CLOEXEC) != 0) fd[0] = fd[1] = -1;
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  void CloseRead() {
    if (fd[0] >= 0) ::close(fd[0]);
    fd[0] = -1;
  }
  void CloseWrite() {
    if (fd[1] >= 0) ::close(fd[1]);
    fd[1] = -1;
  }
};

std::string ReadSmall(int fd) {
  std::string text;
  char chunk[256];
  while (text.size() < 4096) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  return text;
}

OursResult RunOurs(const CameraSim& sim, int cameras, int seconds, const std::string& folder) {
  OursResult result;
  Pipe report;
  if (report.fd[0] < 0) {
    result.message = "cannot make a pipe";
    return result;
  }
  RecorderConfig config;
  config.cameras = cameras;
  config.first_port = sim.Port(0);
  config.seconds = seconds;
  config.folder = folder;
  ChildProcess child;
  const int write_fd = report.fd[1];
  if (!child.Fork([&] { return RunRecorder(config, write_fd); })) {
    result.message = "cannot fork the recorder";
    return result;
  }
  report.CloseWrite();
  if (!child.WaitUntil(SteadyClock::now() + std::chrono::seconds(seconds) + kOursExtraTime)) {
    result.message = StopRequested() ? "interrupted" : "the recorder did not finish in time";
    return result;
  }
  result.cpu_seconds = child.CpuSeconds();
  result.system_seconds = child.SystemSeconds();
  result.bytes = FolderBytes(folder);
  result.replayable_files = ReplayableRecordFiles(folder, &result.files);
  if (!ParseReport(ReadSmall(report.fd[0]), &result.report)) {
    result.message = "the recorder reported nothing (" + child.DescribeEnd() + ")";
    return result;
  }
  if (result.bytes == 0 || !child.Succeeded()) {
    result.message =
        "the recorder ended with " + child.DescribeEnd() + ", " + std::to_string(result.bytes) + " bytes recorded";
    return result;
  }
  result.ok = true;
  return result;
}

bool RunOne(const Options& o, const std::string& root, int cameras, bool* baseline_usable, RunResult* run) {
  run->cameras = cameras;
  const std::string folder = root + "/n" + std::to_string(cameras);
  if (!MakeEmptyFolder(folder) || !MakeEmptyFolder(folder + "/ours") || !MakeEmptyFolder(folder + "/ffmpeg")) {
    run->ours.message = "cannot make folders under " + root;
    std::fprintf(stderr, "bench_ingest: %s\n", run->ours.message.c_str());
    return false;
  }
  CameraSim sim;
  std::string error;
  if (!sim.Start({o.camsim, cameras, o.port, o.kbps, folder}, &error)) {
    run->ours.message = error;
    std::fprintf(stderr, "bench_ingest: %s\n", error.c_str());
    return false;
  }
  std::printf("N=%d: cameras on 127.0.0.1:%d..%d; ours recording %d s ...\n", cameras, sim.Port(0),
              sim.Port(cameras - 1), o.seconds);
  std::fflush(stdout);
  run->ours = RunOurs(sim, cameras, o.seconds, folder + "/ours");
  if (!run->ours.ok) std::printf("N=%d: our side failed: %s\n", cameras, run->ours.message.c_str());
  if (*baseline_usable && !StopRequested()) {
    std::printf("N=%d: ffmpeg baseline %d s ...\n", cameras, o.seconds);
    std::fflush(stdout);
    std::vector<int> ports;
    for (int i = 0; i < cameras; ++i) ports.push_back(sim.Port(i));
    run->baseline = RunFfmpegBaseline(o.ffmpeg, ports, o.seconds, folder + "/ffmpeg");
    run->baseline_ran = true;
    if (!run->baseline.ok && !StopRequested()) {
      std::printf("N=%d: baseline skipped, ffmpeg cannot read the simulator's streams: %s\n", cameras,
                  run->baseline.message.c_str());
      *baseline_usable = false;
    }
  }
  sim.Stop();
  RemoveTree(folder);
  return run->ours.ok;
}

double Percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0; }

double PerGiB(double cpu, uint64_t bytes) { return bytes == 0 ? 0 : cpu / (static_cast<double>(bytes) / kGiB); }

void PrintRow(const RunResult& r, int seconds) {
  const OursResult& o = r.ours;
  const RecorderReport& rep = o.report;
  const double ours_gib = PerGiB(o.cpu_seconds, o.bytes);
  // Without a sample taken while every client recorded there is no figure per client.
  const bool have_memory = rep.rss_during_kib >= 0 && rep.rss_before_kib >= 0;
  const double mib_per_client = static_cast<double>(rep.rss_during_kib - rep.rss_before_kib) / 1024.0 / r.cameras;
  // Mean recording time per client: clients that connected first recorded a little longer.
  const double mean_seconds = rep.record_seconds > 0 ? rep.record_seconds / r.cameras : seconds;
  const double ours_mbs = static_cast<double>(o.bytes) / mean_seconds / 1e6;
  std::printf("%4d  %10.2f %8.3f %10.2f", r.cameras, o.cpu_seconds, static_cast<double>(o.bytes) / kGiB, ours_gib);
  const bool base = r.baseline_ran && r.baseline.ok;
  if (base) {
    const double base_gib = PerGiB(r.baseline.cpu_seconds, r.baseline.bytes);
    const double ratio = base_gib > 0 ? ours_gib / base_gib : 0;
    std::printf(" %10.2f %10.2f %7.3f %-4s", r.baseline.cpu_seconds, base_gib, ratio,
                ratio <= kTargetRatio ? "ok" : "MISS");
  } else {
    std::printf(" %10s %10s %7s %-4s", "-", "-", "-", "");
  }
  if (!have_memory) {
    std::printf(" %8s %-4s", "-", "");
  } else {
    std::printf(" %8.3f %-4s", mib_per_client, mib_per_client <= kTargetMiBPerClient ? "ok" : "MISS");
  }
  std::printf(" %9.3f", ours_mbs);
  if (base) {
    std::printf(" %9.3f\n", static_cast<double>(r.baseline.bytes) / seconds / 1e6);
  } else {
    std::printf(" %9s\n", "-");
  }
}

void PrintTable(const Options& o, const std::vector<RunResult>& runs) {
  std::printf(
      "\nIngest over RTSP/TCP from 127.0.0.1: H.264 704x576 25 fps at %d kbit/s + G.711 per camera, %d s per run\n"
      "CPU = user + system of the recording processes; GiB = bytes written (ours: record files with audio\n"
      "and index; ffmpeg: raw H.264); memory = (peak VmRSS while all record - VmRSS before) / N.\n"
      "Targets: ours/ffmpeg CPU per GiB <= %.1f, memory per client <= %.1f MiB. Shared machine: noisy.\n\n",
      o.kbps, o.seconds, kTargetRatio, kTargetMiBPerClient);
  std::printf("%4s  %10s %8s %10s %10s %10s %7s %-4s %8s %-4s %9s %9s\n", "N", "ours CPU s", "ours GiB", "ours s/GiB",
              "ffm CPU s", "ffm s/GiB", "ratio", "", "MiB/cli", "", "ours MB/s", "ffm MB/s");
  for (const RunResult& r : runs) {
    if (r.ours.ok) {
      PrintRow(r, o.seconds);
    } else {
      std::printf("%4d  not measured: %s\n", r.cameras, r.ours.message.c_str());
    }
  }
  for (const RunResult& r : runs) {
    if (!r.ours.ok) continue;
    const RecorderReport& rep = r.ours.report;
    const double stream_mbs = static_cast<double>(r.cameras) * o.kbps * 1000.0 / 8.0 / 1e6;
    std::printf("N=%d: %d of %d clients recording at the end, %d reconnections, %d of %d files replayable,"
                " stream rate %.3f MB/s\n",
                r.cameras, rep.recording, r.cameras, rep.reconnections, r.ours.replayable_files, r.ours.files,
                stream_mbs);
    std::printf("N=%d: kernel share of CPU (tick-sampled, rough): ours %.0f%%", r.cameras,
                Percent(r.ours.system_seconds, r.ours.cpu_seconds));
    if (r.baseline_ran && r.baseline.ok) {
      std::printf(", ffmpeg %.0f%%", Percent(r.baseline.system_seconds, r.baseline.cpu_seconds));
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, &options)) {
    Usage();
    return 2;
  }
  InstallStopHandlers();
  if (FindExecutable(options.camsim).empty()) {
    std::fprintf(stderr, "bench_ingest: no camera simulator at %s (build qv_camsim_bin or give --camsim)\n",
                 options.camsim.c_str());
    return 1;
  }
  bool baseline_usable = options.baseline;
  if (baseline_usable) {
    const std::string found = FindExecutable(options.ffmpeg);
    if (found.empty()) {
      std::printf("baseline skipped: %s not found; printing our numbers only\n", options.ffmpeg.c_str());
      baseline_usable = false;
    } else {
      options.ffmpeg = found;
    }
  }
  TempFolder temp;
  if (!temp.Create("qv-ingest")) {
    std::fprintf(stderr, "bench_ingest: cannot make a temporary folder\n");
    return 1;
  }
  std::vector<RunResult> runs;
  bool all_ok = true;
  for (int cameras : options.cameras) {
    if (StopRequested()) break;
    RunResult run;
    all_ok &= RunOne(options, temp.Path(), cameras, &baseline_usable, &run);
    runs.push_back(run);
  }
  PrintTable(options, runs);
  if (StopRequested()) std::printf("interrupted\n");
  return all_ok && !StopRequested() ? 0 : 1;
}
