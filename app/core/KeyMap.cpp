#include "app/core/KeyMap.h"

#include <optional>

namespace sorrel::app {
namespace {

constexpr int kNo = -1;  // a blank cell

TKeyResult Command(int command, int32_t argument = 0) {
  return {TKeyAction::kCommand, command, argument, false};
}

std::optional<TKeyResult> Cell(int command, int32_t argument = 0) {
  if (command == kNo) return std::nullopt;
  return Command(command, argument);
}

bool IsKeypadKey(uint16_t key) { return key >= VK_NUMPAD0 && key <= VK_DIVIDE; }

uint8_t HeldBitOf(uint16_t key) {
  switch (key) {
    case VK_ADD:
      return kHeldPlus;
    case VK_SUBTRACT:
      return kHeldMinus;
    case VK_BACK:
      return kHeldBack;
    case VK_DECIMAL:
      return kHeldPoint;
    case VK_MULTIPLY:
      return kHeldStar;
    case VK_DIVIDE:
      return kHeldSlash;
    case VK_NUMPAD0:
      return kHeldZero;
    default:
      return 0;
  }
}

// Looks a keypad digit up in a row of ten (index = digit); other keys give kNo.
int ByDigit(int digit, const int (&row)[10]) { return digit < 0 ? kNo : row[digit]; }

std::optional<TKeyResult> ChordMap(const TKeyInput& in, const TKeyContext& ctx) {
  const uint16_t key = in.Key;
  const uint8_t held = in.Held | HeldBitOf(key);
  const bool plus = held & kHeldPlus, minus = held & kHeldMinus, back = held & kHeldBack;
  const bool point = held & kHeldPoint, star = held & kHeldStar, slash = held & kHeldSlash;
  const bool zero = held & kHeldZero;

  if (back && key == VK_RETURN && ctx.Tarn_Lyric) return Command(38);

  // The keypad's arrows and pages, as they come with NumLock off.
  if (minus && key == VK_PRIOR) return Command(43);
  if (minus && key == VK_NEXT) return Command(44);
  if (key == VK_LEFT) {
    if (plus && minus) return Command(14);
    if (minus) return Command(12);
    if (plus) return Command(10);
  }
  if (key == VK_RIGHT) {
    if (plus && minus) return Command(15);
    if (minus) return Command(13);
    if (plus) return Command(11);
  }
  if (key == VK_UP && plus) return Command(30);
  if (key == VK_DOWN && plus) return Command(31);
  if (key == VK_BACK) return Command(1);

  if (!IsKeypadKey(key)) return std::nullopt;
  if (back && slash && star) return Command(37);
  if (star && plus) return Command(40);

  // Every other keypad key is swallowed unless a chord gives it a command.
  const int d = key <= VK_NUMPAD0 + 9 ? key - VK_NUMPAD0 : -1;
  int command = kNo;
  int32_t argument = 0;
  if (back && star) {
    if (d >= 1 && d <= 3) command = 35, argument = d - 1;
  } else if (plus && minus) {
    command = ByDigit(d, {kNo, kNo, kNo, kNo, 14, kNo, 15, kNo, kNo, kNo});
  } else if (plus) {
    command = ByDigit(d, {kNo, 16, 18, 17, 10, 19, 11, 6, 27, 7});
  } else if (minus) {
    command = ByDigit(d, {kNo, kNo, kNo, 44, 12, kNo, 13, 51, kNo, 43});
  } else if (point) {
    command = ByDigit(d, {39, 45, 46, 47, 48, 49, 50, 67, 39, 66});
  } else if (star) {
    if (d >= 1 && d <= 3) {
      command = 34, argument = d - 1;
    } else {
      command = ByDigit(d, {kNo, kNo, kNo, kNo, 54, 57, 53, 55, kNo, 56});
    }
  } else if (slash) {
    if (d >= 0) command = 32, argument = d;
  } else if (back) {
    command = ByDigit(d, {kNo, 63, kNo, 62, 64, 65, 59, 58, 60, 61});
  } else if (zero) {
    command = ByDigit(d, {kNo, 39, 74, 72, 70, 69, 71, 67, 75, 73});
  } else if (d == 1) {
    if (!ctx.LyricOn) {
      TKeyResult r = Command(20);
      r.ResetDisplayMode = true;
      return r;
    }
    command = ctx.DisplayMode == 3 ? 20 : 25;
  } else {
    command = ByDigit(d, {kNo, kNo, 33, 42, 8, 5, 9, 52, 48, 41});
  }
  if (command == kNo) return Command(1);
  return Command(command, argument);
}

// A row of the main key map: the cells for no modifier, Shift, Ctrl and Alt.  With
// several modifiers down, the combinations a key names itself are looked at first;
// then Shift is checked, then Ctrl, then Alt, each by its own cell, blank or not.
struct TRow {
  int none, shift, ctrl, alt;
};

std::optional<TKeyResult> ByModifier(const TModifiers& m, const TRow& row, int32_t argument = 0) {
  if (m.Shift) return Cell(row.shift, argument);
  if (m.Ctrl) return Cell(row.ctrl, argument);
  if (m.Alt) return Cell(row.alt, argument);
  return Cell(row.none, argument);
}

std::optional<TKeyResult> Same(int command) { return Command(command); }

std::optional<TKeyResult> MainMap(const TKeyInput& in, const TKeyContext& ctx) {
  const TModifiers& m = in.Modifiers;
  const bool ctrlAlt = m.Ctrl && m.Alt;
  const bool extras = ctx.Tarn_Lyric || ctrlAlt;
  const int ifExtras23 = extras ? 23 : kNo, ifExtras22 = extras ? 22 : kNo;

  switch (in.Key) {
    case VK_RETURN:
      return Same(36);
    case VK_ESCAPE:
      return Same(21);
    case VK_SPACE:
      return Same(5);
    case VK_PAUSE:
    case VK_OEM_5:
    case VK_OEM_7:
      return Same(37);
    case VK_PRIOR:
    case VK_OEM_3:
      return ByModifier(m, {41, 75, 41, 41});
    case VK_NEXT:
    case VK_OEM_1:
      return ByModifier(m, {42, 74, 42, 42});
    case VK_OEM_4:
      return ByModifier(m, {43, 73, 43, 43});
    case VK_OEM_6:
      return ByModifier(m, {44, 72, 44, 44});
    case VK_OEM_COMMA:
      return Same(6);
    case VK_OEM_PERIOD:
      return Same(7);
    case VK_HOME:
      return Same(12);
    case VK_END:
      return Same(13);
    case VK_LEFT:
      if (m.Shift && m.Ctrl) return Command(14);
      return ByModifier(m, {8, 10, 12, 8});
    case VK_RIGHT:
      if (m.Shift && m.Ctrl) return Command(15);
      return ByModifier(m, {9, 11, 13, 9});
    case VK_UP:
      return ByModifier(m, {28, 30, 30, 30});
    case VK_DOWN:
      return ByModifier(m, {29, 31, 31, 31});
    case VK_SHIFT:
      return m.Alt ? Same(40) : std::nullopt;
    case VK_MENU:
      return m.Shift ? Same(40) : std::nullopt;
    case 'A':
      if (ctrlAlt) return Command(23);
      if (m.Shift && m.Ctrl) return Command(14);
      return ByModifier(m, {ifExtras23, 16, 12, ifExtras23});
    case 'C':
    case 'E':
      return Same(33);
    case 'D':
      return ByModifier(m, {19, 17, 19, 19});
    case 'F':
      return ByModifier(m, {34, 34, 35, 34}, 1);
    case 'R':
      return ByModifier(m, {34, 34, 35, 34}, 0);
    case 'V':
      return ByModifier(m, {34, 34, 35, 34}, 2);
    case 'L':
      if (m.Alt && !m.Ctrl) return TKeyResult{TKeyAction::kClickTime};
      return Same(20);  // every state but Alt without Ctrl
    case 'S':
      if (m.Shift && m.Ctrl && !m.Alt) return Command(15);
      if (ctrlAlt) return Command(22);
      if (m.Alt) return TKeyResult{TKeyAction::kClickCurTime};
      return ByModifier(m, {ifExtras22, 18, 13, kNo});
    case 'Q':
      return Cell(extras ? 26 : kNo);
    case 'W':
      return Cell(extras ? 27 : kNo);
    case 'X':
      return Cell(extras ? 25 : kNo);
    case 'Z':
      return Cell(extras ? 24 : kNo);
    case VK_F1:
      if (!ctx.f1Cancel) return std::nullopt;
      if (ctrlAlt) return Command(68);
      return ByModifier(m, {kNo, kNo, 62, 63});
    case VK_F4:
      return ByModifier(m, {kNo, kNo, kNo, 4});
    case VK_F9:
      return ctx.f9Cancel ? Same(58) : std::nullopt;
    case VK_F10:
      return ByModifier(m, {60, 61, 60, 60});
    default:
      return std::nullopt;
  }
}

// The digits of the main keyboard; Shift chooses an equaliser preset.
std::optional<TKeyResult> DigitMap(const TKeyInput& in) {
  if (in.Key < '0' || in.Key > '9') return std::nullopt;
  const int d = in.Key - '0';
  static constexpr int kNone[10] = {57, 45, 46, 47, 48, 49, 54, 53, 55, 55};
  static constexpr int kCtrl[10] = {kNo, 63, kNo, 62, 64, 65, 59, 58, 60, 61};
  static constexpr int kAlt[10] = {66, 51, 74, 72, 70, 69, 71, 67, 75, 73};
  const TModifiers& m = in.Modifiers;
  if (m.Shift) return Command(32, d);
  if (m.Ctrl) return Cell(kCtrl[d]);
  if (m.Alt) return Cell(kAlt[d]);
  return Cell(kNone[d]);
}

}  // namespace

TKeyResult MapKey(const TKeyInput& input, const TKeyContext& context) {
  if (auto r = ChordMap(input, context)) return *r;
  if (auto r = MainMap(input, context)) return *r;
  if (auto r = DigitMap(input)) return *r;
  const uint16_t key = input.Key;
  if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_NUMLOCK) return {};
  return {TKeyAction::kForward};
}

TKeyInput AppCommandKey(uint32_t lParam) {
  const uint16_t command = lParam >> 16, keyState = lParam & 0xFFFF;
  TKeyInput in;
  in.Key = (command & 1) ? VK_LEFT : VK_RIGHT;
  in.Modifiers.Alt = true;
  in.Modifiers.Shift = keyState != 0;
  return in;
}

}  // namespace sorrel::app
