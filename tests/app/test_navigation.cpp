// Moving through the play order: previous and next, seeks across song boundaries,
// directory jumps in each list mode, shuffle switching, resume and the end of a song.
#include "base/FileIO.h"
#include "tests/app/CommandFakes.h"

#include <gtest/gtest.h>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using Log = std::vector<std::string>;

namespace {

class Navigation : public ::testing::Test {
 protected:
  CommandRig rig;
  TNavigator& nav = rig.navigator;
  // Directory number of the current row.
  int Dir() { return rig.order.DirectoryOf(rig.nav.musicIndex); }
  int Row() { return rig.nav.musicIndex; }
};

}  // namespace

TEST_F(Navigation, PreviousSongRestartsAfterThreeSeconds) {
  rig.order.Set(Directories(1, 5));
  rig.At(3, 2900);
  nav.PreviousSong();
  EXPECT_EQ(rig.log, (Log{"play 2"}));

  rig.At(3, 3100);
  nav.PreviousSong();
  EXPECT_EQ(rig.log, (Log{"seek 0"}));
  EXPECT_EQ(Row(), 3);

  rig.At(3, 3000);  // "below 3001"
  nav.PreviousSong();
  EXPECT_EQ(rig.log, (Log{"play 2"}));
  rig.At(3, 3001);
  nav.PreviousSong();
  EXPECT_EQ(rig.log, (Log{"seek 0"}));
}

TEST_F(Navigation, NextSongWrapsAfterTheLast) {
  rig.order.Set(Directories(1, 3));
  rig.At(1, 500);
  nav.NextSong();
  EXPECT_EQ(rig.log, (Log{"play 2"}));
  nav.NextSong();
  EXPECT_EQ(rig.nav.played, (std::vector<int>{2, 0}));
}

TEST_F(Navigation, IndexOutsideTheOrderStartsAtTheFirstRow) {
  rig.order.Set(Directories(1, 4));
  for (int stored : {-1, 4, 99, INT_MIN, INT_MAX}) {
    rig.nav.musicIndex = stored;
    rig.nav.played.clear();
    nav.PlayCurrent();
    EXPECT_EQ(rig.nav.played, (std::vector<int>{0})) << stored;
  }
  rig.nav.musicIndex = INT_MAX;  // stepping on from it must not overflow
  nav.NextSong();
  EXPECT_EQ(Row(), 0);
  rig.nav.musicIndex = INT_MIN;
  rig.player.position = 0;
  nav.PreviousSong();
  EXPECT_EQ(Row(), 0);
  // Before the first song there is nothing to wrap to: the first song starts again.
  rig.At(0, 1000);
  nav.PreviousSong();
  EXPECT_EQ(rig.log, (Log{"play 0"}));
}

TEST_F(Navigation, BackThreeSecondsInsideTheSong) {
  rig.order.Set(Directories(1, 3));
  rig.At(1, 5000);
  const int64_t start = rig.ElapsedMs();
  nav.Back3s();
  EXPECT_EQ(rig.log, (Log{"seek 2000", "messages"}));
  EXPECT_EQ(rig.ElapsedMs() - start, 19);
}

TEST_F(Navigation, BackThreeSecondsAtOneSecondPlaysThePreviousSongFiveSecondsBeforeItsEnd) {
  auto songs = Directories(1, 4);
  songs[1].lengthMs = 200000;
  rig.order.Set(songs);
  rig.At(2, 1000);
  const int64_t start = rig.ElapsedMs();
  nav.Back3s();
  EXPECT_EQ(rig.log, (Log{"play 1", "seek 195000", "messages", "messages"}));
  EXPECT_EQ(rig.ElapsedMs() - start, 99 + 19);
}

TEST_F(Navigation, BackSeekCrossesSeveralShortSongs) {
  auto songs = Directories(1, 3);
  songs[0].lengthMs = 10000;
  songs[1].lengthMs = 2000;
  rig.order.Set(songs);
  rig.At(2, 1000);
  nav.Back3s();  // target -5000: 2 s of song 1 are not enough
  EXPECT_EQ(rig.nav.played, (std::vector<int>{1, 0}));
  EXPECT_EQ(rig.player.position, 7000);
}

TEST_F(Navigation, BackSeekEndsWhenSongsHaveNoLength) {
  auto songs = Directories(1, 3);
  for (auto& s : songs) s.lengthMs = 0;  // none of them opened
  rig.order.Set(songs);
  rig.At(2, 0);
  nav.BackSeek(-10000);
  EXPECT_EQ(rig.nav.played.size(), 3u);
  EXPECT_EQ(rig.log.back(), "seek 0");
}

TEST_F(Navigation, ForwardThreeSeconds) {
  rig.order.Set(Directories(1, 2));  // 60 s songs
  rig.At(0, 30000);
  int64_t start = rig.ElapsedMs();
  nav.Forward3s();
  EXPECT_EQ(rig.log, (Log{"seek 33000", "messages"}));
  EXPECT_EQ(rig.ElapsedMs() - start, 19);

  rig.At(0, 58000);  // beyond the end: the player ends the song
  start = rig.ElapsedMs();
  nav.Forward3s();
  EXPECT_EQ(rig.log, (Log{"seek 61000", "messages"}));
  EXPECT_EQ(rig.ElapsedMs() - start, 99);

  rig.At(0, 57000);  // exactly the end is not beyond it
  start = rig.ElapsedMs();
  nav.Forward3s();
  EXPECT_EQ(rig.ElapsedMs() - start, 19);
}

TEST_F(Navigation, DirectoryModeJumps) {
  rig.order.Set(Directories(30, 2));  // directory d holds rows 2d and 2d+1

  rig.At(0, 0);
  nav.PreviousDirectory();  // from the first song of directory 0: the last directory
  EXPECT_EQ(Row(), 58);

  rig.At(11, 0);
  nav.PreviousDirectory();  // inside directory 5: its own start
  EXPECT_EQ(Row(), 10);
  nav.PreviousDirectory();  // from its first song: the directory before
  EXPECT_EQ(Row(), 8);

  rig.At(59, 0);
  nav.NextDirectory();  // after the last directory: the first
  EXPECT_EQ(Row(), 0);
  nav.NextDirectory();
  EXPECT_EQ(Row(), 2);

  rig.At(10, 0);
  nav.ForwardDirectories(50);  // 30 directories: beyond the last is directory 0
  EXPECT_EQ(Row(), 0);
  rig.At(10, 0);
  nav.ForwardDirectories(10);
  EXPECT_EQ(Dir(), 15);
  rig.At(51, 0);
  nav.ForwardDirectories(10);  // 25 + 10 is beyond 29
  EXPECT_EQ(Dir(), 0);
  rig.At(41, 0);
  nav.ForwardDirectories(10);  // 20 + 10 = 30 is beyond 29 as well
  EXPECT_EQ(Dir(), 0);
  rig.At(39, 0);
  nav.ForwardDirectories(10);  // 19 + 10 = 29 is the last directory
  EXPECT_EQ(Dir(), 29);
}

TEST_F(Navigation, DirectoryModeBackJumps) {
  rig.order.Set(Directories(30, 2));
  rig.At(31, 0);            // inside directory 15
  nav.BackDirectories(10);  // the row before is in directory 15: 15 - 9
  EXPECT_EQ(Dir(), 6);
  rig.At(30, 0);  // first song of 15: the row before is in 14
  nav.BackDirectories(10);
  EXPECT_EQ(Dir(), 5);
  rig.At(10, 0);  // 4 - 9 < 0 away from the first row: directory 0
  nav.BackDirectories(10);
  EXPECT_EQ(Row(), 0);
  rig.At(0, 0);  // from the first row the row before is the last (29): 29 - 9
  nav.BackDirectories(10);
  EXPECT_EQ(Dir(), 20);
  rig.At(0, 0);  // 29 - 49 = -20 wraps to 10
  nav.BackDirectories(50);
  EXPECT_EQ(Dir(), 10);
}

TEST_F(Navigation, JumpToAMissingDirectoryPlaysTheFirstRow) {
  std::vector<FakeSong> songs = {{"/a/1.mp3", 0}, {"/a/2.mp3", 0}, {"/c/1.mp3", 2}, {"/c/2.mp3", 2}};
  rig.order.Set(songs);
  rig.At(2, 0);
  nav.JumpToDirectory(1);
  EXPECT_EQ(Row(), 0);
  nav.JumpToDirectory(-1);  // three directories by the last row's number: -1 is 2
  EXPECT_EQ(Row(), 2);
  nav.JumpToDirectory(INT_MIN);  // 1 modulo 3, not there either
  EXPECT_EQ(Row(), 0);
}

TEST_F(Navigation, FileListModeStepsByTen) {
  auto songs = Directories(1, 25);
  for (auto& s : songs) s.dir = 0;  // file mode tags are 0
  rig.order.Set(songs);
  rig.nav.listFileMode = true;

  rig.At(3, 0);
  nav.NextDirectory();
  EXPECT_EQ(Row(), 13);
  rig.At(15, 0);
  nav.NextDirectory();  // 25 reaches Count
  EXPECT_EQ(Row(), 0);
  rig.At(14, 0);
  nav.NextDirectory();
  EXPECT_EQ(Row(), 24);

  rig.At(15, 0);
  nav.PreviousDirectory();
  EXPECT_EQ(Row(), 5);
  nav.PreviousDirectory();  // -5 from above 0: the first row
  EXPECT_EQ(Row(), 0);
  nav.PreviousDirectory();
  EXPECT_EQ(Row(), 0);

  rig.At(3, 0);
  nav.ForwardDirectories(50);  // as next directory
  EXPECT_EQ(Row(), 13);
  nav.BackDirectories(50);
  EXPECT_EQ(Row(), 3);
}

TEST_F(Navigation, ShuffledDirectoryStepsAreSongSteps) {
  rig.order.Set(Directories(5, 3));
  rig.nav.shuffle = true;
  rig.At(4, 10000);
  nav.NextDirectory();
  EXPECT_EQ(Row(), 5);
  nav.ForwardDirectories(10);
  EXPECT_EQ(Row(), 6);
  rig.player.position = 10000;
  nav.PreviousDirectory();  // past 3 s: the song restarts
  EXPECT_EQ(Row(), 6);
  EXPECT_EQ(rig.log.back(), "seek 0");
  rig.player.position = 1000;
  nav.BackDirectories(50);
  EXPECT_EQ(Row(), 5);
}

TEST_F(Navigation, PauseToggles) {
  rig.order.Set(Directories(1, 2));
  rig.At(0, 0);
  nav.TogglePause();
  nav.TogglePause();
  rig.player.status = TPlayerStatus::mpsStopped;
  nav.TogglePause();
  EXPECT_EQ(rig.log, (Log{"pause", "resume"}));
}

TEST_F(Navigation, ShuffleOnKeepsTheSongPlaying) {
  rig.order.Set(Directories(4, 3));
  rig.clock.Set(123456 * 1000);
  rig.At(4, 20000);  // "/m/d1/2.mp3"
  nav.ToggleShuffle(TShuffleChoice::kKeepSong);
  // The fake shuffles by reversing: row 4 of 12 is now row 7.
  EXPECT_EQ(rig.log, (Log{"shuffle on", "select 7", "labels", "focus"}));
  EXPECT_EQ(Row(), 7);
  EXPECT_TRUE(rig.nav.shuffle);
  // One step of the generator (seed * 134775813 + 1 mod 2^32) from the tick count.
  EXPECT_EQ(rig.nav.shuffleSeed, static_cast<int32_t>(uint32_t{123456} * 134775813u + 1u));

  rig.log.clear();
  const int32_t seed = rig.nav.shuffleSeed;
  nav.ToggleShuffle(TShuffleChoice::kKeepSong);
  EXPECT_EQ(rig.log, (Log{"shuffle off", "select 4", "labels", "focus"}));
  EXPECT_FALSE(rig.nav.shuffle);
  EXPECT_EQ(rig.nav.shuffleSeed, seed);  // kept for the next restart
}

TEST_F(Navigation, ShuffleChoosesTheRowToPlay) {
  rig.order.Set(Directories(4, 3));
  rig.At(4, 20000);  // directory 1
  nav.ToggleShuffle(TShuffleChoice::kDirectoryStart);
  // Reversed, directory 1 is rows 6..8 with "/m/d1/3.mp3" first.
  EXPECT_EQ(rig.nav.played, (std::vector<int>{6}));
  EXPECT_EQ(rig.nav.curFile, "/m/d1/3.mp3");

  rig.nav.played.clear();
  nav.ToggleShuffle(TShuffleChoice::kFirstRow);
  EXPECT_EQ(rig.nav.played, (std::vector<int>{0}));
  EXPECT_EQ(rig.nav.curFile, "/m/d0/1.mp3");

  // The song is gone from the new order: the first row plays.
  rig.nav.curFile = "/elsewhere.mp3";
  rig.nav.played.clear();
  nav.ToggleShuffle(TShuffleChoice::kKeepSong);
  EXPECT_EQ(rig.nav.played, (std::vector<int>{0}));
}

TEST_F(Navigation, StartUpResumesIntoThePreviousSong) {
  rig.order.Set(Directories(1, 4));  // 60 s songs
  rig.nav.musicIndex = 2;
  rig.nav.curPos = 3000;
  rig.nav.mainLevel = 50;  // 3000 - 5000: 2 s before the end of song 1
  nav.StartAfterStartUp(true);
  EXPECT_EQ(rig.log, (Log{"play 2", "play 1", "seek 58000"}));

  rig.log.clear();
  rig.nav.musicIndex = 2;
  rig.nav.curPos = 9000;
  rig.nav.useTNLink = true;
  nav.StartAfterStartUp(true);
  EXPECT_EQ(rig.log, (Log{"play 2", "seek 4000", "position link"}));

  rig.log.clear();
  rig.nav.useTNLink = false;
  nav.StartAfterStartUp(false);
  EXPECT_EQ(rig.log, (Log{"play 2"}));
}

TEST_F(Navigation, EndOfSong) {
  rig.order.Set(Directories(1, 3));
  rig.At(1, 0);
  nav.EndOfSong(TEndReason::merStop);
  EXPECT_TRUE(rig.log.empty());
  nav.EndOfSong(TEndReason::merEndOfFile);
  EXPECT_EQ(rig.log, (Log{"play 2"}));
}

TEST_F(Navigation, UnplayableSongIsLoggedRemovedAndTheNextPlays) {
  rig.order.Set(Directories(1, 3));
  rig.At(1, 0);
  nav.EndOfSong(TEndReason::merError);
  EXPECT_EQ(rig.log, (Log{"remove 1", "play 1"}));
  EXPECT_EQ(rig.nav.curFile, "/m/d0/3.mp3");
  EXPECT_EQ(rig.popUp.shown, (Log{" Error\r\n\r\n/m/d0/2.mp3"}));
  const auto logged = sorrel::base::ReadRegularFile(rig.errorLog.Path());
  ASSERT_TRUE(logged.ok());
  EXPECT_EQ(logged.data, "26/01/01 12:00:00  Error  /m/d0/2.mp3\r\n");

  // The last row: the order wraps.
  rig.log.clear();
  nav.EndOfSong(TEndReason::merError);
  EXPECT_EQ(rig.log, (Log{"remove 1", "play 0"}));
  // The last song: nothing is left to play.
  rig.log.clear();
  nav.EndOfSong(TEndReason::merError);
  EXPECT_EQ(rig.log, (Log{"remove 0"}));
  EXPECT_EQ(rig.order.Count(), 0);
}

TEST_F(Navigation, EmptyOrderDoesNothing) {
  rig.nav.musicIndex = 3;
  rig.player.status = TPlayerStatus::mpsPlaying;
  rig.player.position = 10000;
  nav.PlayCurrent();
  nav.NextSong();
  nav.PreviousSong();
  nav.BackSeek(-5000);
  nav.Back3s();
  nav.Forward3s();
  nav.JumpToDirectory(2);
  nav.NextDirectory();
  nav.PreviousDirectory();
  nav.ForwardDirectories(10);
  nav.BackDirectories(50);
  nav.TogglePause();
  nav.ToggleShuffle(TShuffleChoice::kKeepSong);
  nav.ToggleShuffle(TShuffleChoice::kDirectoryStart);
  nav.EndOfSong(TEndReason::merEndOfFile);
  nav.EndOfSong(TEndReason::merError);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.nav.musicIndex, 3);
  EXPECT_FALSE(rig.nav.shuffle);
  EXPECT_EQ(rig.ElapsedMs(), 0);
  EXPECT_FALSE(std::filesystem::exists(rig.errorLog.Path()));
}
