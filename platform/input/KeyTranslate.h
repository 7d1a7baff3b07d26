// Qt key events to the Windows virtual-key codes of the key map, and the keys held
// down at this moment.  Keypad keys follow NumLock as Windows has them (digit codes
// with NumLock on, navigation codes without); punctuation keys go by their characters
// as a US keyboard prints them; media and browser keys come as WM_APPCOMMAND numbers.
#pragma once

#include "platform/input/core/HeldKeys.h"
#include "platform/input/core/VirtualKeys.h"

class QKeyEvent;

namespace sorrel::input {

// True when the platform's native key codes are XKB key codes (X11 and Wayland): then
// the digit row is recognised by position, so Shift with a digit gives the digit's code
// on every layout, as on Windows.
bool NativeKeyCodesAreXkb();

// The key map's view of `event`.  A modifier key's own flag is set on its press and
// clear on its release, whatever the platform reported.
TKeyStroke TranslateKeyEvent(const QKeyEvent& event, bool xkbKeyCodes = NativeKeyCodesAreXkb());

// The main window's keyboard: translates its key events and keeps the held keys.
// Key-ups with `autoRepeat` set are the platform's repeat artefacts (X sends a release
// before every repeated press); Windows sends none, so the window drops them.
class TKeyboardInput {
 public:
  explicit TKeyboardInput(bool xkbKeyCodes = NativeKeyCodesAreXkb()) : xkbKeyCodes_(xkbKeyCodes) {}

  TKeyStroke KeyDown(const QKeyEvent& event);
  TKeyStroke KeyUp(const QKeyEvent& event);
  // The window was deactivated or lost the focus: releases may never come.
  void FocusLost() { held_.Clear(); }

  const THeldKeys& Held() const { return held_; }

 private:
  bool xkbKeyCodes_;
  THeldKeys held_;
};

}  // namespace sorrel::input
