// QV_NVR -service as a process against a simulated camera in this process (127.0.0.1): an
// unclean end (kill -9) is detected and the manual device records again after the restart,
// the file cut by the kill still reads, SIGTERM ends cleanly, one copy runs at a time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "netclient/include/QVNetClient.h"
#include "nvr/core/store/config_ini.h"
#include "nvr/core/store/db_setup.h"
#include "nvr/core/store/recorder_db.h"
#include "nvr/core/store/text_log.h"
#include "platform/endpoint.h"
#include "platform/memory_window_sink.h"
#include "platform/window_registry.h"
#include "tests/core/core_test_support.h"
#include "tests/service/child_process.h"
#include "tests/support/camera_helpers.h"
#include "tests/support/poll.h"
#include "tests/support/recording_readback.h"

namespace {

using servicetest::ChildProcess;
using servicetest::ReadFile;

class ServiceProcessTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    runtime_ = Path("runtime");
    mkdir(runtime_.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);  // the children inherit it
    out_ = Path("service.out");
  }
  void TearDown() override {
    // A watchdog started by a service is detached: tell it to go.
    qvp::PostToEndpoint("QV_WATCHDOGAPP", 3524, 2, 0);
    service_.reset();
    camera_.reset();
    unsetenv("XDG_RUNTIME_DIR");
    TempHome::TearDown();
  }

  int Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QV_NVR_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return servicetest::RunProgram(argv, Path("cli.out"), &cli_out_);
  }

  // A database, a camera with Digest and the device "Gate" on it, operated by hand.
  void SetUpRecorder() {
    ASSERT_EQ(Cli({"--init-db", "--password", "Adm1n-Pw"}), 0) << cli_out_;
    camsim::CameraOptions options = qvtest::SmallCamera();
    options.user = "admin";
    options.password = "cam-pw";
    camera_ = qvtest::StartCamera(options);
    ASSERT_EQ(Cli({"--add-device", "Gate", "127.0.0.1", std::to_string(camera_->Port()), "1",
                   "admin", "cam-pw"}),
              0)
        << cli_out_;
    ASSERT_EQ(Cli({"--drive", "C", Path("storage"), "0"}), 0) << cli_out_;
  }

  void StartService() {
    service_ = std::make_unique<ChildProcess>();
    ASSERT_TRUE(service_->Start({QV_NVR_BIN, "-service"}, out_));
  }
  // Output of the services so far.
  std::string Output() { return ReadFile(out_); }
  bool OutputHas(const std::string& text, int timeout_ms = 15000) {
    return qvtest::PollUntil([&] { return Output().find(text) != std::string::npos; }, timeout_ms);
  }
  size_t Count(const std::string& text, const std::string& in) {
    size_t n = 0;
    for (size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + 1)) ++n;
    return n;
  }

  // Recording files under the storage root, sorted by name (= by start time).
  std::vector<std::string> Recordings() {
    std::vector<std::string> files;
    std::error_code ec;
    const std::string root = Path("storage/QV_Record/Normal");
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file()) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  static long long SizeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
  }
  std::string TodaysLog() {
    const time_t now = time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ReadFile(nvr::LogFilePath(local));
  }
  std::string ExitFlag() {
    int error = 0;
    return nvr::ReadExitFlag(nvr::ConfigIniPath(home_), &error).value_or("(none)");
  }

  std::string runtime_;
  std::string out_;
  std::string cli_out_;
  std::unique_ptr<camsim::Camera> camera_;
  std::unique_ptr<ChildProcess> service_;
};

TEST_F(ServiceProcessTest, KillAndRestartRestoreTheManualRecordingAndSigtermEndsCleanly) {
  SetUpRecorder();
  {
    // The state a run leaves while it records "Gate" by hand.
    nvr::DbConnection conn;
    ASSERT_EQ(nvr::DbOpen(conn, nvr::DatabasePath(home_)), 1);
    ASSERT_TRUE(nvr::RecorderDb(conn).SetOpState("Gate", 2));
    ASSERT_EQ(nvr::WriteExitFlag(nvr::ConfigIniPath(home_), false), 0);
  }
  StartService();
  ASSERT_TRUE(OutputHas("Gate: recording into ")) << Output();
  ASSERT_TRUE(qvtest::PollUntil([&] { return Recordings().size() == 1; }, 5000));
  const std::string cut = Recordings()[0];
  // More than a second of stream: the restarted recording cannot take this file's name.
  ASSERT_TRUE(qvtest::PollUntil([&] { return SizeOf(cut) > 48000; }, 15000)) << SizeOf(cut);
  EXPECT_EQ(ExitFlag(), "0");

  service_->Signal(SIGKILL);
  ASSERT_EQ(service_->Wait(5000), -1);  // killed by the signal
  const qvtest::Recording killed = qvtest::ReadRecording(cut);
  ASSERT_TRUE(killed.ok) << cut;
  EXPECT_EQ(killed.origin, qvnet::IndexOrigin::kScanned);  // no index block: rebuilt
  EXPECT_FALSE(killed.index.empty());
  EXPECT_GT(killed.VideoBytes().size(), 24000u);
  {
    // The replay side opens it too.
    auto sink = std::make_shared<qvp::MemoryWindowSink>();
    const qvp::WindowHandle window = qvp::RegisterWindow(sink);
    const QVNET_HANDLE h = QVNET_OpenFile(cut.c_str(), window, 1);
    EXPECT_NE(h, 0u);
    if (h != 0) {
      EXPECT_EQ(QVNET_CloseFile(h), 1);
    }
    qvp::UnregisterWindow(window);
  }

  StartService();
  ASSERT_TRUE(OutputHas("the last run did not end cleanly")) << Output();
  ASSERT_TRUE(qvtest::PollUntil([&] { return Recordings().size() == 2; }, 15000)) << Output();
  const std::string resumed = Recordings()[1];
  ASSERT_TRUE(qvtest::PollUntil([&] { return SizeOf(resumed) > 16000; }, 15000));
  const std::string output = Output();
  EXPECT_EQ(Count("Gate: Connected successfully", output), 2u) << output;
  EXPECT_EQ(Count("detect qvnvr close illegally last time", TodaysLog()), 2u);

  service_->Signal(SIGTERM);
  EXPECT_EQ(service_->Wait(15000), 0);
  EXPECT_TRUE(OutputHas("stopped cleanly", 100));
  EXPECT_EQ(ExitFlag(), "1");
  const qvtest::Recording closed = qvtest::ReadRecording(resumed);
  ASSERT_TRUE(closed.ok);
  EXPECT_EQ(closed.origin, qvnet::IndexOrigin::kTail);
  qvtest::ExpectIndexAtKeyFrames(closed, qvnet::kKindKeyFrame);
  EXPECT_TRUE(qvtest::ReadRecording(cut).ok);
}

TEST_F(ServiceProcessTest, OneCopyRunsAndASecondOneAsksItToShowItself) {
  SetUpRecorder();
  StartService();
  ASSERT_TRUE(OutputHas("QV_NVR service in ")) << Output();
  std::string second;
  EXPECT_EQ(servicetest::RunProgram({QV_NVR_BIN, "-service"}, Path("second.out"), &second), 1);
  EXPECT_NE(second.find("already running"), std::string::npos) << second;
  EXPECT_TRUE(OutputHas("another copy asked to show the window")) << Output();
  // Another runtime folder does not make a second recorder on the same program folder.
  const std::string other_runtime = Path("runtime2");
  mkdir(other_runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", other_runtime.c_str(), 1);
  EXPECT_EQ(servicetest::RunProgram({QV_NVR_BIN, "-service"}, Path("third.out"), &second), 1);
  setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
  EXPECT_NE(second.find("already running on this program folder"), std::string::npos) << second;
  service_->Signal(SIGINT);
  EXPECT_EQ(service_->Wait(15000), 0);
  EXPECT_EQ(ExitFlag(), "1");
}

TEST_F(ServiceProcessTest, WithoutADatabaseTheServiceSaysSoAndEnds) {
  std::string output;
  EXPECT_EQ(servicetest::RunProgram({QV_NVR_BIN, "-service"}, Path("nodb.out"), &output), 1);
  EXPECT_NE(output.find("Connect database failed"), std::string::npos) << output;
  EXPECT_FALSE(Exists(Path("NVRData")));
  // The window needs a display; without one the program says so instead of Qt aborting.
  const std::string display = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
  const std::string platform = std::getenv("QT_QPA_PLATFORM") != nullptr ? std::getenv("QT_QPA_PLATFORM") : "";
  unsetenv("DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_EQ(servicetest::RunProgram({QV_NVR_BIN}, Path("window.out"), &output), 1);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  if (!platform.empty()) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
  EXPECT_NE(output.find("no display to open the window on"), std::string::npos) << output;
}

TEST_F(ServiceProcessTest, TheWatchdogSettingStartsTheWatchdogAndTheExitStopsIt) {
  ASSERT_EQ(Cli({"--init-db", "--password", "Adm1n-Pw"}), 0) << cli_out_;
  ASSERT_EQ(Cli({"--set", "watchdog", "on"}), 0) << cli_out_;
  StartService();
  EXPECT_TRUE(qvtest::PollUntil([] { return qvp::EndpointExists("QV_WATCHDOGAPP"); }, 10000))
      << Output();
  service_->Signal(SIGTERM);
  EXPECT_EQ(service_->Wait(15000), 0);
  EXPECT_TRUE(qvtest::PollUntil([] { return !qvp::EndpointExists("QV_WATCHDOGAPP"); }, 5000))
      << Output();
  EXPECT_TRUE(OutputHas("QV_Watchdog: the recorder stopped watching", 2000)) << Output();
}

// Under systemd (Type=notify, WatchdogSec=) the service says when it is ready, sends "alive"
// from its core thread for as long as that runs, and says when it stops.
TEST_F(ServiceProcessTest, TellsSystemdItIsReadyAliveAndStopping) {
  ASSERT_EQ(Cli({"--init-db", "--password", "Adm1n-Pw"}), 0) << cli_out_;
  const std::string socket_path = Path("notify.sock");
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket_path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
  timeval timeout{0, 200000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setenv("NOTIFY_SOCKET", socket_path.c_str(), 1);
  setenv("WATCHDOG_USEC", "400000", 1);
  StartService();
  unsetenv("NOTIFY_SOCKET");
  unsetenv("WATCHDOG_USEC");

  std::vector<std::string> messages;
  const auto receive = [&] {
    char buf[512];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n > 0) messages.emplace_back(buf, static_cast<size_t>(n));
  };
  const auto count = [&](const std::string& text) {
    return std::count_if(messages.begin(), messages.end(),
                         [&](const std::string& m) { return m.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(qvtest::PollUntil([&] { receive(); return count("WATCHDOG=1") >= 3; }, 10000));
  EXPECT_EQ(count("READY=1"), 1);
  service_->Signal(SIGTERM);
  EXPECT_TRUE(qvtest::PollUntil([&] { receive(); return count("STOPPING=1") == 1; }, 10000));
  EXPECT_EQ(service_->Wait(15000), 0);
  close(fd);
}

}  // namespace
