// Which lines of a hint window's text take the font colour and which the second
// colour.  Lines are split at CR LF; the band is `lineCount` lines from line
// `firstLine` (counted from 1).  A lone LF or CR still breaks the text on screen, but it
// does not end a line for the band.
#pragma once

#include <string_view>
#include <vector>

namespace sorrel::controls {

enum class THintLinePlace {
  Before,  // before the band: second colour
  Band,    // in the band: font colour
  After,   // after the band: second colour
};

struct THintLine {
  std::u16string_view text;  // without its CR LF
  THintLinePlace place = THintLinePlace::Band;
  bool operator==(const THintLine&) const = default;
};

// The lines of `text` with their places.  A first line beyond the last line puts every
// line in the band (nothing before it is found, and the band runs to the end); a line
// count of 0 or less leaves the band empty.
std::vector<THintLine> SplitHintLines(std::u16string_view text, int firstLine, int lineCount);

// One line as it breaks on screen: at every lone LF or CR (a line holds no CR LF).
std::vector<std::u16string_view> SplitScreenLines(std::u16string_view line);

}  // namespace sorrel::controls
