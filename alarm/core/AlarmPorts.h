// What the alarm needs of the rest of the program.  The windows, the voice output and
// the sound desk implement these; tests use fakes.
#pragma once

#include "alarm/core/MapMatch.h"

#include <string>

namespace sorrel::alarm {

// The sound desk's pre-amplifier bar (tb_PreLevel).  A lower position is a higher
// level; setting a position other than the current one (kept within the bar's range)
// runs the bar's change handler, which gives the player the new level.  The
// application hands the alarm settings::TSoundDeskIntf's tb_PreLevel through this, so
// the alarm needs nothing of the settings library.
class TPreLevelBarIntf {
 public:
  virtual ~TPreLevelBarIntf() = default;
  virtual int Position() const = 0;
  virtual void SetPosition(int position) = 0;
};

// PlaySoundA on the voice device.  A file that is missing or cannot be played plays
// nothing, quietly.
class TVoicePlayerIntf {
 public:
  virtual ~TVoicePlayerIntf() = default;
  // Plays the file to its end before returning.
  virtual void PlaySync(const std::string& path) = 0;
  // Starts the file and returns at once (a sound already playing stops).
  virtual void PlayAsync(const std::string& path) = 0;
};

// The alarm window fm_OvisAlarm, with the main window's operations that show and hide
// it.
class TOvisAlarmViewIntf {
 public:
  virtual ~TOvisAlarmViewIntf() = default;
  virtual bool IsVisible() const = 0;
  // The main window shows the alarm window at the top right of the screen (moving
  // itself aside if they overlap).
  virtual void Show() = 0;
  // The main window hides it.  Only the alarm calls this (through HideAlarm), because
  // the hiding has its consequences there.
  virtual void Hide() = 0;
  virtual void SetOvisType(const std::string& text) = 0;  // pnl_OvisType
  virtual void SetDistance(const std::string& text) = 0;  // pnl_Distance
  virtual void SetLinNo(const std::string& text) = 0;     // pnl_LinNo
  virtual void SetOvisText(const std::string& text) = 0;  // pnl_OvisText
};

// The main window's side.
class TAlarmHostIntf {
 public:
  virtual ~TAlarmHostIntf() = default;
  // pnl_GPSStatus: its colour and caption (a compass word, or empty).
  virtual void SetGPSStatus(TColor color, const std::string& caption) = 0;
  // An alarm hides the settings dialog, the play list editor and the play file list.
  virtual void HideSubWindows() = 0;
  // After the alarm window has gone: the main window on top of all windows at its
  // place, not activated.
  virtual void RaiseMainWindow() = 0;
};

}  // namespace sorrel::alarm
