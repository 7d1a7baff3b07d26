#include "alarm/core/Glyphs.h"

#include <algorithm>
#include <array>

namespace sorrel::alarm {

namespace {

// Sorted by key for the binary search.
constexpr std::array<TGlyph, 17> kGlyphs = {{
    {0x00010000, "."},
    {0x000C0034, "4"},
    {0x00100010, "-"},
    {0x007E00A1, "6"},
    {0x00800080, "1"},
    {0x00C30105, "2"},
    {0x00C60101, "3"},
    {0x00EE0111, "8"},
    {0x00F20109, "9"},
    {0x00FE0101, "0"},
    {0x01000100, "7"},
    {0x01800200, "\""},
    {0x01800240, "\xEF\xBE\x9F"},  // ﾟ, the degree mark
    {0x01F60121, "5"},
    {0x01FF00C0, "N"},
    {0x01FF0111, "E"},
    {0x03800000, "'"},
}};
static_assert(std::is_sorted(kGlyphs.begin(), kGlyphs.end(),
                             [](const TGlyph& a, const TGlyph& b) { return a.Key < b.Key; }));

}  // namespace

bool TRgbImage::Consistent() const {
  return Width >= 0 && Height >= 0 && uint64_t(Width) * uint64_t(Height) * 3 == Pixels.size();
}

std::span<const TGlyph> GlyphTable() { return kGlyphs; }

std::string RecognizeGlyphs(const TRgbImage& image, int threshold) {
  if (image.Height != kGlyphHeight || !image.Consistent()) return "";
  const int width = image.Width;
  std::vector<uint32_t> codes(width, 0);
  for (int y = 0; y < kGlyphHeight; ++y) {
    const uint8_t* row = image.Pixels.data() + size_t(y) * width * 3;
    const uint32_t bit = 1u << (kGlyphHeight - 1 - y);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = row + size_t(x) * 3;
      if (p[0] + p[1] + p[2] > threshold) codes[x] |= bit;
    }
  }
  int x = 0;
  const auto nextGlyph = [&] {
    while (x < width && codes[x] != 0) ++x;
    while (x < width && codes[x] == 0) ++x;
  };
  nextGlyph();
  std::string text;
  while (x < width) {
    const uint32_t key = codes[x] << 16 | (x + 1 < width ? codes[x + 1] : 0);
    const auto at = std::lower_bound(kGlyphs.begin(), kGlyphs.end(), key,
                                     [](const TGlyph& g, uint32_t k) { return g.Key < k; });
    if (at == kGlyphs.end() || at->Key != key) return "";
    text += at->Text;
    nextGlyph();
  }
  return text;
}

}  // namespace sorrel::alarm
