// Writes AVI files in the layout of the video servers' own recordings, which the file source
// replays: a RIFF "AVI " file with the header list (frame count at 48, video handler at 112,
// frame rate at 132, the signature "QuorValenta" at 336), a padding chunk, the "movi" list and
// an "idx1" index whose entries hold chunk offsets from the start of the file.
//
// Every picture takes three index entries, as in the servers' files: its "00dc" chunk and two
// "01wb" chunks with the sound recorded with it (16-bit 8000 Hz mono PCM, split in two halves;
// empty chunks when there is none). At 25 pictures a second the index then advances 1200
// bytes per second, which is what the replay's position and seek rely on.
//
// The whole file is built in memory; tests and the command-line tool make files of seconds
// to minutes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace aviwrite {

struct AviWriterOptions {
  bool jpeg = false;  // pictures are JPEG images ("MJPG"), else H.264 access units ("H264")
  uint32_t width = 704;
  uint32_t height = 576;
  uint32_t frame_rate = 25;
};

// Index flag of a picture a decoder can start at.
inline constexpr uint32_t kAviKeyFrameFlag = 0x10;

class AviWriter {
 public:
  explicit AviWriter(AviWriterOptions options) : options_(options) {}

  // One picture (a JPEG image, or an H.264 access unit in Annex B form) and the sound that
  // goes with it; `key` marks a picture a decoder can start at.
  void AddFrame(std::span<const uint8_t> picture, std::span<const uint8_t> pcm, bool key);
  size_t FrameCount() const { return frames_; }

  // The complete file.
  std::vector<uint8_t> Build() const;
  bool WriteFile(const std::string& path) const;

 private:
  struct Chunk {
    char id[4];
    uint32_t flags;
    uint32_t movi_offset;  // of the chunk header inside the "movi" data
    uint32_t size;
  };
  void AddChunk(const char* id, std::span<const uint8_t> data, uint32_t flags);
  void AppendHeader(std::vector<uint8_t>& out, uint32_t file_size, uint32_t movi_size) const;

  AviWriterOptions options_;
  size_t frames_ = 0;
  uint64_t pcm_bytes_ = 0;
  std::vector<uint8_t> movi_;  // chunks back to back, each padded to an even size
  std::vector<Chunk> index_;
};

// Cuts an H.264 Annex B byte stream into access units (ITU-T H.264 §7.4.1.2.3): a unit
// begins with a delimiter, parameter set or SEI after a slice, or with a slice whose
// first_mb_in_slice is 0. Start codes stay with their NAL units.
std::vector<std::vector<uint8_t>> SplitAccessUnits(std::span<const uint8_t> stream);

// True when the access unit holds a sequence parameter set or an IDR slice.
bool IsKeyAccessUnit(std::span<const uint8_t> unit);

}  // namespace aviwrite
