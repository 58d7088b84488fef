#include "netclient/media/record/record_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

namespace qvnet {
namespace {

// While records are small, one read of kBigBlock bytes brings many headers at once; after a
// large record the next header is fetched with a small read, so big payloads are passed over
// instead of read.
constexpr size_t kBigBlock = 256 * 1024;
constexpr size_t kSmallBlock = 4 * 1024;
constexpr uint32_t kLargeRecord = 64 * 1024;

// A window of the file held in memory, refilled on demand.
class BlockCursor {
 public:
  BlockCursor(int fd, uint64_t end) : fd_(fd), end_(end), block_(kBigBlock) {}

  // `size` bytes at `offset` (offset + size <= end), reading up to `want` bytes from `offset`
  // when they are not held. Null when the file cannot deliver them.
  const uint8_t* At(uint64_t offset, size_t size, size_t want) {
    if (offset >= start_ && offset - start_ + size <= held_) return block_.data() + (offset - start_);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(std::clamp(want, size, block_.size()), end_ - offset));
    held_ = 0;
    if (!ReadExactAt(fd_, offset, block_.data(), n)) return nullptr;
    start_ = offset;
    held_ = n;
    return block_.data();
  }

 private:
  const int fd_;
  const uint64_t end_;
  std::vector<uint8_t> block_;
  uint64_t start_ = 0;
  size_t held_ = 0;
};

}  // namespace

bool ReadExactAt(int fd, uint64_t offset, uint8_t* out, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

FrameHeader DecodeAnyFrameHeader(const uint8_t* bytes, bool legacy) {
  if (legacy) return DecodeLegacyFrameHeader(std::span<const uint8_t, kLegacyFrameHeaderSize>(bytes, kLegacyFrameHeaderSize));
  return DecodeFrameHeader(std::span<const uint8_t, kFrameHeaderSize>(bytes, kFrameHeaderSize));
}

ScanResult ScanRecords(int fd, uint64_t end, bool legacy) {
  ScanResult result;
  const size_t header_size = FrameHeaderSize(legacy);
  BlockCursor cursor(fd, end);
  uint64_t pos = kFirstRecordOffset;
  size_t want = kBigBlock;
  // Every pass moves at least one header forward, so the walk ends within end / 8 passes.
  while (pos <= end && end - pos >= header_size) {
    const uint8_t* p = cursor.At(pos, header_size, want);
    if (p == nullptr) break;
    const FrameHeader h = DecodeAnyFrameHeader(p, legacy);
    if (!IsKnownStream(h)) break;
    const uint64_t next = pos + header_size + h.length;
    if (next > end) break;
    if (h.stream == kStreamVideo && h.kind == kKindKeyFrame) result.index.push_back({pos, h.tick});
    want = h.length >= kLargeRecord ? kSmallBlock : kBigBlock;
    pos = next;
  }
  result.frames_end = pos;
  return result;
}

}  // namespace qvnet
