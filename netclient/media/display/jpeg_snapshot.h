// Snapshots: a decoded 4:2:0 picture written as a baseline JFIF JPEG (ITU-T T.81), and the
// file writing shared with motion JPEG snapshots, which are written as received.
//
// The encoder is deliberately plain: quality fixed at half the T.81 Annex K example tables,
// the Annex K.3 Huffman tables, every component sampled 1 x 1 (chroma repeated over its
// 2 x 2 block), a floating-point AAN DCT. Sizes that are not a multiple of 8 are coded with
// whole edge blocks filled by repeating the last column and line (decoders crop them by the
// frame size), so nothing outside the planes is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "netclient/media/display/surface.h"

namespace qvnet {

// The JPEG file of `picture`; empty for an invalid picture or one larger than 65535 on a side.
std::vector<uint8_t> EncodeJpegSnapshot(const YuvView& picture);

// Writes `size` bytes to `path`, created or truncated. False when the file cannot be
// created or not everything was written.
bool WriteSnapshotFile(const std::string& path, const uint8_t* data, size_t size);

// EncodeJpegSnapshot + WriteSnapshotFile.
bool WriteJpegSnapshot(const YuvView& picture, const std::string& path);

// Quantisation tables as written to the file: entry k is the divisor of the coefficient at
// zigzag position k. Table 0 is luminance, table 1 chrominance.
const uint8_t* SnapshotQuantTable(int table);

}  // namespace qvnet
