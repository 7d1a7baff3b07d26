#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>

#include "playlist/core/ListFile.h"
#include "playlist/core/PlayFiles.h"
#include "tests/playlist/TempTree.h"

namespace sorrel::playlist {
// Readable failure messages.
void PrintTo(const PlayFile& f, std::ostream* os) {
  *os << "{" << f.path << ", dir " << f.directoryNumber << ", file " << f.fileNumber << "}";
}
}  // namespace sorrel::playlist

using namespace sorrel::playlist;
using Entries = std::vector<std::string>;
using Numbers = std::vector<uint32_t>;

namespace {

class PlayFiles : public sorrel::playlist::test::TempTree {
 protected:
  // Path, directory number and file number of every play file, in list order.
  static std::vector<PlayFile> Files(const PlayFileList& list) { return list.PlayFiles(); }
  static Entries PathsByRow(const PlayFileList& list) {
    Entries paths;
    for (size_t row = 0; row < list.Count(); ++row) paths.push_back(list.AtRow(row).path);
    return paths;
  }
};

// The shuffle as the generator is defined, written out on its own: for every position
// i, seed := seed * 134775813 + 1 (mod 2^32), j := high 32 bits of seed * n, exchange
// positions i and j.
Numbers ShuffledByDefinition(Numbers order, uint32_t seed) {
  const uint64_t n = order.size();
  for (uint64_t i = 0; i < n; ++i) {
    seed = uint32_t(uint64_t(seed) * 0x08088405u + 1u);
    const uint64_t j = (uint64_t(seed) * n) >> 32;
    std::swap(order[i], order[j]);
  }
  return order;
}

Numbers Identity(size_t n) {
  Numbers v(n);
  std::iota(v.begin(), v.end(), 0u);
  return v;
}

}  // namespace

TEST_F(PlayFiles, DirectoryModeNumbersDirectoriesThatGiveSongs) {
  for (const char* n : {"D0/b.mp3", "D0/A.mp3", "D0/c.MP3", "D0/notes.txt", "D2/x.mp3", "Empty/readme.txt"})
    Touch(n);
  PlayFileList list;
  list.BuildPlayFiles(Entries{P("D0"), P("Missing"), P("Empty"), P("D2"), P("D0")}, false, false);
  EXPECT_EQ(Files(list), (std::vector<PlayFile>{{P("D0/A.mp3"), 0, 1},
                                                {P("D0/b.mp3"), 0, 2},
                                                {P("D0/c.MP3"), 0, 3},
                                                {P("D2/x.mp3"), 1, 1},
                                                {P("D0/A.mp3"), 2, 1},
                                                {P("D0/b.mp3"), 2, 2},
                                                {P("D0/c.MP3"), 2, 3}}));
  EXPECT_EQ(list.DirFileCounts(), (Numbers{3, 1, 3}));
  EXPECT_EQ(list.PlayOrder(), Identity(7));
  EXPECT_EQ(list.AtRow(3).Tag(), (1u << 16) + 1u);
  EXPECT_EQ(list.AtRow(6).Tag(), (3u << 16) + 2u);
  // An entry ending in "/" joins without a doubled "/".
  list.BuildPlayFiles(Entries{P("D2") + "/"}, false, false);
  EXPECT_EQ(list.AtRow(0).path, P("D2/x.mp3"));
}

TEST_F(PlayFiles, UpperCaseSongIsDroppedFromAFileListButPlaysFromItsDirectory) {
  const std::string song = Touch("home/Album/song.MP3");
  const std::string home = P("home");
  const ListFileRead fileList = ReadListFile(Touch("l.pfl", song + "\r\n"), true, home);
  EXPECT_TRUE(fileList.entries.empty());
  const ListFileRead dirList = ReadListFile(Touch("l.pdr", P("home/Album\r\n")), false, home);
  PlayFileList list;
  list.BuildPlayFiles(dirList.entries, false, false);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.AtRow(0).path, song);
}

TEST_F(PlayFiles, FileModeKeepsExistingFilesWithTagZero) {
  const std::string a = Touch("a.mp3"), b = Touch("sub/b.mp3");
  MkDir("dir.mp3");
  PlayFileList list;
  list.BuildPlayFiles(Entries{P("D0"), a, P("gone.mp3"), P("dir.mp3"), b, a}, true, false);
  EXPECT_EQ(PathsByRow(list), (Entries{a, b, a}));
  for (const PlayFile& f : list.PlayFiles()) EXPECT_EQ(f.Tag(), 0u);
  EXPECT_TRUE(list.DirFileCounts().empty());
}

TEST_F(PlayFiles, LyricFilterLetsOnlySongsWithALyricFileThrough) {
  for (const char* n : {"D0/A.mp3", "D0/A.lrc", "D0/b.mp3", "D0/b.txt", "D0/c.MP3", "D0/c.mp3.lrc",
                        "D1/d.mp3", "D1/e.mp3", "D2/x.mp3", "D2/x.lrc"})
    Touch(n);
  MkDir("D1/d.lrc");  // a directory is no lyric file
  Touch("D1/e.LRC");  // another name on a file system that tells case apart
  PlayFileList list;
  const Entries dirs{P("D0"), P("D1"), P("D2")};
  list.BuildPlayFiles(dirs, false, true);
  // D1 gives nothing, so it takes no number: D2 is directory 1.
  EXPECT_EQ(Files(list),
            (std::vector<PlayFile>{{P("D0/A.mp3"), 0, 1}, {P("D0/b.mp3"), 0, 2}, {P("D2/x.mp3"), 1, 1}}));
  EXPECT_EQ(list.DirFileCounts(), (Numbers{2, 1}));
  list.BuildPlayFiles(dirs, false, false);
  EXPECT_EQ(list.Count(), 6u);
  EXPECT_EQ(list.DirFileCounts(), (Numbers{3, 2, 1}));
  // A link to a lyric file counts.
  Touch("D1/f.mp3");
  ASSERT_EQ(symlink("../D2/x.lrc", P("D1/f.txt").c_str()), 0);
  list.BuildPlayFiles(dirs, false, true);
  EXPECT_EQ(Files(list),
            (std::vector<PlayFile>{
                {P("D0/A.mp3"), 0, 1}, {P("D0/b.mp3"), 0, 2}, {P("D1/f.mp3"), 1, 1}, {P("D2/x.mp3"), 2, 1}}));
  list.BuildPlayFiles(Entries{P("D0/c.MP3"), P("D2/x.mp3"), P("D1/d.mp3")}, true, true);
  EXPECT_EQ(PathsByRow(list), (Entries{P("D2/x.mp3")}));
  // Nothing passes: empty, with no directory counts left over.
  Touch("D3/g.mp3");
  list.BuildPlayFiles(Entries{P("D3")}, false, true);
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(list.DirFileCounts().empty());
}

TEST_F(PlayFiles, DirectoriesThatCannotBeReadOrLoopAreSkipped) {
  Touch("Locked/a.mp3");
  Touch("Vanished/v.mp3");
  Touch("Open/o.mp3");
  ASSERT_EQ(symlink("Loop", P("Loop").c_str()), 0);
  ASSERT_EQ(symlink("l.mp3", P("Open/l.mp3").c_str()), 0);  // a looping song
  ASSERT_EQ(chmod(P("Locked").c_str(), 0), 0);
  const Entries dirs{P("Locked"), P("Vanished"), P("Loop"), P("Open")};
  std::filesystem::remove_all(P("Vanished"));
  EXPECT_TRUE(sorrel::playlist::test::WithoutPrivileges([&] {
    PlayFileList list;
    list.BuildPlayFiles(dirs, false, false);
    return list.PlayFiles() == std::vector<PlayFile>{{P("Open/o.mp3"), 0, 1}} &&
           list.DirFileCounts() == Numbers{1};
  }));
}

TEST_F(PlayFiles, ShuffleFollowsTheGeneratorAndPermutesTheCurrentOrder) {
  Entries songs;
  for (int i = 0; i < 10; ++i) songs.push_back(Touch("s" + std::to_string(i) + ".mp3"));
  PlayFileList list;
  list.BuildPlayFiles(songs, true, false);
  // Five positions from seed 9999, worked out by hand from the definition.
  {
    PlayFileList five;
    five.BuildPlayFiles(Entries(songs.begin(), songs.begin() + 5), true, false);
    five.ShufflePlayOrder(true, 9999);
    EXPECT_EQ(five.PlayOrder(), (Numbers{3, 2, 0, 1, 4}));
  }
  const Numbers once = ShuffledByDefinition(Identity(10), 9999);
  list.ShufflePlayOrder(true, 9999);
  EXPECT_EQ(list.PlayOrder(), once);
  for (size_t row = 0; row < 10; ++row) EXPECT_EQ(list.AtRow(row).path, songs[once[row]]);
  // Again: the shuffled order is shuffled further, not rebuilt.
  list.ShufflePlayOrder(true, 9999);
  EXPECT_EQ(list.PlayOrder(), ShuffledByDefinition(once, 9999));
  EXPECT_NE(list.PlayOrder(), once);
  // Unshuffled: list order again; and a fresh build with the same seed gives the same
  // order, which is how a shuffled order survives a restart.
  list.ShufflePlayOrder(false, 9999);
  EXPECT_EQ(list.PlayOrder(), Identity(10));
  PlayFileList restarted;
  restarted.BuildPlayFiles(songs, true, false);
  restarted.ShufflePlayOrder(true, 9999);
  EXPECT_EQ(restarted.PlayOrder(), once);
  // Seeds the whole 32-bit range, and a count that makes the draws cover it.
  Entries many;
  for (int i = 0; i < 1000; ++i) many.push_back(songs[size_t(i % 10)]);
  restarted.BuildPlayFiles(many, true, false);
  restarted.ShufflePlayOrder(true, 0xFFFFFFFFu);
  EXPECT_EQ(restarted.PlayOrder(), ShuffledByDefinition(Identity(1000), 0xFFFFFFFFu));
}

TEST_F(PlayFiles, ShuffleOfOneSongOrNone) {
  PlayFileList list;
  list.ShufflePlayOrder(true, 9999);
  EXPECT_TRUE(list.Empty());
  list.BuildPlayFiles(Entries{Touch("only.mp3")}, true, false);
  list.ShufflePlayOrder(true, 9999);
  EXPECT_EQ(list.PlayOrder(), (Numbers{0}));
}

TEST_F(PlayFiles, RemovingASongRenumbersItsDirectory) {
  for (const char* n : {"D0/a.mp3", "D0/b.mp3", "D0/c.mp3", "D1/d.mp3", "D2/e.mp3", "D2/f.mp3"}) Touch(n);
  const Entries dirs{P("D0"), P("D1"), P("D2")};
  PlayFileList list;
  list.BuildPlayFiles(dirs, false, false);
  const std::optional<PlayFile> b = list.RemoveSong(1);
  ASSERT_TRUE(b);
  EXPECT_EQ(*b, (PlayFile{P("D0/b.mp3"), 0, 2}));
  EXPECT_EQ(Files(list), (std::vector<PlayFile>{{P("D0/a.mp3"), 0, 1},
                                                {P("D0/c.mp3"), 0, 2},
                                                {P("D1/d.mp3"), 1, 1},
                                                {P("D2/e.mp3"), 2, 1},
                                                {P("D2/f.mp3"), 2, 2}}));
  EXPECT_EQ(list.DirFileCounts(), (Numbers{2, 1, 2}));
  EXPECT_EQ(list.PlayOrder(), Identity(5));
  // The last song of D1: the directory goes, D2 becomes directory 1.
  EXPECT_EQ(list.RemoveSong(2)->path, P("D1/d.mp3"));
  EXPECT_EQ(Files(list),
            (std::vector<PlayFile>{
                {P("D0/a.mp3"), 0, 1}, {P("D0/c.mp3"), 0, 2}, {P("D2/e.mp3"), 1, 1}, {P("D2/f.mp3"), 1, 2}}));
  EXPECT_EQ(list.DirFileCounts(), (Numbers{2, 2}));
  EXPECT_FALSE(list.RemoveSong(4));
  EXPECT_EQ(list.Count(), 4u);
  for (size_t i = 0; i < 4; ++i) ASSERT_TRUE(list.RemoveSong(0));
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(list.DirFileCounts().empty());
  EXPECT_FALSE(list.RemoveSong(0));
}

TEST_F(PlayFiles, RemovalFromAShuffledOrderMatchesARebuildWithoutTheSong) {
  // Removing a song must leave the numbers a fresh build without that file would give,
  // and the other songs in the order they had.
  Entries dirs;
  for (int d = 0; d < 6; ++d) {
    dirs.push_back(MkDir("D" + std::to_string(d)));
    for (int f = 0; f < 1 + d % 3; ++f) Touch("D" + std::to_string(d) + "/s" + std::to_string(f) + ".mp3");
  }
  PlayFileList list;
  list.BuildPlayFiles(dirs, false, false);
  list.ShufflePlayOrder(true, 4242);
  while (!list.Empty()) {
    const size_t row = (list.Count() * 7 + 3) % list.Count();
    Entries expectedRows = PathsByRow(list);
    expectedRows.erase(expectedRows.begin() + std::ptrdiff_t(row));
    const std::optional<PlayFile> gone = list.RemoveSong(row);
    ASSERT_TRUE(gone);
    ASSERT_TRUE(std::filesystem::remove(gone->path));
    EXPECT_EQ(PathsByRow(list), expectedRows);
    PlayFileList rebuilt;
    rebuilt.BuildPlayFiles(dirs, false, false);
    ASSERT_EQ(Files(list), Files(rebuilt)) << "after removing " << gone->path;
    ASSERT_EQ(list.DirFileCounts(), rebuilt.DirFileCounts());
  }
}

TEST_F(PlayFiles, RemovalInFileModeKeepsTagsAtZero) {
  const std::string a = Touch("a.mp3"), b = Touch("b.mp3"), c = Touch("c.mp3");
  PlayFileList list;
  list.BuildPlayFiles(Entries{a, b, c}, true, false);
  list.ShufflePlayOrder(true, 1);
  const Entries before = PathsByRow(list);
  EXPECT_EQ(list.RemoveSong(1)->path, before[1]);
  EXPECT_EQ(PathsByRow(list), (Entries{before[0], before[2]}));
  for (const PlayFile& f : list.PlayFiles()) EXPECT_EQ(f.Tag(), 0u);
  EXPECT_TRUE(list.DirFileCounts().empty());
}
