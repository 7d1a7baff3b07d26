// Key down and key up of the main window: when a key's command runs, and which keys go
// on to Navin'You's map view.  Commands that move through songs, seek, step levels or
// show information run at key down, so holding the key repeats them; the others wait
// for the key to come up and run once.
#pragma once

#include "app/core/Commands.h"
#include "app/core/KeyMap.h"

#include <cstdint>

namespace sorrel::app {

// 0, 1, 5..11, 19, 28..31, 41..44.
bool RunsAtKeyDown(int command);

class TKeyboardHost {
 public:
  virtual ~TKeyboardHost() = default;
  // What the key map reads besides the display mode: "Tarn_Lyric", the lyric state,
  // "f1Cancel" and "f9Cancel".
  virtual TKeyContext KeySettings() const = 0;
  // Navin'You's map view window is known and its main window is not minimised.
  virtual bool CanForwardKeys() const = 0;
  // Posts the map view WM_KEYDOWN and then WM_KEYUP with the key (lParam 0).
  virtual void ForwardKey(uint16_t key) = 0;
  // Alt+L and Alt+S: the cursor to the middle of lb_Time / lb_CurTime, and a click.
  virtual void ClickTime() = 0;
  virtual void ClickCurTime() = 0;
};

class TKeyboard {
 public:
  TKeyboard(TCommandDispatcher& dispatcher, TKeyboardHost& host) : dispatcher_(dispatcher), host_(host) {}

  // Every key down, auto-repeats included.  NumLock is ignored, and so is every key
  // while a command waits for its key up.
  void KeyDown(const TKeyInput& input);
  // Every key up but NumLock's: runs the waiting command, or forwards the remembered
  // key once.
  void KeyUp(uint16_t key);

  int PendingCommand() const { return pending_; }
  uint16_t ForwardKey() const { return forwardKey_; }

 private:
  TCommandDispatcher& dispatcher_;
  TKeyboardHost& host_;
  int pending_ = 0;
  int32_t argument_ = 0;
  uint16_t forwardKey_ = 0;
};

}  // namespace sorrel::app
