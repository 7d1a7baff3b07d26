// The key map, cell by cell: the main keys, the digits and the keypad chords as the key
// tables give them, written here as data, and the order in which modifiers and held
// keypad keys are looked at.
#include "app/core/KeyMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sorrel::app;

namespace {

constexpr TModifiers kNone{}, kShift{true, false, false}, kCtrl{false, true, false}, kAlt{false, false, true};
constexpr TModifiers kShiftCtrl{true, true, false}, kShiftAlt{true, false, true}, kCtrlAlt{false, true, true};
constexpr TModifiers kAll{true, true, true};

std::string Describe(const TKeyResult& r) {
  switch (r.Action) {
    case TKeyAction::kNone:
      return "none";
    case TKeyAction::kForward:
      return "forward";
    case TKeyAction::kClickTime:
      return "click lb_Time";
    case TKeyAction::kClickCurTime:
      return "click lb_CurTime";
    case TKeyAction::kCommand:
      return std::to_string(r.Command) + "(" + std::to_string(r.Argument) + ")" +
             (r.ResetDisplayMode ? " mode 0" : "");
  }
  return "?";
}

// A cell as the tables write it: "" (blank: the key goes on to Navin'You), "36",
// "34(1)", "23x" (23 if extras allowed), "click lb_Time".
std::string Expect(const std::string& cell, bool extras) {
  if (cell.empty()) return "forward";
  if (cell.rfind("click", 0) == 0) return cell;
  std::string c = cell;
  if (c.back() == 'x') {
    if (!extras) return "forward";
    c.pop_back();
  }
  if (c.find('(') == std::string::npos) c += "(0)";
  return c;
}

std::string Map(uint16_t key, TModifiers m, TKeyContext ctx = {}, uint8_t held = 0) {
  return Describe(MapKey({key, m, held}, ctx));
}

std::string Name(uint16_t key) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", key);
  return buf;
}

struct MainRow {
  std::vector<uint16_t> keys;
  std::string none, shift, ctrl, alt;
};

// The main key map: none, Shift, Ctrl, Alt.
const std::vector<MainRow> kMainKeys = {
    {{VK_RETURN}, "36", "36", "36", "36"},
    {{VK_ESCAPE}, "21", "21", "21", "21"},
    {{VK_SPACE}, "5", "5", "5", "5"},
    {{VK_PAUSE, 0xDC, 0xDE}, "37", "37", "37", "37"},
    {{VK_PRIOR, 0xC0}, "41", "75", "41", "41"},
    {{VK_NEXT, 0xBA}, "42", "74", "42", "42"},
    {{0xDB}, "43", "73", "43", "43"},
    {{0xDD}, "44", "72", "44", "44"},
    {{0xBC}, "6", "6", "6", "6"},
    {{0xBE}, "7", "7", "7", "7"},
    {{VK_HOME}, "12", "12", "12", "12"},
    {{VK_END}, "13", "13", "13", "13"},
    {{VK_LEFT}, "8", "10", "12", "8"},
    {{VK_RIGHT}, "9", "11", "13", "9"},
    {{VK_UP}, "28", "30", "30", "30"},
    {{VK_DOWN}, "29", "31", "31", "31"},
    {{'A'}, "23x", "16", "12", "23x"},
    {{'C', 'E'}, "33", "33", "33", "33"},
    {{'D'}, "19", "17", "19", "19"},
    {{'F'}, "34(1)", "34(1)", "35(1)", "34(1)"},
    {{'R'}, "34(0)", "34(0)", "35(0)", "34(0)"},
    {{'V'}, "34(2)", "34(2)", "35(2)", "34(2)"},
    {{'L'}, "20", "20", "20", "click lb_Time"},
    {{'S'}, "22x", "18", "13", "click lb_CurTime"},
    {{'Q'}, "26x", "26x", "26x", "26x"},
    {{'W'}, "27x", "27x", "27x", "27x"},
    {{'X'}, "25x", "25x", "25x", "25x"},
    {{'Z'}, "24x", "24x", "24x", "24x"},
    {{VK_F1}, "", "", "62", "63"},  // with "f1Cancel"
    {{VK_F4}, "", "", "", "4"},
    {{VK_F9}, "58", "58", "58", "58"},  // with "f9Cancel"
    {{VK_F10}, "60", "61", "60", "60"},
};

// The digits of the main keyboard: none, Shift, Ctrl, Alt.
const std::vector<std::vector<std::string>> kDigits = {
    {"57", "32(0)", "", "66"},   {"45", "32(1)", "63", "51"}, {"46", "32(2)", "", "74"},
    {"47", "32(3)", "62", "72"}, {"48", "32(4)", "64", "70"}, {"49", "32(5)", "65", "69"},
    {"54", "32(6)", "59", "71"}, {"53", "32(7)", "58", "67"}, {"55", "32(8)", "60", "75"},
    {"55", "32(9)", "61", "73"},
};

}  // namespace

TEST(KeyMap, MainKeysCellByCell) {
  for (bool tarn : {false, true}) {
    TKeyContext ctx;
    ctx.Tarn_Lyric = tarn;
    ctx.f1Cancel = ctx.f9Cancel = true;
    for (const MainRow& row : kMainKeys) {
      for (uint16_t key : row.keys) {
        SCOPED_TRACE(Name(key) + (tarn ? " Tarn_Lyric" : ""));
        EXPECT_EQ(Map(key, kNone, ctx), Expect(row.none, tarn));
        EXPECT_EQ(Map(key, kShift, ctx), Expect(row.shift, tarn));
        EXPECT_EQ(Map(key, kCtrl, ctx), Expect(row.ctrl, tarn));
        EXPECT_EQ(Map(key, kAlt, ctx), Expect(row.alt, tarn));
      }
    }
  }
}

TEST(KeyMap, MainKeysOwnCombinations) {
  // The "other" column.
  EXPECT_EQ(Map(VK_LEFT, kShiftCtrl), "14(0)");
  EXPECT_EQ(Map(VK_RIGHT, kShiftCtrl), "15(0)");
  EXPECT_EQ(Map('A', kShiftCtrl), "14(0)");
  EXPECT_EQ(Map('A', kCtrlAlt), "23(0)");  // Ctrl+Alt allows the extras by itself
  EXPECT_EQ(Map('A', kAll), "23(0)");      // 14 only without Alt
  EXPECT_EQ(Map('S', kShiftCtrl), "15(0)");
  EXPECT_EQ(Map('S', kCtrlAlt), "22(0)");
  EXPECT_EQ(Map('S', kAll), "22(0)");
  for (uint16_t key : {'Q', 'W', 'X', 'Z'}) EXPECT_NE(Map(key, kCtrlAlt), "forward") << Name(key);
  EXPECT_EQ(Map('Q', kCtrlAlt), "26(0)");
  EXPECT_EQ(Map('Z', kAll), "24(0)");
  TKeyContext f1;
  f1.f1Cancel = true;
  EXPECT_EQ(Map(VK_F1, kCtrlAlt, f1), "68(0)");
  // The click is "Alt without Ctrl".
  EXPECT_EQ(Map('L', kShiftAlt), "click lb_Time");
  EXPECT_EQ(Map('S', kShiftAlt), "click lb_CurTime");
  EXPECT_EQ(Map('L', kCtrlAlt), "20(0)");
  // Shift and Alt pressed together.
  EXPECT_EQ(Map(VK_SHIFT, kShiftAlt), "40(0)");
  EXPECT_EQ(Map(VK_MENU, kShiftAlt), "40(0)");
  EXPECT_EQ(Map(VK_MENU, kAll), "40(0)");
}

TEST(KeyMap, ModifierKeysAloneAreNeitherCommandsNorForwarded) {
  EXPECT_EQ(Map(VK_SHIFT, kShift), "none");
  EXPECT_EQ(Map(VK_CONTROL, kCtrl), "none");
  EXPECT_EQ(Map(VK_MENU, kAlt), "none");
  EXPECT_EQ(Map(VK_CONTROL, kAll), "none");
  EXPECT_EQ(Map(VK_SHIFT, kShiftCtrl), "none");
  EXPECT_EQ(Map(VK_NUMLOCK, kNone), "none");
}

TEST(KeyMap, ShiftWinsThenCtrlThenAlt) {
  for (TModifiers m : {kShiftCtrl, kShiftAlt, kAll}) {
    EXPECT_EQ(Map(VK_PRIOR, m), "75(0)");
    EXPECT_EQ(Map(0xC0, m), "75(0)");
    EXPECT_EQ(Map(VK_NEXT, m), "74(0)");
    EXPECT_EQ(Map(0xBA, m), "74(0)");
    EXPECT_EQ(Map(0xDB, m), "73(0)");
    EXPECT_EQ(Map(0xDD, m), "72(0)");
  }
  EXPECT_EQ(Map(VK_LEFT, kShiftAlt), "10(0)");  // the mouse's back button with Shift
  EXPECT_EQ(Map(VK_RIGHT, kShiftAlt), "11(0)");
  EXPECT_EQ(Map(VK_LEFT, kCtrlAlt), "12(0)");
  EXPECT_EQ(Map(VK_UP, kCtrlAlt), "30(0)");
  EXPECT_EQ(Map('D', kShiftAlt), "17(0)");
  EXPECT_EQ(Map('F', kShiftCtrl), "34(1)");
  EXPECT_EQ(Map('V', kCtrlAlt), "35(2)");
  EXPECT_EQ(Map(VK_F10, kShiftCtrl), "61(0)");
  EXPECT_EQ(Map('A', kShiftAlt), "16(0)");
  EXPECT_EQ(Map(VK_F4, kShiftAlt), "forward");  // the Shift cell is blank
}

TEST(KeyMap, FunctionKeysNeedTheirSetting) {
  for (TModifiers m : {kNone, kShift, kCtrl, kAlt, kCtrlAlt}) {
    EXPECT_EQ(Map(VK_F1, m), "forward");
    EXPECT_EQ(Map(VK_F9, m), "forward");
  }
}

TEST(KeyMap, DigitsCellByCell) {
  for (int d = 0; d <= 9; ++d) {
    const uint16_t key = '0' + d;
    SCOPED_TRACE(d);
    EXPECT_EQ(Map(key, kNone), Expect(kDigits[d][0], false));
    EXPECT_EQ(Map(key, kShift), Expect(kDigits[d][1], false));
    EXPECT_EQ(Map(key, kCtrl), Expect(kDigits[d][2], false));
    EXPECT_EQ(Map(key, kAlt), Expect(kDigits[d][3], false));
    // Shift is checked first, then Ctrl (blank or not), then Alt.
    EXPECT_EQ(Map(key, kAll), Expect(kDigits[d][1], false));
    EXPECT_EQ(Map(key, kShiftAlt), Expect(kDigits[d][1], false));
    EXPECT_EQ(Map(key, kCtrlAlt), Expect(kDigits[d][2], false));
  }
}

TEST(KeyMap, KeysWithoutCommandAreForwarded) {
  for (uint16_t key :
       std::vector<uint16_t>{'B', 'G', 'Y', 'P', 0x7A /* F11 */, 0xBF, 0xE2, 0x2D /* Insert */}) {
    EXPECT_EQ(Map(key, kNone), "forward") << Name(key);
  }
}

namespace {

struct ChordRow {
  uint8_t held;
  const char* name;
  // Keypad digits 0..9; "" = no command of its own (the key is swallowed: 1).
  std::vector<std::string> digits;
};

// Step 6 of the keypad chords, in its order.
const std::vector<ChordRow> kChords = {
    {kHeldBack | kHeldStar, "BackSpace+star", {"", "35(0)", "35(1)", "35(2)", "", "", "", "", "", ""}},
    {kHeldPlus | kHeldMinus, "plus+minus", {"", "", "", "", "14", "", "15", "", "", ""}},
    {kHeldPlus, "plus", {"", "16", "18", "17", "10", "19", "11", "6", "27", "7"}},
    {kHeldMinus, "minus", {"", "", "", "44", "12", "", "13", "51", "", "43"}},
    {kHeldPoint, "point", {"39", "45", "46", "47", "48", "49", "50", "67", "39", "66"}},
    {kHeldStar, "star", {"", "34(0)", "34(1)", "34(2)", "54", "57", "53", "55", "", "56"}},
    {kHeldSlash,
     "slash",
     {"32(0)", "32(1)", "32(2)", "32(3)", "32(4)", "32(5)", "32(6)", "32(7)", "32(8)", "32(9)"}},
    {kHeldBack, "BackSpace", {"", "63", "", "62", "64", "65", "59", "58", "60", "61"}},
    {kHeldZero, "zero", {"", "39", "74", "72", "70", "69", "71", "67", "75", "73"}},
    // No chord; keypad 1 depends on the lyrics (below).
    {0, "no chord", {"", "-", "33", "42", "8", "5", "9", "52", "48", "41"}},
};

std::string ExpectChord(const std::string& cell) { return cell.empty() ? "1(0)" : Expect(cell, false); }

}  // namespace

TEST(KeyMap, KeypadChordsCellByCell) {
  TKeyContext lyricsOn;
  lyricsOn.LyricOn = true;
  for (const ChordRow& row : kChords) {
    for (int d = 0; d <= 9; ++d) {
      if (row.digits[d] == "-") continue;
      SCOPED_TRACE(std::string(row.name) + " + keypad " + std::to_string(d));
      for (TModifiers m : {kNone, kShift, kCtrlAlt}) {  // the keypad keys ignore modifiers
        EXPECT_EQ(Map(VK_NUMPAD0 + d, m, lyricsOn, row.held), ExpectChord(row.digits[d]));
      }
    }
  }
}

TEST(KeyMap, KeypadOneFollowsTheLyrics) {
  TKeyContext ctx;
  ctx.LyricOn = false;
  ctx.DisplayMode = 3;
  EXPECT_EQ(Map(VK_NUMPAD0 + 1, kNone, ctx), "20(0) mode 0");
  ctx.LyricOn = true;
  EXPECT_EQ(Map(VK_NUMPAD0 + 1, kNone, ctx), "20(0)");
  for (int mode : {0, 1, 2, 4, 5, 6}) {
    ctx.DisplayMode = mode;
    EXPECT_EQ(Map(VK_NUMPAD0 + 1, kNone, ctx), "25(0)") << mode;
  }
}

TEST(KeyMap, KeypadChordOrder) {
  TKeyContext lyricsOn;
  lyricsOn.LyricOn = true;
  auto pad = [&](int d, uint8_t held) { return Map(VK_NUMPAD0 + d, kNone, lyricsOn, held); };
  // The first chord that holds decides, even when the key has no command in it.
  EXPECT_EQ(pad(4, kHeldBack | kHeldStar), "1(0)");   // not star's 54 nor BackSpace's 64
  EXPECT_EQ(pad(1, kHeldPlus | kHeldMinus), "1(0)");  // not plus's 16
  EXPECT_EQ(pad(0, kHeldPlus | kHeldPoint), "1(0)");  // not point's 39
  EXPECT_EQ(pad(4, kHeldPoint | kHeldStar), "48(0)");
  EXPECT_EQ(pad(5, kHeldStar | kHeldSlash), "57(0)");
  EXPECT_EQ(pad(5, kHeldSlash | kHeldBack), "32(5)");
  EXPECT_EQ(pad(2, kHeldBack | kHeldZero), "1(0)");  // not zero's 74
  EXPECT_EQ(pad(3, kHeldMinus | kHeldZero), "44(0)");
  // Steps 4 and 5 come before every digit chord, and hold for any keypad key.
  EXPECT_EQ(pad(1, kHeldBack | kHeldSlash | kHeldStar), "37(0)");
  EXPECT_EQ(pad(1, kHeldStar | kHeldPlus), "40(0)");
  EXPECT_EQ(Map(VK_DECIMAL, kNone, lyricsOn, kHeldBack | kHeldSlash | kHeldStar), "37(0)");
  // The arriving key counts as held: the last key of a chord completes it.
  EXPECT_EQ(Map(VK_DIVIDE, kNone, lyricsOn, kHeldBack | kHeldStar), "37(0)");
  EXPECT_EQ(Map(VK_MULTIPLY, kNone, lyricsOn, kHeldBack | kHeldSlash), "37(0)");
  EXPECT_EQ(Map(VK_ADD, kNone, lyricsOn, kHeldStar), "40(0)");
  EXPECT_EQ(Map(VK_MULTIPLY, kNone, lyricsOn, kHeldPlus), "40(0)");
}

TEST(KeyMap, KeypadKeysAloneAreSwallowed) {
  for (uint16_t key :
       {VK_ADD, VK_SUBTRACT, VK_MULTIPLY, VK_DIVIDE, VK_DECIMAL, VK_SEPARATOR, VK_NUMPAD0, VK_BACK}) {
    EXPECT_EQ(Map(key, kNone), "1(0)") << Name(key);
    EXPECT_EQ(Map(key, kShift), "1(0)") << Name(key);
  }
  EXPECT_EQ(Map(VK_BACK, kNone, {}, kHeldMinus | kHeldPlus), "1(0)");
}

TEST(KeyMap, ChordsOnTheKeypadWithoutNumLock) {
  TKeyContext ctx;
  // Step 1: BackSpace and Enter, only with "Tarn_Lyric".
  EXPECT_EQ(Map(VK_RETURN, kNone, ctx, kHeldBack), "36(0)");
  ctx.Tarn_Lyric = true;
  EXPECT_EQ(Map(VK_RETURN, kNone, ctx, kHeldBack), "38(0)");
  EXPECT_EQ(Map(VK_RETURN, kNone, ctx, kHeldMinus), "36(0)");
  // Step 2.
  EXPECT_EQ(Map(VK_PRIOR, kNone, ctx, kHeldMinus), "43(0)");
  EXPECT_EQ(Map(VK_NEXT, kShift, ctx, kHeldMinus), "44(0)");
  EXPECT_EQ(Map(VK_PRIOR, kNone, ctx, kHeldPlus), "41(0)");  // the main map
  EXPECT_EQ(Map(VK_LEFT, kNone, ctx, kHeldPlus | kHeldMinus), "14(0)");
  EXPECT_EQ(Map(VK_LEFT, kNone, ctx, kHeldMinus), "12(0)");
  EXPECT_EQ(Map(VK_LEFT, kShift, ctx, kHeldPlus), "10(0)");
  EXPECT_EQ(Map(VK_RIGHT, kNone, ctx, kHeldPlus | kHeldMinus), "15(0)");
  EXPECT_EQ(Map(VK_RIGHT, kNone, ctx, kHeldMinus), "13(0)");
  EXPECT_EQ(Map(VK_RIGHT, kNone, ctx, kHeldPlus), "11(0)");
  EXPECT_EQ(Map(VK_UP, kNone, ctx, kHeldPlus), "30(0)");
  EXPECT_EQ(Map(VK_UP, kNone, ctx, kHeldMinus), "28(0)");  // the main map
  EXPECT_EQ(Map(VK_DOWN, kNone, ctx, kHeldPlus), "31(0)");
  EXPECT_EQ(Map(VK_LEFT, kNone, ctx, kHeldStar), "8(0)");
  // Step 3: other keys go on to the main map with the chord keys still held.
  EXPECT_EQ(Map('C', kNone, ctx, kHeldPlus), "33(0)");
  EXPECT_EQ(Map('B', kNone, ctx, kHeldPlus | kHeldStar), "forward");
  EXPECT_EQ(Map('5', kNone, ctx, kHeldSlash), "49(0)");
}

TEST(KeyMap, AppCommandStandsForAltArrows) {
  constexpr uint32_t kBack = 1, kForward = 2, kMkShift = 4;
  EXPECT_EQ(Describe(MapKey(AppCommandKey(kBack << 16), {})), "8(0)");
  EXPECT_EQ(Describe(MapKey(AppCommandKey(kForward << 16), {})), "9(0)");
  EXPECT_EQ(Describe(MapKey(AppCommandKey(kBack << 16 | kMkShift), {})), "10(0)");
  EXPECT_EQ(Describe(MapKey(AppCommandKey(kForward << 16 | kMkShift), {})), "11(0)");
  // The device bits of the command word do not matter; only bit 0.
  EXPECT_EQ(AppCommandKey((0x8000u | kBack) << 16).Key, VK_LEFT);
}
