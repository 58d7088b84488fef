#include "netclient/media/display/bitmap_font.h"

#include <cstring>

namespace qvnet {
namespace {

constexpr int kGlyphRows = 11;  // drawn from line 2 of the 15-line cell
constexpr int kGlyphTop = 2;
constexpr int kSpacing = 1;
constexpr int kSpaceWidth = 4;

struct Glyph {
  char ch;
  const char* rows[kGlyphRows];  // '#' is ink; every row has the glyph's width
};

// Two-pixel strokes make the glyphs bold enough to read on a busy picture.
constexpr Glyph kGlyphs[] = {
    {'0', {".#####.", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##",
           "##...##", "##...##", "##...##", ".#####."}},
    {'1', {"...##..", "..###..", ".####..", "...##..", "...##..", "...##..", "...##..",
           "...##..", "...##..", "...##..", ".######"}},
    {'2', {".#####.", "##...##", ".....##", ".....##", "....##.", "...##..", "..##...",
           ".##....", "##.....", "##.....", "#######"}},
    {'3', {".#####.", "##...##", ".....##", ".....##", "..####.", ".....##", ".....##",
           ".....##", ".....##", "##...##", ".#####."}},
    {'4', {"....##.", "...###.", "..####.", ".##.##.", "##..##.", "##..##.", "#######",
           "....##.", "....##.", "....##.", "....##."}},
    {'5', {"#######", "##.....", "##.....", "######.", ".....##", ".....##", ".....##",
           ".....##", ".....##", "##...##", ".#####."}},
    {'6', {".#####.", "##...##", "##.....", "##.....", "######.", "##...##", "##...##",
           "##...##", "##...##", "##...##", ".#####."}},
    {'7', {"#######", ".....##", ".....##", "....##.", "....##.", "...##..", "...##..",
           "..##...", "..##...", "..##...", "..##..."}},
    {'8', {".#####.", "##...##", "##...##", "##...##", ".#####.", "##...##", "##...##",
           "##...##", "##...##", "##...##", ".#####."}},
    {'9', {".#####.", "##...##", "##...##", "##...##", "##...##", ".######", ".....##",
           ".....##", ".....##", "##...##", ".#####."}},
    {'R', {"######.", "##...##", "##...##", "##...##", "######.", "####...", "##.##..",
           "##..##.", "##..##.", "##...##", "##...##"}},
    {'e', {"......", "......", "......", "......", ".####.", "##..##", "######", "##....",
           "##....", "##..##", ".####."}},
    {'c', {"......", "......", "......", "......", ".####.", "##..##", "##....", "##....",
           "##....", "##..##", ".####."}},
};

const Glyph* FindGlyph(char ch) {
  for (const Glyph& g : kGlyphs) {
    if (g.ch == ch) return &g;
  }
  return nullptr;
}

int GlyphWidth(const Glyph* g) {
  return g == nullptr ? kSpaceWidth : static_cast<int>(std::strlen(g->rows[0]));
}

void DrawGlyph(const PixelView& s, int x, int y, const Glyph& g, Bgrx color) {
  const int width = GlyphWidth(&g);
  for (int row = 0; row < kGlyphRows; ++row) {
    for (int col = 0; col < width; ++col) {
      if (g.rows[row][col] == '#') PutPixel(s, x + col, y + kGlyphTop + row, color);
    }
  }
}

}  // namespace

void PutPixel(const PixelView& s, int x, int y, Bgrx color) {
  if (s.pixels == nullptr || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  uint8_t* px = s.Row(y) + 4 * x;
  px[0] = color.b;
  px[1] = color.g;
  px[2] = color.r;
}

int DrawText(const PixelView& surface, int x, int y, std::string_view text, Bgrx color) {
  for (const char ch : text) {
    const Glyph* g = FindGlyph(ch);
    if (g != nullptr) DrawGlyph(surface, x, y, *g, color);
    x += GlyphWidth(g) + kSpacing;
  }
  return x;
}

int TextWidth(std::string_view text) {
  int width = 0;
  for (const char ch : text) width += GlyphWidth(FindGlyph(ch)) + kSpacing;
  return width;
}

}  // namespace qvnet
