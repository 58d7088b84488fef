// Opening a record file that has no index (a recording that never stopped), which rebuilds the
// index by scanning every frame record, against plain sequential reading of the same file with
// 1 MiB read calls, measured in the same run with the page cache warm for both.
//
// Usage: bench_scan [--mib N] [--dir FOLDER]     (default 1024 MiB in the temporary folder)
//
// The file looks like a 4 Mbit/s H.264 recording at 25 pictures a second: pictures of about
// 20 KB cut into 1400-byte records as the receivers write FU-A fragments, a sequence and a
// picture parameter set before every 25th picture, 40 ms of G.711 sound per picture. It is
// removed afterwards. Each figure is the best of five runs, taken in turns.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "netclient/media/record/record_format.h"
#include "netclient/media/record/record_reader.h"

namespace {

constexpr size_t kReadChunk = 1u << 20;
constexpr size_t kPictureBytes = 20000;
constexpr size_t kFragmentBytes = 1400;
constexpr size_t kVoiceFrameBytes = 4 + 320;
constexpr uint32_t kPicturesPerKeyFrame = 25;
constexpr int kRuns = 5;

using SteadyClock = std::chrono::steady_clock;

struct Options {
  uint64_t mib = 1024;
  std::string dir = std::filesystem::temp_directory_path().string();
};

bool Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--mib" && i + 1 < argc) {
      o->mib = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--dir" && i + 1 < argc) {
      o->dir = argv[++i];
    } else {
      return false;
    }
  }
  return o->mib > 0;
}

// The file, removed when the benchmark ends however it ends.
struct TempFile {
  std::string path;
  ~TempFile() {
    if (!path.empty()) ::unlink(path.c_str());
  }
};

class RecordFileMaker {
 public:
  explicit RecordFileMaker(int fd) : fd_(fd) {
    qvnet::RecordHeader header;
    header.frame_rate = 25;
    buffer_.resize(qvnet::kFirstRecordOffset);
    qvnet::EncodeFileStart(header,
                           std::span<uint8_t, qvnet::kFirstRecordOffset>(buffer_.data(), qvnet::kFirstRecordOffset));
  }

  void Picture(uint32_t number) {
    const uint32_t tick = 1000 + number * 40;
    if (number % kPicturesPerKeyFrame == 0) {
      Record(qvnet::kStreamVideo, 7, tick, 20);
      Record(qvnet::kStreamVideo, 8, tick, 8);
      ++key_frames_;
    }
    for (size_t left = kPictureBytes; left > 0;) {
      const size_t n = std::min(left, kFragmentBytes);
      Record(qvnet::kStreamVideo, number % kPicturesPerKeyFrame == 0 ? 5 : 1, tick, n);
      left -= n;
    }
    Record(qvnet::kStreamAudio, 1, number * 320, kVoiceFrameBytes);
  }

  bool Flush() {
    const bool ok = ::write(fd_, buffer_.data(), buffer_.size()) == static_cast<ssize_t>(buffer_.size());
    written_ += buffer_.size();
    buffer_.clear();
    return ok;
  }
  uint64_t Written() const { return written_ + buffer_.size(); }
  uint64_t KeyFrames() const { return key_frames_; }

 private:
  void Record(uint8_t stream, uint8_t kind, uint32_t tick, size_t length) {
    uint8_t header[qvnet::kFrameHeaderSize] = {};
    qvnet::PutU32(header, qvnet::EncodeDescriptor(stream, kind, static_cast<uint32_t>(length)));
    qvnet::PutU16(header + 4, 704);
    qvnet::PutU16(header + 6, 576);
    qvnet::PutU32(header + 8, tick);
    buffer_.insert(buffer_.end(), header, header + sizeof header);
    buffer_.resize(buffer_.size() + length, static_cast<uint8_t>(tick));
    if (buffer_.size() >= 4 * kReadChunk) Flush();
  }

  int fd_;
  std::vector<uint8_t> buffer_;
  uint64_t written_ = 0;
  uint64_t key_frames_ = 0;
};

double ReadSeconds(const std::string& path, uint64_t* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  std::vector<uint8_t> chunk(kReadChunk);
  const auto start = SteadyClock::now();
  *bytes = 0;
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n <= 0) break;
    *bytes += static_cast<uint64_t>(n);
  }
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
  ::close(fd);
  return seconds;
}

double ScanSeconds(const std::string& path, size_t* entries, bool* scanned) {
  qvnet::RecordFileReader reader;
  const auto start = SteadyClock::now();
  const qvnet::RecordOpenResult r = reader.Open(path);
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
  *entries = reader.Index().size();
  *scanned = r == qvnet::RecordOpenResult::kOk && reader.Origin() == qvnet::IndexOrigin::kScanned;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr, "usage: bench_scan [--mib N] [--dir FOLDER]\n");
    return 2;
  }
  TempFile file{o.dir + "/bench_scan_" + std::to_string(::getpid()) + ".h264"};
  const int fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "bench_scan: cannot create %s\n", file.path.c_str());
    return 1;
  }
  RecordFileMaker maker(fd);
  const uint64_t target = o.mib << 20;
  for (uint32_t n = 0; maker.Written() < target; ++n) maker.Picture(n);
  const bool written = maker.Flush();
  ::close(fd);
  if (!written) {
    std::fprintf(stderr, "bench_scan: cannot write %s (disk full?)\n", file.path.c_str());
    return 1;
  }

  uint64_t bytes = 0;
  ReadSeconds(file.path, &bytes);  // brings the whole file into the page cache
  double read_best = 1e9;
  double scan_best = 1e9;
  size_t entries = 0;
  bool scanned = false;
  for (int run = 0; run < kRuns; ++run) {
    read_best = std::min(read_best, ReadSeconds(file.path, &bytes));
    scan_best = std::min(scan_best, ScanSeconds(file.path, &entries, &scanned));
  }
  if (!scanned || entries != maker.KeyFrames()) {
    std::fprintf(stderr, "bench_scan: the scan found %zu key frames, the file has %llu\n", entries,
                 static_cast<unsigned long long>(maker.KeyFrames()));
    return 1;
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("Record file without index: %.1f MB, %llu key frames, %zu-byte records (MB = 10^6 bytes)\n", mb,
              static_cast<unsigned long long>(maker.KeyFrames()), kFragmentBytes);
  std::printf("plain read, 1 MiB calls : %8.3f s  %9.1f MB/s\n", read_best, mb / read_best);
  std::printf("open with index scan    : %8.3f s  %9.1f MB/s\n", scan_best, mb / scan_best);
  std::printf("scan / read             : %8.3f  (target: at most 1)\n", scan_best / read_best);
  return 0;
}
