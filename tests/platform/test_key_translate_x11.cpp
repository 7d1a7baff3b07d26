// Real X11 key events through the translation: a private Xvfb server, a window on the
// xcb platform and xdotool pressing keys by their key codes (so NumLock is what the
// server holds, not what xdotool would toggle to reach a keysym).  Skipped when Xvfb or
// xdotool is not installed.
#include "platform/input/KeyTranslate.h"

#include "tests/platform/XvfbSession.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace sorrel::input;
using sorrel::testing::TXvfbSession;
using sorrel::testing::TXvfbSuite;

namespace {

class Recorder : public QWidget {
 public:
  TKeyboardInput input;
  std::vector<TKeyStroke> downs;
  TKeypadChordKeys heldAtLastDown;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    downs.push_back(input.KeyDown(*e));
    heldAtLastDown = input.Held().ChordKeys();
  }
  void keyReleaseEvent(QKeyEvent* e) override { input.KeyUp(*e); }
};

class X11Keys : public TXvfbSuite<> {
 protected:
  void SetUp() override {
    TXvfbSuite::SetUp();
    if (IsSkipped()) return;
    w_ = std::make_unique<Recorder>();
    w_->resize(200, 100);
    ASSERT_TRUE(TXvfbSession::ShowFocused(*w_));
  }

  static int Xdotool(const QStringList& args) { return TXvfbSession::Xdotool(args); }

  // Presses keys (xdotool arguments) and waits until `downs` presses have arrived.
  const TKeyStroke& Keys(const QStringList& args, size_t downs = 1) {
    const size_t before = w_->downs.size();
    EXPECT_EQ(Xdotool(args), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w_->downs.size() >= before + downs; }, 5000));
    QTest::qWait(20);  // the releases
    static const TKeyStroke none;
    return w_->downs.size() > before ? w_->downs.back() : none;
  }
  const TKeyStroke& Key(const QString& key) { return Keys({QStringLiteral("key"), key}); }

  std::unique_ptr<Recorder> w_;
};

constexpr TKeyModifiers kNone{};
constexpr TKeyModifiers kShift{true, false, false};

}  // namespace

TEST_F(X11Keys, KeypadWithNumLockOffThenOn) {
  // X key codes: keypad 1 = 87, 5 = 84, 0 = 90, point = 91, plus = 86, Enter = 104.
  EXPECT_EQ(Key(QStringLiteral("87")), (TKeyStroke{0x23, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("84")), (TKeyStroke{0x0C, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("90")), (TKeyStroke{0x2D, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("91")), (TKeyStroke{0x2E, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("Num_Lock")).vk, 0x90);
  EXPECT_EQ(Key(QStringLiteral("87")), (TKeyStroke{0x61, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("84")), (TKeyStroke{0x65, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("90")), (TKeyStroke{0x60, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("91")), (TKeyStroke{0x6E, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("86")), (TKeyStroke{0x6B, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("104")), (TKeyStroke{0x0D, true, kNone}));
  EXPECT_EQ(Key(QStringLiteral("Return")), (TKeyStroke{0x0D, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("Num_Lock")).vk, 0x90);
}

TEST_F(X11Keys, PunctuationDigitsAndModifiers) {
  EXPECT_EQ(Key(QStringLiteral("semicolon")), (TKeyStroke{0xBA, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("shift+semicolon")), (TKeyStroke{0xBA, false, kShift}));
  EXPECT_EQ(Key(QStringLiteral("bracketleft")), (TKeyStroke{0xDB, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("backslash")), (TKeyStroke{0xDC, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("apostrophe")), (TKeyStroke{0xDE, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("grave")), (TKeyStroke{0xC0, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("comma")), (TKeyStroke{0xBC, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("period")), (TKeyStroke{0xBE, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("shift+2")), (TKeyStroke{0x32, false, kShift}));
  EXPECT_EQ(Key(QStringLiteral("ctrl+a")), (TKeyStroke{0x41, false, {false, true, false}}));
  EXPECT_EQ(Key(QStringLiteral("alt+Left")), (TKeyStroke{0x25, false, {false, false, true}}));
  EXPECT_EQ(Key(QStringLiteral("Pause")), (TKeyStroke{0x13, false, kNone}));
  EXPECT_EQ(Key(QStringLiteral("F10")), (TKeyStroke{0x79, false, kNone}));
  // Alt pressed while Shift is held (key codes: Shift_L 50, Alt_L 64).
  EXPECT_EQ(
      Keys({QStringLiteral("keydown"), QStringLiteral("50"), QStringLiteral("keydown"), QStringLiteral("64"),
            QStringLiteral("keyup"), QStringLiteral("64"), QStringLiteral("keyup"), QStringLiteral("50")},
           2),
      (TKeyStroke{0x12, false, {true, false, true}}));
  EXPECT_EQ(Key(QStringLiteral("XF86AudioNext")).appCommand, 11);
  EXPECT_EQ(Key(QStringLiteral("XF86AudioPlay")).appCommand, 14);
}

TEST_F(X11Keys, HeldKeypadKeys) {
  // Keypad minus held while Page Up (keypad 9 without NumLock, key code 81) arrives.
  const TKeyStroke& s = Keys({QStringLiteral("keydown"), QStringLiteral("82"), QStringLiteral("key"),
                              QStringLiteral("81"), QStringLiteral("keyup"), QStringLiteral("82")},
                             2);
  EXPECT_EQ(s, (TKeyStroke{0x21, true, kNone}));
  EXPECT_EQ(w_->heldAtLastDown, (TKeypadChordKeys{.minus = true}));
  EXPECT_EQ(w_->input.Held().ChordKeys(), TKeypadChordKeys{});
}
