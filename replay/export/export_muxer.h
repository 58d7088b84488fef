// The output file of an export, written by libavformat without re-encoding: the container
// chosen by the file name (.mp4, .mov, .mkv), one video stream (H.264 or motion JPEG) and at
// most one audio stream. Video times are in milliseconds, audio times in samples at 8000 Hz.
// The file is written under a temporary name beside the target and renamed over it only once
// it is complete, so a failed or cancelled export leaves no half file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct AVFormatContext;
struct AVRational;

namespace qvexport {

enum class ContainerKind { kMp4, kMov, kMatroska };

// The container of `path` by its extension (case ignored); false for any other.
bool ContainerOf(const std::string& path, ContainerKind* kind);

struct VideoTrack {
  bool jpeg = false;  // motion JPEG; otherwise H.264
  int width = 0;
  int height = 0;
  std::span<const uint8_t> parameter_sets;  // H.264 SPS and PPS, Annex B
};

enum class AudioFormat { kMulaw, kAlaw, kPcm16 };

class ExportMuxer {
 public:
  ExportMuxer() = default;
  ~ExportMuxer();
  ExportMuxer(const ExportMuxer&) = delete;
  ExportMuxer& operator=(const ExportMuxer&) = delete;

  // Prepares `path`; false (with `*error`) for an unknown extension or a muxer that cannot be made.
  bool Open(const std::string& path, std::string* error);
  // Whether the container takes that audio format.
  bool CanCarry(AudioFormat format) const;
  // Streams, then Begin() writes the header.
  bool AddVideo(const VideoTrack& track, std::string* error);
  bool AddAudio(AudioFormat format, std::string* error);
  bool Begin(std::string* error);

  bool WriteVideo(std::span<const uint8_t> data, int64_t pts_ms, int64_t duration_ms, bool key, std::string* error);
  bool WriteAudio(std::span<const uint8_t> data, int64_t pts_samples, int64_t samples, std::string* error);

  // Trailer, close, rename into place.
  bool Finish(std::string* error);
  // Closes and removes the temporary file (also done by the destructor unless finished).
  void Abandon();

 private:
  bool WritePacket(int stream, std::span<const uint8_t> data, int64_t pts, int64_t duration, AVRational time_base,
                   bool key, std::string* error);

  AVFormatContext* ctx_ = nullptr;
  ContainerKind kind_ = ContainerKind::kMp4;
  int video_ = -1;
  int audio_ = -1;
  bool header_written_ = false;
  std::string path_;
  std::string temp_path_;
};

}  // namespace qvexport
