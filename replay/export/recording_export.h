// Export of one recording into an MP4, MOV or Matroska file without re-encoding the video:
// H.264 regrouped into access units from the first key frame on (h264_access_units.h), or the
// motion JPEG pictures as they are; picture times from the records' ticks; audio kept where the
// container takes it (G.711 in Matroska and MOV), decoded to 16-bit PCM where only that fits
// (G.726), or left out with a warning (MP4). Shared by the qvexport tool and the replay
// program's Export action; free of Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvexport {

struct ExportRequest {
  std::string input;
  std::string output;  // .mp4, .mov or .mkv
  // A part of the recording in seconds on the replay's time axis (0 = the first key frame of
  // the file, as the position slider counts). The export starts at the key frame at or before
  // `from_s` and ends before `to_s`.
  std::optional<uint32_t> from_s;
  std::optional<uint32_t> to_s;
};

// Called as the export goes, with the part of the input done (0..1); returning false cancels.
using ProgressFn = std::function<bool(double fraction)>;

struct ExportSummary {
  bool ok = false;
  bool cancelled = false;
  std::string error;                  // why it failed, for the person exporting
  std::vector<std::string> warnings;  // what was left out
  uint64_t pictures = 0;
  uint64_t audio_packets = 0;
  int64_t duration_ms = 0;  // of the video in the output
  int width = 0;
  int height = 0;
};

ExportSummary ExportRecording(const ExportRequest& request, const ProgressFn& progress = {});

}  // namespace qvexport
