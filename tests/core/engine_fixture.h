// A recorder core on a temporary program folder: a real database, the fake recording library,
// the fake tick clock, a settable local time, drives C and D under the folder with free space
// set by the test, and the text log switched on. Threads are not started; tests run the
// monitor passes, timers and queued work by hand.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nvr/core/store/db_setup.h"
#include "nvr/core/engine/recorder_core.h"
#include "nvr/core/store/text_log.h"
#include "tests/core/core_test_support.h"
#include "tests/core/fake_recording_library.h"
#include "tests/support/fake_clock.h"

namespace coretest {

class EngineTest : public TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    ASSERT_TRUE(nvr::InitDatabase(home_, "Adm1n-Pw"));
    ASSERT_EQ(nvr::DbOpen(conn_, nvr::DatabasePath(home_)), 1);
    mkdir(Path("log").c_str(), 0755);
    mkdir(Path("c").c_str(), 0755);
    mkdir(Path("d").c_str(), 0755);
    SetLocal(2015, 3, 9, 10, 0, 30);  // a Monday
    nvr::SetLogTimeSource([this] { return local_; });
    free_mb_ = {{'C', 100000}, {'D', 100000}};
    settings_ = nvr::DefaultSettings('C');
    settings_.drives[1] = nvr::DriveEntry{'D', {0, 0, 0}, 500};
  }
  void TearDown() override {
    core_.reset();
    nvr::SetLogTimeSource(nullptr);
    TempHome::TearDown();
  }

  void SetLocal(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    mktime(&t);  // fills in the weekday
    local_ = t;
  }

  nvr::DeviceRecord Device(const std::string& name, const std::string& host, int channel = 0,
                           int schedule_id = 0, int op_state = 0) {
    nvr::DeviceRecord d;
    d.name = name;
    d.url = host;
    d.channel = channel;
    d.username = "user";
    d.password = "pass";
    d.schedule_id = schedule_id;
    d.op_state = op_state;
    return d;
  }
  // Stores a device in the database before the core starts.
  void Store(const nvr::DeviceRecord& d) {
    ASSERT_TRUE(db_.InsertDevice(d));
    ASSERT_TRUE(db_.SetScheduleId(d.name, d.schedule_id));
    ASSERT_TRUE(db_.SetOpState(d.name, d.op_state));
  }

  // Writes Local.dat and starts a core over the stored devices.
  void StartCore(nvr::CoreConfig extra = nvr::CoreConfig()) {
    ASSERT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_), settings_));
    extra.home = home_;
    extra.library = &lib_;
    extra.db = &db_;
    extra.drives = nvr::DriveMap({{'C', Path("c")}, {'D', Path("d")}});
    extra.disk_ops.free_mb = [this](char letter) -> std::optional<uint64_t> {
      auto it = free_mb_.find(letter);
      if (it == free_mb_.end()) return std::nullopt;
      return it->second;
    };
    extra.local_time = [this] { return local_; };
    extra.start_threads = false;
    core_ = std::make_unique<nvr::RecorderCore>(std::move(extra));
    start_ = core_->Start();
  }

  size_t Pump() { return core_->Loop().RunPending(); }

  // A copy of the device's entry.
  nvr::DeviceEntry Entry(int32_t id) { return core_->Device(id).value_or(nvr::DeviceEntry{}); }
  // Every drive full (or room on them again), then a disk check: with the stop policy for a
  // full disk the core counts the disks as full from then on (or no longer).
  void FillDisks(bool full) {
    free_mb_ = full ? std::map<char, uint64_t>{{'C', 10}, {'D', 20}} : std::map<char, uint64_t>{{'C', 100000}, {'D', 100000}};
    core_->DiskCheck();
  }
  // The library reports `value` for the device's current client; queued work is then run.
  void Report(int32_t id, int32_t value) {
    ASSERT_NE(Entry(id).client, 0u);
    ASSERT_TRUE(lib_.PostState(Entry(id).client, value));
    Pump();
  }
  void Connected(int32_t id) { Report(id, nvr::kClientStreaming); }

  std::string Log() { return ReadText(nvr::LogFilePath(local_)); }
  std::vector<nvr::DeviceRecord> StoredDevices() {
    std::vector<nvr::DeviceRecord> rows;
    EXPECT_TRUE(db_.AllDevices(&rows));
    return rows;
  }
  int32_t OpState(const std::string& name) {
    std::vector<nvr::DeviceRecord> rows;
    EXPECT_TRUE(db_.DevicesByName(name, &rows));
    return rows.empty() ? -1 : rows[0].op_state;
  }

  nvr::DbConnection conn_;
  nvr::RecorderDb db_{conn_};
  FakeRecordingLibrary lib_;
  qvtest::FakeClock clock_{1000};
  std::tm local_{};
  std::map<char, uint64_t> free_mb_;
  nvr::SettingsBlock settings_{};
  std::unique_ptr<nvr::RecorderCore> core_;
  nvr::StartOutcome start_;
};

}  // namespace coretest
