#include <gtest/gtest.h>

#include <vector>

#include "base/TextCodec.h"

using namespace sorrel::base;

namespace {
// "日本" in CP932 and UTF-8.
const std::string kSjis = "\x93\xfa\x96\x7b";
const std::string kUtf8 = "\xe6\x97\xa5\xe6\x9c\xac";
const std::string kFFFD(kReplacementChar);
}  // namespace

TEST(TextCodec, Utf8StaysCp932IsConvertedAndTheMarkGoes) {
  bool damaged = true;
  EXPECT_EQ(DecodeText(kUtf8, &damaged), kUtf8);
  EXPECT_FALSE(damaged);
  EXPECT_EQ(DecodeText(kSjis, &damaged), kUtf8);
  EXPECT_FALSE(damaged);
  EXPECT_EQ(DecodeText(std::string(kUtf8Bom) + "abc"), "abc");
  // Overlong forms and surrogates are not UTF-8.
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));
  EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));
  EXPECT_TRUE(IsValidUtf8("\xf4\x8f\xbf\xbf"));
}

TEST(TextCodec, OnlyUndecodableBytesAreReplaced) {
  // Bytes CP932 has no character for, around good Japanese text.
  for (const std::string bad : {"\x80", "\xa0", "\xfd", "\xfe", "\xff"}) {
    bool damaged = false;
    EXPECT_EQ(DecodeText(kSjis + bad + kSjis, &damaged), kUtf8 + kFFFD + kUtf8) << int(uint8_t(bad[0]));
    EXPECT_TRUE(damaged);
  }
  // A lead byte cut off at the end of the text.
  EXPECT_EQ(DecodeText(kSjis + "\x93"), kUtf8 + kFFFD);
  // Half-width katakana are single CP932 bytes; the extensions only CP932 has decode;
  // 0x5C stays a backslash (paths made on the original platform).
  EXPECT_EQ(DecodeText("\xb1"), "\xef\xbd\xb1");
  EXPECT_EQ(DecodeText("\x87\x40"), "①");
  EXPECT_EQ(DecodeText("C:\\\x89\xb9"), "C:\\音");
}

TEST(TextCodec, Utf16IsRecognised) {
  using namespace std::string_literals;
  EXPECT_TRUE(LooksLikeUtf16("\xFF\xFE[\0"s));
  EXPECT_TRUE(LooksLikeUtf16("\xFE\xFF\0["s));
  EXPECT_TRUE(LooksLikeUtf16("[\0P\0l\0a\0y\0e\0r\0]\0\r\0\n\0"s));  // no mark, little-endian
  EXPECT_TRUE(LooksLikeUtf16("\0[\0P\0l\0a\0y\0]"s));                // no mark, big-endian
  EXPECT_FALSE(LooksLikeUtf16("[Player]\r\nEQ0=0\r\n"));
  EXPECT_FALSE(LooksLikeUtf16("\x82\xA0\x82\xA2\x82\xA4"));  // CP932
  EXPECT_FALSE(LooksLikeUtf16("a\0"s));
  EXPECT_FALSE(LooksLikeUtf16(std::string(64, '\0')));
}

TEST(TextCodec, Utf16HonoursItsMark) {
  const uint8_t le[] = {0xFF, 0xFE, 'A', 0, 0xE5, 0x65, 0, 0, 'B', 0};
  EXPECT_EQ(Utf16ToUtf8(le, sizeof le), "A\xe6\x97\xa5");
  const uint8_t be[] = {0xFE, 0xFF, 0, 'A', 0xD8, 0x3D, 0xDE, 0x00, 0xDC, 0x00, 0};
  // A surrogate pair, then a lone low surrogate; the odd last byte is ignored.
  EXPECT_EQ(Utf16ToUtf8(be, sizeof be), "A\xf0\x9f\x98\x80\xef\xbf\xbd");
  EXPECT_EQ(Utf8Length("A\xe6\x97\xa5\xf0\x9f\x98\x80"), 3u);
}

TEST(TextCodec, LinesEndAtCrLfLfOrCr) {
  std::vector<std::string> lines;
  ForEachLine(std::string(kUtf8Bom) + "a\r\nb\nc\rd\r\r\ne", [&](std::string_view l) {
    lines.emplace_back(l);
    return true;
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
  lines.clear();
  ForEachLine("x\n", [&](std::string_view l) {
    lines.emplace_back(l);
    return false;
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"x"}));
}
