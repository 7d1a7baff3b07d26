// The navigator on the real play files and a player: the shuffle with the seed it
// stores, the removal of a song that cannot be played (counts renumbered, a directory
// emptied), seeks reported; and the media keys by their meaning.
#include "app/core/MediaKeys.h"
#include "app/core/PlayOrder.h"
#include "engine/MPOwnerQueue.h"
#include "tests/app/CommandFakes.h"
#include "tests/engine/FakePlayer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using sorrel::engine::TFakeMP3Player;
using sorrel::playlist::PlayFileList;
using Strings = std::vector<std::string>;

namespace {

struct RecordingView : TPlayFileView {
  int changes = 0;
  std::vector<int> selected;
  void RowsChanged() override { ++changes; }
  void SelectRow(int row) override { selected.push_back(row); }
};

// Songs on disk: "d<dir>/<n>.mp3" (empty files; the player is a fake).
class PlayFilesOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [dir, n] : std::vector<std::pair<int, int>>{{0, 3}, {1, 1}, {2, 2}}) {
      std::filesystem::create_directories(dir_.path() + "/d" + std::to_string(dir));
      for (int i = 1; i <= n; ++i) std::ofstream(Song(dir, i));
      entries_.push_back(dir_.path() + "/d" + std::to_string(dir));
    }
    files_.BuildPlayFiles(entries_, false, false);
  }
  std::string Song(int dir, int n) const {
    return dir_.path() + "/d" + std::to_string(dir) + "/" + std::to_string(n) + ".mp3";
  }
  Strings Rows() const {
    Strings v;
    for (int r = 0; r < order_.Count(); ++r) v.push_back(order_.PathOf(r));
    return v;
  }

  TempDir dir_;
  Strings entries_;
  PlayFileList files_;
  sorrel::playlist::TCurrentMusic settings_;
  RecordingView view_;
  TPlayFilesOrder order_{files_, settings_, view_};
};

struct NavHost : FakeNavigationHost {
  using FakeNavigationHost::FakeNavigationHost;
  sorrel::playlist::TCurrentMusic* settings = nullptr;
  void SetShuffleSeed(int32_t seed) override { settings->ShuffleSeed = seed; }
};

}  // namespace

TEST_F(PlayFilesOrder, RowsDirectoriesAndRowsOutsideTheOrder) {
  EXPECT_EQ(order_.Count(), 6);
  EXPECT_EQ(order_.DirectoryOf(3), 1);
  EXPECT_EQ(order_.DirectoryOf(5), 2);
  EXPECT_EQ(order_.PathOf(4), Song(2, 1));
  // Asked outside the order (a stale row), nothing breaks.
  EXPECT_EQ(order_.PathOf(6), "");
  EXPECT_EQ(order_.PathOf(-1), "");
  EXPECT_EQ(order_.DirectoryOf(-7), 0);
  order_.RemoveRow(6);
  EXPECT_EQ(order_.Count(), 6);
  EXPECT_EQ(view_.changes, 0);
}

TEST_F(PlayFilesOrder, ShuffleSwitchUsesTheSeedItStores) {
  std::vector<std::string> log;
  sorrel::base::TFakeClock clock{123456789};
  FakePlayer player;
  player.log = &log;
  FakePlayOrder unused;
  NavHost host(unused, player, &log);
  host.settings = &settings_;
  FakePopUp popUp;
  TErrorLog errorLog(dir_.path() + "/sorrel_Error.log", clock, popUp);
  TNavigator nav(order_, player, host, errorLog, clock);
  // Play the real rows: PlayRow of the fake host takes paths from its own order, so
  // give it the same songs.
  for (int r = 0; r < order_.Count(); ++r) unused.rows.push_back({order_.PathOf(r), order_.DirectoryOf(r)});
  host.musicIndex = 4;
  host.curFile = order_.PathOf(4);
  nav.ToggleShuffle(TShuffleChoice::kKeepSong);
  // The seed is one step of the generator from the tick count, and the order is the
  // generator's permutation of the list order with it.
  const uint32_t ticks = static_cast<uint32_t>(clock.TickCount());
  EXPECT_EQ(static_cast<uint32_t>(settings_.ShuffleSeed), ticks * 134775813u + 1u);
  std::vector<uint32_t> expected{0, 1, 2, 3, 4, 5};
  uint32_t seed = static_cast<uint32_t>(settings_.ShuffleSeed);
  for (uint64_t i = 0; i < 6; ++i) {
    seed = uint32_t(uint64_t(seed) * 0x08088405u + 1u);
    std::swap(expected[i], expected[(uint64_t(seed) * 6) >> 32]);
  }
  EXPECT_EQ(files_.PlayOrder(), expected);
  // The song kept playing: its new row is selected, nothing restarted.
  ASSERT_EQ(view_.selected.size(), 1u);
  EXPECT_EQ(order_.PathOf(view_.selected[0]), Song(2, 1));
  EXPECT_EQ(host.musicIndex, view_.selected[0]);
  EXPECT_TRUE(host.played.empty());
  EXPECT_EQ(view_.changes, 1);

  nav.ToggleShuffle(TShuffleChoice::kKeepSong);
  EXPECT_EQ(Rows(), (Strings{Song(0, 1), Song(0, 2), Song(0, 3), Song(1, 1), Song(2, 1), Song(2, 2)}));
  EXPECT_EQ(host.musicIndex, 4);
}

TEST_F(PlayFilesOrder, SongThatFailsIsLoggedRemovedAndTheNextPlays) {
  std::vector<std::string> log;
  sorrel::base::TFakeClock clock{0};
  FakePlayer player;
  player.log = &log;
  FakePlayOrder mirror;  // what the fake host plays from; kept equal to the real rows
  NavHost host(mirror, player, &log);
  host.settings = &settings_;
  FakePopUp popUp;
  TErrorLog errorLog(dir_.path() + "/sorrel_Error.log", clock, popUp);
  TNavigator nav(order_, player, host, errorLog, clock);
  const auto sync = [&] {
    mirror.rows.clear();
    for (int r = 0; r < order_.Count(); ++r) mirror.rows.push_back({order_.PathOf(r), order_.DirectoryOf(r)});
  };

  // The only song of directory 1 fails: the directory leaves the counts and the one
  // after it takes its number.
  sync();
  host.musicIndex = 3;
  player.status = TPlayerStatus::mpsStopped;
  nav.EndOfSong(TEndReason::merError);
  EXPECT_EQ(Rows(), (Strings{Song(0, 1), Song(0, 2), Song(0, 3), Song(2, 1), Song(2, 2)}));
  EXPECT_EQ(files_.DirFileCounts(), (std::vector<uint32_t>{3, 2}));
  EXPECT_EQ(order_.DirectoryOf(3), 1);
  EXPECT_EQ(files_.AtRow(4).fileNumber, 2u);
  EXPECT_EQ(host.played, std::vector<int>{3});
  EXPECT_EQ(popUp.shown, Strings{" Error\r\n\r\n" + Song(1, 1)});
  const std::string logText = [&] {
    std::ifstream in(dir_.path() + "/sorrel_Error.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  EXPECT_NE(logText.find("  Error  " + Song(1, 1) + "\r\n"), std::string::npos) << logText;

  // The middle song of directory 0: later file numbers of its directory move down.
  sync();
  host.musicIndex = 1;
  nav.EndOfSong(TEndReason::merError);
  EXPECT_EQ(files_.DirFileCounts(), (std::vector<uint32_t>{2, 2}));
  EXPECT_EQ(files_.AtRow(1).path, Song(0, 3));
  EXPECT_EQ(files_.AtRow(1).fileNumber, 2u);
  // Directory jumps still find every directory.
  sync();
  host.musicIndex = 0;
  nav.NextDirectory();
  EXPECT_EQ(host.played.back(), 2);

  // The last row fails: the first row plays.
  sync();
  host.musicIndex = order_.Count() - 1;
  nav.EndOfSong(TEndReason::merError);
  EXPECT_EQ(host.played.back(), 0);
  EXPECT_EQ(order_.Count(), 3);
  EXPECT_GE(view_.changes, 3);
}

TEST(EnginePlayerControl, SeeksAreReportedWithThePositionReached) {
  sorrel::engine::TMPRunLoop loop;
  TFakeMP3Player player(loop);
  player.Songs["/a.mp3"].duration = 10000;
  std::vector<int> seeked;
  TEnginePlayerControl control(player, [&](int ms) { seeked.push_back(ms); });
  player.SetFileName("/a.mp3");
  EXPECT_EQ(control.Status(), TPlayerStatus::mpsPlaying);
  control.Seek(4000);
  control.Seek(25000);  // beyond the end: the last frame
  EXPECT_EQ(seeked, (std::vector<int>{4000, 10000}));
  control.Pause();
  EXPECT_EQ(control.Status(), TPlayerStatus::mpsPaused);
  EXPECT_EQ(control.Duration(), 10000);
}

TEST(MediaKeys, GoByTheirMeaning) {
  EXPECT_EQ(MediaKeyAction(11), TMediaAction::kNextSong);
  EXPECT_EQ(MediaKeyAction(12), TMediaAction::kPreviousSong);
  EXPECT_EQ(MediaKeyAction(13), TMediaAction::kStop);
  EXPECT_EQ(MediaKeyAction(14), TMediaAction::kPlayPause);
  EXPECT_EQ(MediaKeyAction(46), TMediaAction::kPlay);
  EXPECT_EQ(MediaKeyAction(47), TMediaAction::kPause);
  EXPECT_EQ(MediaKeyAction(49), TMediaAction::kForward);
  EXPECT_EQ(MediaKeyAction(50), TMediaAction::kBack);
  // The browser keys take WM_APPCOMMAND's own rule, as the mouse's buttons do.
  EXPECT_EQ(MediaKeyAction(1), TMediaAction::kAppCommandKey);
  EXPECT_EQ(MediaKeyAction(2), TMediaAction::kAppCommandKey);
  for (uint16_t other : {0, 3, 8, 10, 15, 48, 51, 0xFFFF})
    EXPECT_EQ(MediaKeyAction(other), TMediaAction::kNone);

  using enum TPlayRequest;
  const auto r = [](TMediaAction a, TPlayerStatus s) { return PlayRequestFor(a, s); };
  EXPECT_EQ(r(TMediaAction::kPlayPause, TPlayerStatus::mpsPlaying), kTogglePause);
  EXPECT_EQ(r(TMediaAction::kPlayPause, TPlayerStatus::mpsPaused), kTogglePause);
  EXPECT_EQ(r(TMediaAction::kPlayPause, TPlayerStatus::mpsStopped), kPlayCurrent);
  EXPECT_EQ(r(TMediaAction::kPlay, TPlayerStatus::mpsPlaying), kNothing);
  EXPECT_EQ(r(TMediaAction::kPlay, TPlayerStatus::mpsPaused), kTogglePause);
  EXPECT_EQ(r(TMediaAction::kPlay, TPlayerStatus::mpsStopped), kPlayCurrent);
  EXPECT_EQ(r(TMediaAction::kPause, TPlayerStatus::mpsPlaying), kTogglePause);
  EXPECT_EQ(r(TMediaAction::kPause, TPlayerStatus::mpsPaused), kNothing);
  EXPECT_EQ(r(TMediaAction::kPause, TPlayerStatus::mpsStopped), kNothing);
  EXPECT_EQ(r(TMediaAction::kNextSong, TPlayerStatus::mpsPlaying), kNothing);
}
