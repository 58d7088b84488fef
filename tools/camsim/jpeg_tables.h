// Quantization tables of a baseline JPEG image, as the RTP JPEG quantization table header
// carries them (RFC 2435 §3.1.8: luma then chroma, 64 bytes each, zig-zag order).
#pragma once

#include "tools/camsim/media_types.h"

namespace camsim {

// Fills `tables` with 128 bytes from the image's DQT segments; a missing chroma table
// repeats the luma one and 16-bit entries are clamped to 255. False when the image holds no
// table or its segments are malformed.
bool ExtractQuantTables(const Bytes& jpeg, Bytes* tables);

}  // namespace camsim
