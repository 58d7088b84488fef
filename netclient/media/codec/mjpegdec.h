// Motion JPEG decoder behind the display's call contract: one complete JPEG image in, one
// 4:2:0 picture out (4:2:2, 4:4:4 and grey images are converted).
#pragma once

#include <cstdint>

#include "netclient/media/codec/decoded_picture.h"

namespace qvcodec {

// Results of MjpegDecFrame: 0 = picture in the output; anything else skips the image.
inline constexpr int32_t kJpegPicture = 0;
inline constexpr int32_t kJpegSkipped = -1;    // not a usable image
inline constexpr int32_t kJpegBadHandle = -2;  // bad handle or output record

// `params`: 0, 0, width, height, 0, 0, 0. Width and height are hints only; each image
// carries its own size. Null on failure.
void* MjpegDecCreate(const int32_t params[7]);

// The three unnamed words are not used. The picture stays valid until the next call.
int32_t MjpegDecFrame(void* handle, const uint8_t* jpeg, int32_t len, int32_t, int32_t,
                      DecodedPicture* out, int32_t);

void MjpegDecDestroy(void* handle);

}  // namespace qvcodec
