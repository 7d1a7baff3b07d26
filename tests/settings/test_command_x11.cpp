// The settings window on a real X server (a private Xvfb), driven with xdotool's key
// presses as a user would: a colour edit taking hexadecimal digits only, Enter and
// Shift+Enter moving the focus, Esc closing without applying anything.  Skipped when Xvfb
// or xdotool is not installed.
#include "engine/MPOwnerQueue.h"
#include "settings/ui/PlayCommand.h"
#include "tests/engine/FakePlayer.h"
#include "tests/platform/XvfbSession.h"
#include "tests/settings/CommandFormFakes.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace sorrel::settings;
using sorrel::settings::test::FakeHost;
using sorrel::testing::TXvfbSession;

namespace {

using SettingsWindowX11 = sorrel::testing::TXvfbSuite<>;

bool Key(const char* key) {
  return TXvfbSession::Xdotool({QStringLiteral("key"), QString::fromLatin1(key)}) == 0;
}

TEST_F(SettingsWindowX11, ColourDigitsEnterAndEscFromTheKeyboard) {
  sorrel::engine::TMPRunLoop loop;
  sorrel::engine::TFakeMP3Player player(loop);
  player.SetEqualizerCount(kBands);
  TSoundDeskSettings deskSettings;
  TSoundDesk desk(player, deskSettings);
  FakeHost host;
  host.record.BackColor = 0x203040;
  Tfm_Command form;
  host.form = &form;
  form.SetSoundDesk(desk);
  form.SetHost(host);
  // The main window hides it when asked to.
  QObject::connect(&form, &Tfm_Command::CloseRequested, &form, &QWidget::hide);
  ASSERT_TRUE(TXvfbSession::ShowFocused(form));
  form.PageControl()->setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("TabSheet5")));
  QLineEdit* bk = form.ColorEdit(TColorEdit::med_BKColor);
  bk->setFocus();
  bk->setCursorPosition(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bk->hasFocus(); }, 3000));

  // Hexadecimal digits are taken in capitals over the old ones; anything else is not.
  ASSERT_EQ(TXvfbSession::Xdotool({QStringLiteral("type"), QStringLiteral("abcg")}), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return bk->text() == QStringLiteral("$ABC040"); }, 3000))
      << bk->text().toStdString();
  // Enter moves on, Shift+Enter comes back.
  ASSERT_TRUE(Key("Return"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !bk->hasFocus() && QApplication::focusWidget(); }, 3000));
  ASSERT_TRUE(Key("shift+Return"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return bk->hasFocus(); }, 3000));
  // Esc closes without applying anything.
  ASSERT_TRUE(Key("Escape"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 3000));
  EXPECT_EQ(host.record.BackColor, 0x203040);
}

}  // namespace
