#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "playlist/core/Mp3Directory.h"
#include "playlist/core/Paths.h"
#include "tests/playlist/TempTree.h"

using namespace sorrel::playlist;
using sorrel::playlist::test::TempTree;
using sorrel::playlist::test::WithoutPrivileges;
using Names = std::vector<std::string>;

TEST(ShortenPath, ParentNamesInFrontOfTheLastName) {
  const std::string song = "/Music/Artist/Album/song.mp3";
  EXPECT_EQ(ShortenPath(song, 0), "song.mp3");
  EXPECT_EQ(ShortenPath(song, 2), "Artist/Album/song.mp3");
  EXPECT_EQ(ShortenPath(song, 3), "Music/Artist/Album/song.mp3");
  // Reaching the root shows the path whole.
  EXPECT_EQ(ShortenPath(song, 4), song);
  EXPECT_EQ(ShortenPath(song, 1000000), song);
  EXPECT_EQ(ShortenPath("/a.mp3", 3), "/a.mp3");
  EXPECT_EQ(ShortenPath("/a.mp3", 0), "a.mp3");
  EXPECT_EQ(ShortenPath(song, -1), "song.mp3");
  // Directory entries: a trailing "/" is not a name; the root stays itself.
  EXPECT_EQ(ShortenPath("/Music/Artist/", 1), "Music/Artist");
  EXPECT_EQ(ShortenPath("/Music", 2), "/Music");
  EXPECT_EQ(ShortenPath("/", 2), "/");
  // A relative path runs out of names without a root.
  EXPECT_EQ(ShortenPath("Album/song.mp3", 5), "Album/song.mp3");
  EXPECT_EQ(ShortenPath("", 3), "");
}

TEST(AbsolutePath, ExpandsLexicallyAgainstTheBase) {
  EXPECT_EQ(AbsolutePath("Music/a.mp3", "/home/u/.config/sorrel"), "/home/u/.config/sorrel/Music/a.mp3");
  EXPECT_EQ(AbsolutePath("/abs/a.mp3", "/base"), "/abs/a.mp3");
  EXPECT_EQ(AbsolutePath("../x/./y//a.mp3", "/base/dir"), "/base/x/y/a.mp3");
  EXPECT_EQ(AbsolutePath("/../../a.mp3", "/base"), "/a.mp3");
  EXPECT_EQ(AbsolutePath("//srv///music", "/base"), "/srv/music");
  EXPECT_EQ(AbsolutePath("..", "/"), "/");
  // A trailing "/" stays: "a.mp3/" does not name a file.
  EXPECT_EQ(AbsolutePath("a.mp3/", "/b"), "/b/a.mp3/");
  EXPECT_EQ(AbsolutePath("a.mp3/.", "/b"), "/b/a.mp3");
}

TEST(ChangeFileExt, ReplacesTheLastNamesExtensionOnly) {
  EXPECT_EQ(ChangeFileExt("/d/song.MP3", ".lrc"), "/d/song.lrc");
  EXPECT_EQ(ChangeFileExt("/d/a.b.mp3", ".txt"), "/d/a.b.txt");
  EXPECT_EQ(ChangeFileExt("/d.x/song", ".lrc"), "/d.x/song.lrc");
  EXPECT_EQ(ChangeFileExt("/d/.mp3", ".lrc"), "/d/.lrc");
}

TEST(JoinPath, OneSlashBetween) {
  EXPECT_EQ(JoinPath("/", "a.mp3"), "/a.mp3");
  EXPECT_EQ(JoinPath("/d", "a.mp3"), "/d/a.mp3");
  EXPECT_EQ(JoinPath("/d/", "a.mp3"), "/d/a.mp3");
}

TEST(Mp3Mask, MatchesTheExtensionInAnyCase) {
  for (const char* yes : {"a.mp3", "B.Mp3", "C.MP3", ".mp3", ".hidden.mP3", "x y.mp3"})
    EXPECT_TRUE(MatchesMp3Mask(yes)) << yes;
  for (const char* no : {"a.mp3x", "a.mp", "mp3", "a_mp3", "a.mp3 ", "", "a.mp4"})
    EXPECT_FALSE(MatchesMp3Mask(no)) << no;
}

using Mp3Directory = TempTree;

TEST_F(Mp3Directory, ListsMatchingRegularFilesSortedWithoutRegardToCase) {
  for (const char* name :
       {"b.Mp3", "a.mp3", "Z.mp3", "A.mp3", ".hidden.mp3", "_x.mp3", "c.MP3", "note.txt", "x.mp3x"})
    Touch(std::string("d/") + name);
  MkDir("d/folder.mp3");
  ASSERT_EQ(symlink("a.mp3", P("d/link.mp3").c_str()), 0);
  ASSERT_EQ(symlink("nowhere.mp3", P("d/dangling.mp3").c_str()), 0);
  ASSERT_EQ(symlink("loop.mp3", P("d/loop.mp3").c_str()), 0);
  ASSERT_EQ(mkfifo(P("d/fifo.mp3").c_str(), 0600), 0);
  // Letters folded to lower case, so "." and "_" sort before them and "Z" after "c"; "A.mp3"
  // and "a.mp3", equal that way, by their bytes.
  EXPECT_EQ(ListMp3Files(P("d")),
            (Names{".hidden.mp3", "_x.mp3", "A.mp3", "a.mp3", "b.Mp3", "c.MP3", "link.mp3", "Z.mp3"}));
  EXPECT_TRUE(HasMp3File(P("d")));
}

TEST_F(Mp3Directory, NothingFromWhatCannotBeListed) {
  Touch("text/note.txt");
  Touch("file.mp3");
  ASSERT_EQ(symlink("looping", P("looping").c_str()), 0);
  ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
  for (const char* rel : {"text", "missing", "file.mp3", "looping", "fifo"}) {
    EXPECT_TRUE(ListMp3Files(P(rel)).empty()) << rel;
    EXPECT_FALSE(HasMp3File(P(rel))) << rel;
  }
  // A directory that goes away.
  Touch("gone/a.mp3");
  ASSERT_TRUE(HasMp3File(P("gone")));
  std::filesystem::remove_all(P("gone"));
  EXPECT_TRUE(ListMp3Files(P("gone")).empty());
}

TEST_F(Mp3Directory, UnreadableDirectoryGivesNothing) {
  Touch("locked/a.mp3");
  Touch("blind/a.mp3");
  ASSERT_EQ(chmod(P("locked").c_str(), 0), 0);
  ASSERT_EQ(chmod(P("blind").c_str(), 0311), 0);  // may be entered, not read
  Touch("open/a.mp3");
  EXPECT_TRUE(WithoutPrivileges([&] {
    return ListMp3Files(P("locked")).empty() && !HasMp3File(P("blind")) && ListMp3Files(P("blind")).empty() &&
           ListMp3Files(P("open")) == Names{"a.mp3"};
  }));
}
