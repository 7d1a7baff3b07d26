// The dispatcher: the busy flag, the low 7 bits, numbers without an action, the display
// modes and where each command group goes.
#include "app/core/Commands.h"
#include "tests/app/CommandFakes.h"

#include <gtest/gtest.h>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using Log = std::vector<std::string>;

namespace {

class Dispatcher : public ::testing::Test {
 protected:
  Dispatcher() {
    rig.order.Set(Directories(3, 4));
    rig.At(5, 10000);
  }
  CommandRig rig;
  TCommandDispatcher& d = rig.dispatcher;
};

}  // namespace

TEST_F(Dispatcher, CommandArrivingWhileAnotherRunsIsDropped) {
  bool inner = true;
  rig.commandHost.reenter = [&] {
    rig.commandHost.reenter = nullptr;
    inner = d.Run(9);
  };
  EXPECT_TRUE(d.Run(4));
  EXPECT_FALSE(inner);
  EXPECT_EQ(rig.log, (Log{"close"}));
  EXPECT_FALSE(d.Busy());
  EXPECT_TRUE(d.Run(9));  // free again afterwards
  EXPECT_EQ(rig.log.back(), "play 6");
}

TEST_F(Dispatcher, OnlyTheLowSevenBitsCount) {
  d.Run(128 + 4);
  d.Run(256 + 128 + 9);
  d.Run(-128 + 2);  // the same bits
  EXPECT_EQ(rig.log, (Log{"close", "play 6", "park"}));
}

TEST_F(Dispatcher, NumbersWithoutActionDoNothing) {
  for (int n : {0, 1, 76, 99, 127, 128, 129, 128 + 76, 255}) {
    EXPECT_TRUE(d.Run(n, 3)) << n;
  }
  EXPECT_TRUE(rig.log.empty());
  EXPECT_TRUE(rig.popUp.shown.empty());
  EXPECT_TRUE(rig.presetHost.resized.empty());
  EXPECT_EQ(rig.nav.musicIndex, 5);
}

TEST_F(Dispatcher, EveryCommandReachesItsAction) {
  const std::vector<std::pair<int, std::string>> expected = {
      {2, "park"},      {3, "cursor outside"}, {5, "pause"},      {19, "song info"},
      {20, "lyrics"},   {36, "alarm"},         {37, "new point"}, {38, "power"},
      {39, "navin 39"}, {40, "navin 40"},      {68, "navin 68"},  {69, "map E"},
      {70, "map F"},    {75, "map K"},         {8, "seek 0"},     {9, "play 6"},
  };
  for (const auto& [command, action] : expected) {
    rig.log.clear();
    d.Run(command);
    ASSERT_FALSE(rig.log.empty()) << command;
    EXPECT_EQ(rig.log.front(), action) << command;
  }
}

TEST_F(Dispatcher, NavigationCommands) {
  // Directory mode, 3 directories of 4 songs; row 5 is directory 1.
  auto run = [&](int command, int startRow) {
    rig.At(startRow, 10000);
    d.Run(command);
    return rig.nav.musicIndex;
  };
  EXPECT_EQ(run(10, 5), 4);  // previous directory: the start of this one
  EXPECT_EQ(run(11, 5), 8);  // next directory
  EXPECT_EQ(run(12, 4), 0);  // back 10 from directory 1's first song: 0 - 9 -> 0
  EXPECT_EQ(run(13, 5), 0);  // forward 10: beyond the last
  EXPECT_EQ(run(14, 0), 4);  // back 50 from the first row: 2 - 49 wraps to 1
  EXPECT_EQ(run(15, 5), 0);
  EXPECT_EQ(run(6, 5), 5);  // back 3 s inside the song
  EXPECT_EQ(rig.player.position, 7000);
  EXPECT_EQ(run(7, 5), 5);
  EXPECT_EQ(rig.player.position, 13000);
  run(16, 5);
  EXPECT_TRUE(rig.nav.shuffle);
  EXPECT_EQ(rig.nav.played, (std::vector<int>{0}));
  run(17, 5);
  EXPECT_FALSE(rig.nav.shuffle);
  run(18, 5);
  EXPECT_TRUE(rig.nav.shuffle);
  EXPECT_TRUE(rig.nav.played.empty());
}

TEST_F(Dispatcher, DisplayModes) {
  auto mode = [&](int command) {
    d.Run(command);
    return d.DisplayMode();
  };
  // 22, 23, 26, 27 need "Tarn_Lyric".
  for (int c : {22, 23, 26, 27}) EXPECT_EQ(mode(c), 0) << c;
  EXPECT_EQ(mode(24), 4);
  EXPECT_EQ(mode(24), 0);  // the mode already set returns to 0
  EXPECT_EQ(mode(25), 3);
  EXPECT_EQ(mode(24), 4);
  EXPECT_EQ(mode(21), 0);
  EXPECT_EQ(mode(21), 0);
  rig.commandHost.tarnLyric = true;
  EXPECT_EQ(mode(22), 2);
  EXPECT_EQ(mode(23), 1);
  EXPECT_EQ(mode(26), 5);
  EXPECT_EQ(mode(27), 6);
  EXPECT_EQ(mode(27), 0);
  // The lyric line is redrawn only after a command that changed the mode.
  EXPECT_EQ(rig.log, (Log{"redraw 4", "redraw 0", "redraw 3", "redraw 4", "redraw 0", "redraw 2", "redraw 1",
                          "redraw 5", "redraw 6", "redraw 0"}));
}

TEST_F(Dispatcher, LevelStepsOnlyWhileTheAlarmIsIdle) {
  rig.commandHost.alarmIdle = false;
  for (int c = 28; c <= 31; ++c) d.Run(c);
  EXPECT_TRUE(rig.popUp.shown.empty());
  rig.commandHost.alarmIdle = true;
  d.Run(28);
  d.Run(31);
  EXPECT_EQ(rig.popUp.shown, (Log{" Pre =   5 ", " Master :=  45 "}));
}

TEST_F(Dispatcher, PresetCommandsTakeTheArgument) {
  rig.presetHost.eq[4].Volume = 77;
  d.Run(32, 4);
  ASSERT_EQ(rig.desk.setLevels.size(), 1u);
  EXPECT_EQ(rig.desk.setLevels[0].Volume, 77);
  d.Run(34, 1);
  d.Run(33);
  d.Run(35, 0);
  EXPECT_EQ(rig.presetHost.resized, (std::vector<TWindowSize>{{197, 53}, {468, 77}}));
  EXPECT_EQ(rig.presetHost.sizes[0], kFormSize);
  // A preset number from another program that is out of range does nothing.
  d.Run(32, 10);
  d.Run(32, -1);
  d.Run(34, 3);
  d.Run(35, INT32_MIN);
  EXPECT_EQ(rig.desk.setLevels.size(), 1u);
  EXPECT_EQ(rig.presetHost.resized.size(), 2u);
  EXPECT_EQ(rig.popUp.shown, (Log{"Set EQ4", "Size1 Saved"}));
}
