// The baseline of the comparison: one ffmpeg process per camera copying the camera's H.264
// stream from RTSP/TCP into a raw H.264 file, measured by the rusage of the reaped processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvbench {

struct BaselineResult {
  bool ok = false;
  std::string message;  // why the baseline is unusable, when it is
  double cpu_seconds = 0;
  double system_seconds = 0;  // the part of cpu_seconds spent in the kernel
  uint64_t bytes = 0;
};

// Runs `ffmpeg` against rtsp://127.0.0.1:PORT/0 for each port at once, each for `seconds` of
// stream, writing into `folder`. Not ok when any process fails or writes nothing.
BaselineResult RunFfmpegBaseline(const std::string& ffmpeg, const std::vector<int>& ports, int seconds,
                                 const std::string& folder);

}  // namespace qvbench
