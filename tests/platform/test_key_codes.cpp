// The key translation's tables without Qt: characters, keypad keys with NumLock on and
// off, X keypad keysyms, and the held keys the keypad chords look at.
#include "platform/input/core/HeldKeys.h"
#include "platform/input/core/KeyCodes.h"

#include <gtest/gtest.h>

using namespace sorrel::input;

namespace {

constexpr TKeyModifiers kNone{};
constexpr TKeyModifiers kShift{true, false, false};

}  // namespace

TEST(KeyCodes, CharactersAsAUsKeyboardGivesThem) {
  const struct {
    const char32_t* chars;
    uint16_t vk;
  } keys[] = {
      {U";:", 0xBA}, {U"=+", 0xBB}, {U",<", 0xBC},  {U"-_", 0xBD}, {U".>", 0xBE},  {U"/?", 0xBF},
      {U"`~", 0xC0}, {U"[{", 0xDB}, {U"\\|", 0xDC}, {U"]}", 0xDD}, {U"'\"", 0xDE},
  };
  for (const auto& k : keys) {
    EXPECT_EQ(VkFromCharacter(k.chars[0]), k.vk) << std::hex << k.vk;
    EXPECT_EQ(VkFromCharacter(k.chars[1]), k.vk) << std::hex << k.vk;
  }
  // Shifted digits are their digit's key.
  const std::u32string shifted = U")!@#$%^&*(";
  for (int d = 0; d < 10; ++d) {
    EXPECT_EQ(VkFromCharacter(U'0' + d), 0x30 + d);
    EXPECT_EQ(VkFromCharacter(shifted[d]), 0x30 + d);
  }
  EXPECT_EQ(VkFromCharacter(U'A'), 0x41);
  EXPECT_EQ(VkFromCharacter(U'z'), 0x5A);
  EXPECT_EQ(VkFromCharacter(U' '), 0x20);
  EXPECT_EQ(VkFromCharacter(U'¥'), 0xDC);
  // No key of a US keyboard.
  for (const char32_t c : {U'\0', U'\x1b', U'\x7f', U'é', U'€', U'ж', U'あ', U'\u0140'})
    EXPECT_EQ(VkFromCharacter(c), 0);
}

TEST(KeyCodes, KeypadDigitsFollowNumLockAndShiftAsOnWindows) {
  const uint16_t navigation[11] = {0x2D, 0x23, 0x28, 0x22, 0x25, 0x0C, 0x27, 0x24, 0x26, 0x21, 0x2E};
  for (int p = 0; p <= 10; ++p) {
    SCOPED_TRACE(p);
    const uint16_t digitCode = p == 10 ? 0x6E : 0x60 + p;
    // NumLock on: the digit codes.
    EXPECT_EQ(KeypadDigitStroke(p, true, kNone), (TKeyStroke{digitCode, true, kNone}));
    // NumLock off: the navigation codes.
    EXPECT_EQ(KeypadDigitStroke(p, false, kNone), (TKeyStroke{navigation[p], true, kNone}));
    // NumLock on with Shift (the platform gave navigation): Shift hidden.
    EXPECT_EQ(KeypadDigitStroke(p, false, kShift), (TKeyStroke{navigation[p], true, kNone}));
    // NumLock off with Shift (the platform gave the digit): navigation with Shift.
    EXPECT_EQ(KeypadDigitStroke(p, true, kShift), (TKeyStroke{navigation[p], true, kShift}));
  }
  const TKeyModifiers ctrlAlt{false, true, true};
  EXPECT_EQ(KeypadDigitStroke(7, true, ctrlAlt), (TKeyStroke{0x67, true, ctrlAlt}));
  EXPECT_EQ(KeypadDigitStroke(-1, true, kNone).vk, 0);
  EXPECT_EQ(KeypadDigitStroke(11, true, kNone).vk, 0);
}

TEST(KeyCodes, KeypadKeysyms) {
  for (uint32_t d = 0; d < 10; ++d) EXPECT_EQ(KeypadStrokeFromKeysym(0xFFB0 + d, kNone)->vk, 0x60 + d);
  const struct {
    uint32_t keysym;
    uint16_t vk;
  } keys[] = {
      {0xFF9E, 0x2D}, {0xFF9C, 0x23}, {0xFF99, 0x28}, {0xFF9B, 0x22}, {0xFF96, 0x25},
      {0xFF9D, 0x0C}, {0xFF98, 0x27}, {0xFF95, 0x24}, {0xFF97, 0x26}, {0xFF9A, 0x21},
      {0xFF9F, 0x2E}, {0xFFAE, 0x6E}, {0xFFAC, 0x6E}, {0xFFAA, 0x6A}, {0xFFAB, 0x6B},
      {0xFFAD, 0x6D}, {0xFFAF, 0x6F}, {0xFF8D, 0x0D}, {0xFF91, 0x70}, {0xFF94, 0x73},
  };
  for (const auto& k : keys) {
    const auto s = KeypadStrokeFromKeysym(k.keysym, kNone);
    ASSERT_TRUE(s) << std::hex << k.keysym;
    EXPECT_EQ(s->vk, k.vk) << std::hex << k.keysym;
    EXPECT_TRUE(s->keypad);
  }
  // Operators are not changed by Shift.
  EXPECT_EQ(KeypadStrokeFromKeysym(0xFFAB, kShift), (TKeyStroke{0x6B, true, kShift}));
  // Not keypad keysyms: main-keyboard Return and Left, Num_Lock, a letter, nothing.
  for (const uint32_t keysym : {0xFF0Du, 0xFF51u, 0xFF7Fu, 0x61u, 0u, 0xFFBDu})
    EXPECT_FALSE(KeypadStrokeFromKeysym(keysym, kNone));
}

TEST(HeldKeys, PressAndReleaseByKeyCode) {
  THeldKeys held;
  EXPECT_EQ(held.ChordKeys(), TKeypadChordKeys{});
  held.Press(0x6B, 86);  // keypad +
  held.Press(0x6B, 86);  // auto-repeat
  held.Press(0x08, 22);  // BackSpace
  EXPECT_EQ(held.ChordKeys(), (TKeypadChordKeys{.plus = true, .backSpace = true}));
  held.Release(0x6B, 86);
  EXPECT_EQ(held.ChordKeys(), (TKeypadChordKeys{.backSpace = true}));
  // The same code from two keys: held until both are up.
  held.Press(0x10, 50);
  held.Press(0x10, 62);
  held.Release(0x10, 50);
  EXPECT_TRUE(held.IsHeld(0x10));
  held.Release(0x10, 62);
  EXPECT_FALSE(held.IsHeld(0x10));
}

TEST(HeldKeys, AKeyThatChangedItsCodeWhileHeldComesUp) {
  THeldKeys held;
  // Keypad 0 goes down with NumLock on and comes up after NumLock went off (Insert).
  held.Press(0x60, 90);
  EXPECT_TRUE(held.ChordKeys().zero);
  held.Release(0x2D, 90);
  EXPECT_FALSE(held.ChordKeys().zero);
  EXPECT_FALSE(held.IsHeld(0x2D));
  // And the point key the other way round: down as Delete, up as the point.
  held.Press(0x2E, 91);
  held.Release(0x6E, 91);
  EXPECT_FALSE(held.IsHeld(0x2E));
}

TEST(HeldKeys, WithoutKeyCodesAndLostReleases) {
  THeldKeys held;
  held.Press(0x6A, 0);  // keypad *
  held.Press(0x6F, 0);  // keypad /
  held.Press(0x6D, 82);
  held.Press(0x6E, 91);
  EXPECT_EQ(held.ChordKeys(), (TKeypadChordKeys{.minus = true, .point = true, .star = true, .slash = true}));
  held.Release(0x6A, 0);
  EXPECT_FALSE(held.ChordKeys().star);
  // A release without its key code still releases a key that went down with one.
  held.Release(0x6D, 0);
  EXPECT_FALSE(held.ChordKeys().minus);
  // Focus lost: the releases will never come.
  held.Clear();
  EXPECT_EQ(held.ChordKeys(), TKeypadChordKeys{});
  // Codes beyond a byte and key codes beyond the table do no harm.
  held.Press(0x1234, 5);
  held.Press(0x6B, 100000);
  EXPECT_TRUE(held.ChordKeys().plus);
  held.Release(0x6B, 100000);
  EXPECT_FALSE(held.ChordKeys().plus);
  EXPECT_FALSE(held.IsHeld(0x1234));
}
