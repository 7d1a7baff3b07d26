// Windows virtual-key codes: the key map's currency, whatever the platform reports.
// Also the WM_APPCOMMAND numbers of the media and browser keys.
#pragma once

#include <cstdint>

namespace sorrel::input {

inline constexpr uint16_t kVkBack = 0x08;
inline constexpr uint16_t kVkTab = 0x09;
inline constexpr uint16_t kVkClear = 0x0C;  // keypad 5 without NumLock
inline constexpr uint16_t kVkReturn = 0x0D;
inline constexpr uint16_t kVkShift = 0x10;
inline constexpr uint16_t kVkControl = 0x11;
inline constexpr uint16_t kVkMenu = 0x12;  // Alt
inline constexpr uint16_t kVkPause = 0x13;
inline constexpr uint16_t kVkCapital = 0x14;
inline constexpr uint16_t kVkEscape = 0x1B;
inline constexpr uint16_t kVkSpace = 0x20;
inline constexpr uint16_t kVkPrior = 0x21;  // Page Up
inline constexpr uint16_t kVkNext = 0x22;   // Page Down
inline constexpr uint16_t kVkEnd = 0x23;
inline constexpr uint16_t kVkHome = 0x24;
inline constexpr uint16_t kVkLeft = 0x25;
inline constexpr uint16_t kVkUp = 0x26;
inline constexpr uint16_t kVkRight = 0x27;
inline constexpr uint16_t kVkDown = 0x28;
inline constexpr uint16_t kVkSnapshot = 0x2C;
inline constexpr uint16_t kVkInsert = 0x2D;
inline constexpr uint16_t kVkDelete = 0x2E;
inline constexpr uint16_t kVk0 = 0x30;  // '0'..'9': 0x30..0x39
inline constexpr uint16_t kVkA = 0x41;  // 'A'..'Z': 0x41..0x5A
inline constexpr uint16_t kVkLWin = 0x5B;
inline constexpr uint16_t kVkRWin = 0x5C;
inline constexpr uint16_t kVkApps = 0x5D;
inline constexpr uint16_t kVkNumpad0 = 0x60;  // keypad digits with NumLock: 0x60..0x69
inline constexpr uint16_t kVkMultiply = 0x6A;
inline constexpr uint16_t kVkAdd = 0x6B;
inline constexpr uint16_t kVkSeparator = 0x6C;
inline constexpr uint16_t kVkSubtract = 0x6D;
inline constexpr uint16_t kVkDecimal = 0x6E;
inline constexpr uint16_t kVkDivide = 0x6F;
inline constexpr uint16_t kVkF1 = 0x70;  // F1..F24: 0x70..0x87
inline constexpr uint16_t kVkNumLock = 0x90;
inline constexpr uint16_t kVkScroll = 0x91;
// The punctuation keys, named by what a US keyboard prints on them.
inline constexpr uint16_t kVkOem1 = 0xBA;       // ; :
inline constexpr uint16_t kVkOemPlus = 0xBB;    // = +
inline constexpr uint16_t kVkOemComma = 0xBC;   // , <
inline constexpr uint16_t kVkOemMinus = 0xBD;   // - _
inline constexpr uint16_t kVkOemPeriod = 0xBE;  // . >
inline constexpr uint16_t kVkOem2 = 0xBF;       // / ?
inline constexpr uint16_t kVkOem3 = 0xC0;       // ` ~
inline constexpr uint16_t kVkOem4 = 0xDB;       // [ {
inline constexpr uint16_t kVkOem5 = 0xDC;       // \ |
inline constexpr uint16_t kVkOem6 = 0xDD;       // ] }
inline constexpr uint16_t kVkOem7 = 0xDE;       // ' "

// WM_APPCOMMAND command numbers.
inline constexpr uint16_t kAppCommandBrowserBackward = 1;
inline constexpr uint16_t kAppCommandBrowserForward = 2;
inline constexpr uint16_t kAppCommandMediaNextTrack = 11;
inline constexpr uint16_t kAppCommandMediaPreviousTrack = 12;
inline constexpr uint16_t kAppCommandMediaStop = 13;
inline constexpr uint16_t kAppCommandMediaPlayPause = 14;
inline constexpr uint16_t kAppCommandMediaPlay = 46;
inline constexpr uint16_t kAppCommandMediaPause = 47;
inline constexpr uint16_t kAppCommandMediaRecord = 48;
inline constexpr uint16_t kAppCommandMediaFastForward = 49;
inline constexpr uint16_t kAppCommandMediaRewind = 50;

struct TKeyModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool operator==(const TKeyModifiers&) const = default;
};

// One key event as the key map sees it.
struct TKeyStroke {
  uint16_t vk = 0;      // 0: a key without a virtual-key code
  bool keypad = false;  // a key of the numeric keypad (its Enter included)
  TKeyModifiers modifiers;
  bool autoRepeat = false;
  uint16_t appCommand = 0;  // a media or browser key: its WM_APPCOMMAND number (vk is 0)
  bool operator==(const TKeyStroke&) const = default;
};

}  // namespace sorrel::input
