// The band of a hint window's text: which lines take the font colour.
#include "controls/core/HintLines.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace sorrel::controls;

namespace {

constexpr auto B = THintLinePlace::Before;
constexpr auto N = THintLinePlace::Band;
constexpr auto A = THintLinePlace::After;

std::vector<THintLinePlace> Places(std::u16string_view text, int firstLine, int lineCount) {
  std::vector<THintLinePlace> places;
  for (const THintLine& l : SplitHintLines(text, firstLine, lineCount)) places.push_back(l.place);
  return places;
}

}  // namespace

TEST(HintLines, LinesSplitAtCrLfOnly) {
  const auto lines = SplitHintLines(u"one\r\ntwo\nstill two\r\n\r\nfive\rstill five", 1, 1);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].text, u"one");
  EXPECT_EQ(lines[1].text, u"two\nstill two");
  EXPECT_EQ(lines[2].text, u"");
  EXPECT_EQ(lines[3].text, u"five\rstill five");
}

TEST(HintLines, BandFromTheThirdLineToTheEnd) {
  // The information pop-up in directory mode with shuffle: the "AllS: " line on.
  const std::u16string info = u"  SinD: 1 / 9\r\n   Dir: 2 / 5\r\n  AllS: 10 / 45\r\n\r\n Title: x";
  EXPECT_EQ(Places(info, 3, 999), (std::vector{B, B, N, N, N}));
  EXPECT_EQ(Places(info, 1, 999), (std::vector{N, N, N, N, N}));
  // A count that would overflow when added to the first line.
  EXPECT_EQ(Places(info, 3, INT_MAX), (std::vector{B, B, N, N, N}));
}

TEST(HintLines, BandInTheMiddle) {
  EXPECT_EQ(Places(u"a\r\nb\r\nc\r\nd", 2, 2), (std::vector{B, N, N, A}));
  EXPECT_EQ(Places(u"a\r\nb\r\nc\r\nd", 1, 1), (std::vector{N, A, A, A}));
  EXPECT_EQ(Places(u"a\r\nb\r\nc\r\nd", 4, 1), (std::vector{B, B, B, N}));
  // The band running past the last line.
  EXPECT_EQ(Places(u"a\r\nb\r\nc\r\nd", 3, 5), (std::vector{B, B, N, N}));
}

TEST(HintLines, FirstLineBeyondTheTextPutsEveryLineInTheBand) {
  EXPECT_EQ(Places(u"a\r\nb", 3, 1), (std::vector{N, N}));
  EXPECT_EQ(Places(u"a\r\nb", 3, 999), (std::vector{N, N}));
  EXPECT_EQ(Places(u"single", 2, 1), (std::vector{N}));
  // A closing CR LF makes an empty last line, which the band can start on.
  EXPECT_EQ(Places(u"a\r\nb\r\n", 3, 1), (std::vector{B, B, N}));
  EXPECT_EQ(Places(u"a\r\nb\r\n", 4, 1), (std::vector{N, N, N}));
}

TEST(HintLines, EmptyBandAndOddFirstLines) {
  EXPECT_EQ(Places(u"a\r\nb\r\nc", 2, 0), (std::vector{B, A, A}));
  EXPECT_EQ(Places(u"a\r\nb\r\nc", 2, -5), (std::vector{B, A, A}));
  EXPECT_EQ(Places(u"a\r\nb\r\nc", 0, 2), (std::vector{N, A, A}));
  EXPECT_EQ(Places(u"a\r\nb\r\nc", -3, 2), (std::vector{A, A, A}));
  EXPECT_EQ(Places(u"", 1, 1), (std::vector{N}));
  EXPECT_EQ(Places(u"", 5, 1), (std::vector{N}));
}

TEST(HintLines, ScreenLinesBreakAtLoneLfAndCr) {
  using V = std::vector<std::u16string_view>;
  EXPECT_EQ(SplitScreenLines(u"a\nb\rc"), (V{u"a", u"b", u"c"}));
  EXPECT_EQ(SplitScreenLines(u"\n"), (V{u"", u""}));
  EXPECT_EQ(SplitScreenLines(u""), (V{u""}));
  EXPECT_EQ(SplitScreenLines(u"no break"), (V{u"no break"}));
}
