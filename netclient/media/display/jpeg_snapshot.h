// Snapshots: a decoded 4:2:0 picture written as a baseline JFIF JPEG (ITU-T T.81) with 4:2:0
// sampling by libjpeg-turbo's TurboJPEG API, and the file writing shared with motion JPEG
// snapshots, which are written as received. Any picture size is taken: an odd side is padded
// here, edges that are no multiple of the 16 x 16 MCU by the library; nothing outside the
// picture's planes is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "netclient/media/display/surface.h"

namespace qvnet {

// Quality of the snapshots (1..100, as libjpeg scales its tables).
inline constexpr int kSnapshotQuality = 85;

// The JPEG file of `picture`; empty for an invalid picture or one larger than 65535 on a side.
std::vector<uint8_t> EncodeJpegSnapshot(const YuvView& picture);

// Writes `size` bytes to `path`, created or truncated. False when the file cannot be
// created or not everything was written.
bool WriteSnapshotFile(const std::string& path, const uint8_t* data, size_t size);

// EncodeJpegSnapshot + WriteSnapshotFile.
bool WriteJpegSnapshot(const YuvView& picture, const std::string& path);

}  // namespace qvnet
