// Equaliser presets, size presets and level steps: what they move and what the pop-up
// says.
#include "app/core/Presets.h"
#include "tests/app/CommandFakes.h"

#include <gtest/gtest.h>

using namespace sorrel::app;
using namespace sorrel::app::testing;
using Log = std::vector<std::string>;

namespace {

struct Presets : ::testing::Test {
  FakeSoundDesk desk;
  FakePresetHost host;
  FakePopUp popUp;
  TPresets presets{desk, host, popUp};
};

}  // namespace

TEST_F(Presets, RecallGivesTheDeskThePresetAndNamesIt) {
  TEqLevels jazz{40, -20, -10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}};
  host.eq[3] = jazz;
  host.names[3] = "Jazz";
  presets.RecallEqPreset(3);
  presets.RecallEqPreset(9);
  presets.RecallEqPreset(0);
  ASSERT_EQ(desk.setLevels.size(), 3u);
  EXPECT_EQ(desk.setLevels[0], jazz);
  EXPECT_EQ(popUp.shown, (Log{"Set Jazz", "Set EQ9", "Set EQ0"}));
}

TEST_F(Presets, StoreCopiesTheLiveLevels) {
  desk.levels = {65, 30, 20, {-5, -4, -3, -2, -1, 0, 1, 2, 3, 4}};
  host.names[1] = "Car";
  presets.StoreEqPreset(1);
  presets.StoreEqPreset(2);
  EXPECT_EQ(host.eq[1], desk.levels);
  EXPECT_EQ(host.eq[2], desk.levels);
  EXPECT_EQ(host.names[1], "Car");  // the name stays
  EXPECT_EQ(popUp.shown, (Log{"Car Saved", "EQ2 Saved"}));
}

TEST_F(Presets, SizePresets) {
  host.window = {200, 40};
  presets.StoreSizePreset(0);
  presets.StoreSizePreset(2);
  EXPECT_EQ(popUp.shown, (Log{"Size1 Saved", "Size3 Saved"}));
  EXPECT_EQ(host.sizes[0], (TWindowSize{200, 40}));
  presets.ApplySizePreset(1);
  EXPECT_EQ(host.window, (TWindowSize{197, 53}));
}

TEST_F(Presets, SizeToggleBetweenTheFormAndTheFreeSize) {
  host.window = kFormSize;
  presets.ToggleSize();
  EXPECT_EQ(host.window, host.freeSize);
  presets.ToggleSize();
  EXPECT_EQ(host.window, kFormSize);
  host.window = {197, 30};  // any other size goes back to the form's
  presets.ToggleSize();
  EXPECT_EQ(host.window, kFormSize);
}

TEST_F(Presets, LevelStepsMoveTheBarsByTheirLineSize) {
  desk.prePosition = 0;
  desk.masterPosition = 50;
  presets.LevelStep(TLevelStep::kPreUp);
  EXPECT_EQ(desk.prePosition, -5);  // a higher level is a lower position
  presets.LevelStep(TLevelStep::kPreDown);
  presets.LevelStep(TLevelStep::kPreDown);
  EXPECT_EQ(desk.prePosition, 5);
  presets.LevelStep(TLevelStep::kMasterUp);
  EXPECT_EQ(desk.masterPosition, 45);
  presets.LevelStep(TLevelStep::kMasterDown);
  EXPECT_EQ(popUp.shown,
            (Log{" Pre =   5 ", " Pre =   0 ", " Pre =  -5 ", " Master :=  55 ", " Master :=  50 "}));
}

TEST_F(Presets, LevelStepsStopAtTheEnds) {
  desk.prePosition = -28;  // 2 from the top
  presets.LevelStep(TLevelStep::kPreUp);
  presets.LevelStep(TLevelStep::kPreUp);
  EXPECT_EQ(desk.prePosition, -30);
  desk.prePosition = 70;
  presets.LevelStep(TLevelStep::kPreDown);
  EXPECT_EQ(desk.prePosition, 70);
  desk.masterPosition = 0;
  presets.LevelStep(TLevelStep::kMasterUp);
  desk.masterPosition = 100;
  presets.LevelStep(TLevelStep::kMasterDown);
  EXPECT_EQ(popUp.shown,
            (Log{" Pre =  30 ", " Pre =  30 ", " Pre = -70 ", " Master := 100 ", " Master :=   0 "}));
}
