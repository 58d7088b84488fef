#include "bench/ingest/camera_sim.h"

#include <fstream>
#include <random>
#include <thread>

#include "bench/ingest/bench_files.h"

namespace qvbench {
namespace {

// Encoding the looped clip takes a few seconds on a busy machine; cameras share one clip.
constexpr auto kReadyTimeout = std::chrono::seconds(90);
constexpr int kPortAttempts = 5;
constexpr int kLowestPort = 20000;
constexpr int kHighestPort = 60000;

// Counts the "camera i: rtsp://..." lines the simulator prints once each camera listens.
int AnnouncedCameras(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  int count = 0;
  for (int i = 0; i < 100000 && std::getline(in, line); ++i) {
    if (line.rfind("camera ", 0) == 0 && line.find("rtsp://") != std::string::npos) ++count;
  }
  return count;
}

int RandomBase(int cameras) {
  std::random_device seed;
  std::uniform_int_distribution<int> pick(kLowestPort, kHighestPort - cameras);
  return pick(seed);
}

}  // namespace

bool CameraSim::Start(const CameraSimOptions& options, std::string* error) {
  const int attempts = options.first_port != 0 ? 1 : kPortAttempts;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    const int base = options.first_port != 0 ? options.first_port : RandomBase(options.cameras);
    if (TryStart(options, base, error)) return true;
    if (StopRequested()) return false;
  }
  return false;
}

bool CameraSim::TryStart(const CameraSimOptions& options, int first_port, std::string* error) {
  process_.Terminate(1000);
  process_ = ChildProcess();
  const std::string out = options.log_folder + "/camsim.out";
  const std::string err = options.log_folder + "/camsim.err";
  // Only loopback: the simulator is told where to listen rather than trusted to default.
  std::vector<std::string> argv = {options.program, "--cameras", std::to_string(options.cameras),
                                   "--port", std::to_string(first_port), "--bind", "127.0.0.1",
                                   "--video", "h264", "--size", options.size, "--fps", std::to_string(options.fps),
                                   "--kbps", std::to_string(options.kbps), "--audio", options.audio,
                                   "--no-stdin"};
  if (!options.media_log_folder.empty()) {
    argv.push_back("--log-dir");
    argv.push_back(options.media_log_folder);
  }
  if (!process_.Exec(argv, out, err)) {
    *error = "cannot fork the camera simulator";
    return false;
  }
  const auto deadline = SteadyClock::now() + kReadyTimeout;
  while (AnnouncedCameras(out) < options.cameras) {
    if (process_.Poll()) {
      const std::string why = FirstLine(err, 200);
      *error = "the camera simulator ended (" + process_.DescribeEnd() + ")" + (why.empty() ? "" : ": " + why);
      return false;
    }
    if (StopRequested() || SteadyClock::now() >= deadline) {
      *error = StopRequested() ? "interrupted" : "the camera simulator did not announce its cameras in time";
      process_.Terminate(1000);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  first_port_ = first_port;
  return true;
}

}  // namespace qvbench
