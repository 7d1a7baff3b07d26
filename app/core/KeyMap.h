// The key map of the main window: which command a key starts, given the modifiers, the
// keypad keys held down and the few settings it reads.  Keys are Windows virtual-key
// codes; the platform layer translates the desktop's key events to them.  A pure
// function, so every cell of the map is testable on its own.
#pragma once

#include <cstdint>

namespace sorrel::app {

inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;  // Alt
inline constexpr uint16_t VK_PAUSE = 0x13;
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;  // Page Up
inline constexpr uint16_t VK_NEXT = 0x22;   // Page Down
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A, their own characters.
inline constexpr uint16_t VK_NUMPAD0 = 0x60;  // ..VK_NUMPAD9 0x69
inline constexpr uint16_t VK_MULTIPLY = 0x6A;
inline constexpr uint16_t VK_ADD = 0x6B;
inline constexpr uint16_t VK_SEPARATOR = 0x6C;
inline constexpr uint16_t VK_SUBTRACT = 0x6D;
inline constexpr uint16_t VK_DECIMAL = 0x6E;
inline constexpr uint16_t VK_DIVIDE = 0x6F;
inline constexpr uint16_t VK_F1 = 0x70;  // ..VK_F12 0x7B
inline constexpr uint16_t VK_F4 = 0x73;
inline constexpr uint16_t VK_F9 = 0x78;
inline constexpr uint16_t VK_F10 = 0x79;
inline constexpr uint16_t VK_NUMLOCK = 0x90;
// Punctuation keys of a Japanese keyboard, by their codes.
inline constexpr uint16_t VK_OEM_1 = 0xBA;       // ':' '*'
inline constexpr uint16_t VK_OEM_COMMA = 0xBC;   // ','
inline constexpr uint16_t VK_OEM_PERIOD = 0xBE;  // '.'
inline constexpr uint16_t VK_OEM_3 = 0xC0;       // '@'
inline constexpr uint16_t VK_OEM_4 = 0xDB;       // '['
inline constexpr uint16_t VK_OEM_5 = 0xDC;       // '\' '|'
inline constexpr uint16_t VK_OEM_6 = 0xDD;       // ']'
inline constexpr uint16_t VK_OEM_7 = 0xDE;       // '^'

// The keys the keypad chords look at, as bits of a held set.
enum THeldKey : uint8_t {
  kHeldPlus = 1 << 0,   // numpad +
  kHeldMinus = 1 << 1,  // numpad -
  kHeldBack = 1 << 2,   // BackSpace
  kHeldPoint = 1 << 3,  // numpad .
  kHeldStar = 1 << 4,   // numpad *
  kHeldSlash = 1 << 5,  // numpad /
  kHeldZero = 1 << 6,   // numpad 0
};

struct TModifiers {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
};

// What the map reads besides the key.
struct TKeyContext {
  bool Tarn_Lyric = false;
  bool LyricOn = false;  // the lyrics are switched on (command 20)
  int DisplayMode = 0;   // 0..6
  bool f1Cancel = false;
  bool f9Cancel = false;
};

struct TKeyInput {
  uint16_t Key = 0;
  TModifiers Modifiers;
  // THeldKey bits of the chord keys down when the key arrives.  The arriving key
  // counts as held when it is one of them, whether or not the set says so.
  uint8_t Held = 0;
};

enum class TKeyAction {
  kNone,          // nothing at all, not even forwarding (Shift, Ctrl, Alt alone)
  kCommand,       // run Command with Argument
  kForward,       // no command: the key goes on to Navin'You's map view
  kClickTime,     // Alt+L: cursor to the middle of lb_Time, and a click on it
  kClickCurTime,  // Alt+S: cursor to the middle of lb_CurTime, and a click on it
};

struct TKeyResult {
  TKeyAction Action = TKeyAction::kNone;
  int Command = 0;
  int32_t Argument = 0;  // read by commands 32, 34 and 35
  // Keypad 1 with the lyrics off: the display mode returns to 0 as the key arrives,
  // and command 20 switches the lyrics on.
  bool ResetDisplayMode = false;
  bool operator==(const TKeyResult&) const = default;
};

// The keypad chords first, then the main keys, then the digits of the main keyboard.
TKeyResult MapKey(const TKeyInput& input, const TKeyContext& context);

// WM_APPCOMMAND (the mouse's back and forward buttons) as the key it stands for: Left
// when bit 0 of the command word (the high word) is set, else Right; with Alt, and with
// Shift when the key-state word (the low word) is not 0.
TKeyInput AppCommandKey(uint32_t lParam);

}  // namespace sorrel::app
