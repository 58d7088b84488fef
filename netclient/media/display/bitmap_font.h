// A small bold bitmap font for the overlay: digits, a few letters, 15 pixels per line.
// Text is drawn without background, clipped at the surface's edges.
#pragma once

#include <string_view>

#include "netclient/media/display/surface.h"

namespace qvnet {

inline constexpr int kFontHeight = 15;

// Draws `text` on a BGRX surface with the top left corner of its first character cell at
// (x, y); either may lie outside the surface. Characters without a glyph advance like a
// space. Returns the x just after the text.
int DrawText(const PixelView& surface, int x, int y, std::string_view text, Bgrx color);

// Width in pixels that DrawText advances for `text`.
int TextWidth(std::string_view text);

// Sets one pixel of a BGRX surface; nothing outside it.
void PutPixel(const PixelView& surface, int x, int y, Bgrx color);

}  // namespace qvnet
