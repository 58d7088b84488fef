// H.264 decoder behind the display's call contract. Input is any slice of an Annex B byte
// stream: whole pictures from a live camera or fixed-size chunks read from a recording.
// Access units are cut with libavcodec's H.264 parser and decoded one at a time.
//
// After a call with data the caller calls again with null/0 until it gets kDecNoPicture,
// taking every picture. The parser recognises the end of an access unit only when the
// next one begins, so a picture comes out when the first bytes of the following one have
// arrived (or at kH264FlagEndOfStream); the decoder itself adds no delay.
#pragma once

#include <cstdint>

#include "netclient/media/codec/decoded_picture.h"

namespace qvcodec {

// Results of H264DecFrame.
inline constexpr int32_t kDecPicture = 0;     // a picture is in the output record
inline constexpr int32_t kDecNoPicture = -1;  // none now: more input needed
inline constexpr int32_t kDecUnusable = -2;   // bad handle or output: stop decoding
inline constexpr int32_t kDecRecreate = -3;   // destroy this decoder and create a new one

// Flags of H264DecFrame (callers in the display pass 0).
// The stream ends after this input: the access unit still waiting for its successor is
// decoded now. Parsing starts afresh with the next input.
inline constexpr int32_t kH264FlagEndOfStream = 1;

// `params`: 0, 0, width / 16 + 1, height / 16 + 1, buffer count, 0. They are hints only:
// the stream's own parameter sets decide the picture size. Null on failure.
void* H264DecCreate(const int32_t params[6]);

// `ts` is not used. The picture in `out` stays valid until the next call on `handle`.
int32_t H264DecFrame(void* handle, const uint8_t* data, int32_t len, int64_t ts,
                     DecodedPicture* out, int32_t flags);

void H264DecDestroy(void* handle);

}  // namespace qvcodec
