#include "bench/ingest/ffmpeg_baseline.h"

#include <chrono>
#include <cstdio>

#include "bench/ingest/bench_files.h"
#include "bench/ingest/child_process.h"

namespace qvbench {
namespace {

// Connecting and probing the stream come on top of the copied seconds.
constexpr auto kExtraTime = std::chrono::seconds(60);

std::string Numbered(const std::string& folder, const char* stem, size_t i, const char* ext) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%02zu%s", stem, i, ext);
  return folder + "/" + name;
}

}  // namespace

BaselineResult RunFfmpegBaseline(const std::string& ffmpeg, const std::vector<int>& ports, int seconds,
                                 const std::string& folder) {
  BaselineResult result;
  std::vector<ChildProcess> processes(ports.size());
  for (size_t i = 0; i < ports.size(); ++i) {
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(ports[i]) + "/0";
    const std::vector<std::string> argv = {ffmpeg, "-nostdin", "-loglevel", "error", "-rtsp_transport", "tcp",
                                           "-i", url, "-t", std::to_string(seconds), "-c", "copy", "-f", "h264",
                                           Numbered(folder, "cam", i, ".h264")};
    if (!processes[i].Exec(argv, "", Numbered(folder, "ffmpeg", i, ".log"))) {
      result.message = "cannot fork ffmpeg";
      return result;  // the processes already started are ended by their destructors
    }
  }
  const auto deadline = SteadyClock::now() + std::chrono::seconds(seconds) + kExtraTime;
  for (size_t i = 0; i < processes.size(); ++i) {
    ChildProcess& p = processes[i];
    if (!p.WaitUntil(deadline)) {
      result.message = StopRequested() ? "interrupted" : "ffmpeg did not finish in time";
      return result;
    }
    result.cpu_seconds += p.CpuSeconds();
    result.system_seconds += p.SystemSeconds();
    const uint64_t bytes = FileBytes(Numbered(folder, "cam", i, ".h264"));
    result.bytes += bytes;
    if (!p.Succeeded() || bytes == 0) {
      const std::string why = FirstLine(Numbered(folder, "ffmpeg", i, ".log"), 200);
      result.message = "ffmpeg on port " + std::to_string(ports[i]) + ": " + p.DescribeEnd() + ", " +
                       std::to_string(bytes) + " bytes written" + (why.empty() ? "" : " (" + why + ")");
      return result;
    }
  }
  result.ok = true;
  return result;
}

}  // namespace qvbench
