// The settings window on Qt's offscreen platform: its pages and buttons, the equaliser
// tab bound to a sound desk over the fake player both ways, the label clicks, the
// form's keys.  A screenshot of the equaliser tab lands in the build's screenshots/.
#include "settings/ui/PlayCommand.h"

#include "engine/MPOwnerQueue.h"
#include "tests/engine/FakePlayer.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace sorrel::settings;
using sorrel::engine::TFakeMP3Player;
using sorrel::engine::TMPRunLoop;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "settings_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

struct CommandWindow : ::testing::Test {
  CommandWindow() {
    player.SetEqualizerCount(kBands);
    // As reading the settings leaves the player: silent, with levels of its own.
    player.SetVolume(0);
    player.SetVolBalance(25);
    for (int b = 0; b < kBands; ++b) player.SetEqualizerValue(b, 2 * b - 9);
    form.SetSoundDesk(desk);
  }

  template <typename T>
  T* Child(const char* name) {
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Text(const char* label) { return Child<QLabel>(label)->text(); }

  QApplication& app = App();  // before any widget
  TMPRunLoop loop;
  TFakeMP3Player player{loop};
  TSoundDeskSettings settings{.PreLevel = -4};
  int& preLevel = settings.PreLevel;
  TSoundDesk desk{player, settings};
  Tfm_Command form;
};

void Screenshot(QWidget& w, const char* name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  w.grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

}  // namespace

TEST_F(CommandWindow, PagesInTheirOrderAndTheButtonsBelowThem) {
  QTabWidget* pages = form.PageControl();
  const QStringList names{"TabSheet1", "TabSheet5", "TabSheet6", "TabSheet2",
                          "TabSheet8", "TabSheet7", "TabSheet3", "TabSheet4"};
  const QStringList captions{"ｲｺﾗｲｻﾞ設定", "表示設定Ⅰ",    "表示設定Ⅱ",    " 表示設定 Ⅲ",
                             "表示設定Ⅳ",  "歌詞表示設定", "Ovis警報設定", " 関連付け "};
  ASSERT_EQ(pages->count(), 8);
  for (int i = 0; i < pages->count(); ++i) {
    EXPECT_EQ(pages->widget(i)->objectName(), names[i]);
    EXPECT_EQ(pages->tabText(i), captions[i]);
  }
  EXPECT_EQ(form.objectName(), "fm_Command");

  form.show();
  auto* set = Child<QPushButton>("bbtn_Set");
  auto* cancel = Child<QPushButton>("bbtn_Cancel");
  EXPECT_EQ(set->text(), "設 定");
  EXPECT_EQ(cancel->text(), "ｷｬﾝｾﾙ");
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    const bool shown = i != 0 && i != 7;  // hidden on the equaliser and association tabs
    EXPECT_EQ(set->isVisible(), shown) << i;
    EXPECT_EQ(cancel->isVisible(), shown) << i;
  }
  QSignalSpy closing(&form, &Tfm_Command::CloseRequested);
  cancel->click();
  EXPECT_EQ(closing.count(), 1);
}

TEST_F(CommandWindow, TheTabShowsTheLoadedDesk) {
  // Loaded on binding: the master level at 0, the bands as gains on "PreLevel" -4.
  EXPECT_EQ(Child<QSlider>("tb_MasterLevel")->value(), 100);
  EXPECT_EQ(Text("lb_MasterLevel"), "  0");
  EXPECT_EQ(Child<QSlider>("tb_Balance")->value(), 25);
  EXPECT_EQ(Text("lb_Balance"), " 25");
  EXPECT_EQ(Child<QSlider>("tb_PreLevel")->value(), 4);
  EXPECT_EQ(Text("lb_PreLevel"), " -4");
  EXPECT_EQ(Child<QSlider>("tb_EQ0")->value(), 5);  // value -9 = -4 + gain -5
  EXPECT_EQ(Text("lb_EQ0"), " -5");
  EXPECT_EQ(Text("lb_EQ9"), " 13");
  EXPECT_EQ(player.EqualizerValue(9), 9);

  EXPECT_EQ(Text("Label0"), " 60");
  EXPECT_EQ(Text("Label4"), " 1K");
  EXPECT_EQ(Text("Label9"), "16K");
  EXPECT_EQ(Child<QPushButton>("bbtn_Flat")->text(), "Flat");
  EXPECT_EQ(Child<QPushButton>("bbtn_Flat")->toolTip(), "初期設定に戻す");

  // Track bars: the vertical ones have their minimum at the top, with a bar's ranges.
  auto* eq = Child<QSlider>("tb_EQ3");
  EXPECT_TRUE(eq->invertedAppearance());
  EXPECT_EQ(eq->minimum(), -30);
  EXPECT_EQ(eq->maximum(), 30);
  EXPECT_EQ(eq->pageStep(), 5);
  EXPECT_EQ(Child<QSlider>("tb_PreLevel")->minimum(), -30);
  EXPECT_EQ(Child<QSlider>("tb_PreLevel")->maximum(), 70);
  EXPECT_EQ(Child<QSlider>("tb_Balance")->orientation(), Qt::Horizontal);
  EXPECT_FALSE(Child<QSlider>("tb_Balance")->invertedAppearance());

  form.show();
  Screenshot(form, "settings_equaliser_tab");
}

TEST_F(CommandWindow, TheBarsMoveTheDeskAndTheDeskMovesTheBars) {
  // From the window: a bar moved by the user reaches the player at once.
  Child<QSlider>("tb_EQ2")->setValue(-12);
  EXPECT_EQ(player.EqualizerValue(2), 8);
  EXPECT_EQ(Text("lb_EQ2"), " 12");
  Child<QSlider>("tb_PreLevel")->setValue(-20);
  EXPECT_EQ(preLevel, 20);
  EXPECT_EQ(player.EqualizerValue(2), 32);
  EXPECT_EQ(Text("lb_EQ2"), " 12");
  EXPECT_EQ(Text("lb_PreLevel"), " 20");

  // Up on a vertical bar moves its thumb up a line: a higher level.
  form.show();
  auto* master = Child<QSlider>("tb_MasterLevel");
  master->setFocus();
  QTest::keyClick(master, Qt::Key_Up);
  EXPECT_EQ(player.Volume(), 5);
  EXPECT_EQ(Text("lb_MasterLevel"), "  5");

  // From elsewhere (the fade-in, a level step): the bar and its label follow.
  desk.SetMasterLevel(40);
  EXPECT_EQ(master->value(), 60);
  EXPECT_EQ(Text("lb_MasterLevel"), " 40");
  desk.StartFadeIn();
  EXPECT_EQ(master->value(), 100);
  EXPECT_EQ(Text("lb_MasterLevel"), "  0");
  for (int tick = 0; tick < 4; ++tick) desk.FadeTick();
  EXPECT_EQ(master->value(), 90);
  EXPECT_EQ(Text("lb_MasterLevel"), " 10");
  desk.SetMasterLevel(40);
  desk.SetPosition(TDeskBar::tb_Balance, -100);
  EXPECT_EQ(Child<QSlider>("tb_Balance")->value(), -100);
  EXPECT_EQ(Text("lb_Balance"), "-100");

  Child<QPushButton>("bbtn_Flat")->click();
  for (int b = 0; b < kBands; ++b)
    EXPECT_EQ(Child<QSlider>(("tb_EQ" + std::to_string(b)).c_str())->value(), 0);
  EXPECT_EQ(Text("lb_PreLevel"), "  0");
  EXPECT_EQ(Text("lb_Balance"), "  0");
  EXPECT_EQ(Text("lb_MasterLevel"), " 40");
  EXPECT_EQ(player.Volume(), 40);
}

TEST_F(CommandWindow, ClickingALabelFocusesItsBar) {
  form.show();
  QTest::mouseClick(Child<QLabel>("Label7"), Qt::LeftButton);
  EXPECT_EQ(form.focusWidget(), Child<QSlider>("tb_EQ7"));
  QTest::mouseClick(Child<QLabel>("lb_EQ2"), Qt::LeftButton);
  EXPECT_EQ(form.focusWidget(), Child<QSlider>("tb_EQ2"));
  QTest::mouseClick(Child<QLabel>("lb_PreCaption"), Qt::LeftButton);
  EXPECT_EQ(form.focusWidget(), Child<QSlider>("tb_PreLevel"));
  QTest::mouseClick(Child<QLabel>("lb_MasterLevel"), Qt::LeftButton);
  EXPECT_EQ(form.focusWidget(), Child<QSlider>("tb_MasterLevel"));
  QTest::mouseClick(Child<QLabel>("lb_EQ9"), Qt::LeftButton);
  EXPECT_EQ(form.focusWidget(), Child<QSlider>("tb_EQ9"));
}

TEST_F(CommandWindow, TheFormsKeys) {
  form.show();
  QSignalSpy recall(&form, &Tfm_Command::RecallEqPreset);
  QSignalSpy store(&form, &Tfm_Command::StoreEqPreset);
  QSignalSpy closing(&form, &Tfm_Command::CloseRequested);
  auto* eq0 = Child<QSlider>("tb_EQ0");
  eq0->setFocus();

  // Enter and Shift+Enter move the focus and go no further.
  QTest::keyClick(eq0, Qt::Key_Return);
  EXPECT_EQ(form.focusWidget(), Child<QSlider>("tb_EQ1"));
  QTest::keyClick(form.focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(form.focusWidget(), eq0);

  QTest::keyClick(eq0, Qt::Key_5, Qt::ShiftModifier);
  QTest::keyClick(eq0, Qt::Key_8, Qt::ControlModifier);
  // Keypad "/" held: a keypad digit recalls; with BackSpace held too, it stores.
  QTest::keyPress(eq0, Qt::Key_Slash, Qt::KeypadModifier);
  QTest::keyClick(eq0, Qt::Key_3, Qt::KeypadModifier);
  QTest::keyPress(eq0, Qt::Key_Backspace);
  QTest::keyClick(eq0, Qt::Key_6, Qt::KeypadModifier);
  QTest::keyRelease(eq0, Qt::Key_Backspace);
  QTest::keyRelease(eq0, Qt::Key_Slash, Qt::KeypadModifier);
  QTest::keyClick(eq0, Qt::Key_3, Qt::KeypadModifier);  // "/" is up again: nothing
  ASSERT_EQ(recall.count(), 2);
  EXPECT_EQ(recall[0][0].toInt(), 5);
  EXPECT_EQ(recall[1][0].toInt(), 3);
  ASSERT_EQ(store.count(), 2);
  EXPECT_EQ(store[0][0].toInt(), 8);
  EXPECT_EQ(store[1][0].toInt(), 6);
  // The preset keys were used, not handed to the bar.
  EXPECT_EQ(eq0->value(), 5);

  // On another tab the presets are out of reach; Esc closes from any tab.
  form.PageControl()->setCurrentIndex(2);
  QTest::keyClick(form.PageControl(), Qt::Key_5, Qt::ShiftModifier);
  EXPECT_EQ(recall.count(), 2);
  QTest::keyClick(form.PageControl(), Qt::Key_Escape);
  EXPECT_EQ(closing.count(), 1);
}
