// Drive rotation, the disk-full policies and the clean-up, with free space set by the test and
// real folders under the program folder.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "nvr/core/engine/strings.h"
#include "nvr/core/store/folder_scan.h"
#include "tests/core/engine_fixture.h"

namespace {

using coretest::EngineTest;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++n;
  return n;
}

class DiskManagerTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1"));
    Store(Device("Hall", "127.0.0.3"));
  }
  void StartRecordingBoth() {
    StartCore();
    for (int32_t id : {1, 2}) {
      core_->Record(id);
      Connected(id);
      ASSERT_TRUE(Entry(id).recording);
    }
  }
  // Makes a recording file "<drive>/QV_Record/Normal/<day>/<file>".
  std::string Recording(const std::string& drive, const std::string& day, const std::string& file) {
    const std::string folder = Path(drive) + "/QV_Record/Normal/" + day;
    std::filesystem::create_directories(folder);
    WriteText(folder + "/" + file, "frames");
    return folder + "/" + file;
  }
  // Creation times from the start time in the names; "now" lies after all of them.
  nvr::CoreConfig NameTimes() {
    nvr::CoreConfig config;
    config.disk_ops.creation_time_ns = [](const std::string& path) -> std::optional<int64_t> {
      const auto seconds = nvr::StartTimeFromFileName(path.substr(path.rfind('/') + 1));
      if (!seconds) return std::nullopt;
      return *seconds * 1000000000;
    };
    config.disk_ops.now_ns = [] { return int64_t{2000000000} * 1000000000; };
    return config;
  }
};

TEST_F(DiskManagerTest, FullDriveMovesEveryRecordingToTheNextDrive) {
  StartRecordingBoth();
  free_mb_['C'] = 500;  // at the reserve: full
  free_mb_['D'] = 9000;
  clock_.Advance(nvr::kDiskTimerMs);
  Pump();  // the disk timer
  EXPECT_EQ(core_->CurrentDrive(), 'D');
  ASSERT_EQ(lib_.files.size(), 4u);
  for (size_t i = 2; i < 4; ++i) EXPECT_EQ(lib_.files[i].rfind(Path("d") + "/QV_Record/", 0), 0u);
  EXPECT_TRUE(Entry(1).recording && Entry(2).recording);
  const std::string log = Log();
  EXPECT_NE(log.find("drive C (free: 500)full"), std::string::npos);
  EXPECT_NE(log.find("change drive from C(reserved 500) to D(reserved 500 free :9000)"),
            std::string::npos);
}

TEST_F(DiskManagerTest, StopPolicyStopsAllRecordingAndLogsOnce) {
  settings_.disk_full_policy = 0;
  StartRecordingBoth();
  free_mb_ = {{'C', 10}, {'D', 20}};
  core_->DiskCheck();
  core_->DiskCheck();
  EXPECT_FALSE(Entry(1).recording || Entry(2).recording);
  EXPECT_TRUE(core_->DisksFull());
  EXPECT_EQ(Count(Log(), "all drives full stop all record \r\n"), 1u);
  EXPECT_EQ(core_->Record(1).messages, std::vector<uint32_t>{nvr::kStrAllDisksFull});
  free_mb_['C'] = 5000;
  core_->DiskCheck();
  EXPECT_FALSE(core_->DisksFull());
}

TEST_F(DiskManagerTest, UnqueryableDriveEndsTheCheck) {
  settings_.disk_full_policy = 0;
  StartRecordingBoth();
  free_mb_ = {{'C', 10}};  // D cannot be queried
  core_->DiskCheck();
  EXPECT_TRUE(Entry(1).recording);
  EXPECT_FALSE(core_->DisksFull());
}

TEST_F(DiskManagerTest, DeletePolicyTakesTheOldestFileAcrossDrives) {
  StartCore(NameTimes());
  free_mb_ = {{'C', 10}, {'D', 20}};
  const std::string c_old = Recording("c", "2015-03-01", "A(h_554)_1_2015_03_01_09_00_00.h264");
  const std::string d_old = Recording("d", "2015-03-01", "B(h_554)_1_2015_03_01_08_00_00.h264");
  const std::string c_new = Recording("c", "2015-03-02", "A(h_554)_1_2015_03_02_08_00_00.h264");
  core_->DiskCheck();
  EXPECT_FALSE(Exists(c_old));
  EXPECT_FALSE(Exists(d_old));
  EXPECT_TRUE(Exists(c_new));
  // Emptied day folders are removed, on both drives.
  EXPECT_FALSE(Exists(Path("c/QV_Record/Normal/2015-03-01")));
  EXPECT_FALSE(Exists(Path("d/QV_Record/Normal/2015-03-01")));
  const std::string log = Log();
  EXPECT_LT(log.find("auto delete file: " + d_old), log.find("auto delete file: " + c_old));
  EXPECT_NE(log.find("delelte directory " + Path("d/QV_Record/Normal/2015-03-01")),
            std::string::npos);
  EXPECT_EQ(core_->SkippedFolder(), "");
  EXPECT_EQ(core_->DisksFull(), false);
}

TEST_F(DiskManagerTest, FolderWithOnlyTheFileBeingRecordedIsSkipped) {
  StartCore(NameTimes());
  free_mb_ = {{'C', 10}, {'D', 20}};
  const std::string busy = Recording("c", "2015-03-01", "A(h_554)_1_2015_03_01_09_00_00.h264");
  const std::string next = Recording("d", "2015-03-02", "B(h_554)_1_2015_03_02_09_00_00.h264");
  const int fd = open(busy.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);  // as the recording writer holds it
  core_->DiskCheck();
  EXPECT_TRUE(Exists(busy));
  EXPECT_TRUE(Exists(next));
  EXPECT_EQ(core_->SkippedFolder(), Path("c/QV_Record/Normal/2015-03-01"));
  core_->DiskCheck();
  EXPECT_TRUE(Exists(busy));
  EXPECT_FALSE(Exists(next));
  close(fd);
  EXPECT_EQ(core_->SkippedFolder(), "");
}

TEST_F(DiskManagerTest, TwentyFailedCleanUpsStopAllRecording) {
  StartRecordingBoth();  // no recording file anywhere: nothing can be freed
  free_mb_ = {{'C', 10}, {'D', 20}};
  core_->DiskCheck();  // removes today's folder, which holds no file of the fake library
  EXPECT_FALSE(Exists(Path("c/QV_Record/Normal/2015-03-09")));
  for (int i = 0; i < 19; ++i) core_->DiskCheck();
  EXPECT_TRUE(Entry(1).recording);
  EXPECT_FALSE(core_->DisksFull());
  core_->DiskCheck();
  EXPECT_FALSE(Entry(1).recording || Entry(2).recording);
  EXPECT_TRUE(core_->DisksFull());
  core_->DiskCheck();
  EXPECT_EQ(Count(Log(), "error!! delete files failed 20 times stop all record\r\n"), 1u);
  EXPECT_EQ(core_->Record(1).messages, std::vector<uint32_t>{nvr::kStrAllDisksFull});
}

TEST_F(DiskManagerTest, NewSettingsKeepOrReplaceTheCurrentDrive) {
  StartRecordingBoth();
  nvr::SettingsBlock s = settings_;
  s.drives[0].reserve_mb = 800;  // C stays, with a new reserve
  core_->ApplySettings(s);
  EXPECT_EQ(core_->CurrentDrive(), 'C');
  EXPECT_EQ(core_->CurrentReserve(), 800u);
  EXPECT_EQ(lib_.files.size(), 2u);

  s = nvr::DefaultSettings('D');
  s.drives[0].reserve_mb = 700;
  core_->ApplySettings(s);
  EXPECT_EQ(core_->CurrentDrive(), 'D');
  ASSERT_EQ(lib_.files.size(), 4u);
  EXPECT_EQ(lib_.files[3].rfind(Path("d") + "/QV_Record/", 0), 0u);
  EXPECT_NE(Log().find("change drive from C(800) to D(700)"), std::string::npos);
  EXPECT_EQ(nvr::ReadSettings(nvr::LocalDatPath(home_), nvr::DriveMap()).drives[0].letter, 'D');
}

}  // namespace

// Drives whose root does not exist are never recorded into nor created, and their going and
// coming back is logged once each.
class AbsentDriveTest : public DiskManagerTest {
 protected:
  void RemoveRoot(const char* drive) { std::filesystem::remove_all(Path(drive)); }
};

TEST_F(AbsentDriveTest, RecordingLeavesADriveThatWentAwayAndNeverMakesItsRoot) {
  StartRecordingBoth();
  RemoveRoot("c");  // the disk was unmounted
  core_->DiskCheck();
  core_->DiskCheck();
  EXPECT_EQ(core_->CurrentDrive(), 'D');
  ASSERT_EQ(lib_.files.size(), 4u);
  EXPECT_EQ(lib_.files[3].rfind(Path("d") + "/QV_Record/", 0), 0u);
  EXPECT_FALSE(Exists(Path("c")));
  EXPECT_EQ(Count(Log(), "drive C (" + Path("c") + ") is not there"), 1u);

  mkdir(Path("c").c_str(), 0755);
  core_->DiskCheck();
  core_->DiskCheck();
  EXPECT_EQ(Count(Log(), "drive C (" + Path("c") + ") is there again"), 1u);
  EXPECT_EQ(core_->CurrentDrive(), 'D') << "recording stays where it moved to";
}

TEST_F(AbsentDriveTest, AFullDriveDoesNotMoveToAnAbsentOne) {
  settings_.disk_full_policy = 0;
  StartRecordingBoth();
  RemoveRoot("d");
  free_mb_ = {{'C', 10}, {'D', 9000}};  // the empty mount point would show the system disk
  core_->DiskCheck();
  EXPECT_EQ(core_->CurrentDrive(), 'C');
  EXPECT_TRUE(core_->DisksFull());
  EXPECT_FALSE(Entry(1).recording);
  EXPECT_FALSE(Exists(Path("d")));
}

TEST_F(AbsentDriveTest, NoDriveThereStopsAllRecordingAndStartsAreRefused) {
  RemoveRoot("c");
  RemoveRoot("d");
  StartCore();  // the first check runs at start
  EXPECT_TRUE(core_->DisksFull());
  EXPECT_EQ(Count(Log(), "no recording drive is there stop all record"), 1u);
  EXPECT_EQ(core_->Record(1).messages, std::vector<uint32_t>{131});
  mkdir(Path("d").c_str(), 0755);
  core_->DiskCheck();
  EXPECT_FALSE(core_->DisksFull());
  EXPECT_EQ(core_->CurrentDrive(), 'D');
}

TEST_F(AbsentDriveTest, AStartIntoAnAbsentDriveIsRefusedAndReported) {
  StartCore();
  core_->Connect(1);
  Connected(1);
  RemoveRoot("c");  // gone between two checks
  EXPECT_FALSE(core_->Record(1).done);
  EXPECT_EQ(lib_.record_attempts, 0) << "the library would make the root";
  EXPECT_FALSE(Exists(Path("c")));
  EXPECT_NE(Log().find("Gate: recording did not start: drive C (" + Path("c") +
                       ") is not there; next try in 1 s"),
            std::string::npos);
  core_->DiskCheck();  // moves to D; the wanted recording starts there at the next pass
  clock_.Advance(1000);
  core_->RunMonitorPass();
  EXPECT_TRUE(Entry(1).recording);
  EXPECT_EQ(lib_.files.back().rfind(Path("d") + "/QV_Record/", 0), 0u);
}

TEST_F(DiskManagerTest, StartRemovesTodaysRecordingsWithoutFrames) {
  const std::string header_only = Recording("c", "2015-03-09", "A(h_554)_1_2015_03_09_09_00_00.h264");
  WriteText(header_only, std::string(39, 'Q'));
  const std::string empty = Recording("d", "2015-03-09", "B(h_554)_1_2015_03_09_09_00_00.h264");
  WriteText(empty, "");
  const std::string whole = Recording("c", "2015-03-09", "A(h_554)_1_2015_03_09_09_10_00.h264");
  WriteText(whole, std::string(40, 'Q'));
  const std::string yesterday = Recording("c", "2015-03-08", "A(h_554)_1_2015_03_08_09_00_00.h264");
  WriteText(yesterday, "");
  const std::string busy = Recording("c", "2015-03-09", "C(h_554)_1_2015_03_09_09_59_00.h264");
  WriteText(busy, std::string(39, 'Q'));
  const int fd = open(busy.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);  // still being written by someone
  StartCore();
  close(fd);
  EXPECT_FALSE(Exists(header_only));
  EXPECT_FALSE(Exists(empty));
  EXPECT_TRUE(Exists(whole));
  EXPECT_TRUE(Exists(yesterday)) << "only today's folder is looked at";
  EXPECT_TRUE(Exists(busy));
  EXPECT_EQ(Count(Log(), "removed a recording without frames: "), 2u);
}

// A reserve smaller than what is written between two checks: the check learns how fast free
// space falls and starts the clean-up early enough that the disk never runs full.
TEST_F(DiskManagerTest, CleanUpStartsBeforeAReserveTooSmallForTheWriteRateIsReached) {
  settings_.drives[0].reserve_mb = 8;
  free_mb_ = {{'C', 50}, {'D', 0}};
  StartCore(NameTimes());  // the first check at start
  const std::string old = Recording("c", "2015-03-01", "A(h_554)_1_2015_03_01_09_00_00.h264");
  free_mb_['C'] = 40;  // 10 MB written between two checks
  core_->DiskCheck();
  free_mb_['C'] = 30;
  core_->DiskCheck();
  EXPECT_TRUE(Exists(old)) << "30 MB free: more than the reserve and twice the fall";
  free_mb_['C'] = 20;
  core_->DiskCheck();
  EXPECT_FALSE(Exists(old)) << "20 MB free is within 8 + 2 x 10: the next check could find none";
  EXPECT_NE(Log().find("drive C (free: 20)full"), std::string::npos) << Log();
}
