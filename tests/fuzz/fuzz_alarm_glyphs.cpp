// The glyph reading on arbitrary capture bytes (the first two bytes choose the width and
// the threshold, the rest are pixels, possibly too few or too many): it gives only
// characters of the glyph table, and what it gives goes through the coordinate parsing
// (a value only from a text that begins with N or E).
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "alarm/core/Glyphs.h"
#include "alarm/core/GpsUtil.h"
#include "alarm/core/NavinScreen.h"

using namespace sorrel::alarm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const std::set<std::string> characters = [] {
    std::set<std::string> s;
    for (const TGlyph& g : GlyphTable()) s.insert(g.Text);
    return s;
  }();
  TRgbImage image;
  image.Width = data[0];
  image.Height = kGlyphHeight;
  const int threshold = data[1] * 3;
  image.Pixels.assign(data + 2, data + size);
  // Most inputs have the wrong size; make the rest of them fit.
  if (!image.Consistent() && (data[0] & 1)) image.Pixels.resize(size_t(image.Width) * kGlyphHeight * 3);

  const std::string text = RecognizeGlyphs(image, threshold);
  if (!image.Consistent() && !text.empty()) std::abort();
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    while (i + n < text.size() && (uint8_t(text[i + n]) & 0xC0) == 0x80) ++n;
    if (!characters.count(text.substr(i, n))) std::abort();
    i += n;
  }
  const TCoordinateLine line = SplitCoordinateLine(text);
  for (const std::string& part : {text, line.Latitude, line.Longitude}) {
    const int32_t v = ParseNavinCoordinate(part);
    if (v != kNavinCoordinateFailure && part[0] != 'N' && part[0] != 'E') std::abort();
  }
  return 0;
}
