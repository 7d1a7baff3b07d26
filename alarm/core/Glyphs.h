// Reading the digits the navigation program draws: a 10-pixel-high strip of its screen,
// captured as 24-bit RGB, becomes text by the patterns of each glyph's first two pixel
// columns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sorrel::alarm {

// Pixels as captured: rows from top to bottom, three bytes (red, green, blue) each.
struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
  // The pixel buffer holds exactly Width x Height pixels.
  bool Consistent() const;
};

inline constexpr int kGlyphHeight = 10;

struct TGlyph {
  uint32_t Key;      // first column's code x 65536 + second column's code
  const char* Text;  // UTF-8
};

// The glyphs the screen shows: digits, ".", "-", "N", "E", the degree mark "ﾟ", "'"
// and '"'.  A column's code has one bit per pixel row, the top row the highest of ten.
std::span<const TGlyph> GlyphTable();

// The text of a strip (kGlyphHeight rows; any other height, or an inconsistent buffer,
// gives ""): a pixel counts when red + green + blue exceeds `threshold`.  Reading starts
// after the first run of blank columns (a glyph cut by the left edge is skipped); a
// glyph not in the table makes the whole text empty.  Columns past the right edge are
// blank.
std::string RecognizeGlyphs(const TRgbImage& image, int threshold);

}  // namespace sorrel::alarm
