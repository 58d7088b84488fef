#include "bench/ingest/nvr_recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/ingest/bench_files.h"
#include "bench/ingest/child_process.h"
#include "netclient/media/record/record_reader.h"
#include "nvrclient/include/QVNVRClient.h"
#include "platform/memory_window_sink.h"
#include "platform/window_registry.h"

namespace qvbench {
namespace {

// Each client posts to the same window with its own message number: base + camera index.
constexpr uint32_t kNotifyBase = 0x2400;
constexpr uint32_t kCodeState = 1;
constexpr int32_t kStateStreaming = 0;
// Generous: 32 clients connect at once to a simulator sharing two cores with them.
constexpr auto kAllRecordingTimeout = std::chrono::seconds(60);
// The benchmark's own thread counts as ours too: it wakes only for notifications, a memory
// sample a second and the end, so that it costs next to nothing beside the clients.
constexpr auto kSampleInterval = std::chrono::seconds(1);
constexpr uint32_t kConnectPumpWaitMs = 250;

struct Client {
  QVNVR_HANDLE handle = 0;
  bool recording = false;
  int files = 0;
  SteadyClock::time_point record_start;
};

double SecondsBetween(SteadyClock::time_point a, SteadyClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

class Recorder {
 public:
  explicit Recorder(const RecorderConfig& config) : config_(config), clients_(config.cameras) {
    window_ = qvp::RegisterWindow(sink_);
  }
  ~Recorder() {
    StopAll();
    qvp::UnregisterWindow(window_);
  }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  bool StartClients();
  // Handles the notifications that arrive within about `wait_ms`.
  void Pump(uint32_t wait_ms);
  int Recording() const {
    const auto recording = [](const Client& c) { return c.recording; };
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(), recording));
  }
  void StopAll();

  RecorderReport report;

 private:
  void OnState(size_t i, int32_t state);
  void EndRecording(Client& c);

  const RecorderConfig config_;
  std::shared_ptr<qvp::MemoryWindowSink> sink_ = std::make_shared<qvp::MemoryWindowSink>();
  qvp::WindowHandle window_ = 0;
  std::vector<Client> clients_;
};

bool Recorder::StartClients() {
  for (size_t i = 0; i < clients_.size(); ++i) {
    NvrClientParams p{};
    p.transport = 1;  // RTP interleaved in the RTSP connection
    p.stream_number = 0;
    p.notify_window = window_;
    p.notify_message = kNotifyBase + static_cast<uint32_t>(i);
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%d", config_.first_port + static_cast<int>(i));
    clients_[i].handle = QVNVR_ClientStart(&p);
    if (clients_[i].handle == 0) {
      std::fprintf(stderr, "bench_ingest: client %zu could not be started\n", i);
      return false;
    }
  }
  return true;
}

void Recorder::Pump(uint32_t wait_ms) {
  // Bounded: a flood of notifications cannot keep the caller from its own deadlines.
  for (int n = 0; n < 4096; ++n) {
    auto m = sink_->WaitMessage(n == 0 ? wait_ms : 0);
    if (!m) return;
    if (m->msg < kNotifyBase || m->msg - kNotifyBase >= clients_.size()) continue;
    if (m->wparam == kCodeState) OnState(m->msg - kNotifyBase, m->lparam);
  }
}

void Recorder::OnState(size_t i, int32_t state) {
  Client& c = clients_[i];
  if (state != kStateStreaming) {
    // The library closes the recording itself when the stream is lost.
    if (c.recording) EndRecording(c);
    return;
  }
  if (c.recording) return;
  char path[4096];
  std::snprintf(path, sizeof path, "%s/cam%02zu-%d.h264", config_.folder.c_str(), i, c.files + 1);
  if (QVNVR_ClientStartRecord(c.handle, path, 0) == 0) {
    std::fprintf(stderr, "bench_ingest: client %zu could not start recording into %s\n", i, path);
    return;
  }
  if (c.files > 0) ++report.reconnections;
  ++c.files;
  c.recording = true;
  c.record_start = SteadyClock::now();
}

void Recorder::EndRecording(Client& c) {
  report.record_seconds += SecondsBetween(c.record_start, SteadyClock::now());
  c.recording = false;
}

void Recorder::StopAll() {
  for (Client& c : clients_) {
    if (c.handle == 0) continue;
    QVNVR_ClientStopRecord(c.handle);
    if (c.recording) EndRecording(c);
    QVNVR_ClientStop(c.handle);
    c.handle = 0;
  }
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Connects every client and waits until all record; false when they did not in time.
bool WaitAllRecording(Recorder& recorder, int cameras) {
  const auto deadline = SteadyClock::now() + kAllRecordingTimeout;
  while (recorder.Recording() < cameras) {
    if (StopRequested() || SteadyClock::now() >= deadline) return false;
    recorder.Pump(kConnectPumpWaitMs);
  }
  return true;
}

void RecordTimed(Recorder& recorder, int cameras, int seconds) {
  const auto start = SteadyClock::now();
  const auto end = start + std::chrono::seconds(seconds);
  auto next_sample = start;
  while (!StopRequested()) {
    const auto now = SteadyClock::now();
    if (now >= end) break;
    if (now >= next_sample) {
      // Only samples with every client recording describe memory per recording client.
      if (recorder.Recording() == cameras) {
        recorder.report.rss_during_kib = std::max(recorder.report.rss_during_kib, ResidentKiB());
      }
      next_sample = now + kSampleInterval;
    }
    const auto wake = std::min(next_sample, end);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - SteadyClock::now()).count();
    recorder.Pump(static_cast<uint32_t>(std::clamp<long long>(wait + 1, 1, 1000)));
  }
}

}  // namespace

std::string FormatReport(const RecorderReport& r) {
  char line[256];
  std::snprintf(line, sizeof line,
                "rss_before=%ld rss_during=%ld recording=%d reconnections=%d seconds=%.3f all=%d\n", r.rss_before_kib,
                r.rss_during_kib, r.recording, r.reconnections, r.record_seconds, r.all_recorded ? 1 : 0);
  return line;
}

bool ParseReport(const std::string& line, RecorderReport* r) {
  int all = 0;
  const int n = std::sscanf(line.c_str(),
                            "rss_before=%ld rss_during=%ld recording=%d reconnections=%d seconds=%lf all=%d",
                            &r->rss_before_kib, &r->rss_during_kib, &r->recording, &r->reconnections,
                            &r->record_seconds, &all);
  r->all_recorded = all != 0;
  return n == 6;
}

int ReplayableRecordFiles(const std::string& folder, int* total) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int good = 0;
  *total = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;
    ++*total;
    qvnet::RecordFileReader reader;
    if (reader.Open(it->path().string()) == qvnet::RecordOpenResult::kOk && !reader.Index().empty()) ++good;
  }
  return good;
}

int RunRecorder(const RecorderConfig& config, int report_fd) {
  QVNVR_Startup(0, 0, 0, 0);
  // As the command-line recorder: 5 s to connect, retry for ever, 10 s between attempts.
  QVNVR_SetWaitTime(5, -1, 10);
  RecorderReport report;
  bool all = false;
  {
    Recorder recorder(config);
    report.rss_before_kib = ResidentKiB();
    if (recorder.StartClients()) {
      all = WaitAllRecording(recorder, config.cameras);
      if (!all) {
        std::fprintf(stderr, "bench_ingest: only %d of %d clients were recording after %lld s\n",
                     recorder.Recording(), config.cameras,
                     static_cast<long long>(kAllRecordingTimeout.count()));
      }
      if (recorder.Recording() > 0) RecordTimed(recorder, config.cameras, config.seconds);
    }
    recorder.report.rss_before_kib = report.rss_before_kib;
    recorder.report.recording = recorder.Recording();
    recorder.StopAll();
    report = recorder.report;
    report.all_recorded = all;
  }
  QVNVR_Cleanup();
  if (!WriteAll(report_fd, FormatReport(report))) return 1;
  return all ? 0 : 1;
}

}  // namespace qvbench
