#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "base/FileIO.h"
#include "playlist/core/ListFile.h"
#include "tests/playlist/TempTree.h"

using namespace sorrel::playlist;
using sorrel::base::TReadStatus;
using Entries = std::vector<std::string>;

namespace {

// "日本" in CP932 and in UTF-8.
const std::string kSjis = "\x93\xfa\x96\x7b";
const std::string kUtf8 = "\xe6\x97\xa5\xe6\x9c\xac";

class ListFile : public sorrel::playlist::test::TempTree {
 protected:
  void SetUp() override {
    TempTree::SetUp();
    home_ = MkDir("home");
    a1_ = Touch("home/Music/Album1/01.mp3");
    a2_ = Touch("home/Music/Album1/02.mp3");
    upper_ = Touch("home/Music/Upper/song.MP3");
    Touch("home/Music/Empty/note.txt");
    MkDir("home/Music/dir.mp3");
  }

  std::string WriteRaw(const std::string& name, const std::string& bytes) { return Touch(name, bytes); }
  ListFileRead Read(const std::string& bytes, bool fileMode) {
    return ReadListFile(WriteRaw("list", bytes), fileMode, home_);
  }

  std::string home_, a1_, a2_, upper_;
};

}  // namespace

TEST_F(ListFile, FileModeKeepsExistingLowerCaseMp3Files) {
  const std::string text = a1_ + "\r\n" +     //
                           upper_ + "\r\n" +  // ".MP3": dropped
                           P("home/Music/none.mp3\r\n") + "#EXTM3U\r\n\r\n" +
                           P("home/Music/Album1\r\n") +                  // a directory
                           P("home/Music/dir.mp3\r\n") +                 // a directory named like a song
                           a1_ + "/\r\n" +                               // not a file name
                           " " + a2_ + "\r\n" +                          // lines are not trimmed
                           a2_ + " \r\n" + a2_ + "\r\n" + a1_ + "\r\n";  // duplicates stay
  const ListFileRead r = Read(text, true);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.entries, (Entries{a1_, a2_, a1_}));
  EXPECT_EQ(r.lines, 12u);
}

TEST_F(ListFile, DirectoryModeKeepsDirectoriesWithMp3Files) {
  const std::string text = P("home/Music/Album1\r\n") +  //
                           P("home/Music/Upper/\r\n") +  // song.MP3 matches the mask
                           P("home/Music/Empty\r\n") +   // no MP3 file
                           P("home/Music/None\r\n") + a1_ + "\r\n" + P("home/Music/dir.mp3\r\n");
  const ListFileRead r = Read(text, false);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.entries, (Entries{P("home/Music/Album1"), P("home/Music/Upper")}));
}

TEST_F(ListFile, RelativeLinesResolveAgainstTheHomeDirectoryNotTheCurrentOne) {
  // The current directory holds a song of the same relative name that home does not.
  const std::string elsewhere = MkDir("elsewhere");
  Touch("elsewhere/Music/Album1/03.mp3");
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(elsewhere.c_str()), 0);
  const ListFileRead files =
      Read("Music/Album1/01.mp3\nMusic/Album1/03.mp3\n./Music/../Music/Album1/02.mp3\n", true);
  const ListFileRead dirs = Read("Music/Album1\nMusic/Upper/\n", false);
  char after[4096];
  ASSERT_NE(getcwd(after, sizeof after), nullptr);
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(files.entries, (Entries{a1_, a2_}));
  EXPECT_EQ(dirs.entries, (Entries{P("home/Music/Album1"), P("home/Music/Upper")}));
  EXPECT_EQ(std::string(after), elsewhere) << "reading changed the current directory";
}

TEST_F(ListFile, LinesEndAtCrLfLfOrCrWhereverTheReadsSplitThem) {
  const std::string text = "\xEF\xBB\xBF" + a1_ + "\r\n" + a2_ + "\n" + a1_ + "\r" + a2_ + "\r\r\n\n" + a1_;
  const Entries expected{a1_, a2_, a1_, a2_, a1_};
  EXPECT_EQ(ParseListText(text, true, home_), expected);
  // Every split of the text into two pieces, a CR LF cut in half included.
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    ListFileParser parser(true, home_);
    parser.Feed(std::string_view(text).substr(0, cut));
    parser.Feed(std::string_view(text).substr(cut));
    parser.Finish();
    EXPECT_EQ(parser.Entries(), expected) << "cut at " << cut;
    EXPECT_EQ(parser.LineCount(), 7u) << "cut at " << cut;
  }
  // Byte by byte.
  ListFileParser bytewise(true, home_);
  for (char c : text) bytewise.Feed(std::string_view(&c, 1));
  bytewise.Finish();
  EXPECT_EQ(bytewise.Entries(), expected);
}

TEST_F(ListFile, EachLineIsUtf8OrCp932AndKeepsTheFileSystemsBytes) {
  const std::string utf8Name = Touch("home/J/" + kUtf8 + ".mp3");     // copied from Windows
  const std::string rawSjisName = Touch("home/R/" + kSjis + ".mp3");  // legacy bytes on disk
  const std::string latin1Name = Touch("home/L/caf\xe9.mp3");         // not CP932 either
  const std::string text = P("home/J/") + kSjis + ".mp3\r\n" +        // CP932 line: converted
                           P("home/J/") + kUtf8 + ".mp3\r\n" +        // UTF-8 line: itself
                           P("home/R/") + kSjis + ".mp3\r\n" +        // converted name absent: raw bytes
                           P("home/L/caf\xe9.mp3\r\n") +              // undecodable: raw bytes
                           P("home/L/") + kSjis + ".mp3\r\n" +        // neither exists
                           "\x80" + kSjis + "\r\n" +                  // junk does not spoil the next line
                           P("home/J/") + kSjis + ".mp3\r\n";
  const ListFileRead r = Read(text, true);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.entries, (Entries{utf8Name, utf8Name, rawSjisName, latin1Name, utf8Name}));
  // Such names survive a write and a read.
  ASSERT_TRUE(WriteListFile(P("out.pfl"), r.entries));
  EXPECT_EQ(ReadListFile(P("out.pfl"), true, home_).entries, r.entries);
}

TEST_F(ListFile, JunkNulBytesAndHugeLinesAreDroppedWithoutHarm) {
  // A NUL byte must not cut a line down to a valid path.
  std::string text = a1_ + std::string("\0/x.mp3", 7) + "\n" + P("home/Music/Album1") +
                     std::string("\0x", 2) + "\n" + std::string(1, '\0') + "\n";
  // A line of 1 MiB, then a good one; and a huge line that would be good if it were cut.
  text += std::string(1 << 20, 'x') + "\n" + a2_ + "\n";
  text += std::string(1 << 20, '/') + a1_ + "\n";
  // Binary junk.
  std::mt19937 rng(12345);
  for (int i = 0; i < 200000; ++i) text += char(rng());
  text += "\n" + a1_ + "\n";
  const ListFileRead r = Read(text, true);
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_GE(r.entries.size(), 2u);
  EXPECT_EQ(r.entries.front(), a2_);
  EXPECT_EQ(r.entries.back(), a1_);
  for (const std::string& e : r.entries) EXPECT_TRUE(e == a1_ || e == a2_) << e;
  // Whole, not streamed in pieces: the same.
  EXPECT_EQ(ParseListText(text, true, home_), r.entries);
  // The same in directory mode.
  const ListFileRead d = Read(text, false);
  ASSERT_TRUE(d.ok());
  EXPECT_TRUE(d.entries.empty());
}

TEST_F(ListFile, SymbolicLinkLoopsAreDropped) {
  ASSERT_EQ(symlink("loop", P("home/loop").c_str()), 0);
  ASSERT_EQ(symlink("self.mp3", P("home/self.mp3").c_str()), 0);
  MkDir("home/Loops");
  ASSERT_EQ(symlink("x.mp3", P("home/Loops/x.mp3").c_str()), 0);
  ASSERT_EQ(symlink("Album1", P("home/Music/Linked").c_str()), 0);
  EXPECT_EQ(Read("loop\nLoops\nMusic/Linked\n", false).entries, (Entries{P("home/Music/Linked")}));
  EXPECT_EQ(Read("self.mp3\nLoops/x.mp3\nMusic/Linked/01.mp3\n", true).entries,
            (Entries{P("home/Music/Linked/01.mp3")}));
}

TEST_F(ListFile, RefusesWhatIsNotARegularFileAndSaysWhy) {
  ASSERT_EQ(mkfifo(P("list.pfl").c_str(), 0600), 0);
  // A FIFO without a writer: reading it would block for ever.
  ListFileRead r = ReadListFile(P("list.pfl"), true, home_);
  EXPECT_EQ(r.status, TReadStatus::kNotRegular);
  EXPECT_NE(r.error.find(P("list.pfl")), std::string::npos);
  EXPECT_TRUE(r.entries.empty());
  EXPECT_EQ(ReadListFile(home_, true, home_).status, TReadStatus::kNotRegular);
  EXPECT_EQ(ReadListFile("/dev/zero", true, home_).status, TReadStatus::kNotRegular);
  r = ReadListFile(P("missing.pfl"), true, home_);
  EXPECT_EQ(r.status, TReadStatus::kMissing);
  EXPECT_TRUE(r.entries.empty());
}

TEST_F(ListFile, RefusesAListOverTheCap) {
  const std::string exact = a1_ + "\r\n";
  const std::string path = WriteRaw("small.pfl", exact);
  EXPECT_TRUE(ReadListFile(path, true, home_, exact.size()).ok());
  const ListFileRead over = ReadListFile(path, true, home_, exact.size() - 1);
  EXPECT_EQ(over.status, TReadStatus::kTooLarge);
  EXPECT_TRUE(over.entries.empty());
  // The real cap, on a sparse file: refused at once, not read.
  const std::string big = P("big.pfl");
  const int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, off_t(sorrel::base::kMaxTextFileBytes + 1)), 0);
  close(fd);
  const ListFileRead capped = ReadListFile(big, true, home_);
  EXPECT_EQ(capped.status, TReadStatus::kTooLarge);
  EXPECT_NE(capped.error.find("64 MiB"), std::string::npos) << capped.error;
}

TEST_F(ListFile, UnreadableListIsAnErrorWithAReason) {
  const std::string path = WriteRaw("locked.pfl", a1_ + "\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_TRUE(sorrel::playlist::test::WithoutPrivileges([&] {
    const ListFileRead r = ReadListFile(path, true, home_);
    return r.status == TReadStatus::kError && r.entries.empty() && r.error.find(path) != std::string::npos;
  }));
}

TEST_F(ListFile, WritesEachEntryWithCrLfAndLeavesOutWhatCannotBeALine) {
  const Entries entries{a1_,        P("home/") + kUtf8 + ".mp3", "", "a\nb.mp3",
                        "c\rd.mp3", std::string("e\0f", 3),      a2_};
  ASSERT_TRUE(WriteListFile(P("out.pfl"), entries));
  EXPECT_EQ(Slurp(P("out.pfl")), a1_ + "\r\n" + P("home/") + kUtf8 + ".mp3\r\n" + a2_ + "\r\n");
  ASSERT_TRUE(WriteListFile(P("empty.pdr"), Entries{}));
  EXPECT_EQ(Slurp(P("empty.pdr")), "");
  // What is written reads back the same, in both modes.
  const Entries dirs{P("home/Music/Upper"), P("home/Music/Album1"), P("home/Music/Upper")};
  ASSERT_TRUE(WriteListFile(DefaultListPath(home_, false), dirs));
  EXPECT_EQ(ReadListFile(P("home/Default.tdr"), false, home_).entries, dirs);
  ASSERT_TRUE(WriteListFile(DefaultListPath(home_, true), Entries{a2_, a1_}));
  EXPECT_EQ(ReadListFile(P("home/Default.tfl"), true, home_).entries, (Entries{a2_, a1_}));
}

TEST_F(ListFile, AFailedWriteLeavesTheOldList) {
  const std::string path = WriteRaw("keep.pfl", a1_ + "\r\n");
  // The temporary file cannot be made: its name is taken by a directory.
  std::filesystem::create_directory(sorrel::base::TempFileName(path));
  std::string error;
  EXPECT_FALSE(WriteListFile(path, Entries{a2_}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Slurp(path), a1_ + "\r\n");
  // A directory that does not exist.
  EXPECT_FALSE(WriteListFile(P("no/such/dir/x.pfl"), Entries{a2_}, &error));
}

TEST(ListFileNames, ModeFromTheExtensionAndTheDefaultLists) {
  EXPECT_EQ(ListFileModeOf("/a/b.pfl"), true);
  EXPECT_EQ(ListFileModeOf("/a/b.M3U"), true);
  EXPECT_EQ(ListFileModeOf("/a/b.PdR"), false);
  EXPECT_EQ(ListFileModeOf("/a/b.txt"), std::nullopt);
  EXPECT_EQ(ListFileModeOf("/a.pfl/b"), std::nullopt);
  EXPECT_EQ(ListFileModeOf("pfl"), std::nullopt);
  EXPECT_EQ(ListFileModeOf("/a/b.pfl.bak"), std::nullopt);
  EXPECT_EQ(DefaultListPath("/h", true), "/h/Default.tfl");
  EXPECT_EQ(DefaultListPath("/h/", false), "/h/Default.tdr");
}
