#include "platform/input/KeyTranslate.h"

#include "platform/input/core/KeyCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace sorrel::input {

namespace {

// X keysyms that Qt reports as Qt::Key_Meta: the Alt key pressed while Shift is held
// gives Meta_L on the usual layouts, while Super (the Windows key) gives Super_L.
constexpr uint32_t kXkMetaL = 0xFFE7, kXkMetaR = 0xFFE8, kXkSuperL = 0xFFEB, kXkSuperR = 0xFFEC;

// XKB key codes of the digit row, 1..9 then 0.
constexpr uint32_t kXkbKey1 = 10, kXkbKey0 = 19;

TKeyModifiers ModifiersOf(const QKeyEvent& e) {
  const Qt::KeyboardModifiers m = e.modifiers();
  return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier)};
}

// A keypad key by Qt's key code, for events without an X keysym.
std::optional<TKeyStroke> KeypadStrokeFromQtKey(int key, TKeyModifiers m) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return KeypadDigitStroke(key - Qt::Key_0, true, m);
  switch (key) {
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return KeypadDigitStroke(10, true, m);
    case Qt::Key_Insert:
      return KeypadDigitStroke(0, false, m);
    case Qt::Key_End:
      return KeypadDigitStroke(1, false, m);
    case Qt::Key_Down:
      return KeypadDigitStroke(2, false, m);
    case Qt::Key_PageDown:
      return KeypadDigitStroke(3, false, m);
    case Qt::Key_Left:
      return KeypadDigitStroke(4, false, m);
    case Qt::Key_Clear:
      return KeypadDigitStroke(5, false, m);
    case Qt::Key_Right:
      return KeypadDigitStroke(6, false, m);
    case Qt::Key_Home:
      return KeypadDigitStroke(7, false, m);
    case Qt::Key_Up:
      return KeypadDigitStroke(8, false, m);
    case Qt::Key_PageUp:
      return KeypadDigitStroke(9, false, m);
    case Qt::Key_Delete:
      return KeypadDigitStroke(10, false, m);
    case Qt::Key_Asterisk:
      return TKeyStroke{kVkMultiply, true, m};
    case Qt::Key_Plus:
      return TKeyStroke{kVkAdd, true, m};
    case Qt::Key_Minus:
      return TKeyStroke{kVkSubtract, true, m};
    case Qt::Key_Slash:
      return TKeyStroke{kVkDivide, true, m};
    case Qt::Key_Enter:
    case Qt::Key_Return:
      return TKeyStroke{kVkReturn, true, m};
    default:
      return std::nullopt;
  }
}

uint16_t AppCommandOf(int key) {
  switch (key) {
    // The usual play/pause key comes as XF86AudioPlay, which Qt calls MediaPlay.
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
      return kAppCommandMediaPlayPause;
    case Qt::Key_MediaPause:
      return kAppCommandMediaPause;
    case Qt::Key_MediaStop:
      return kAppCommandMediaStop;
    case Qt::Key_MediaNext:
      return kAppCommandMediaNextTrack;
    case Qt::Key_MediaPrevious:
      return kAppCommandMediaPreviousTrack;
    case Qt::Key_MediaRecord:
      return kAppCommandMediaRecord;
    case Qt::Key_AudioForward:
      return kAppCommandMediaFastForward;
    case Qt::Key_AudioRewind:
      return kAppCommandMediaRewind;
    case Qt::Key_Back:
      return kAppCommandBrowserBackward;
    case Qt::Key_Forward:
      return kAppCommandBrowserForward;
    default:
      return 0;
  }
}

uint16_t VkFromQtKey(int key, uint32_t keysym) {
  switch (key) {
    case Qt::Key_Backspace:
      return kVkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return kVkTab;
    case Qt::Key_Clear:
      return kVkClear;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return kVkReturn;
    case Qt::Key_Shift:
      return kVkShift;
    case Qt::Key_Control:
      return kVkControl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return kVkMenu;
    case Qt::Key_Meta:
      if (keysym == kXkMetaL || keysym == kXkMetaR) return kVkMenu;
      return keysym == kXkSuperR ? kVkRWin : kVkLWin;
    case Qt::Key_Super_L:
      return kVkLWin;
    case Qt::Key_Super_R:
      return kVkRWin;
    case Qt::Key_Menu:
      return kVkApps;
    case Qt::Key_Pause:
      return kVkPause;
    case Qt::Key_CapsLock:
      return kVkCapital;
    case Qt::Key_Escape:
      return kVkEscape;
    case Qt::Key_PageUp:
      return kVkPrior;
    case Qt::Key_PageDown:
      return kVkNext;
    case Qt::Key_End:
      return kVkEnd;
    case Qt::Key_Home:
      return kVkHome;
    case Qt::Key_Left:
      return kVkLeft;
    case Qt::Key_Up:
      return kVkUp;
    case Qt::Key_Right:
      return kVkRight;
    case Qt::Key_Down:
      return kVkDown;
    case Qt::Key_Print:
      return kVkSnapshot;
    case Qt::Key_Insert:
      return kVkInsert;
    case Qt::Key_Delete:
      return kVkDelete;
    case Qt::Key_NumLock:
      return kVkNumLock;
    case Qt::Key_ScrollLock:
      return kVkScroll;
    default:
      break;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(kVkF1 + (key - Qt::Key_F1));
  // Printable keys: Qt's code is the character (letters in upper case).
  if (key >= 0x20 && key <= 0xFF) return VkFromCharacter(static_cast<char32_t>(key));
  return 0;
}

}  // namespace

bool NativeKeyCodesAreXkb() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

TKeyStroke TranslateKeyEvent(const QKeyEvent& event, bool xkbKeyCodes) {
  const TKeyModifiers modifiers = ModifiersOf(event);
  const int key = event.key();
  const uint32_t keysym = event.nativeVirtualKey();
  TKeyStroke s;
  if (const auto k = KeypadStrokeFromKeysym(keysym, modifiers)) {
    s = *k;
  } else if (event.modifiers().testFlag(Qt::KeypadModifier)) {
    if (const auto q = KeypadStrokeFromQtKey(key, modifiers)) s = *q;
  } else if (const uint16_t command = AppCommandOf(key)) {
    s.appCommand = command;
    s.modifiers = modifiers;
  }
  if (s.vk == 0 && s.appCommand == 0) {
    s.modifiers = modifiers;
    const uint32_t code = event.nativeScanCode();
    if (xkbKeyCodes && code >= kXkbKey1 && code <= kXkbKey0)
      s.vk = static_cast<uint16_t>(kVk0 + (code - kXkbKey1 + 1) % 10);
    else
      s.vk = VkFromQtKey(key, keysym);
  }
  // A modifier key counts as held on its own press and as up on its own release.
  const bool down = event.type() == QEvent::KeyPress;
  if (s.vk == kVkShift) s.modifiers.shift = down;
  if (s.vk == kVkControl) s.modifiers.ctrl = down;
  if (s.vk == kVkMenu) s.modifiers.alt = down;
  s.autoRepeat = event.isAutoRepeat();
  return s;
}

TKeyStroke TKeyboardInput::KeyDown(const QKeyEvent& event) {
  const TKeyStroke s = TranslateKeyEvent(event, xkbKeyCodes_);
  held_.Press(s.vk, event.nativeScanCode());
  return s;
}

TKeyStroke TKeyboardInput::KeyUp(const QKeyEvent& event) {
  const TKeyStroke s = TranslateKeyEvent(event, xkbKeyCodes_);
  if (!s.autoRepeat) held_.Release(s.vk, event.nativeScanCode());
  return s;
}

}  // namespace sorrel::input
