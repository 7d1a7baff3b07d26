// Equaliser presets, window-size presets and the level steps of the main window.  The
// live levels belong to the sound desk and the stored presets to the settings record;
// both are reached through the interfaces below.
#pragma once

#include "app/core/MessagePopUp.h"

#include <array>
#include <string>

namespace sorrel::app {

inline constexpr int kEqPresetCount = 10;
inline constexpr int kSizePresetCount = 3;

// The levels an equaliser preset holds, as the player has them: Volume (the master
// level), VolBalance, the pre-amplifier level and the ten band values.
struct TEqLevels {
  int Volume = 50;
  int Balance = 0;
  int PreLevel = 0;
  std::array<int, 10> Bands{};
  bool operator==(const TEqLevels&) const = default;
};

struct TWindowSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const TWindowSize&) const = default;
};

// The form's own size.
inline constexpr TWindowSize kFormSize{468, 77};

// The two track bars the level steps move.  Both run opposite to their level.
enum class TDeskBar { tb_PreLevel, tb_MasterLevel };

// The sound desk: the one holder of the live levels.
class TSoundDesk {
 public:
  virtual ~TSoundDesk() = default;
  virtual int Position(TDeskBar bar) const = 0;
  virtual int LineSize(TDeskBar bar) const = 0;
  virtual int Min(TDeskBar bar) const = 0;
  virtual int Max(TDeskBar bar) const = 0;
  // A position other than the current one runs the bar's change handler, which gives
  // the player the new level.
  virtual void SetPosition(TDeskBar bar, int position) = 0;
  virtual TEqLevels Levels() const = 0;
  // Gives the player these levels and moves every bar to show them.
  virtual void SetLevels(const TEqLevels& levels) = 0;
};

// The main window's side: the stored presets (settings record) and its size.
class TPresetHost {
 public:
  virtual ~TPresetHost() = default;
  virtual std::string EqPresetName(int n) const = 0;  // AEQName[n]
  virtual TEqLevels EqPreset(int n) const = 0;        // AVolume[n], ABalance[n], APreLevel[n], AEQ[n,*]
  virtual void SetEqPreset(int n, const TEqLevels& levels) = 0;
  virtual TWindowSize SizePreset(int n) const = 0;  // "Width"n x "Height"n
  virtual void SetSizePreset(int n, TWindowSize size) = 0;
  virtual TWindowSize FreeSize() const = 0;  // "Width" x "Height"
  virtual TWindowSize WindowSize() const = 0;
  // Resizes the main window; it keeps a parked cursor parked, repaints and redraws the
  // lyrics.
  virtual void ResizeWindow(TWindowSize size) = 0;
};

enum class TLevelStep { kPreUp, kPreDown, kMasterUp, kMasterDown };  // 28..31

class TPresets {
 public:
  TPresets(TSoundDesk& desk, TPresetHost& host, TMessagePopUp& popUp)
      : desk_(desk), host_(host), popUp_(popUp) {}

  // A preset number out of range does nothing.
  void RecallEqPreset(int n);   // 32 and the settings dialog
  void StoreEqPreset(int n);    // the settings dialog
  void ToggleSize();            // 33
  void ApplySizePreset(int n);  // 34
  void StoreSizePreset(int n);  // 35
  // One line size up or down, then the level in the pop-up.  The caller checks that
  // the speed-camera alarm is idle.
  void LevelStep(TLevelStep step);

  // The preset's name, or "EQ" and its number when it has none.
  std::string EqPresetTitle(int n) const;

 private:
  TSoundDesk& desk_;
  TPresetHost& host_;
  TMessagePopUp& popUp_;
};

}  // namespace sorrel::app
