// Equaliser presets, window-size presets and the level steps of the main window.  The
// live levels belong to the sound desk (settings/core) and the stored presets to the
// settings record (TPresetHost below).
#pragma once

#include "app/core/MessagePopUp.h"
#include "settings/core/SoundDesk.h"

#include <string>

namespace sorrel::app {

inline constexpr int kEqPresetCount = 10;
inline constexpr int kSizePresetCount = 3;

// The sound desk (the one holder of the live levels), its bars and the levels of an
// equaliser preset belong to settings/core.  The level steps move tb_PreLevel and
// tb_MasterLevel, which both run opposite to their level.
using settings::TDeskBar;
using settings::TEqLevels;
using settings::TSoundDeskIntf;

struct TWindowSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const TWindowSize&) const = default;
};

// The form's own size.
inline constexpr TWindowSize kFormSize{468, 77};

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
  TPresets(TSoundDeskIntf& desk, TPresetHost& host, TMessagePopUp& popUp)
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
  TSoundDeskIntf& desk_;
  TPresetHost& host_;
  TMessagePopUp& popUp_;
};

}  // namespace sorrel::app
