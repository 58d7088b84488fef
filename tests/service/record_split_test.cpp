// The recorder core with the real recording library against a simulated camera on 127.0.0.1:
// a device on an every-day schedule is connected and recorded into its day folder, and its file
// is split when the injected clock passes the split length.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "nvr/core/store/db_setup.h"
#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/store/text_log.h"
#include "tests/core/core_test_support.h"
#include "tests/support/poll.h"
#include "tests/support/camera_helpers.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_readback.h"

namespace {

constexpr int32_t kEveryDay = 4242;

class RecordSplitTest : public coretest::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    const std::string runtime = Path("runtime");
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    mkdir(Path("c").c_str(), 0755);
    ASSERT_TRUE(nvr::InitDatabase(home_, "Adm1n-Pw"));
    ASSERT_EQ(nvr::DbOpen(conn_, nvr::DatabasePath(home_)), 1);

    camsim::CameraOptions options = qvtest::SmallCamera();
    options.user = "admin";
    options.password = "cam-pw";
    camera_ = qvtest::StartCamera(options);
    ASSERT_TRUE(camera_ && camera_->Running());

    nvr::ScheduleRecord always{};
    always.id = kEveryDay;
    always.day_code[0] = 10;
    always.end[0] = 2359;
    std::strcpy(always.name, "Always");
    ASSERT_TRUE(nvr::WriteSchedules(nvr::ScheduleDatPath(home_), {always}));
    nvr::DeviceRecord gate;
    gate.name = "Gate";
    gate.url = "127.0.0.1";
    gate.rtsp_port = camera_->Port();
    gate.username = "admin";
    gate.password = "cam-pw";
    ASSERT_TRUE(db_.InsertDevice(gate));
    ASSERT_TRUE(db_.SetScheduleId("Gate", kEveryDay));
    nvr::SettingsBlock settings = nvr::DefaultSettings('C');
    settings.split_minutes = 1;
    settings.drives[0].reserve_mb = 0;
    ASSERT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_), settings));
    SetLocal(10, 0, 30);
  }
  void TearDown() override {
    core_.reset();
    camera_.reset();
    unsetenv("XDG_RUNTIME_DIR");
    TempHome::TearDown();
  }

  void SetLocal(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2015 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 9;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    mktime(&t);
    local_ = t;
  }

  void StartCore() {
    nvr::CoreConfig config;
    config.home = home_;
    config.library = library_.get();
    config.db = &db_;
    config.drives = nvr::DriveMap({{'C', Path("c")}});
    config.disk_ops.free_mb = [](char) -> std::optional<uint64_t> { return 100000; };
    config.local_time = [this] { return local_; };
    config.start_threads = false;  // the test runs the monitor's passes
    core_ = std::make_unique<nvr::RecorderCore>(std::move(config));
    ASSERT_TRUE(core_->Start().ok);
  }

  // Runs the core thread's queued work (the library's notifications) until `done` holds.
  bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 10000) {
    return qvtest::PollUntil(
        [&] {
          core_->Loop().RunPending();
          return done();
        },
        timeout_ms);
  }

  nvr::DeviceEntry Gate() { return core_->Device(1).value_or(nvr::DeviceEntry{}); }
  std::string FileAt(const char* time) {
    return Path("c") + "/QV_Record/Normal/2015-03-09/Gate(127.0.0.1_" +
           std::to_string(camera_->Port()) + ")_1_2015_03_09_" + time + ".h264";
  }
  static long long SizeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
  }

  qvtest::FakeClock clock_{5000};
  nvr::DbConnection conn_;
  nvr::RecorderDb db_{conn_};
  std::unique_ptr<camsim::Camera> camera_;
  std::unique_ptr<nvr::RecordingLibrary> library_ = nvr::MakeQvnvrRecordingLibrary();
  std::unique_ptr<nvr::RecorderCore> core_;
  std::tm local_{};
};

TEST_F(RecordSplitTest, ScheduledDeviceRecordsIntoItsDayFolderAndSplitsOnTheInjectedClock) {
  StartCore();
  core_->RunMonitorPass();
  ASSERT_NE(Gate().client, 0u);
  ASSERT_TRUE(PumpUntil([&] { return Gate().state == nvr::kStateConnected; }))
      << "state " << Gate().state;
  core_->RunMonitorPass();
  ASSERT_TRUE(Gate().recording);
  const std::string first = FileAt("10_00_30");
  // Two seconds of a stream with one-second key frame distance: several index entries.
  ASSERT_TRUE(PumpUntil([&] { return SizeOf(first) > 64000; })) << first << " " << SizeOf(first);

  clock_.Advance(60000 - 1);
  core_->RunMonitorPass();
  EXPECT_EQ(SizeOf(FileAt("10_01_30")), -1);
  clock_.Advance(1);
  SetLocal(10, 1, 30);
  core_->RunMonitorPass();
  const std::string second = FileAt("10_01_30");
  EXPECT_TRUE(Gate().recording);
  EXPECT_EQ(Gate().record_start, qvp::TickCount());

  // The first file was closed with its index block; the new one fills.
  const qvtest::Recording r = qvtest::ReadRecording(first);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.origin, qvnet::IndexOrigin::kTail);
  EXPECT_GE(r.index.size(), 2u);
  qvtest::ExpectIndexAtKeyFrames(r, qvnet::kKindKeyFrame);
  EXPECT_GT(r.VideoBytes().size(), 32000u);
  EXPECT_TRUE(PumpUntil([&] { return SizeOf(second) > 1000; })) << second;

  core_->Exit();
  const qvtest::Recording last = qvtest::ReadRecording(second);
  ASSERT_TRUE(last.ok);
  EXPECT_EQ(last.origin, qvnet::IndexOrigin::kTail);
  EXPECT_FALSE(Gate().recording);
}

}  // namespace
