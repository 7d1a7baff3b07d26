// Qt key events, as the X11 platform delivers them (key, modifiers, keysym, key code)
// and as synthesised without native codes, to the key map's virtual-key codes; the held
// keys through presses, auto-repeat, NumLock changes and a lost focus.
#include "platform/input/KeyTranslate.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace sorrel::input;

namespace {

constexpr TKeyModifiers kNone{};
constexpr TKeyModifiers kShift{true, false, false};
constexpr TKeyModifiers kCtrl{false, true, false};
constexpr TKeyModifiers kAlt{false, false, true};

struct Key {
  int key;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  uint32_t keysym = 0;
  uint32_t keyCode = 0;
  QString text = {};
  bool autoRepeat = false;
};

QKeyEvent Event(QEvent::Type type, const Key& k) {
  return QKeyEvent(type, k.key, k.modifiers, k.keyCode, k.keysym, 0, k.text, k.autoRepeat);
}

TKeyStroke Down(const Key& k, bool xkb = true) { return TranslateKeyEvent(Event(QEvent::KeyPress, k), xkb); }
TKeyStroke Up(const Key& k) { return TranslateKeyEvent(Event(QEvent::KeyRelease, k), true); }

constexpr Qt::KeyboardModifiers kKeypad = Qt::KeypadModifier;

}  // namespace

TEST(KeyTranslate, KeypadWithNumLockOnAndOff) {
  // X11 key codes of the keypad digits 0..9 and the point.
  const uint32_t codes[11] = {90, 87, 88, 89, 83, 84, 85, 79, 80, 81, 91};
  const uint32_t navKeysyms[11] = {0xFF9E, 0xFF9C, 0xFF99, 0xFF9B, 0xFF96, 0xFF9D,
                                   0xFF98, 0xFF95, 0xFF97, 0xFF9A, 0xFF9F};
  const int navKeys[11] = {Qt::Key_Insert, Qt::Key_End,    Qt::Key_Down,  Qt::Key_PageDown,
                           Qt::Key_Left,   Qt::Key_Clear,  Qt::Key_Right, Qt::Key_Home,
                           Qt::Key_Up,     Qt::Key_PageUp, Qt::Key_Delete};
  const uint16_t navCodes[11] = {0x2D, 0x23, 0x28, 0x22, 0x25, 0x0C, 0x27, 0x24, 0x26, 0x21, 0x2E};
  for (int p = 0; p <= 10; ++p) {
    SCOPED_TRACE(p);
    const int digitKey = p == 10 ? Qt::Key_Period : Qt::Key_0 + p;
    const uint32_t digitKeysym = p == 10 ? 0xFFAE : 0xFFB0 + p;
    const uint16_t digitCode = p == 10 ? 0x6E : 0x60 + p;
    const QString text = p == 10 ? QStringLiteral(".") : QString::number(p);
    // From X11, NumLock on, then off.
    EXPECT_EQ(Down({digitKey, kKeypad, digitKeysym, codes[p], text}), (TKeyStroke{digitCode, true, kNone}));
    EXPECT_EQ(Down({navKeys[p], kKeypad, navKeysyms[p], codes[p]}), (TKeyStroke{navCodes[p], true, kNone}));
    // Synthesised, without native codes.
    EXPECT_EQ(Down({digitKey, kKeypad, 0, 0, text}), (TKeyStroke{digitCode, true, kNone}));
    EXPECT_EQ(Down({navKeys[p], kKeypad}), (TKeyStroke{navCodes[p], true, kNone}));
  }
  // Shift with NumLock on: X gives navigation with Shift, Windows the same code without.
  EXPECT_EQ(Down({Qt::Key_Left, kKeypad | Qt::ShiftModifier, 0xFF96, 83}), (TKeyStroke{0x25, true, kNone}));
  // Shift with NumLock off: X gives the digit, Windows navigation with Shift.
  EXPECT_EQ(Down({Qt::Key_4, kKeypad | Qt::ShiftModifier, 0xFFB4, 83, QStringLiteral("4")}),
            (TKeyStroke{0x25, true, kShift}));
  // The main keyboard's navigation keys are not keypad keys.
  EXPECT_EQ(Down({Qt::Key_Left, Qt::NoModifier, 0xFF51, 113}), (TKeyStroke{0x25, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_Delete, Qt::NoModifier, 0xFFFF, 119}), (TKeyStroke{0x2E, false, kNone}));
}

TEST(KeyTranslate, KeypadOperatorsAndEnter) {
  const struct {
    int key;
    uint32_t keysym, code;
    uint16_t vk;
  } keys[] = {
      {Qt::Key_Asterisk, 0xFFAA, 63, 0x6A}, {Qt::Key_Plus, 0xFFAB, 86, 0x6B},
      {Qt::Key_Minus, 0xFFAD, 82, 0x6D},    {Qt::Key_Slash, 0xFFAF, 106, 0x6F},
      {Qt::Key_Enter, 0xFF8D, 104, 0x0D},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.vk);
    EXPECT_EQ(Down({k.key, kKeypad, k.keysym, k.code}), (TKeyStroke{k.vk, true, kNone}));
    EXPECT_EQ(Down({k.key, kKeypad}), (TKeyStroke{k.vk, true, kNone}));
  }
  // The same characters and Enter on the main keyboard.
  EXPECT_EQ(Down({Qt::Key_Return, Qt::NoModifier, 0xFF0D, 36}), (TKeyStroke{0x0D, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_Minus, Qt::NoModifier, 0x2D, 20, QStringLiteral("-")}),
            (TKeyStroke{0xBD, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_Plus, Qt::ShiftModifier, 0x2B, 21, QStringLiteral("+")}),
            (TKeyStroke{0xBB, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_Slash, Qt::NoModifier, 0x2F, 61, QStringLiteral("/")}),
            (TKeyStroke{0xBF, false, kNone}));
}

TEST(KeyTranslate, PunctuationByCharacter) {
  const struct {
    int key;
    bool shift;
    uint16_t vk;
  } keys[] = {
      {Qt::Key_Semicolon, false, 0xBA},    {Qt::Key_Colon, true, 0xBA},
      {Qt::Key_Comma, false, 0xBC},        {Qt::Key_Less, true, 0xBC},
      {Qt::Key_Period, false, 0xBE},       {Qt::Key_Greater, true, 0xBE},
      {Qt::Key_QuoteLeft, false, 0xC0},    {Qt::Key_AsciiTilde, true, 0xC0},
      {Qt::Key_BracketLeft, false, 0xDB},  {Qt::Key_BraceLeft, true, 0xDB},
      {Qt::Key_Backslash, false, 0xDC},    {Qt::Key_Bar, true, 0xDC},
      {Qt::Key_BracketRight, false, 0xDD}, {Qt::Key_BraceRight, true, 0xDD},
      {Qt::Key_Apostrophe, false, 0xDE},   {Qt::Key_QuoteDbl, true, 0xDE},
      {Qt::Key_Question, true, 0xBF},      {Qt::Key_Underscore, true, 0xBD},
      {Qt::Key_Equal, false, 0xBB},        {Qt::Key_yen, false, 0xDC},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.vk);
    const Qt::KeyboardModifiers m = k.shift ? Qt::ShiftModifier : Qt::NoModifier;
    const TKeyStroke s = Down({k.key, m, static_cast<uint32_t>(k.key), 0, QString(QChar(k.key))});
    EXPECT_EQ(s, (TKeyStroke{k.vk, false, k.shift ? kShift : kNone}));
  }
  // Ctrl turns the text into a control character; the key still counts.
  EXPECT_EQ(Down({Qt::Key_BracketLeft, Qt::ControlModifier, 0x5B, 34, QStringLiteral("\x1b")}),
            (TKeyStroke{0xDB, false, kCtrl}));
}

TEST(KeyTranslate, LettersDigitsAndTheDigitRowByPosition) {
  EXPECT_EQ(Down({Qt::Key_A, Qt::NoModifier, 0x61, 38, QStringLiteral("a")}),
            (TKeyStroke{0x41, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_A, Qt::ShiftModifier, 0x41, 38, QStringLiteral("A")}),
            (TKeyStroke{0x41, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, 0x53, 39, QStringLiteral("\x13")}),
            (TKeyStroke{0x53, false, {true, true, false}}));
  EXPECT_EQ(Down({Qt::Key_L, Qt::AltModifier, 0x6C, 46, QStringLiteral("l")}),
            (TKeyStroke{0x4C, false, kAlt}));
  EXPECT_EQ(Down({Qt::Key_Z, Qt::NoModifier}), (TKeyStroke{0x5A, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_0, Qt::NoModifier, 0x30, 19, QStringLiteral("0")}),
            (TKeyStroke{0x30, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_9, Qt::AltModifier, 0x39, 18, QStringLiteral("9")}),
            (TKeyStroke{0x39, false, kAlt}));
  // Shift with a digit: on a US layout "@", on a Japanese one '"', on a French one the
  // unshifted key already gives "&"; Windows gives the digit's code every time.
  EXPECT_EQ(Down({Qt::Key_At, Qt::ShiftModifier, 0x40, 11, QStringLiteral("@")}),
            (TKeyStroke{0x32, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_QuoteDbl, Qt::ShiftModifier, 0x22, 11, QStringLiteral("\"")}),
            (TKeyStroke{0x32, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_Ampersand, Qt::NoModifier, 0x26, 10, QStringLiteral("&")}),
            (TKeyStroke{0x31, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_ParenRight, Qt::ShiftModifier, 0x29, 19, QStringLiteral(")")}),
            (TKeyStroke{0x30, false, kShift}));
  // Without XKB key codes only the character tells.
  EXPECT_EQ(Down({Qt::Key_At, Qt::ShiftModifier, 0, 11, QStringLiteral("@")}, false),
            (TKeyStroke{0x32, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_QuoteDbl, Qt::ShiftModifier, 0, 11, QStringLiteral("\"")}, false),
            (TKeyStroke{0xDE, false, kShift}));
  // A letter of another script has no code.
  EXPECT_EQ(Down({0x436, Qt::NoModifier, 0x6d6, 38, QStringLiteral("ж")}).vk, 0);
}

TEST(KeyTranslate, NamedKeys) {
  const struct {
    int key;
    uint16_t vk;
  } keys[] = {
      {Qt::Key_Escape, 0x1B},   {Qt::Key_Space, 0x20},   {Qt::Key_Pause, 0x13},  {Qt::Key_PageUp, 0x21},
      {Qt::Key_PageDown, 0x22}, {Qt::Key_Home, 0x24},    {Qt::Key_End, 0x23},    {Qt::Key_Up, 0x26},
      {Qt::Key_Down, 0x28},     {Qt::Key_Right, 0x27},   {Qt::Key_Insert, 0x2D}, {Qt::Key_Backspace, 0x08},
      {Qt::Key_Tab, 0x09},      {Qt::Key_NumLock, 0x90}, {Qt::Key_F1, 0x70},     {Qt::Key_F4, 0x73},
      {Qt::Key_F9, 0x78},       {Qt::Key_F10, 0x79},     {Qt::Key_F12, 0x7B},    {Qt::Key_F24, 0x87},
      {Qt::Key_CapsLock, 0x14}, {Qt::Key_Menu, 0x5D},    {Qt::Key_Print, 0x2C},  {Qt::Key_F25, 0},
      {Qt::Key_VolumeUp, 0},    {Qt::Key_unknown, 0},
  };
  for (const auto& k : keys) EXPECT_EQ(Down({k.key}), (TKeyStroke{k.vk, false, kNone})) << std::hex << k.key;
}

TEST(KeyTranslate, ModifierKeysCountThemselves) {
  // Shift down (X already reports Shift), Shift up (X reports none).
  EXPECT_EQ(Down({Qt::Key_Shift, Qt::ShiftModifier, 0xFFE1, 50}), (TKeyStroke{0x10, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_Shift, Qt::NoModifier}), (TKeyStroke{0x10, false, kShift}));
  EXPECT_EQ(Up({Qt::Key_Shift, Qt::NoModifier, 0xFFE1, 50}), (TKeyStroke{0x10, false, kNone}));
  EXPECT_EQ(Up({Qt::Key_Shift, Qt::ShiftModifier}), (TKeyStroke{0x10, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_Control, Qt::NoModifier}), (TKeyStroke{0x11, false, kCtrl}));
  // Shift while Alt is held.
  EXPECT_EQ(Down({Qt::Key_Shift, Qt::ShiftModifier | Qt::AltModifier, 0xFFE1, 50}),
            (TKeyStroke{0x10, false, {true, false, true}}));
  // Alt while Shift is held: X gives Meta_L, which Qt calls Meta.
  EXPECT_EQ(Down({Qt::Key_Meta, Qt::ShiftModifier | Qt::MetaModifier, 0xFFE7, 64}),
            (TKeyStroke{0x12, false, {true, false, true}}));
  EXPECT_EQ(Up({Qt::Key_Meta, Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier, 0xFFE7, 64}),
            (TKeyStroke{0x12, false, kShift}));
  EXPECT_EQ(Down({Qt::Key_Alt, Qt::AltModifier, 0xFFE9, 64}), (TKeyStroke{0x12, false, kAlt}));
  // The Windows key, which Qt also calls Meta, is not Alt, and Meta is no Alt state.
  EXPECT_EQ(Down({Qt::Key_Meta, Qt::MetaModifier, 0xFFEB, 133}), (TKeyStroke{0x5B, false, kNone}));
  EXPECT_EQ(Down({Qt::Key_Left, Qt::MetaModifier, 0xFF51, 113}), (TKeyStroke{0x25, false, kNone}));
}

TEST(KeyTranslate, MediaKeysAsAppCommands) {
  const struct {
    int key;
    uint16_t command;
  } keys[] = {
      {Qt::Key_MediaPlay, 14},    {Qt::Key_MediaTogglePlayPause, 14},
      {Qt::Key_MediaPause, 47},   {Qt::Key_MediaStop, 13},
      {Qt::Key_MediaNext, 11},    {Qt::Key_MediaPrevious, 12},
      {Qt::Key_AudioForward, 49}, {Qt::Key_AudioRewind, 50},
      {Qt::Key_Back, 1},          {Qt::Key_Forward, 2},
  };
  for (const auto& k : keys) {
    const TKeyStroke s = Down({k.key, Qt::ShiftModifier, 0x1008FF17, 171});
    EXPECT_EQ(s.appCommand, k.command) << std::hex << k.key;
    EXPECT_EQ(s.vk, 0);
    EXPECT_EQ(s.modifiers, kShift);
  }
}

TEST(KeyTranslate, HeldKeysThroughRepeatNumLockAndFocus) {
  TKeyboardInput input(true);
  const Key plus{Qt::Key_Plus, kKeypad, 0xFFAB, 86, QStringLiteral("+")};
  input.KeyDown(Event(QEvent::KeyPress, plus));
  EXPECT_TRUE(input.Held().ChordKeys().plus);
  // X's auto-repeat: a release and a press, both marked, while the key stays down.
  Key repeat = plus;
  repeat.autoRepeat = true;
  const TKeyStroke up = input.KeyUp(Event(QEvent::KeyRelease, repeat));
  EXPECT_TRUE(up.autoRepeat);
  EXPECT_TRUE(input.Held().ChordKeys().plus);
  EXPECT_TRUE(input.KeyDown(Event(QEvent::KeyPress, repeat)).autoRepeat);
  EXPECT_TRUE(input.Held().ChordKeys().plus);
  input.KeyUp(Event(QEvent::KeyRelease, plus));
  EXPECT_FALSE(input.Held().ChordKeys().plus);

  // Keypad 0 down with NumLock on, up after NumLock went off.
  input.KeyDown(Event(QEvent::KeyPress, {Qt::Key_0, kKeypad, 0xFFB0, 90, QStringLiteral("0")}));
  input.KeyDown(Event(QEvent::KeyPress, {Qt::Key_Backspace, Qt::NoModifier, 0xFF08, 22}));
  EXPECT_EQ(input.Held().ChordKeys(), (TKeypadChordKeys{.zero = true, .backSpace = true}));
  input.KeyUp(Event(QEvent::KeyRelease, {Qt::Key_Insert, kKeypad, 0xFF9E, 90}));
  EXPECT_EQ(input.Held().ChordKeys(), (TKeypadChordKeys{.backSpace = true}));
  // The window loses the focus with BackSpace down; its release goes elsewhere.
  input.FocusLost();
  EXPECT_EQ(input.Held().ChordKeys(), TKeypadChordKeys{});

  // Synthesised events without key codes.
  input.KeyDown(Event(QEvent::KeyPress, {Qt::Key_Asterisk, kKeypad}));
  input.KeyDown(Event(QEvent::KeyPress, {Qt::Key_Slash, kKeypad}));
  EXPECT_EQ(input.Held().ChordKeys(), (TKeypadChordKeys{.star = true, .slash = true}));
  input.KeyUp(Event(QEvent::KeyRelease, {Qt::Key_Asterisk, kKeypad}));
  EXPECT_EQ(input.Held().ChordKeys(), (TKeypadChordKeys{.slash = true}));
}
