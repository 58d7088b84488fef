// A long recording run on a small disk: two cameras at 4 Mbit/s each into a 75 MiB drive with a
// reserve of 20 MB, one-minute files, for ten simulated minutes. The drive runs into its reserve
// before the first split, while today's day folder (the only one) holds nothing but the files
// being written. Time is the fake tick clock and a simulated local time, so
// the run takes seconds. The files are real record files written by the record writer; the disk
// is a tmpfs of its own where the test may mount one, else a folder with a quota that refuses
// writes past its capacity. Whatever the disk: free space never runs out, no record is dropped,
// recordings are deleted oldest first and every file left reads back whole.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "netclient/media/record/record_writer.h"
#include "nvr/core/store/folder_scan.h"
#include "tests/core/engine_fixture.h"
#include "tests/support/recording_readback.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kCapacity = 75 * kMiB;
constexpr uint32_t kReserveMb = 20;
constexpr uint64_t kBytesPerCameraSecond = 512 * 1024;  // 4 Mbit/s
constexpr int kFramesPerSecond = 25;
constexpr int kRunSeconds = 10 * 60 + 30;

// The drive the recordings go to: how much is free, and the files the writer makes on it.
class SmallDisk {
 public:
  virtual ~SmallDisk() = default;
  virtual uint64_t FreeBytes() = 0;
  virtual qvnet::RecordFileFactory Files() = 0;
};

// A tmpfs mounted on the drive's root, in a mount namespace of this process's own.
class TmpfsDisk final : public SmallDisk {
 public:
  static std::unique_ptr<TmpfsDisk> Mount(const std::string& root) {
    if (unshare(CLONE_NEWNS) != 0) return nullptr;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return nullptr;
    const std::string options = "size=" + std::to_string(kCapacity);
    if (mount("tmpfs", root.c_str(), "tmpfs", 0, options.c_str()) != 0) return nullptr;
    return std::unique_ptr<TmpfsDisk>(new TmpfsDisk(root));
  }
  ~TmpfsDisk() override { umount2(root_.c_str(), MNT_DETACH); }
  uint64_t FreeBytes() override {
    struct statvfs vfs {};
    if (statvfs(root_.c_str(), &vfs) != 0) return 0;
    return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  }
  qvnet::RecordFileFactory Files() override { return {}; }  // plain POSIX files

 private:
  explicit TmpfsDisk(std::string root) : root_(std::move(root)) {}
  std::string root_;
};

// A folder whose files may hold kCapacity bytes together: a write past that comes up short, as
// on a full disk.
class QuotaDisk final : public SmallDisk {
 public:
  explicit QuotaDisk(std::string root) : root_(std::move(root)) {}
  uint64_t FreeBytes() override {
    const uint64_t used = Used();
    return used >= kCapacity ? 0 : kCapacity - used;
  }
  qvnet::RecordFileFactory Files() override {
    return [this] { return std::make_unique<QuotaFile>(*this); };
  }

 private:
  class QuotaFile final : public qvnet::RecordFile {
   public:
    explicit QuotaFile(QuotaDisk& disk) : disk_(disk), file_(qvnet::MakePosixRecordFile()) {}
    bool OpenTruncate(const std::string& path) override { return file_->OpenTruncate(path); }
    size_t Write(uint64_t offset, const uint8_t* data, size_t length) override {
      const uint64_t room = disk_.FreeBytes();
      return file_->Write(offset, data, static_cast<size_t>(std::min<uint64_t>(room, length)));
    }
    bool Truncate(uint64_t size) override { return file_->Truncate(size); }
    bool Close() override { return file_->Close(); }
    bool Remove(const std::string& path) override { return file_->Remove(path); }

   private:
    QuotaDisk& disk_;
    std::unique_ptr<qvnet::RecordFile> file_;
  };

  uint64_t Used() const {
    uint64_t used = 0;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ec)) {
      if (entry.is_regular_file(ec)) used += entry.file_size(ec);
    }
    return used;
  }
  std::string root_;
};

// The fake library's clients, each writing real record files for the recordings it runs.
class WritingLibrary final : public coretest::FakeRecordingLibrary {
 public:
  explicit WritingLibrary(qvnet::RecordFileFactory factory) : files_(std::move(factory)) {}

  int ClientStartRecord(nvr::ClientHandle h, const std::string& path, int seconds) override {
    if (FakeRecordingLibrary::ClientStartRecord(h, path, seconds) == 0) return 0;
    auto writer = std::make_unique<qvnet::RecordWriter>(qvnet::NormalRecordOptions(), nullptr, files_);
    if (writer->Start(path, 0, qvnet::RecordHeader{}) == 0) {
      FakeRecordingLibrary::ClientStopRecord(h);
      return 0;
    }
    writers_[h] = std::move(writer);
    return 1;
  }
  int ClientStopRecord(nvr::ClientHandle h) override {
    Finish(h);
    return FakeRecordingLibrary::ClientStopRecord(h);
  }
  int ClientStop(nvr::ClientHandle h) override {
    Finish(h);
    return FakeRecordingLibrary::ClientStop(h);
  }

  // One second of 25 pictures, a key frame first, into every running recording.
  void WriteSecond(qvp::Tick now) {
    const size_t payload = kBytesPerCameraSecond / kFramesPerSecond - qvnet::kFrameHeaderSize;
    const std::vector<uint8_t> data(payload, 0x5A);
    for (auto& [handle, writer] : writers_) {
      for (int i = 0; i < kFramesPerSecond; ++i) {
        const qvp::Tick tick = now + static_cast<qvp::Tick>(i * 1000 / kFramesPerSecond);
        qvnet::FrameHeader h;
        h.kind = i == 0 ? qvnet::kKindKeyFrame : 1;
        h.length = static_cast<uint32_t>(payload);
        h.tick = tick;
        std::array<uint8_t, qvnet::kFrameHeaderSize> bytes{};
        qvnet::EncodeFrameHeader(h, bytes);
        writer->Lock();
        if (i == 0) writer->AddIndex(tick);
        writer->Write(bytes.data(), bytes.size());
        writer->Write(data.data(), data.size());
        writer->Unlock();
      }
    }
  }
  uint64_t dropped_records() const { return dropped_; }

 private:
  void Finish(nvr::ClientHandle h) {
    const auto it = writers_.find(h);
    if (it == writers_.end()) return;
    it->second->Stop();
    dropped_ += it->second->Stats().dropped_records;
    writers_.erase(it);
  }

  qvnet::RecordFileFactory files_;
  std::map<nvr::ClientHandle, std::unique_ptr<qvnet::RecordWriter>> writers_;
  uint64_t dropped_ = 0;
};

class DiskCleanupRunTest : public coretest::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Store(Device("Gate", "127.0.0.1"));
    Store(Device("Hall", "127.0.0.3"));
    SetLocal(2015, 3, 9, 10, 0, 0);
    settings_ = nvr::DefaultSettings('C');
    settings_.drives[0].reserve_mb = kReserveMb;
    settings_.split_minutes = 1;
    settings_.disk_full_policy = 1;
  }

  void Run(SmallDisk& disk) {
    lib_writer_ = std::make_unique<WritingLibrary>(disk.Files());
    WritingLibrary& lib = *lib_writer_;
    nvr::CoreConfig config;
    config.library = &lib;
    config.disk_ops.free_mb = [&disk](char) -> std::optional<uint64_t> { return disk.FreeBytes() >> 20; };
    config.disk_ops.creation_time_ns = [](const std::string& path) -> std::optional<int64_t> {
      const auto seconds = nvr::StartTimeFromFileName(path.substr(path.rfind('/') + 1));
      if (!seconds) return std::nullopt;
      return *seconds * 1000000000;
    };
    config.disk_ops.now_ns = [this] {
      std::tm t = local_;
      return static_cast<int64_t>(mktime(&t)) * 1000000000;
    };
    StartWith(std::move(config));
    for (int32_t id : {1, 2}) {
      ASSERT_TRUE(core_->Record(id).done);
      ASSERT_TRUE(lib.PostState(Entry(id).client, nvr::kClientStreaming));
    }
    Pump();
    ASSERT_EQ(lib.files.size(), 2u);

    uint64_t least_free = disk.FreeBytes();
    for (int second = 0; second < kRunSeconds; ++second) {
      lib.WriteSecond(qvp::TickCount());
      least_free = std::min(least_free, disk.FreeBytes());
      clock_.Advance(1000);
      AdvanceLocal(1);
      core_->RunMonitorPass();  // splits
      Pump();                   // the disk check every five seconds
      ASSERT_TRUE(Entry(1).recording && Entry(2).recording) << "second " << second;
    }
    core_->StopAll();
    EXPECT_GT(least_free, 0u);
    EXPECT_EQ(lib.dropped_records(), 0u);
    EXPECT_EQ(core_->DisksFull(), false);
    EXPECT_GT(lib.files.size(), 2u * (kRunSeconds / 60));  // a file a minute for each camera
    ExpectOldestDeletedFirst(lib.files);
  }

  void StartWith(nvr::CoreConfig config) {
    ASSERT_TRUE(nvr::WriteSettings(nvr::LocalDatPath(home_), settings_));
    config.home = home_;
    config.db = &db_;
    config.drives = nvr::DriveMap({{'C', Path("c")}});
    config.local_time = [this] { return local_; };
    config.start_threads = false;
    core_ = std::make_unique<nvr::RecorderCore>(std::move(config));
    start_ = core_->Start();
    ASSERT_TRUE(start_.ok);
  }

  void AdvanceLocal(int seconds) {
    local_.tm_sec += seconds;
    local_.tm_isdst = -1;
    mktime(&local_);
  }

  // Every file deleted started before every file left; what is left reads back whole.
  void ExpectOldestDeletedFirst(const std::vector<std::string>& started) {
    std::vector<int64_t> deleted;
    bool only_open_files = false;
    for (const std::string& line : LogLines()) {
      const size_t at = line.find("auto delete file: ");
      if (at == std::string::npos) continue;
      std::string path = line.substr(at + 18);
      path = path.substr(0, path.find(' '));
      if (path.empty()) {
        // The disk filled before the first split: today's folder held only open files.
        if (deleted.empty()) only_open_files = true;
        continue;
      }
      deleted.push_back(*nvr::StartTimeFromFileName(path.substr(path.rfind('/') + 1)));
    }
    EXPECT_TRUE(only_open_files);
    ASSERT_FALSE(deleted.empty());
    EXPECT_TRUE(std::is_sorted(deleted.begin(), deleted.end()));
    size_t left = 0;
    for (const std::string& path : started) {
      if (!Exists(path)) continue;
      ++left;
      EXPECT_GE(*nvr::StartTimeFromFileName(path.substr(path.rfind('/') + 1)), deleted.back()) << path;
      const qvtest::Recording r = qvtest::ReadRecording(path);
      ASSERT_TRUE(r.ok) << path;
      EXPECT_FALSE(r.frames.empty()) << path;
      qvtest::ExpectIndexAtKeyFrames(r, qvnet::kKindKeyFrame);
    }
    EXPECT_GE(left, 2u);
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(Path("log"))) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::istringstream in(ReadText(file.string()));
      for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    return lines;
  }

  std::unique_ptr<WritingLibrary> lib_writer_;  // outlives nothing: TearDown ends the core first
};

TEST_F(DiskCleanupRunTest, KeepsRecordingOnATmpfsOfItsOwn) {
  std::unique_ptr<TmpfsDisk> disk = TmpfsDisk::Mount(Path("c"));
  if (!disk) GTEST_SKIP() << "cannot mount a tmpfs here (needs root); the quota disk test covers it";
  Run(*disk);
  core_.reset();  // every file closed before the tmpfs goes
}

TEST_F(DiskCleanupRunTest, KeepsRecordingOnAQuotaDisk) {
  QuotaDisk disk(Path("c"));
  Run(disk);
}

}  // namespace
