// Stretching the video surface (any kind) onto the BGRX back surface, the work a graphics
// card's stretching blit would do. Nearest neighbour: destination pixel (x, y) shows source
// pixel (x * sw / dw, y * sh / dh). It keeps edges sharp and costs one lookup per pixel;
// smoothing a live picture is not worth the time.
#pragma once

#include "netclient/media/display/surface.h"
#include "netclient/media/display/yuv_convert.h"

namespace qvnet {

// `video` holds width x height pixels of `kind`; `back` is BGRX. Nothing happens for kNone
// or empty surfaces.
void StretchToBgrx(const PixelView& video, SurfaceKind kind, const PixelView& back);

}  // namespace qvnet
