// The sound desk against the fake player: what each bar gives the player, the limits of
// the band values, the pre-amplifier shifting the bands, loading from the player, Flat,
// presets through the main window's preset logic, and the master-level fade-in.
#include "settings/core/SoundDesk.h"

#include "app/core/Presets.h"
#include "base/Clock.h"
#include "engine/MPOwnerQueue.h"
#include "tests/engine/FakePlayer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sorrel::settings;
using sorrel::engine::TFakeMP3Player;
using sorrel::engine::TMPRunLoop;
using Calls = std::vector<std::string>;

namespace {

struct Desk : ::testing::Test {
  Desk() {
    player.SetEqualizerCount(kBands);
    player.ClearCalls();
    changes = desk.Listen([this](TDeskBar bar) { moved.push_back(static_cast<int>(bar)); });
  }

  std::vector<int> Bands() const {
    std::vector<int> v;
    for (int b = 0; b < kBands; ++b) v.push_back(player.EqualizerValue(b));
    return v;
  }

  TMPRunLoop loop;
  TFakeMP3Player player{loop};
  TSoundDeskSettings settings;  // the settings record's "PreLevel" and "MainLevel"
  int& preLevel = settings.PreLevel;
  TSoundDesk desk{player, settings};
  std::vector<int> moved;
  int changes = 0;
};

constexpr TDeskBar kPre = TDeskBar::tb_PreLevel;
constexpr TDeskBar kMaster = TDeskBar::tb_MasterLevel;
constexpr TDeskBar kBalance = TDeskBar::tb_Balance;

}  // namespace

TEST_F(Desk, BandValuesRunFromMinus100To60) {
  desk.SetPosition(kPre, desk.Min(kPre));  // top: +30
  desk.SetPosition(EqBar(4), -30);         // top: +30
  EXPECT_EQ(player.EqualizerValue(4), 60);
  EXPECT_EQ(desk.Label(EqBar(4)), " 30");
  EXPECT_EQ(desk.Label(kPre), " 30");

  desk.SetPosition(kPre, desk.Max(kPre));  // bottom: -70
  desk.SetPosition(EqBar(4), 30);          // bottom: -30
  EXPECT_EQ(player.EqualizerValue(4), -100);
  EXPECT_EQ(desk.Label(EqBar(4)), "-30");
  EXPECT_EQ(desk.Label(kPre), "-70");
  EXPECT_EQ(preLevel, -70);

  // A bar keeps within its range, as a track bar does.
  desk.SetPosition(EqBar(4), 99);
  EXPECT_EQ(desk.Position(EqBar(4)), 30);
  desk.SetPosition(kMaster, 50);
  desk.SetPosition(kMaster, -5);
  EXPECT_EQ(desk.Position(kMaster), 0);
  EXPECT_EQ(player.Volume(), 100);
}

TEST_F(Desk, ThePreAmplifierShiftsEveryBandAndLeavesTheirLabels) {
  const int gains[kBands] = {-30, -20, -10, -5, 0, 3, 7, 15, 25, 30};
  for (int b = 0; b < kBands; ++b) desk.SetPosition(EqBar(b), -gains[b]);
  std::vector<std::string> labels;
  for (int b = 0; b < kBands; ++b) labels.push_back(desk.Label(EqBar(b)));
  const std::vector<int> before = Bands();

  desk.SetPosition(kPre, 15);  // P = -15
  EXPECT_EQ(preLevel, -15);
  for (int b = 0; b < kBands; ++b) {
    EXPECT_EQ(player.EqualizerValue(b), before[b] - 15) << b;
    EXPECT_EQ(desk.Label(EqBar(b)), labels[b]) << b;
    EXPECT_EQ(desk.Position(EqBar(b)), -gains[b]) << b;
  }

  // Only the bands the player has: with six, bands 6..9 keep their values.
  player.SetEqualizerCount(6);
  desk.SetPosition(kPre, 0);
  EXPECT_EQ(player.EqualizerValue(5), gains[5]);
  EXPECT_EQ(player.EqualizerValue(6), before[6] - 15);
}

TEST_F(Desk, TheSamePositionRunsNothing) {
  desk.SetPosition(kMaster, 40);
  desk.SetPosition(kBalance, -10);
  desk.SetPosition(EqBar(2), 5);
  desk.SetPosition(kPre, -30);
  player.ClearCalls();
  moved.clear();

  desk.SetPosition(kMaster, 40);
  desk.SetPosition(kBalance, -10);
  desk.SetPosition(EqBar(2), 5);
  desk.SetPosition(kPre, -30);
  desk.SetPosition(kPre, -200);  // kept at the top, where it already is
  EXPECT_TRUE(player.Calls().empty()) << player.Calls().front();
  EXPECT_TRUE(moved.empty());
}

TEST_F(Desk, EachBarReachesThePlayerAtOnce) {
  desk.SetPosition(kMaster, 35);
  desk.SetPosition(kBalance, -60);
  desk.SetPosition(EqBar(9), -12);
  EXPECT_EQ(player.Calls(), (Calls{"SetVolume(65)", "SetVolBalance(-60)", "SetEqualizerValue(9,12)"}));
  EXPECT_EQ(desk.Label(kMaster), " 65");
  EXPECT_EQ(desk.Label(kBalance), "-60");
  EXPECT_EQ(moved, (std::vector<int>{11, 12, 9}));
}

TEST_F(Desk, LoadTakesThePlayersLevelsWithinTheBarsRanges) {
  // As reading the settings leaves them: silent, balance and bands set, "PreLevel" 10.
  player.SetVolume(0);
  player.SetVolBalance(-20);
  for (int b = 0; b < kBands; ++b) player.SetEqualizerValue(b, 10 + b);
  player.SetEqualizerValue(8, 60);   // gain 50: beyond the bar
  player.SetEqualizerValue(9, -45);  // gain -55: beyond the bar
  preLevel = 10;
  desk.Load();

  EXPECT_EQ(desk.Position(kMaster), 100);
  EXPECT_EQ(desk.Position(kBalance), -20);
  EXPECT_EQ(desk.Position(kPre), -10);
  EXPECT_EQ(desk.Position(EqBar(3)), -3);
  EXPECT_EQ(player.EqualizerValue(3), 13);
  // The bar's limit wins, and the player follows the bar.
  EXPECT_EQ(desk.Position(EqBar(8)), -30);
  EXPECT_EQ(player.EqualizerValue(8), 40);
  EXPECT_EQ(desk.Position(EqBar(9)), 30);
  EXPECT_EQ(player.EqualizerValue(9), -20);

  // A "PreLevel" beyond the pre-amplifier's range is brought into it, bands with it.
  preLevel = 50;
  desk.Load();
  EXPECT_EQ(preLevel, 30);
  EXPECT_EQ(desk.Position(kPre), -30);
  for (int b = 0; b < kBands; ++b) EXPECT_EQ(player.EqualizerValue(b), 30 - desk.Position(EqBar(b))) << b;
}

TEST_F(Desk, FlatKeepsTheMasterLevel) {
  desk.SetPosition(kMaster, 30);
  desk.SetPosition(kBalance, 45);
  desk.SetPosition(kPre, -20);
  for (int b = 0; b < kBands; ++b) desk.SetPosition(EqBar(b), b * 3 - 15);
  desk.Flat();
  EXPECT_EQ(preLevel, 0);
  EXPECT_EQ(desk.Position(kPre), 0);
  EXPECT_EQ(desk.Position(kBalance), 0);
  EXPECT_EQ(player.VolBalance(), 0);
  EXPECT_EQ(Bands(), std::vector<int>(kBands, 0));
  for (int b = 0; b < kBands; ++b) EXPECT_EQ(desk.Label(EqBar(b)), "  0") << b;
  EXPECT_EQ(desk.Position(kMaster), 30);
  EXPECT_EQ(player.Volume(), 70);
}

TEST_F(Desk, PresetsRecallAndStoreThroughTheDesk) {
  using sorrel::app::TPresets;
  struct Host : sorrel::app::TPresetHost {
    std::array<TEqPreset, kPresets> presets{};
    std::string EqPresetName(int n) const override { return presets[n].AEQName; }
    TEqLevels EqPreset(int n) const override { return PresetLevels(presets[n]); }
    void SetEqPreset(int n, const TEqLevels& l) override { StorePresetLevels(presets[n], l); }
    sorrel::app::TWindowSize SizePreset(int) const override { return {}; }
    void SetSizePreset(int, sorrel::app::TWindowSize) override {}
    sorrel::app::TWindowSize FreeSize() const override { return {}; }
    sorrel::app::TWindowSize WindowSize() const override { return {}; }
    void ResizeWindow(sorrel::app::TWindowSize) override {}
  } host;
  struct PopUp : sorrel::app::TMessagePopUp {
    std::vector<std::string> shown;
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
  } popUp;
  TPresets presets(desk, host, popUp);

  host.presets[4] = {"Rock", 80, -10, 5, {10, 8, 6, 4, 2, 0, -2, -4, -6, 50}};
  presets.RecallEqPreset(4);
  EXPECT_EQ(player.Volume(), 80);
  EXPECT_EQ(player.VolBalance(), -10);
  EXPECT_EQ(preLevel, 5);
  EXPECT_EQ(desk.Position(kMaster), 20);
  EXPECT_EQ(desk.Position(kPre), -5);
  EXPECT_EQ(desk.Label(EqBar(0)), "  5");
  EXPECT_EQ(player.EqualizerValue(0), 10);
  // A band beyond its bar's range ends where the bar can show it.
  EXPECT_EQ(desk.Label(EqBar(9)), " 30");
  EXPECT_EQ(player.EqualizerValue(9), 35);

  desk.SetPosition(EqBar(0), -20);
  presets.StoreEqPreset(7);
  EXPECT_EQ(host.presets[7].AVolume, 80);
  EXPECT_EQ(host.presets[7].APreLevel, 5);
  EXPECT_EQ(host.presets[7].AEQ[0], 25);
  EXPECT_EQ(host.presets[7].AEQ[9], 35);
  EXPECT_EQ(popUp.shown, (std::vector<std::string>{"Set Rock", "EQ7 Saved"}));

  // The level steps stop at the bars' ends.
  desk.SetPosition(kMaster, 2);
  presets.LevelStep(sorrel::app::TLevelStep::kMasterUp);
  EXPECT_EQ(player.Volume(), 100);
  presets.LevelStep(sorrel::app::TLevelStep::kMasterUp);
  EXPECT_EQ(popUp.shown.back(), " Master := 100 ");
}

TEST_F(Desk, BarsStartWhereThePlayerIsWithoutCallingIt) {
  player.SetVolume(30);
  player.SetVolBalance(-40);
  for (int b = 0; b < kBands; ++b) player.SetEqualizerValue(b, b * 5 - 20);
  player.SetEqualizerValue(9, 90);  // gain 80: beyond the bar
  preLevel = 10;
  player.ClearCalls();
  TSoundDesk fresh(player, settings);
  EXPECT_TRUE(player.Calls().empty()) << player.Calls().front();
  EXPECT_EQ(fresh.MasterLevel(), 30);
  EXPECT_EQ(fresh.Position(kBalance), -40);
  EXPECT_EQ(fresh.Position(kPre), -10);
  EXPECT_EQ(fresh.Level(EqBar(2)), -20);
  EXPECT_EQ(fresh.Position(EqBar(9)), -30);
  EXPECT_EQ(preLevel, 10);
}

namespace {

// The fade-in as the main window runs it: settings read ("MainLevel" 50, the player
// silent, fade step -2), the desk loaded, then title-timer ticks.
struct FadeIn : Desk {
  FadeIn() {
    settings.MainLevel = 50;
    desk.StartFadeIn();
    desk.Load();
    desk.OnFadeStep = [this] { ++fadeSteps; };
    player.ClearCalls();
  }
  // The master level after each of `n` ticks.
  std::vector<int> Ticks(int n) {
    std::vector<int> levels;
    for (int i = 0; i < n; ++i) {
      desk.FadeTick();
      levels.push_back(desk.MasterLevel());
    }
    return levels;
  }
  int fadeSteps = 0;
};

}  // namespace

TEST_F(FadeIn, RisesByTenFromTheFourthTick) {
  EXPECT_TRUE(desk.FadeRunning());
  EXPECT_EQ(player.Volume(), 0);
  EXPECT_EQ(Ticks(3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(fadeSteps, 0);
  EXPECT_EQ(Ticks(1), (std::vector<int>{10}));
  // The first fade step already clears the shuffle-change suppression.
  EXPECT_EQ(fadeSteps, 1);
  EXPECT_EQ(Ticks(4), (std::vector<int>{20, 30, 40, 50}));
  EXPECT_EQ(desk.FadeStep(), kFadeDone);
  EXPECT_FALSE(desk.FadeRunning());
  EXPECT_EQ(fadeSteps, 5);
  EXPECT_EQ(player.Calls(),
            (Calls{"SetVolume(10)", "SetVolume(20)", "SetVolume(30)", "SetVolume(40)", "SetVolume(50)"}));
  // Done: later ticks change nothing.
  EXPECT_EQ(Ticks(3), (std::vector<int>{50, 50, 50}));
  EXPECT_EQ(fadeSteps, 5);
  EXPECT_EQ(desk.FadeStep(), kFadeDone);
}

TEST_F(FadeIn, TheLastStepStopsAtMainLevel) {
  settings.MainLevel = 45;
  EXPECT_EQ(Ticks(8), (std::vector<int>{0, 0, 0, 10, 20, 30, 40, 45}));
  EXPECT_EQ(desk.FadeStep(), kFadeDone);

  // A "MainLevel" above the bar's range ends at the top rather than rising forever.
  settings.MainLevel = 130;
  desk.StartFadeIn();
  Ticks(13);
  EXPECT_EQ(desk.MasterLevel(), 100);
  EXPECT_EQ(desk.FadeStep(), kFadeDone);
}

TEST_F(FadeIn, ALevelAlreadyThereEndsTheFadeUnchanged) {
  desk.SetMasterLevel(60);  // a preset or a level step during the first ticks
  player.ClearCalls();
  EXPECT_EQ(Ticks(3), (std::vector<int>{60, 60, 60}));
  EXPECT_TRUE(desk.FadeRunning());
  EXPECT_EQ(Ticks(1), (std::vector<int>{60}));
  EXPECT_EQ(desk.FadeStep(), kFadeDone);
  EXPECT_TRUE(player.Calls().empty()) << player.Calls().front();

  // "MainLevel" 0: the first fade step ends it at 0, without a change.
  settings.MainLevel = 0;
  desk.StartFadeIn();
  player.ClearCalls();
  EXPECT_EQ(Ticks(4), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_FALSE(desk.FadeRunning());
  EXPECT_TRUE(player.Calls().empty()) << player.Calls().front();
}

TEST_F(FadeIn, StartSilencesThePlayerWhereverTheBarIs) {
  Ticks(8);
  // The player's volume went elsewhere behind the desk's back; the bar still shows 50.
  player.SetVolume(70);
  desk.StartFadeIn();
  EXPECT_EQ(player.Volume(), 0);
  EXPECT_EQ(desk.Position(kMaster), 100);
  // Again, with the bar already at the bottom.
  player.SetVolume(70);
  moved.clear();
  desk.StartFadeIn();
  EXPECT_EQ(player.Volume(), 0);
  EXPECT_EQ(moved, std::vector<int>{static_cast<int>(kMaster)});
  EXPECT_EQ(desk.FadeStep(), kFadeStart);
}

TEST_F(FadeIn, ASongStartCountsAsATickAndAResumeStartsAgain) {
  // The first song starts before the title timer: one step at once.
  desk.FadeTick();
  EXPECT_EQ(Ticks(3), (std::vector<int>{0, 0, 10}));
  // A resume: the bar to level 0 and the fade from the start.
  desk.StartFadeIn();
  EXPECT_EQ(Ticks(9), (std::vector<int>{0, 0, 0, 10, 20, 30, 40, 50, 50}));
}

namespace {

// The title timer on virtual time: a tick every 400 ms from its last start.  A song
// start stops it, runs one fade step while the fade runs, and starts it again.
struct TitleTimer {
  sorrel::base::TFakeClock& clock;
  TSoundDesk& desk;
  int64_t started = clock.TickCount();
  int64_t ticks = 0;

  void AdvanceTo(int64_t ms) {
    while (started + (ticks + 1) * 400 <= ms) {
      clock.Set((started + ++ticks * 400) * 1000);
      desk.FadeTick();
    }
    clock.Set(ms * 1000);
  }
  void SongStart() {
    if (desk.FadeRunning()) desk.FadeTick();
    started = clock.TickCount();
    ticks = 0;
  }
};

}  // namespace

TEST_F(FadeIn, InTimeTheLevelRisesFrom1600MsAndASongChangeRestartsTheTimer) {
  sorrel::base::TFakeClock clock;
  TitleTimer timer{clock, desk};
  std::vector<int> levels;  // every 100 ms
  for (int ms = 100; ms <= 3200; ms += 100) {
    timer.AdvanceTo(ms);
    levels.push_back(desk.MasterLevel());
  }
  EXPECT_EQ(levels[14], 0);   // 1.5 s
  EXPECT_EQ(levels[15], 10);  // 1.6 s
  EXPECT_EQ(levels[19], 20);  // 2.0 s
  EXPECT_EQ(levels[30], 40);  // 3.1 s
  EXPECT_EQ(levels[31], 50);  // 3.2 s
  EXPECT_FALSE(desk.FadeRunning());

  // After a resume, a song change at 1.0 s (steps -2, -1 gone by) steps at once and
  // restarts the timer: the level rises at 1.4 s, not 1.6 s.
  desk.StartFadeIn();
  TitleTimer again{clock, desk};
  const int64_t t0 = clock.TickCount();
  again.AdvanceTo(t0 + 1000);
  again.SongStart();
  EXPECT_EQ(desk.MasterLevel(), 0);
  again.AdvanceTo(t0 + 1399);
  EXPECT_EQ(desk.MasterLevel(), 0);
  again.AdvanceTo(t0 + 1400);
  EXPECT_EQ(desk.MasterLevel(), 10);
  // A song change during the rise is a step of its own.
  again.AdvanceTo(t0 + 1500);
  again.SongStart();
  EXPECT_EQ(desk.MasterLevel(), 20);
  again.AdvanceTo(t0 + 1900);
  EXPECT_EQ(desk.MasterLevel(), 30);
}
