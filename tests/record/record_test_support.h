// Shared pieces of the record tests: an in-memory disk that can fill up or fail, a temporary
// folder, and a full read-back of a record file with the checks every file must pass.
#pragma once

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "netclient/media/record/record_file.h"
#include "netclient/media/record/record_reader.h"

namespace qvtest {

// Files kept in memory. `capacity` caps every file's size (a full disk); raising it again is
// a clean-up that freed space. `short_next_write` makes one write stop after that many bytes.
struct FakeDisk {
  std::mutex mutex;
  std::map<std::string, std::vector<uint8_t>> files;
  uint64_t capacity = UINT64_MAX;
  int64_t short_next_write = -1;
  bool fail_open = false;
  bool fail_truncate = false;

  qvnet::RecordFileFactory Factory();
  std::vector<uint8_t> Contents(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    return files.count(path) ? files[path] : std::vector<uint8_t>{};
  }
  bool Has(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    return files.count(path) != 0;
  }
};

class FakeRecordFile final : public qvnet::RecordFile {
 public:
  explicit FakeRecordFile(FakeDisk& disk) : disk_(disk) {}
  bool OpenTruncate(const std::string& path) override {
    std::lock_guard<std::mutex> lock(disk_.mutex);
    if (disk_.fail_open) return false;
    disk_.files[path].clear();
    path_ = path;
    return true;
  }
  size_t Write(uint64_t offset, const uint8_t* data, size_t length) override {
    std::lock_guard<std::mutex> lock(disk_.mutex);
    std::vector<uint8_t>& f = disk_.files[path_];
    uint64_t room = offset >= disk_.capacity ? 0 : disk_.capacity - offset;
    if (disk_.short_next_write >= 0) {
      room = std::min<uint64_t>(room, static_cast<uint64_t>(disk_.short_next_write));
      disk_.short_next_write = -1;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(room, length));
    if (n == 0) return 0;
    if (f.size() < offset + n) f.resize(offset + n);
    std::copy(data, data + n, f.begin() + static_cast<std::ptrdiff_t>(offset));
    return n;
  }
  bool Truncate(uint64_t size) override {
    std::lock_guard<std::mutex> lock(disk_.mutex);
    if (disk_.fail_truncate) return false;
    disk_.files[path_].resize(size);
    return true;
  }
  bool Close() override { return true; }
  bool Remove(const std::string& path) override {
    std::lock_guard<std::mutex> lock(disk_.mutex);
    return disk_.files.erase(path) == 1;
  }

 private:
  FakeDisk& disk_;
  std::string path_;
};

inline qvnet::RecordFileFactory FakeDisk::Factory() {
  return [this] { return std::make_unique<FakeRecordFile>(*this); };
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ReadBack {
  qvnet::RecordOpenResult open = qvnet::RecordOpenResult::kCannotOpen;
  qvnet::RecordLayout layout = qvnet::RecordLayout::kH264;
  qvnet::RecordHeader header;
  qvnet::IndexOrigin origin = qvnet::IndexOrigin::kScanned;
  uint64_t frames_end = 0;
  std::vector<qvnet::IndexEntry> index;
  std::vector<uint64_t> offsets;
  std::vector<qvnet::FrameHeader> headers;
  std::vector<std::vector<uint8_t>> payloads;
};

// Opens `path` and reads every frame record; also checks what must hold for any file the
// reader accepts: the index points at video records with the same tick, reading stops at
// FramesEnd() and never loops.
inline ReadBack ReadAll(const std::string& path) {
  ReadBack rb;
  qvnet::RecordFileReader reader;
  rb.open = reader.Open(path);
  if (rb.open != qvnet::RecordOpenResult::kOk) return rb;
  rb.layout = reader.Layout();
  rb.header = reader.Header();
  rb.origin = reader.Origin();
  rb.frames_end = reader.FramesEnd();
  rb.index = reader.Index();
  std::vector<uint8_t> buffer(1 << 20);
  for (uint64_t guard = 0; guard <= reader.FileSize(); ++guard) {
    const uint64_t at = reader.Position();
    qvnet::FrameHeader h;
    if (reader.ReadFrame(buffer, h) != qvnet::FrameReadResult::kFrame) break;
    rb.offsets.push_back(at);
    rb.headers.push_back(h);
    rb.payloads.emplace_back(buffer.begin(), buffer.begin() + h.length);
  }
  EXPECT_EQ(reader.Position(), reader.FramesEnd()) << path;
  for (const qvnet::IndexEntry& e : rb.index) {
    auto it = std::find(rb.offsets.begin(), rb.offsets.end(), e.offset);
    if (it == rb.offsets.end()) {
      ADD_FAILURE() << "index entry off any record at " << e.offset;
      continue;
    }
    const qvnet::FrameHeader& h = rb.headers[static_cast<size_t>(it - rb.offsets.begin())];
    EXPECT_EQ(h.stream, qvnet::kStreamVideo);
    EXPECT_EQ(h.tick, e.tick);
    if (rb.layout != qvnet::RecordLayout::kJpeg) {
      EXPECT_EQ(h.kind, qvnet::kKindKeyFrame);
    }
  }
  return rb;
}

}  // namespace qvtest
