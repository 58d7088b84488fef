#include "netclient/replay/avi_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "netclient/media/record/record_format.h"
#include "netclient/media/record/record_scan.h"

namespace qvnet {
namespace {

constexpr FourCc kRiff = {'R', 'I', 'F', 'F'};
constexpr FourCc kIndexChunk = {'i', 'd', 'x', '1'};
// The header list and the two chunks after it come before the index.
constexpr int kChunksBeforeIndex = 3;

bool SameFourCc(const uint8_t* bytes, const FourCc& id) { return std::memcmp(bytes, id.data(), id.size()) == 0; }

bool IsMjpegHandler(const uint8_t* bytes) {
  static constexpr char kMjpg[] = "MJPG";
  for (size_t i = 0; i < 4; ++i) {
    const char c = static_cast<char>(bytes[i]);
    if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != kMjpg[i]) return false;
  }
  return true;
}

}  // namespace

AviFile::~AviFile() { Close(); }

void AviFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  file_size_ = 0;
  frame_rate_ = 0;
  frame_count_ = 0;
  jpeg_ = false;
  index_start_ = 0;
  index_end_ = 0;
}

bool AviFile::ReadAt(uint64_t offset, void* out, size_t length) const {
  if (offset > file_size_ || file_size_ - offset < length) return false;
  return ReadExactAt(fd_, offset, static_cast<uint8_t*>(out), length);
}

AviOpenResult AviFile::Open(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return AviOpenResult::kCannotOpen;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return AviOpenResult::kCannotOpen;
  }
  file_size_ = static_cast<uint64_t>(st.st_size);
  uint8_t riff[4] = {};
  uint8_t signature[kAviSignature.size()] = {};
  if (!ReadAt(0, riff, sizeof riff) || !SameFourCc(riff, kRiff) ||
      !ReadAt(kAviSignatureOffset, signature, sizeof signature) ||
      std::memcmp(signature, kAviSignature.data(), sizeof signature) != 0) {
    Close();
    return AviOpenResult::kNotAvi;
  }
  uint8_t count[4] = {};
  uint8_t rate[4] = {};
  uint8_t handler[4] = {};
  // All three lie before the signature, which was read, so these reads cannot fall short.
  ReadAt(kAviFrameCountOffset, count, sizeof count);
  ReadAt(kAviFrameRateOffset, rate, sizeof rate);
  ReadAt(kAviHandlerOffset, handler, sizeof handler);
  frame_count_ = GetU32(count);
  frame_rate_ = GetU32(rate);
  jpeg_ = IsMjpegHandler(handler);
  if (frame_rate_ == 0) {
    Close();
    return AviOpenResult::kNoFrameRate;
  }
  if (!FindIndex()) {
    Close();
    return AviOpenResult::kNoIndex;
  }
  return AviOpenResult::kOk;
}

bool AviFile::FindIndex() {
  // RIFF chunks are word aligned: an odd size is followed by one pad byte.
  uint64_t at = kAviFirstChunkOffset;
  uint8_t header[kAviChunkHeaderSize] = {};
  for (int i = 0; i < kChunksBeforeIndex; ++i) {
    if (!ReadAt(at, header, sizeof header)) return false;
    const uint64_t size = GetU32(header + 4);
    at += kAviChunkHeaderSize + size + (size & 1);
  }
  if (!ReadAt(at, header, sizeof header) || !SameFourCc(header, kIndexChunk)) return false;
  index_start_ = at + kAviChunkHeaderSize;
  // A recording cut short keeps the entries it has.
  index_end_ = std::min<uint64_t>(index_start_ + GetU32(header + 4), file_size_);
  return true;
}

bool AviFile::ReadEntry(uint64_t at, AviIndexEntry* entry) const {
  if (fd_ < 0 || at < index_start_ || at > index_end_ || index_end_ - at < kAviIndexEntrySize) return false;
  uint8_t bytes[kAviIndexEntrySize] = {};
  if (!ReadAt(at, bytes, sizeof bytes)) return false;
  std::memcpy(entry->id.data(), bytes, 4);
  entry->flags = GetU32(bytes + 4);
  entry->offset = GetU32(bytes + 8);
  entry->size = GetU32(bytes + 12);
  return true;
}

bool AviFile::ChunkInside(const AviIndexEntry& entry) const {
  const uint64_t data = uint64_t{entry.offset} + kAviChunkHeaderSize;
  return data <= file_size_ && file_size_ - data >= entry.size;
}

bool AviFile::ReadChunk(const AviIndexEntry& entry, std::span<uint8_t> out) const {
  if (fd_ < 0 || !ChunkInside(entry) || entry.size > out.size()) return false;
  return ReadAt(uint64_t{entry.offset} + kAviChunkHeaderSize, out.data(), entry.size);
}

bool AviFile::ReadChunkStart(const AviIndexEntry& entry, std::span<uint8_t> out) const {
  if (fd_ < 0 || !ChunkInside(entry) || entry.size < out.size()) return false;
  return ReadAt(uint64_t{entry.offset} + kAviChunkHeaderSize, out.data(), out.size());
}

}  // namespace qvnet
