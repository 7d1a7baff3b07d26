// The keys of the settings window, seen before its controls get them: Enter moves the
// focus, Esc closes the window, and on the equaliser tab the digit keys store and
// recall the equaliser presets.  Keys are Windows virtual-key codes, as the platform
// layer translates them.  A pure function.
#pragma once

#include <cstdint>

namespace sorrel::settings {

struct TCommandKey {
  uint16_t Key = 0;
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
  // Held down as the key arrives: keypad "/" and BackSpace.
  bool SlashHeld = false;
  bool BackHeld = false;
  // The equaliser tab is the active page.
  bool EqTabActive = false;
};

enum class TCommandKeyAction {
  kNone,           // the key goes on to the focused control
  kFocusNext,      // Enter
  kFocusPrevious,  // Shift+Enter
  kClose,          // Esc: the main window closes the dialog
  kStorePreset,    // store equaliser preset Preset
  kRecallPreset,   // recall equaliser preset Preset
};

struct TCommandKeyResult {
  TCommandKeyAction Action = TCommandKeyAction::kNone;
  int Preset = 0;
  bool operator==(const TCommandKeyResult&) const = default;
};

// Ctrl+digit stores and Shift+digit recalls (Ctrl is looked at first); a keypad digit
// recalls while keypad "/" is held and stores while BackSpace is held too.  Keypad
// digits are those of NumLock on (VK_NUMPAD0..9): without NumLock the keys are arrows.
TCommandKeyResult CommandFormKey(const TCommandKey& key);

}  // namespace sorrel::settings
