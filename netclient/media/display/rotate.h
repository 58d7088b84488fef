// Turning a picture by 180 degrees, and the display's own copy of a decoded picture.
//
// The decoders hand out pictures that may still serve as references for the pictures that
// follow, so the display never writes into them: a picture that is to be turned is first
// copied into a PictureStore and turned there.
#pragma once

#include <cstdint>
#include <vector>

#include "netclient/media/codec/decoded_picture.h"
#include "netclient/media/display/surface.h"

namespace qvnet {

// Turns one plane of width x height samples (`stride` bytes per line) by 180 degrees in
// place: line i and line h - 1 - i swap with their bytes reversed. The middle line of an odd
// height is reversed in place, which a turn by 180 degrees needs as much as the others.
void Rotate180Plane(uint8_t* plane, int width, int height, int stride);

// Turns the luma plane and both chroma planes ((w + 1) / 2 by (h + 1) / 2). For odd sizes
// the chroma grid moves by half a luma sample, which no one can see.
void Rotate180(const qvcodec::DecodedPicture& picture);

// Owns the planes of one picture, packed (strides = widths).
class PictureStore {
 public:
  // Copies `src`; returns the copy, or a picture with null planes for an invalid source.
  qvcodec::DecodedPicture CopyFrom(const YuvView& src);

 private:
  std::vector<uint8_t> y_;
  std::vector<uint8_t> u_;
  std::vector<uint8_t> v_;
};

}  // namespace qvnet
