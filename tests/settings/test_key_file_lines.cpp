// Key files edited line by line: an edit touches only its own lines, whatever the rest
// of the file holds.
#include "settings/core/KeyFileLines.h"

#include <gtest/gtest.h>

#include <string>

namespace sorrel::settings {
namespace {

const std::string kUserList =
    "# my defaults, kept by hand\n"
    "[Added Associations]\n"
    "text/plain=gvim.desktop;\n"
    "\n"
    "[Default Applications]\n"
    "; not a comment in key files, but not a key either\n"
    "text/html=firefox.desktop\n"
    "  image/png = eog.desktop ; \n"
    "# trailing comment of the group\n"
    "\n"
    "[Removed Associations]\n"
    "video/mp4=vlc.desktop;\n";

TEST(KeyFileLines, ReadsValuesAndKeepsTheTextByteForByte) {
  const TKeyFileLines f(kUserList);
  EXPECT_EQ(f.Text(), kUserList);
  EXPECT_EQ(f.Value("Default Applications", "text/html"), "firefox.desktop");
  EXPECT_EQ(f.Value("Default Applications", "IMAGE/PNG"), "eog.desktop ;");
  EXPECT_EQ(f.Value("Added Associations", "text/html"), std::nullopt);
  EXPECT_EQ(f.Value("Default Applications", "; not a comment in key files, but not a key either"),
            std::nullopt);

  // Bytes that are no key file at all: a NUL, Latin-1, CR line ends, no final newline.
  const std::string odd = std::string("\xff\xfe[x\0y]\r\n", 9) + "[Default Applications]\r\na=b\r\nno end";
  EXPECT_EQ(TKeyFileLines(odd).Text(), odd);
  EXPECT_EQ(TKeyFileLines(odd).Value("Default Applications", "a"), "b");
  EXPECT_EQ(TKeyFileLines("").Text(), "");
}

TEST(KeyFileLines, KeysOutsideAnyGroupBelongToNone) {
  const TKeyFileLines f("text/html=stray.desktop\n[Default Applications]\nimage/png=eog.desktop\n");
  EXPECT_EQ(f.Value("", "text/html"), std::nullopt);
  EXPECT_EQ(f.Keys("Default Applications"), std::vector<std::string>{"image/png"});
}

TEST(KeyFileLines, SetRewritesInPlaceAndDropsRepeats) {
  TKeyFileLines f(
      "[Default Applications]\n"
      "application/x-sorrel-pfl=old.desktop;\n"
      "text/html=firefox.desktop\n"
      "APPLICATION/X-SORREL-PFL=older.desktop;\n"
      "[Default Applications]\n"
      "application/x-sorrel-pfl=oldest.desktop;\n");
  f.Set("Default Applications", "application/x-sorrel-pfl", "sorrel.desktop;");
  EXPECT_EQ(f.Text(),
            "[Default Applications]\n"
            "application/x-sorrel-pfl=sorrel.desktop;\n"
            "text/html=firefox.desktop\n"
            "[Default Applications]\n");
}

TEST(KeyFileLines, SetPlacesANewKeyAfterTheGroupsLastKey) {
  TKeyFileLines f(kUserList);
  f.Set("Default Applications", "application/x-sorrel-pdr", "sorrel.desktop;");
  const std::string expected =
      "# my defaults, kept by hand\n"
      "[Added Associations]\n"
      "text/plain=gvim.desktop;\n"
      "\n"
      "[Default Applications]\n"
      "; not a comment in key files, but not a key either\n"
      "text/html=firefox.desktop\n"
      "  image/png = eog.desktop ; \n"
      "application/x-sorrel-pdr=sorrel.desktop;\n"
      "# trailing comment of the group\n"
      "\n"
      "[Removed Associations]\n"
      "video/mp4=vlc.desktop;\n";
  EXPECT_EQ(f.Text(), expected);
  // Removing it again gives the file back as it was.
  EXPECT_TRUE(f.Remove("Default Applications", "application/x-sorrel-pdr"));
  EXPECT_EQ(f.Text(), kUserList);
  EXPECT_FALSE(f.Remove("Default Applications", "application/x-sorrel-pdr"));
}

TEST(KeyFileLines, SetAddsAMissingGroupAtTheEnd) {
  TKeyFileLines crlfNoEnd("[Added Associations]\r\ntext/plain=gvim.desktop;");
  crlfNoEnd.Set("Default Applications", "a/b", "c.desktop;");
  EXPECT_EQ(
      crlfNoEnd.Text(),
      "[Added Associations]\r\ntext/plain=gvim.desktop;\r\n\r\n[Default Applications]\r\na/b=c.desktop;\r\n");

  TKeyFileLines empty("");
  empty.Set("Default Applications", "a/b", "c.desktop;");
  EXPECT_EQ(empty.Text(), "[Default Applications]\na/b=c.desktop;\n");

  // A header with nothing under it, last in the file without a line end.
  TKeyFileLines bare("# x\n[Default Applications]");
  bare.Set("Default Applications", "a/b", "c.desktop;");
  EXPECT_EQ(bare.Text(), "# x\n[Default Applications]\na/b=c.desktop;\n");
}

TEST(KeyFileLines, SplitList) {
  EXPECT_EQ(SplitList(" a.desktop ;;b.desktop; "), (std::vector<std::string>{"a.desktop", "b.desktop"}));
  EXPECT_TRUE(SplitList(";;").empty());
  EXPECT_TRUE(SplitList("").empty());
}

}  // namespace
}  // namespace sorrel::settings
