#include "netclient/media/record/record_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "netclient/media/record/record_scan.h"

namespace qvnet {
namespace {

// "ENDINDEX" and the count before it.
constexpr size_t kIndexTailSize = 4 + 8;
// Entries are read and checked in slices of this many.
constexpr size_t kEntriesPerRead = 4096;

}  // namespace

RecordFileReader::~RecordFileReader() { Close(); }

void RecordFileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  header_ = RecordHeader{};
  layout_ = RecordLayout::kH264;
  file_size_ = 0;
  frames_end_ = kFirstRecordOffset;
  position_ = kFirstRecordOffset;
  index_.clear();
  origin_ = IndexOrigin::kScanned;
}

RecordOpenResult RecordFileReader::Open(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return RecordOpenResult::kCannotOpen;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return RecordOpenResult::kCannotOpen;
  }
  file_size_ = static_cast<uint64_t>(st.st_size);
  if (!ReadLayout()) {
    Close();
    return RecordOpenResult::kNotRecordFile;
  }
  const TailIndex tail = ReadTailIndex();
  if (tail == TailIndex::kEmpty) {
    Close();
    return RecordOpenResult::kEmptyIndex;
  }
  if (tail == TailIndex::kLoaded) {
    origin_ = IndexOrigin::kTail;
  } else {
    // No index (the recording never stopped) or one that does not match the records: the
    // records themselves are the truth, so the index is rebuilt from them.
    ScanResult scan = ScanRecords(fd_, file_size_, Legacy());
    index_ = std::move(scan.index);
    frames_end_ = scan.frames_end;
    origin_ = IndexOrigin::kScanned;
  }
  position_ = kFirstRecordOffset;
  return RecordOpenResult::kOk;
}

bool RecordFileReader::ReadLayout() {
  std::array<uint8_t, kFirstRecordOffset> start{};
  if (file_size_ < start.size() || !ReadExactAt(fd_, 0, start.data(), start.size())) return false;
  // The legacy signature begins with the current one, so it is tested first.
  if (StartsWith(start, kLegacySignature)) {
    layout_ = RecordLayout::kLegacy;
    header_ = RecordHeader{};
    header_.width = 0;
    header_.height = 0;
    header_.frame_rate = NormalizeFrameRate(start[kLegacySignature.size()]);
    return true;
  }
  if (!StartsWith(start, kRecordSignature)) return false;
  header_ = DecodeRecordHeader(
      std::span<const uint8_t, kRecordHeaderSize>(start.data() + kRecordSignature.size(), kRecordHeaderSize));
  layout_ = header_.payload_type == kPayloadTypeJpeg ? RecordLayout::kJpeg : RecordLayout::kH264;
  return true;
}

size_t RecordFileReader::HeaderSize() const { return FrameHeaderSize(Legacy()); }

RecordFileReader::TailIndex RecordFileReader::ReadTailIndex() {
  if (file_size_ < kFirstRecordOffset + kIndexBlockOverhead) return TailIndex::kAbsent;
  std::array<uint8_t, kIndexTailSize> tail{};
  if (!ReadExactAt(fd_, file_size_ - tail.size(), tail.data(), tail.size())) return TailIndex::kAbsent;
  if (!StartsWith(std::span<const uint8_t>(tail).subspan(4), kEndIndexMarker)) return TailIndex::kAbsent;
  const uint32_t count = GetU32(tail.data());
  if (count == 0) return TailIndex::kEmpty;

  // Each entry needs its own bytes in the block and a frame record of at least a header.
  const uint64_t entry_size = Legacy() ? kLegacyIndexEntrySize : kIndexEntrySize;
  const uint64_t room = file_size_ - kFirstRecordOffset - kIndexBlockOverhead;
  if (static_cast<uint64_t>(count) * (entry_size + HeaderSize()) > room) return TailIndex::kUntrusted;
  const uint64_t begin = file_size_ - kIndexBlockOverhead - entry_size * count;
  std::array<uint8_t, 10> marker{};
  if (!ReadExactAt(fd_, begin, marker.data(), marker.size()) || !StartsWith(marker, kBeginIndexMarker)) {
    return TailIndex::kUntrusted;
  }
  if (!ReadTailEntries(begin, count)) {
    index_.clear();
    return TailIndex::kUntrusted;
  }
  frames_end_ = begin;
  return TailIndex::kLoaded;
}

bool RecordFileReader::ReadTailEntries(uint64_t begin, uint32_t count) {
  const size_t entry_size = Legacy() ? kLegacyIndexEntrySize : kIndexEntrySize;
  std::vector<uint8_t> slice(entry_size * std::min<size_t>(count, kEntriesPerRead));
  index_.clear();
  index_.reserve(count);
  uint64_t offset = begin + kBeginIndexMarker.size();
  for (uint32_t done = 0; done < count;) {
    const size_t n = std::min<size_t>(count - done, kEntriesPerRead);
    if (!ReadExactAt(fd_, offset, slice.data(), n * entry_size)) return false;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* p = slice.data() + i * entry_size;
      const IndexEntry e = Legacy()
          ? DecodeLegacyIndexEntry(std::span<const uint8_t, kLegacyIndexEntrySize>(p, kLegacyIndexEntrySize))
          : DecodeIndexEntry(std::span<const uint8_t, kIndexEntrySize>(p, kIndexEntrySize));
      // One entry that misses its record would send a seek into the middle of a payload.
      if (!EntryPointsAtKeyFrame(e, begin)) return false;
      index_.push_back(e);
    }
    done += static_cast<uint32_t>(n);
    offset += n * entry_size;
  }
  return true;
}

bool RecordFileReader::EntryPointsAtKeyFrame(const IndexEntry& entry, uint64_t frames_end) const {
  const size_t header_size = HeaderSize();
  if (entry.offset < kFirstRecordOffset || entry.offset > frames_end) return false;
  if (frames_end - entry.offset < header_size) return false;
  FrameHeader h;
  if (!ReadHeaderAt(entry.offset, h)) return false;
  if (h.stream != kStreamVideo || h.tick != entry.tick) return false;
  // A JPEG index has an entry for every picture, whatever its kind (10 when received over UDP).
  if (layout_ != RecordLayout::kJpeg && h.kind != kKindKeyFrame) return false;
  return h.length <= frames_end - entry.offset - header_size;
}

bool RecordFileReader::ReadHeaderAt(uint64_t offset, FrameHeader& header) const {
  std::array<uint8_t, kFrameHeaderSize> bytes{};
  const size_t header_size = HeaderSize();
  if (!ReadExactAt(fd_, offset, bytes.data(), header_size)) return false;
  header = DecodeAnyFrameHeader(bytes.data(), Legacy());
  return true;
}

bool RecordFileReader::Seek(uint64_t offset) {
  if (fd_ < 0 || offset < kFirstRecordOffset || offset > frames_end_) return false;
  position_ = offset;
  return true;
}

FrameReadResult RecordFileReader::ReadFrame(std::span<uint8_t> payload, FrameHeader& header) {
  const size_t header_size = HeaderSize();
  if (fd_ < 0 || position_ > frames_end_ || frames_end_ - position_ < header_size) return FrameReadResult::kEnd;
  FrameHeader h;
  if (!ReadHeaderAt(position_, h) || !IsKnownStream(h)) return FrameReadResult::kEnd;
  if (h.length > frames_end_ - position_ - header_size) return FrameReadResult::kEnd;
  const uint64_t next = position_ + header_size + h.length;
  if (h.length > payload.size()) {
    header = h;
    position_ = next;
    return FrameReadResult::kTooLarge;
  }
  if (!ReadExactAt(fd_, position_ + header_size, payload.data(), h.length)) return FrameReadResult::kEnd;
  header = h;
  position_ = next;
  return FrameReadResult::kFrame;
}

}  // namespace qvnet
