#include "controls/core/HintLines.h"

#include <cstdint>

namespace sorrel::controls {

std::vector<THintLine> SplitHintLines(std::u16string_view text, int firstLine, int lineCount) {
  std::vector<THintLine> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      lines.push_back({text.substr(start), THintLinePlace::Band});
      break;
    }
    lines.push_back({text.substr(start, end - start), THintLinePlace::Band});
    start = end + 2;
  }
  const int64_t breaks = static_cast<int64_t>(lines.size()) - 1;
  // The band ends at the (firstLine + lineCount - 1)-th line break, or with the text
  // when there are fewer; the lines before it end at the (firstLine - 1)-th break, or
  // nowhere when that break does not exist.
  const int64_t bandEnd = static_cast<int64_t>(firstLine) + lineCount - 1;
  const int64_t bandLines = bandEnd <= 0 ? 0 : (bandEnd > breaks ? breaks + 1 : bandEnd);
  const int64_t beforeEnd = static_cast<int64_t>(firstLine) - 1;
  const int64_t beforeLines = (beforeEnd <= 0 || beforeEnd > breaks) ? 0 : beforeEnd;
  for (int64_t i = 0; i < static_cast<int64_t>(lines.size()); ++i) {
    if (i < beforeLines)
      lines[i].place = THintLinePlace::Before;
    else if (i < bandLines)
      lines[i].place = THintLinePlace::Band;
    else
      lines[i].place = THintLinePlace::After;
  }
  return lines;
}

std::vector<std::u16string_view> SplitScreenLines(std::u16string_view line) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = line.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      parts.push_back(line.substr(start));
      return parts;
    }
    parts.push_back(line.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace sorrel::controls
