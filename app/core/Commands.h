// The one dispatcher of the main window's 76 numbered commands.  Keys, keypad chords,
// the mouse, other programs (WM_USER+0x199), the settings dialog and the desktop's media
// controls all come through it.  Play-order commands go to the navigator, presets and
// level steps to TPresets, the display mode is kept here, and the rest goes to the main
// window through TCommandHost.
#pragma once

#include "app/core/Navigation.h"
#include "app/core/Presets.h"

#include <cstdint>

namespace sorrel::app {

inline constexpr int kLastCommand = 75;
inline constexpr int kSwallowCommand = 1;  // a key taken without an action

// The main window's side of the commands.  The actions of parts built later do nothing
// until then.
class TCommandHost {
 public:
  virtual ~TCommandHost() = default;
  virtual bool TarnLyric() const = 0;
  // The speed-camera alarm is idle (the level steps act only then).
  virtual bool AlarmIdle() const { return true; }

  virtual void ParkCursor() = 0;           // 2: on the parking point at the close image
  virtual void MoveCursorOutside() = 0;    // 3: 99 pixels outside, then a 99 ms wait
  virtual void Close() = 0;                // 4
  virtual void ShowSongInformation() = 0;  // 19
  virtual void ToggleLyrics() {}           // 20
  // After a command that changed the display mode (0..6).
  virtual void RedrawLyricLine(int /*displayMode*/) {}
  virtual void ToggleAlarm() {}              // 36
  virtual void StoreAlarmPoint() {}          // 37; "New Ovis Saved" on success
  virtual void PowerCommand() {}             // 38
  virtual void NavinYou(int /*command*/) {}  // 39..68
  // 69..75: the map link commands 'E'..'K' (69 only with UseTNLink and UseMappleLink).
  virtual void MapLink(char /*letter*/) {}
};

class TCommandDispatcher {
 public:
  TCommandDispatcher(TNavigator& navigator, TPresets& presets, TCommandHost& host)
      : navigator_(navigator), presets_(presets), host_(host) {}

  // Runs command `number` (only its low 7 bits count) with `argument` (read by 32, 34
  // and 35).  A command arriving while another runs (from a wait inside it) is dropped:
  // false then.  Numbers above 75 and those without an action do nothing.
  bool Run(int number, int32_t argument = 0);
  bool Busy() const { return busy_; }

  int DisplayMode() const { return displayMode_; }
  // Sets the mode without a command (the keypad's 1 with the lyrics off, start-up); the
  // lyric line follows after the next command.
  void SetDisplayMode(int mode) { displayMode_ = mode; }

 private:
  void Execute(int command, int32_t argument);
  // 22..27: choosing the mode already set returns to 0.
  void ChooseDisplayMode(int mode);

  TNavigator& navigator_;
  TPresets& presets_;
  TCommandHost& host_;
  bool busy_ = false;
  int displayMode_ = 0;
  int shownDisplayMode_ = 0;  // the mode the lyric line was last drawn for
};

}  // namespace sorrel::app
