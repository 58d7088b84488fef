// The AVI files the video servers record themselves: RIFF "AVI " files (little-endian) with
// the servers' signature in the header list and an "idx1" index whose entries give chunk
// offsets from the start of the file.
//
//   0    "RIFF", size, "AVI "
//   12   header list ("LIST" "hdrl"); at 48 the frame count (avih), at 112 the video
//        handler and at 132 the frame rate (strh), at 336 the signature "QuorValenta"
//   ...  two chunks passed over (padding, the "movi" list)
//   ...  "idx1": 16-byte entries {id, flags, chunk offset, chunk size}
//
// Pictures are "00dc" chunks (one whole picture each), sound "01wb" chunks (8000 Hz 16-bit
// mono PCM). The servers record 25 pictures a second with three index entries per picture,
// so the index advances 1200 bytes per second of video.
//
// Every offset and size taken from the file is checked against the file's size before it is
// used; the size is taken at Open().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qvnet {

inline constexpr std::string_view kAviSignature = "QuorValenta";
inline constexpr uint64_t kAviSignatureOffset = 336;
inline constexpr uint64_t kAviFrameCountOffset = 48;
inline constexpr uint64_t kAviHandlerOffset = 112;
inline constexpr uint64_t kAviFrameRateOffset = 132;
inline constexpr uint64_t kAviFirstChunkOffset = 12;
inline constexpr size_t kAviChunkHeaderSize = 8;
inline constexpr size_t kAviIndexEntrySize = 16;
inline constexpr uint32_t kAviEntriesPerFrame = 3;
inline constexpr uint32_t kAviIndexFramesPerSecond = 25;
inline constexpr uint32_t kAviIndexBytesPerSecond =
    kAviIndexFramesPerSecond * kAviEntriesPerFrame * kAviIndexEntrySize;  // 1200

using FourCc = std::array<char, 4>;
inline constexpr FourCc kAviVideoChunk = {'0', '0', 'd', 'c'};
inline constexpr FourCc kAviAudioChunk = {'0', '1', 'w', 'b'};

struct AviIndexEntry {
  FourCc id{};
  uint32_t flags = 0;
  uint32_t offset = 0;  // of the chunk's 8-byte header, from the start of the file
  uint32_t size = 0;    // of the chunk's data
};

enum class AviOpenResult {
  kOk,
  kCannotOpen,   // missing or unreadable file
  kNotAvi,       // no "RIFF" at 0 or no signature at 336: some other layout
  kNoFrameRate,  // frame rate 0
  kNoIndex,      // the chunks do not lead to an "idx1" chunk inside the file
};

class AviFile {
 public:
  AviFile() = default;
  ~AviFile();
  AviFile(const AviFile&) = delete;
  AviFile& operator=(const AviFile&) = delete;

  AviOpenResult Open(const std::string& path);
  void Close();

  uint32_t FrameRate() const { return frame_rate_; }
  uint32_t FrameCount() const { return frame_count_; }
  // The video handler says motion JPEG ("MJPG"); anything else is taken as H.264.
  bool Jpeg() const { return jpeg_; }
  uint64_t FileSize() const { return file_size_; }
  // First index entry, and the end of the entries (the chunk's end, cut at the file's end).
  uint64_t IndexStart() const { return index_start_; }
  uint64_t IndexEnd() const { return index_end_; }
  uint64_t EntryCount() const { return (index_end_ - index_start_) / kAviIndexEntrySize; }

  // The entry at file position `at`; false when it is not whole inside the index.
  bool ReadEntry(uint64_t at, AviIndexEntry* entry) const;
  // The entry's chunk data (entry.size bytes at entry.offset + 8) into the front of `out`;
  // false when the chunk does not lie inside the file or does not fit `out`.
  bool ReadChunk(const AviIndexEntry& entry, std::span<uint8_t> out) const;
  // The first out.size() bytes of the chunk data; false when the chunk is shorter or does not
  // lie inside the file.
  bool ReadChunkStart(const AviIndexEntry& entry, std::span<uint8_t> out) const;

 private:
  bool ReadAt(uint64_t offset, void* out, size_t length) const;
  bool ChunkInside(const AviIndexEntry& entry) const;
  bool FindIndex();

  int fd_ = -1;
  uint64_t file_size_ = 0;
  uint32_t frame_rate_ = 0;
  uint32_t frame_count_ = 0;
  bool jpeg_ = false;
  uint64_t index_start_ = 0;
  uint64_t index_end_ = 0;
};

}  // namespace qvnet
