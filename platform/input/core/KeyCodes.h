// The platform-neutral half of the key translation: characters, X keysyms and keypad
// keys to Windows virtual-key codes.
#pragma once

#include "platform/input/core/VirtualKeys.h"

#include <cstdint>
#include <optional>

namespace sorrel::input {

// The code of the key that gives `c` on a US keyboard, shifted or not: letters and
// digits, the punctuation keys 0xBA..0xC0 and 0xDB..0xDE, Space; 0 for anything else.
// The yen sign counts as the backslash key, which Japanese keyboards print it on.
uint16_t VkFromCharacter(char32_t c);

// A digit or point key of the keypad (`position` 0..9, 10 for the point), as the
// platform reported it: with its digit meaning (`digit`) or its navigation meaning.
// Windows gives the digit codes only with NumLock on and without Shift; otherwise the
// navigation codes (Insert, End, Down, Page Down, Left, Clear, Right, Home, Up,
// Page Up, Delete), and with NumLock on it hides the Shift that made them.
TKeyStroke KeypadDigitStroke(int position, bool digit, TKeyModifiers modifiers);

// A keypad key by its X keysym (XK_KP_*), or nothing for any other keysym.
std::optional<TKeyStroke> KeypadStrokeFromKeysym(uint32_t keysym, TKeyModifiers modifiers);

}  // namespace sorrel::input
