// The name order and the wildcard masks shared by the browsing controls and the play
// files.
#include "base/NameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace sorrel::base;

TEST(NameOrder, LettersWithoutRegardToCaseThenBytes) {
  std::vector<std::string> names = {"b.Mp3", "a.mp3", "Z.mp3", "A.mp3", "_x.mp3", "c.MP3", "ab", "AB", "a"};
  std::sort(names.begin(), names.end(), [](const auto& x, const auto& y) { return NameLess(x, y); });
  // "_" (0x5F) sorts before the letters once they are folded to lower case.
  const std::vector<std::string> want = {"_x.mp3", "a",     "A.mp3", "a.mp3", "AB",
                                         "ab",     "b.Mp3", "c.MP3", "Z.mp3"};
  EXPECT_EQ(names, want);
  // A strict weak order: irreflexive, and names differing in bytes are never equal.
  EXPECT_FALSE(NameLess("a", "a"));
  EXPECT_NE(NameLess("A", "a"), NameLess("a", "A"));
  // Bytes above 0x7F (UTF-8 or not) compare by value and are never folded.
  EXPECT_TRUE(NameLess("z", "\xC3\xA9"));
  EXPECT_TRUE(NameLess("\xC3\x89", "\xC3\xA9"));
  EXPECT_EQ(FoldAsciiCase("ÄB\xFFz"), "Äb\xFFz");
}

TEST(Mask, StarAndQuestionMarkWithoutRegardToCase) {
  for (const char* yes : {"a.mp3", "B.Mp3", ".mp3", "x.y.MP3"}) EXPECT_TRUE(MatchesMask(yes, "*.MP3")) << yes;
  for (const char* no : {"a.mp3x", "a.mp", "mp3", "a_mp3", "a.mp3 "})
    EXPECT_FALSE(MatchesMask(no, "*.MP3")) << no;
  EXPECT_TRUE(MatchesMask("track01.mp3", "track??.mp3"));
  EXPECT_FALSE(MatchesMask("track1.mp3", "track??.mp3"));
  EXPECT_TRUE(MatchesMask("abcbcd", "a*bc*d"));  // the first "bc" is not the one that fits
  EXPECT_TRUE(MatchesMask("ab", "a**b*"));
  EXPECT_FALSE(MatchesMask("", "?"));
  EXPECT_TRUE(MatchesMask("", "*"));
  EXPECT_FALSE(MatchesMask("a", ""));
  // "*.*" is every name, with or without a dot; "*." is not special.
  EXPECT_TRUE(MatchesMask("README", "*.*"));
  EXPECT_FALSE(MatchesMask("README", "*."));
}

TEST(Mask, QuestionMarkIsOneCharacterNotOneByte) {
  // "曲" is three bytes in UTF-8; an invalid byte counts as one character.
  EXPECT_TRUE(MatchesMask("曲1.mp3", "?1.mp3"));
  EXPECT_TRUE(
      MatchesMask("\xFF"
                  "1.mp3",
                  "?1.mp3"));
  EXPECT_FALSE(MatchesMask("曲曲.mp3", "?.mp3"));
  EXPECT_TRUE(MatchesMask("曲曲.mp3", "??.mp3"));
  // A truncated sequence at the end of the name does not run past it.
  EXPECT_TRUE(MatchesMask("a\xE6\x9B", "a?"));
  EXPECT_TRUE(MatchesMask("x曲y", "*曲?"));
}

TEST(Mask, PathologicalPatternsFinish) {
  const std::string name(5000, 'a');
  EXPECT_FALSE(MatchesMask(name, "*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(MatchesMask(name + "b", "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(Mask, SplitAtSemicolonsWithBlanksAndEmptiesDropped) {
  EXPECT_EQ(SplitMask("*.mp3"), std::vector<std::string>{"*.mp3"});
  EXPECT_EQ(SplitMask(" *.mp3 ;;*.MP2; "), (std::vector<std::string>{"*.mp3", "*.MP2"}));
  EXPECT_EQ(SplitMask("my song?.mp3"), std::vector<std::string>{"my song?.mp3"});
  EXPECT_TRUE(SplitMask("").empty());
  EXPECT_TRUE(SplitMask(" ; ").empty());
  EXPECT_TRUE(MatchesAnyMask("a.MP2", SplitMask("*.mp3;*.mp2")));
  EXPECT_FALSE(MatchesAnyMask("a.wav", SplitMask("*.mp3;*.mp2")));
  EXPECT_FALSE(MatchesAnyMask("a.wav", {}));
}
