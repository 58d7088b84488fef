// Reads record files back, in the current layout (H.264 or JPEG) or the legacy one: header,
// frame rate, the key-frame index (from the file's tail, or rebuilt by scanning when the tail
// is missing or cannot be trusted) and the frame records one after another.
//
// The file's size is taken at Open(): what a recording appends afterwards is not seen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "netclient/media/record/record_format.h"

namespace qvnet {

// Values are the file types the file source uses.
enum class RecordLayout : uint8_t { kLegacy = 0, kH264 = 2, kJpeg = 3 };

enum class RecordOpenResult {
  kOk,
  kCannotOpen,     // missing or unreadable file
  kNotRecordFile,  // neither signature, or shorter than the header
  kEmptyIndex,     // the file ends with an index block of count 0
};

enum class IndexOrigin { kTail, kScanned };

enum class FrameReadResult {
  kFrame,     // header and payload delivered
  kEnd,       // no complete record at the position (end of the frames, or cut short)
  kTooLarge,  // the payload does not fit the buffer; the record was passed over
};

class RecordFileReader {
 public:
  RecordFileReader() = default;
  ~RecordFileReader();
  RecordFileReader(const RecordFileReader&) = delete;
  RecordFileReader& operator=(const RecordFileReader&) = delete;

  RecordOpenResult Open(const std::string& path);
  void Close();

  RecordLayout Layout() const { return layout_; }
  // The header as written (width, height, codecs); the legacy layout only has a frame rate.
  const RecordHeader& Header() const { return header_; }
  // 1..30; anything else in the file reads as 30.
  uint8_t FrameRate() const { return header_.frame_rate; }
  uint64_t FileSize() const { return file_size_; }
  // Where the frame records end: the index block, or the end of the last complete record.
  uint64_t FramesEnd() const { return frames_end_; }
  const std::vector<IndexEntry>& Index() const { return index_; }
  IndexOrigin Origin() const { return origin_; }

  // Moves to a frame header at `offset` (39 up to FramesEnd()); false leaves the position.
  bool Seek(uint64_t offset);
  uint64_t Position() const { return position_; }

  // Reads the record at the position into `header` and `payload` (header.length bytes) and
  // moves past it.
  FrameReadResult ReadFrame(std::span<uint8_t> payload, FrameHeader& header);

 private:
  enum class TailIndex { kAbsent, kEmpty, kUntrusted, kLoaded };

  bool ReadLayout();
  TailIndex ReadTailIndex();
  bool ReadTailEntries(uint64_t begin, uint32_t count);
  bool EntryPointsAtKeyFrame(const IndexEntry& entry, uint64_t frames_end) const;
  bool ReadHeaderAt(uint64_t offset, FrameHeader& header) const;
  size_t HeaderSize() const;
  bool Legacy() const { return layout_ == RecordLayout::kLegacy; }

  int fd_ = -1;
  RecordLayout layout_ = RecordLayout::kH264;
  RecordHeader header_;
  uint64_t file_size_ = 0;
  uint64_t frames_end_ = kFirstRecordOffset;
  uint64_t position_ = kFirstRecordOffset;
  std::vector<IndexEntry> index_;
  IndexOrigin origin_ = IndexOrigin::kScanned;
};

}  // namespace qvnet
