// The sound desk: the one holder of the live levels (ten equaliser bands, the
// pre-amplifier, the master level and the balance).  Each level is the position of a
// track bar; moving a bar runs its change handler, which gives the player the new
// value at once.  The settings window's first tab only shows these positions and moves
// them; the level steps, the equaliser presets, the fade-in, the camera alarm and the
// desktop's volume control all move them through this class too.
#pragma once

#include "engine/MP3PlayerIntf.h"
#include "settings/core/SoundDeskSettings.h"

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sorrel::settings {

// The bars, by the names of their controls.  The ten bands come first, so a band's bar
// is its number.
enum class TDeskBar {
  tb_EQ0,
  tb_EQ1,
  tb_EQ2,
  tb_EQ3,
  tb_EQ4,
  tb_EQ5,
  tb_EQ6,
  tb_EQ7,
  tb_EQ8,
  tb_EQ9,
  tb_PreLevel,
  tb_MasterLevel,
  tb_Balance,
};
inline constexpr int kDeskBars = 13;

constexpr TDeskBar EqBar(int band) { return static_cast<TDeskBar>(band); }
constexpr bool IsEqBar(TDeskBar bar) { return static_cast<int>(bar) < kBands; }
constexpr int BandOf(TDeskBar bar) { return static_cast<int>(bar); }

// A bar's range and steps, as its control is set up.  Vertical bars have their minimum
// at the top.
struct TDeskBarRange {
  int Min = 0;
  int Max = 0;
  int LineSize = 1;
  int PageSize = 1;
  int Frequency = 1;  // a tick every this many positions
  bool Vertical = true;
};
TDeskBarRange DeskBarRange(TDeskBar bar);

// The bands' centre frequencies as their captions show them (Label0 ... Label9).
const char* BandCaption(int band);

// What a bar's value label shows: "%3d" of the level.
std::string LevelText(int level);

// The levels an equaliser preset holds, as the player has them: Volume (the master
// level), VolBalance, the pre-amplifier level and the ten band values (pre-amplifier
// level + band gain).
struct TEqLevels {
  int Volume = 50;
  int Balance = 0;
  int PreLevel = 0;
  std::array<int, kBands> Bands{};
  bool operator==(const TEqLevels&) const = default;
};

// The settings preset n as levels, and back.
TEqLevels PresetLevels(const TEqPreset& preset);
void StorePresetLevels(TEqPreset& preset, const TEqLevels& levels);

// What the commands, the presets, suspend and resume, the alarm and the desktop's
// controls use of the sound desk; tests replace it with a fake.
class TSoundDeskIntf {
 public:
  virtual ~TSoundDeskIntf() = default;
  virtual int Position(TDeskBar bar) const = 0;
  virtual int LineSize(TDeskBar bar) const = 0;
  virtual int Min(TDeskBar bar) const = 0;
  virtual int Max(TDeskBar bar) const = 0;
  // A position other than the current one (kept within the bar's range) runs the bar's
  // change handler, which gives the player the new level; the current one runs nothing.
  virtual void SetPosition(TDeskBar bar, int position) = 0;
  virtual TEqLevels Levels() const = 0;
  // Gives the player these levels and moves every bar to show them.
  virtual void SetLevels(const TEqLevels& levels) = 0;
};

// The fade-in of the master level counts the title timer's ticks (400 ms): it starts
// at step -2, and while the step is 1..98 each tick raises the master level by 10 up to
// "MainLevel"; reaching it, or finding the level already there, ends the fade (step
// 999).  So it rises from the fourth tick, 1.6 s after the timer starts.
inline constexpr int kFadeStart = -2;
inline constexpr int kFadeDone = 999;
inline constexpr int kFadeLevelStep = 10;

class TSoundDesk final : public TSoundDeskIntf {
 public:
  // `settings` is the settings record's sound desk section: the pre-amplifier handler
  // keeps its "PreLevel", the fade-in rises to its "MainLevel".  The bars start where
  // the player's levels and "PreLevel" put them, without a call into the player.
  TSoundDesk(engine::TMP3PlayerIntf& player, TSoundDeskSettings& settings);

  // The settings window's creation, after the settings were read: the master and
  // balance bars from the player, each band's bar from the player's value less
  // "PreLevel" (kept within its range) and its handler run, then the pre-amplifier bar
  // from "PreLevel" and its handler run, so the player ends with what the bars show.
  void Load();

  // "Flat": pre-amplifier level, balance and every band to 0; the master level stays.
  void Flat();

  // TSoundDeskIntf
  int Position(TDeskBar bar) const override { return positions_[Index(bar)]; }
  int LineSize(TDeskBar bar) const override { return DeskBarRange(bar).LineSize; }
  int Min(TDeskBar bar) const override { return DeskBarRange(bar).Min; }
  int Max(TDeskBar bar) const override { return DeskBarRange(bar).Max; }
  void SetPosition(TDeskBar bar, int position) override;
  TEqLevels Levels() const override;
  void SetLevels(const TEqLevels& levels) override;

  // The level a bar stands for: a band's own gain (-position), the pre-amplifier level
  // (-position), the master level (100 - position), the balance (position).
  int Level(TDeskBar bar) const;
  // The bar's value label.
  std::string Label(TDeskBar bar) const { return LevelText(Level(bar)); }
  // The master level, as the desktop's volume control sees it; moves the bar.
  int MasterLevel() const { return Level(TDeskBar::tb_MasterLevel); }
  void SetMasterLevel(int level) { SetPosition(TDeskBar::tb_MasterLevel, 100 - level); }

  // Told after a bar has moved and its handler has run (the settings tab, the desktop's
  // volume).  A listener may move bars itself.
  using TListener = std::function<void(TDeskBar bar)>;
  int Listen(TListener listener);
  void Unlisten(int id);

  // The fade-in.  StartFadeIn silences the player (master bar to the bottom, handler
  // run even when the bar is there already) and sets the step to -2: reading the
  // settings and a resume do it.  FadeTick is the title timer's tick, run also once
  // when a song starts while the fade runs.  The step is the main window's "fade step":
  // shutdown and suspend keep the player's volume as "MainLevel" only when it is 99 or
  // more.  Before the first StartFadeIn the fade is done.
  void StartFadeIn();
  void FadeTick();
  bool FadeRunning() const { return fadeStep_ < 99; }
  int FadeStep() const { return fadeStep_; }
  void SetFadeStep(int step) { fadeStep_ = step; }
  // Run on every tick that is a fade step (1..98): the main window clears its
  // shuffle-change-suppressed flag there.
  std::function<void()> OnFadeStep;

 private:
  static int Index(TDeskBar bar) { return static_cast<int>(bar); }
  // The bands the player has, of the ten bars.
  int PlayerBands() const;
  // Moves a bar without running its handler; true when it moved.
  bool Move(TDeskBar bar, int position);
  // Runs the bar's change handler and tells the listeners.
  void Changed(TDeskBar bar);
  void Notify(TDeskBar bar);

  // The change handlers.
  void EqChange(int band);
  void PreLevelChange();
  void MasterLevelChange();
  void BalanceChange();

  engine::TMP3PlayerIntf& player_;
  TSoundDeskSettings& settings_;
  std::array<int, kDeskBars> positions_{};
  std::vector<std::pair<int, TListener>> listeners_;
  int nextListener_ = 1;
  int fadeStep_ = kFadeDone;
};

}  // namespace sorrel::settings
