// bench_liveview [--seconds N]: the recorder's live view of a 1920x1080 25 fps H.264 stream from
// the camera simulator (receive, decode, convert, scale to a 1280x720 video area, present to the
// widget) against ffmpeg decoding the same stream and scaling it to 1280x720 BGR0, in one run.
// Prints CPU milliseconds per displayed picture for both and their ratio (aim: at most 1.0), and
// the latency from the camera's send of a picture to its present (median and 95th percentile;
// the n-th picture presented is matched with the n-th picture the camera sent that session).
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ingest/bench_files.h"
#include "bench/ingest/camera_sim.h"
#include "bench/ingest/child_process.h"
#include "netclient/include/QVNetClient.h"
#include "platform/tick_clock.h"
#include "uishared/video_area.h"

namespace {

using qvbench::ChildProcess;

// The live view in a forked child, so its CPU is its own. Writes the present ticks to `out`.
int RunLiveView(int port, int seconds, const std::string& out) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("ALSA_CONFIG_PATH", "/dev/null", 1);  // no sound device: nothing is played
  int argc = 1;
  char name[] = "bench_liveview";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QVNET_Startup(0, 0, nullptr, 0);
  std::vector<uint32_t> ticks;
  std::mutex mutex;
  {
    qvui::VideoArea area;
    area.resize(1280, 720);
    area.show();
    area.SetPresentHook([&] {
      std::lock_guard<std::mutex> lock(mutex);
      ticks.push_back(qvp::TickCount());
    });
    ClientParams p;
    std::memset(&p, 0, sizeof p);
    p.transport = 1;
    p.view = 1;
    p.display_window = area.Handle();
    std::snprintf(p.address, sizeof p.address, "127.0.0.1:%d", port);
    const QVNET_HANDLE client = QVNET_ClientStart(&p);
    if (client == 0) {
      std::fprintf(stderr, "bench_liveview: the live view client did not start\n");
      return 1;
    }
    // A real event loop: waiting must not cost CPU of its own.
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QApplication::exec();
    if (QVNET_GetClientState(client) != 0) {
      std::fprintf(stderr, "bench_liveview: the live view never streamed (state %d)\n", QVNET_GetClientState(client));
    }
    QVNET_ClientStop(client);
  }
  QVNET_Cleanup();
  std::ofstream file(out);
  std::lock_guard<std::mutex> lock(mutex);
  for (uint32_t t : ticks) file << t << "\n";
  return 0;
}

std::vector<uint32_t> ReadTicks(const std::string& path) {
  std::vector<uint32_t> ticks;
  std::ifstream in(path);
  uint32_t t = 0;
  while (in >> t) ticks.push_back(t);
  return ticks;
}

// Send ticks of the pictures of one session: the first line of each RTP time.
std::vector<uint32_t> SentPictures(const std::string& frames_log) {
  std::vector<uint32_t> ticks;
  std::ifstream in(frames_log);
  std::string line;
  uint32_t last_rtp = 0;
  bool any = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    uint32_t tick = 0;
    uint32_t rtp = 0;
    std::string kind;
    if (!(fields >> tick >> kind >> rtp) || kind != "video") continue;
    if (any && rtp == last_rtp) continue;
    ticks.push_back(tick);
    last_rtp = rtp;
    any = true;
  }
  return ticks;
}

long FfmpegFrames(const std::string& stderr_path) {
  std::ifstream in(stderr_path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  const size_t at = s.rfind("frame=");
  return at == std::string::npos ? 0 : std::atol(s.c_str() + at + 6);
}

void PrintLatency(std::vector<uint32_t> sent, std::vector<uint32_t> presented) {
  std::vector<int64_t> lat;
  for (size_t i = 0; i < presented.size() && i < sent.size(); ++i) {
    lat.push_back(static_cast<int32_t>(presented[i] - sent[i]));
  }
  if (lat.empty()) {
    std::printf("latency: no pictures to match\n");
    return;
  }
  std::sort(lat.begin(), lat.end());
  std::printf("latency camera send -> present: median %lld ms, 95th percentile %lld ms "
              "(%zu pictures sent, %zu presented)\n",
              static_cast<long long>(lat[lat.size() / 2]), static_cast<long long>(lat[lat.size() * 95 / 100]),
              sent.size(), presented.size());
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) seconds = std::max(2, std::atoi(argv[2]));
  char pattern[] = "/tmp/qv_bench_liveview.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  qvbench::CameraSimOptions cam;
  cam.program = QV_CAMSIM_PATH;
  cam.size = "1920x1080";
  cam.fps = 25;
  // The cameras' dialect always names two tracks: a stream without audio would not play.
  cam.audio = "pcma";
  cam.log_folder = dir;
  cam.media_log_folder = dir + "/media";
  qvbench::MakeEmptyFolder(cam.media_log_folder);
  qvbench::CameraSim sim;
  std::string error;
  std::printf("camera simulator: 1920x1080 25 fps H.264 %d kbit/s on 127.0.0.1 (encoding its clip)\n", cam.kbps);
  if (!sim.Start(cam, &error)) {
    std::fprintf(stderr, "bench_liveview: %s\n", error.c_str());
    return 1;
  }
  const int port = sim.Port(0);

  ChildProcess ours;
  const std::string ticks_path = dir + "/presents.txt";
  ours.Fork([&] { return RunLiveView(port, seconds, ticks_path); });
  ours.WaitUntil(qvbench::SteadyClock::now() + std::chrono::seconds(seconds + 30));
  const std::vector<uint32_t> presented = ReadTicks(ticks_path);

  ChildProcess ffmpeg;
  const std::string ff_err = dir + "/ffmpeg.err";
  ffmpeg.Exec({"ffmpeg", "-hide_banner", "-rtsp_transport", "tcp", "-i",
               "rtsp://127.0.0.1:" + std::to_string(port) + "/0", "-t", std::to_string(seconds), "-an",
               "-vf", "scale=1280:720", "-pix_fmt", "bgr0", "-f", "null", "-"},
              "", ff_err);
  ffmpeg.WaitUntil(qvbench::SteadyClock::now() + std::chrono::seconds(seconds + 60));
  const long ff_frames = FfmpegFrames(ff_err);
  sim.Stop();

  const double ours_ms = presented.empty() ? 0 : ours.CpuSeconds() * 1000 / presented.size();
  const double ff_ms = ff_frames == 0 ? 0 : ffmpeg.CpuSeconds() * 1000 / ff_frames;
  std::printf("live view : %zu pictures presented, %.2f s CPU, %.2f ms per picture\n", presented.size(),
              ours.CpuSeconds(), ours_ms);
  std::printf("ffmpeg    : %ld pictures, %.2f s CPU, %.2f ms per picture\n", ff_frames, ffmpeg.CpuSeconds(), ff_ms);
  if (ff_ms > 0) std::printf("ratio live view / ffmpeg: %.2f (aim: at most 1.0)\n", ours_ms / ff_ms);
  PrintLatency(SentPictures(cam.media_log_folder + "/cam0_s1_frames.log"), presented);
  qvbench::RemoveTree(dir);
  return 0;
}
