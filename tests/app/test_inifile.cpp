// The profile file and the text decoding under it.
#include "app/core/IniFile.h"
#include "app/core/TextCodec.h"

#include <gtest/gtest.h>

using namespace sorrel::app;

TEST(TextCodec, StrictUtf8) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("音楽 \xF0\x9F\x8E\xB5"));
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong NUL
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE3\x81"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\x82\xA0"));          // Shift-JIS あ
}

TEST(TextCodec, DecodeChoosesUtf8ThenCp932) {
  EXPECT_EQ(DecodeText("\xEF\xBB\xBF[a]"), "[a]");
  EXPECT_EQ(IniFile::Parse("\xEF\xBB\xBF\xEF\xBB\xBF[a]\nk=v").Value("a", "k"), "v");
  EXPECT_EQ(DecodeText("\x82\xA0\x82\xA2"), "あい");
  EXPECT_EQ(DecodeText("\x87\x40"), "①");  // an extension only CP932 has
  EXPECT_EQ(DecodeText("\\"), "\\");       // 0x5C stays a backslash
  // Neither: every bad byte becomes U+FFFD and the rest survives.
  EXPECT_EQ(DecodeText("a\xFF"
                       "b\x82"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

TEST(IniFile, LinesSectionsAndValues) {
  const IniFile f = IniFile::Parse(
      "top=before any section\n"
      "[ A ]\n"
      "  key  =  spaced value  \r\n"
      "eq=a=b\n"
      ";k=comment\n"
      "dup=first\n"
      "dup=second\n"
      "=novalue\n"
      "[A]\n"
      "late=1\n"
      "[B\n");
  EXPECT_EQ(f.Value("A", "key"), "spaced value");
  EXPECT_EQ(f.Value("a", "EQ"), "a=b");
  EXPECT_EQ(f.Value("A", ";k"), std::nullopt);
  EXPECT_EQ(f.Value("A", "dup"), "first");
  EXPECT_EQ(f.Value("A", "late"), std::nullopt);  // a repeated section is not looked at
  EXPECT_EQ(f.Value("", "top"), std::nullopt);
  EXPECT_EQ(f.Value("B", "x"), std::nullopt);
  EXPECT_EQ(f.ReadString("A", "missing", "def"), "def");
}

TEST(IniFile, WritesUpdateInPlaceAndNeverSplitLines) {
  IniFile f = IniFile::Parse("[S]\r\na=1\r\n; note\r\n\r\n[T]\r\nb=2\r\n");
  f.WriteString("s", "A", "9");
  f.WriteString("S", "new", "x\r\ninjected=1");
  f.WriteString("U", "c", "3");
  f.WriteBool("T", "flag", true);
  EXPECT_EQ(f.Text(), "[S]\r\na=9\r\nnew=x\r\n; note\r\n\r\n[T]\r\nb=2\r\nflag=1\r\n[U]\r\nc=3\r\n");
  EXPECT_EQ(f.Value("S", "injected"), std::nullopt);
  f.WriteString("Evil]\n[S", "k", "v");
  EXPECT_EQ(f.Value("S", "a"), "9");
}

TEST(IniFile, LoneCarriageReturnEndsALine) {
  // Otherwise a value read with a CR inside would be cut short when written back.
  const IniFile f = IniFile::Parse("[S]\ra=1\rb=2\r\nc=3");
  EXPECT_EQ(f.Value("S", "a"), "1");
  EXPECT_EQ(f.Value("S", "b"), "2");
  EXPECT_EQ(f.Value("S", "c"), "3");
  EXPECT_EQ(f.Text(), "[S]\r\na=1\r\nb=2\r\nc=3\r\n");
}

TEST(IniFile, EmptyAndBinaryInput) {
  EXPECT_EQ(IniFile::Parse("").Text(), "");
  const std::string binary("\0\xFF[\x01]\n\0=\0\n", 9);
  const IniFile f = IniFile::Parse(binary);
  EXPECT_EQ(IniFile::Parse(f.Text()).Text(), f.Text());
}
