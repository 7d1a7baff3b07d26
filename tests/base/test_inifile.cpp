// The profile file: lines, sections and keys, writes in place, line-by-line decoding
// with damaged lines kept as they were, and the key list over it.
#include <gtest/gtest.h>

#include <string>

#include "base/IniFile.h"
#include "base/KeyList.h"

using namespace sorrel::base;

namespace {
const std::string kFFFD = "\xEF\xBF\xBD";
}  // namespace

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
  EXPECT_TRUE(f.HasEntries());
  EXPECT_FALSE(IniFile::Parse("just text\n; and a comment\n[unclosed\n").HasEntries());
}

TEST(IniFile, WritesUpdateInPlaceAndNeverSplitLines) {
  IniFile f = IniFile::Parse("[S]\r\na=1\r\n; note\r\n\r\n[T]\r\nb=2\r\n[s]\r\nlate=1\r\n");
  f.WriteString("s", "A", "9");
  f.WriteString("S", "new", "x\r\ninjected=1");
  f.WriteString("U", "c", "3");
  f.WriteBool("T", "flag", true);
  f.WriteString("U", "d", "4");
  // New keys go after the last key of the first section of their name, before the
  // blank lines and comments that close it.
  EXPECT_EQ(
      f.Text(),
      "[S]\r\na=9\r\nnew=x\r\n; note\r\n\r\n[T]\r\nb=2\r\nflag=1\r\n[s]\r\nlate=1\r\n[U]\r\nc=3\r\nd=4\r\n");
  EXPECT_EQ(f.Value("S", "injected"), std::nullopt);
  f.WriteString("Evil]\n[S", "k", "v");
  EXPECT_EQ(f.Value("S", "a"), "9");
  // A section with no key yet takes the key right under its header.
  IniFile g = IniFile::Parse("[E]\r\n; only a comment\r\n");
  g.WriteInteger("e", "n", -5);
  EXPECT_EQ(g.Text(), "[E]\r\nn=-5\r\n; only a comment\r\n");
}

TEST(IniFile, LineEndsAndByteOrderMarks) {
  // A lone CR ends a line too; otherwise a value read with a CR inside would be cut
  // short when written back.
  const IniFile f = IniFile::Parse("[S]\ra=1\rb=2\r\nc=3");
  EXPECT_EQ(f.Value("S", "a"), "1");
  EXPECT_EQ(f.Value("S", "b"), "2");
  EXPECT_EQ(f.Value("S", "c"), "3");
  EXPECT_EQ(f.Text(), "[S]\r\na=1\r\nb=2\r\nc=3\r\n");
  // Every mark at the start goes (the writer writes none).
  EXPECT_EQ(IniFile::Parse("\xEF\xBB\xBF\xEF\xBB\xBF[a]\nk=v").Value("a", "k"), "v");
  EXPECT_EQ(IniFile::Parse("").Text(), "");
  const std::string binary("\0\xFF[\x01]\n\0=\0\n\xEF\xBB\xBF\xEF\xBB\xBFk=\x80", 17);
  const IniFile b = IniFile::Parse(binary);
  EXPECT_EQ(IniFile::Parse(b.Text()).Text(), b.Text());
}

TEST(IniFile, EachLineIsDecodedOnItsOwn) {
  // UTF-8, CP932 and a CP932 line with one byte CP932 has no character for (0x80).
  const std::string file =
      "[S]\r\n"
      "utf8=\xE6\x97\xA5\xE6\x9C\xAC\r\n"      // 日本
      "sjis=\x83\x8D\x83\x62\x83\x4E\r\n"      // ロック
      "bad=\x89\xB9\x80\x8A\x79\r\n"           // 音 0x80 楽
      "\x81\x9A comment \xFF\r\n"              // ★ comment, then a bad byte
      "[\x89\xB9\x8A\x79]\r\nk=\x8B\xC8\r\n";  // [音楽] k=曲
  IniFile f = IniFile::Parse(file);
  EXPECT_EQ(f.Value("S", "utf8"), "日本");
  EXPECT_EQ(f.Value("S", "sjis"), "ロック");
  EXPECT_EQ(f.Value("S", "bad"), "音" + kFFFD + "楽");
  EXPECT_EQ(f.Value("音楽", "k"), "曲");
  EXPECT_TRUE(f.Damaged());
  // Written back: the good lines as UTF-8, the damaged ones byte for byte.
  const std::string expected =
      "[S]\r\nutf8=日本\r\nsjis=ロック\r\nbad=\x89\xB9\x80\x8A\x79\r\n\x81\x9A comment "
      "\xFF\r\n[音楽]\r\nk=曲\r\n";
  EXPECT_EQ(f.Text(), expected);
  // and they read the same again.
  EXPECT_EQ(IniFile::Parse(f.Text()).Value("S", "bad"), "音" + kFFFD + "楽");
  EXPECT_EQ(IniFile::Parse(f.Text()).Text(), expected);
}

TEST(IniFile, DamagedValueKeepsItsBytesUntilItIsChanged) {
  const std::string bad = "name=\x83\x8D\x80\x83\x4E\r\n";  // ロ 0x80 ク
  IniFile f = IniFile::Parse("[S]\r\n" + bad);
  const std::string read = *f.Value("S", "name");
  f.WriteString("S", "NAME", read);  // stored again as read
  EXPECT_EQ(f.Text(), "[S]\r\n" + bad);
  // Dropped and written anew with the same value: still the original bytes.
  f.Clear();
  EXPECT_EQ(f.Text(), "");
  f.WriteString("S", "name", read);
  EXPECT_EQ(f.Text(), "[S]\r\n" + bad);
  // A value the program changed is written as it is now.
  f.WriteString("S", "name", "ロック");
  EXPECT_EQ(f.Text(), "[S]\r\nname=ロック\r\n");
  EXPECT_FALSE(f.Damaged());
  f.Clear();
  f.WriteString("S", "name", "other");
  EXPECT_EQ(f.Text(), "[S]\r\nname=other\r\n");
}

TEST(IniFile, ManySectionsAndKeys) {
  // Lookups go through hash maps: the first section and the first key of a name win,
  // whatever their number.
  std::string file;
  for (int i = 0; i < 20000; ++i)
    file +=
        "[S" + std::to_string(i % 10000) + "]\r\nk" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  IniFile f = IniFile::Parse(file);
  EXPECT_EQ(f.Value("s9999", "K9999"), "9999");
  EXPECT_EQ(f.Value("S9999", "k19999"), std::nullopt);
  f.WriteInteger("S9999", "k19999", 1);
  EXPECT_NE(f.Text().find("[S9999]\r\nk9999=9999\r\nk19999=1\r\n[S0]"), std::string::npos);
}

TEST(KeyList, OneListReadsAndWritesTheSameKeys) {
  struct Record {
    int Count = 7;
    bool On = true;
    std::string Name = "x";
    int Small = 3;
    bool operator==(const Record&) const = default;
  };
  const auto keys = [](TKeyList& k, Record& r) {
    k.Section("Sec");
    k.Int("Count", r.Count);
    k.Bool("On", r.On);
    k.Str("Name", r.Name);
    k.Ranged("Small", r.Small, 0, 9);
  };
  IniFile out;
  Record written{-4, false, "名前", 9};
  TKeyList writer = TKeyList::Writer(out);
  EXPECT_FALSE(writer.Reading());
  keys(writer, written);
  EXPECT_EQ(out.Text(), "[Sec]\r\nCount=-4\r\nOn=0\r\nName=名前\r\nSmall=9\r\n");
  Record back;
  TKeyList reader = TKeyList::Reader(out);
  keys(reader, back);
  EXPECT_EQ(back, written);
  // Out of range or unreadable: what the record held stays.
  Record defaults;
  const IniFile badFile = IniFile::Parse("[sec]\nsmall=10\ncount=x\n");
  TKeyList bad = TKeyList::Reader(badFile);
  keys(bad, defaults);
  EXPECT_EQ(defaults, Record{});
  EXPECT_EQ(IndexedKey("MappleDefScale[", 7), "MappleDefScale[7]");
}
