// The settings window's keys: which modifier wins, which keys need the equaliser tab,
// and the keypad chords with "/" and BackSpace.
#include "settings/core/CommandKeys.h"

#include <gtest/gtest.h>

using namespace sorrel::settings;
using A = TCommandKeyAction;

namespace {

constexpr uint16_t kReturn = 0x0D, kEscape = 0x1B, kDigit0 = 0x30, kNumpad0 = 0x60, kDivide = 0x6F;

TCommandKeyResult Key(uint16_t vk, bool shift = false, bool ctrl = false, bool slash = false,
                      bool back = false, bool eqTab = true) {
  TCommandKey k;
  k.Key = vk;
  k.Shift = shift;
  k.Ctrl = ctrl;
  k.SlashHeld = slash;
  k.BackHeld = back;
  k.EqTabActive = eqTab;
  return CommandFormKey(k);
}

}  // namespace

TEST(CommandKeys, EnterAndEscOnEveryTab) {
  for (bool eqTab : {true, false}) {
    EXPECT_EQ(Key(kReturn, false, false, false, false, eqTab), (TCommandKeyResult{A::kFocusNext, 0}));
    EXPECT_EQ(Key(kReturn, true, false, false, false, eqTab), (TCommandKeyResult{A::kFocusPrevious, 0}));
    EXPECT_EQ(Key(kEscape, true, true, false, false, eqTab), (TCommandKeyResult{A::kClose, 0}));
  }
}

TEST(CommandKeys, DigitRowStoresWithCtrlAndRecallsWithShift) {
  EXPECT_EQ(Key(kDigit0 + 3, false, true), (TCommandKeyResult{A::kStorePreset, 3}));
  EXPECT_EQ(Key(kDigit0 + 9, true), (TCommandKeyResult{A::kRecallPreset, 9}));
  EXPECT_EQ(Key(kDigit0, true, true), (TCommandKeyResult{A::kStorePreset, 0}));       // Ctrl first
  EXPECT_EQ(Key(kDigit0 + 3), TCommandKeyResult{});                                   // plain digit
  EXPECT_EQ(Key(kDigit0 + 3, false, false, true), TCommandKeyResult{});               // "/" is for the keypad
  EXPECT_EQ(Key(kDigit0 + 3, true, true, false, false, false), TCommandKeyResult{});  // another tab
}

TEST(CommandKeys, KeypadDigitsWithSlashHeld) {
  EXPECT_EQ(Key(kNumpad0 + 7, false, false, true), (TCommandKeyResult{A::kRecallPreset, 7}));
  EXPECT_EQ(Key(kNumpad0, false, false, true, true), (TCommandKeyResult{A::kStorePreset, 0}));
  EXPECT_EQ(Key(kNumpad0 + 9, false, false, true, true), (TCommandKeyResult{A::kStorePreset, 9}));
  EXPECT_EQ(Key(kNumpad0 + 7), TCommandKeyResult{});                             // no chord
  EXPECT_EQ(Key(kNumpad0 + 7, false, false, false, true), TCommandKeyResult{});  // BackSpace alone
  EXPECT_EQ(Key(kNumpad0 + 7, false, false, true, false, false), TCommandKeyResult{});
  // Keys next to the digits: "/" itself and the keypad's other codes.
  EXPECT_EQ(Key(kDivide, false, false, true), TCommandKeyResult{});
  EXPECT_EQ(Key(kNumpad0 + 10, false, false, true), TCommandKeyResult{});
  EXPECT_EQ(Key(kNumpad0 - 1, false, false, true), TCommandKeyResult{});
}
