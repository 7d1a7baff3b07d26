#include "platform/input/core/KeyCodes.h"

#include <string_view>

namespace sorrel::input {

namespace {

// The keypad's navigation codes, by key position (0..9, then the point).
constexpr uint16_t kKeypadNavigation[11] = {kVkInsert, kVkEnd,  kVkDown, kVkNext,  kVkLeft,  kVkClear,
                                            kVkRight,  kVkHome, kVkUp,   kVkPrior, kVkDelete};

// X keysyms of the keypad.
constexpr uint32_t kXkKpSpace = 0xFF80, kXkKpTab = 0xFF89, kXkKpEnter = 0xFF8D;
constexpr uint32_t kXkKpF1 = 0xFF91, kXkKpF4 = 0xFF94;
constexpr uint32_t kXkKpHome = 0xFF95, kXkKpLeft = 0xFF96, kXkKpUp = 0xFF97, kXkKpRight = 0xFF98,
                   kXkKpDown = 0xFF99, kXkKpPrior = 0xFF9A, kXkKpNext = 0xFF9B, kXkKpEnd = 0xFF9C,
                   kXkKpBegin = 0xFF9D, kXkKpInsert = 0xFF9E, kXkKpDelete = 0xFF9F;
constexpr uint32_t kXkKpMultiply = 0xFFAA, kXkKpAdd = 0xFFAB, kXkKpSeparator = 0xFFAC, kXkKpSubtract = 0xFFAD,
                   kXkKpDecimal = 0xFFAE, kXkKpDivide = 0xFFAF;
constexpr uint32_t kXkKp0 = 0xFFB0, kXkKp9 = 0xFFB9;

TKeyStroke Keypad(uint16_t vk, TKeyModifiers modifiers) { return TKeyStroke{vk, true, modifiers}; }

}  // namespace

uint16_t VkFromCharacter(char32_t c) {
  if (c >= U'A' && c <= U'Z') return static_cast<uint16_t>(kVkA + (c - U'A'));
  if (c >= U'a' && c <= U'z') return static_cast<uint16_t>(kVkA + (c - U'a'));
  if (c >= U'0' && c <= U'9') return static_cast<uint16_t>(kVk0 + (c - U'0'));
  if (c == U' ') return kVkSpace;
  if (c == U'\u00A5') return kVkOem5;  // yen
  // The shifted digits, ")!@#$%^&*(" for 0..9.
  constexpr std::u32string_view kShiftedDigits = U")!@#$%^&*(";
  if (const size_t i = kShiftedDigits.find(c); i != std::u32string_view::npos)
    return static_cast<uint16_t>(kVk0 + i);
  struct Pair {
    char32_t plain, shifted;
    uint16_t vk;
  };
  constexpr Pair kPunctuation[] = {
      {U';', U':', kVkOem1},     {U'=', U'+', kVkOemPlus},   {U',', U'<', kVkOemComma},
      {U'-', U'_', kVkOemMinus}, {U'.', U'>', kVkOemPeriod}, {U'/', U'?', kVkOem2},
      {U'`', U'~', kVkOem3},     {U'[', U'{', kVkOem4},      {U'\\', U'|', kVkOem5},
      {U']', U'}', kVkOem6},     {U'\'', U'"', kVkOem7},
  };
  for (const Pair& p : kPunctuation)
    if (c == p.plain || c == p.shifted) return p.vk;
  return 0;
}

TKeyStroke KeypadDigitStroke(int position, bool digit, TKeyModifiers modifiers) {
  if (position < 0 || position > 10) return {};
  if (!modifiers.shift) {
    if (!digit) return Keypad(kKeypadNavigation[position], modifiers);
    return Keypad(position == 10 ? kVkDecimal : static_cast<uint16_t>(kVkNumpad0 + position), modifiers);
  }
  // Shift held.  A digit means NumLock was off (Shift chose the digit): Windows gives
  // the navigation code with Shift.  A navigation key means NumLock was on and Shift
  // turned it into navigation: Windows gives the same code but shows Shift released.
  TKeyModifiers m = modifiers;
  m.shift = digit;
  return Keypad(kKeypadNavigation[position], m);
}

std::optional<TKeyStroke> KeypadStrokeFromKeysym(uint32_t keysym, TKeyModifiers modifiers) {
  if (keysym >= kXkKp0 && keysym <= kXkKp9)
    return KeypadDigitStroke(static_cast<int>(keysym - kXkKp0), true, modifiers);
  switch (keysym) {
    case kXkKpDecimal:
    case kXkKpSeparator:  // the point key of layouts with a decimal comma
      return KeypadDigitStroke(10, true, modifiers);
    case kXkKpInsert:
      return KeypadDigitStroke(0, false, modifiers);
    case kXkKpEnd:
      return KeypadDigitStroke(1, false, modifiers);
    case kXkKpDown:
      return KeypadDigitStroke(2, false, modifiers);
    case kXkKpNext:
      return KeypadDigitStroke(3, false, modifiers);
    case kXkKpLeft:
      return KeypadDigitStroke(4, false, modifiers);
    case kXkKpBegin:
      return KeypadDigitStroke(5, false, modifiers);
    case kXkKpRight:
      return KeypadDigitStroke(6, false, modifiers);
    case kXkKpHome:
      return KeypadDigitStroke(7, false, modifiers);
    case kXkKpUp:
      return KeypadDigitStroke(8, false, modifiers);
    case kXkKpPrior:
      return KeypadDigitStroke(9, false, modifiers);
    case kXkKpDelete:
      return KeypadDigitStroke(10, false, modifiers);
    case kXkKpMultiply:
      return Keypad(kVkMultiply, modifiers);
    case kXkKpAdd:
      return Keypad(kVkAdd, modifiers);
    case kXkKpSubtract:
      return Keypad(kVkSubtract, modifiers);
    case kXkKpDivide:
      return Keypad(kVkDivide, modifiers);
    case kXkKpEnter:
      return Keypad(kVkReturn, modifiers);
    case kXkKpSpace:
      return Keypad(kVkSpace, modifiers);
    case kXkKpTab:
      return Keypad(kVkTab, modifiers);
    default:
      break;
  }
  if (keysym >= kXkKpF1 && keysym <= kXkKpF4)
    return Keypad(static_cast<uint16_t>(kVkF1 + (keysym - kXkKpF1)), modifiers);
  return std::nullopt;
}

}  // namespace sorrel::input
