// The hint window and the message pop-up on Qt's offscreen platform: placement on the
// screen, measuring, the colours of the band as painted, the pop-up's timer and font.
// Screenshots land in the build directory's screenshots folder.
#include "controls/FontNames.h"
#include "controls/HintCtrl.h"
#include "controls/MessagePopup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace sorrel::controls;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "controls_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    // Two screens side by side, the second one taller.
    const QString config = QDir::temp().filePath(QStringLiteral("controls_window_tests_screens.json"));
    QFile f(config);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
      f.write(R"({"screens": [{"name": "left", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96},
                              {"name": "right", "x": 800, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    auto* a = new QApplication(argc, argv);
    RegisterFontSubstitutions();
    return a;
  }();
  return *app;
}

class HintWindow : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
};

void Screenshot(QWidget& w, const char* name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  w.grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png"));
}

// Pixels of exactly `c` in the rows [top, bottom) of the window as painted.
int CountColor(const QImage& image, const QColor& c, int top, int bottom) {
  int n = 0;
  for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).rgb() == c.rgb()) ++n;
  return n;
}

QFont BigFont() {
  QFont f(QStringLiteral("IPAGothic"));
  f.setPixelSize(20);
  f.setBold(true);
  return f;
}

}  // namespace

TEST_F(HintWindow, ColoursAreStoredBlueGreenRed) {
  EXPECT_EQ(ColorFromBgr(0x80FFFF), QColor(0xFF, 0xFF, 0x80));
  EXPECT_EQ(ColorFromBgr(0x800080), QColor(0x80, 0x00, 0x80));
  EXPECT_EQ(ColorFromBgr(0xA0B0C0), QColor(0xC0, 0xB0, 0xA0));
  EXPECT_EQ(ColorFromBgr(0xFF0000FF), QColor(0xFF, 0x00, 0x00));  // the top byte is no colour
  THintWindowEx w;
  EXPECT_EQ(w.Color(), QColor(0xFF, 0xFF, 0x80));  // light yellow
  EXPECT_EQ(w.FontColor(), QColor(Qt::black));
  EXPECT_EQ(w.SecondColor(), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(w.font(), QToolTip::font());
}

TEST_F(HintWindow, ClickThroughTopmostAndNeverActivated) {
  QWidget main;
  main.resize(200, 100);
  main.show();
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  THintWindowEx w;
  EXPECT_EQ(w.windowType(), Qt::ToolTip);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.testAttribute(Qt::WA_TransparentForMouseEvents));
  w.ActivateHint(QRect(20, 20, 100, 30), QStringLiteral("hint"));
  QTest::qWait(20);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.Shown());
  EXPECT_TRUE(main.isActiveWindow());
  EXPECT_FALSE(w.isActiveWindow());
  w.HideHint();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.Shown());
}

TEST_F(HintWindow, ActivateHintAddsFourPixelsAndStaysOnTheScreenUnderIt) {
  const auto screens = QGuiApplication::screens();
  ASSERT_EQ(screens.size(), 2);
  ASSERT_EQ(screens[0]->availableGeometry(), QRect(0, 0, 800, 600));
  ASSERT_EQ(screens[1]->availableGeometry(), QRect(800, 0, 1024, 768));
  THintWindowEx w;
  w.ActivateHint(QRect(50, 40, 120, 30), QStringLiteral("inside"));
  EXPECT_EQ(w.geometry(), QRect(50, 40, 120, 34));
  EXPECT_EQ(w.Caption(), QStringLiteral("inside"));
  // Past the right and bottom edges: moved left and up until whole.
  w.ActivateHint(QRect(1800, 760, 120, 30), QStringLiteral("corner"));
  EXPECT_EQ(w.geometry(), QRect(1824 - 120, 768 - 34, 120, 34));
  // Past the left and top edges.
  w.ActivateHint(QRect(-70, -5, 120, 30), QStringLiteral("corner"));
  EXPECT_EQ(w.geometry(), QRect(0, 0, 120, 34));
  // Wider than the screen: the left edge wins.
  w.ActivateHint(QRect(10, 10, 840, 30), QStringLiteral("wide"));
  EXPECT_EQ(w.geometry().topLeft(), QPoint(0, 10));
  // Near the bottom of the shorter left screen: kept on it, not on the taller one.
  w.ActivateHint(QRect(300, 590, 100, 30), QStringLiteral("bottom"));
  EXPECT_EQ(w.geometry(), QRect(300, 600 - 34, 100, 34));
  // Mostly on the right screen, below the left one's bottom: onto the right screen's left edge.
  w.ActivateHint(QRect(780, 650, 100, 30), QStringLiteral("across"));
  EXPECT_EQ(w.geometry(), QRect(800, 650, 100, 34));
  // Nowhere near a screen: brought onto the nearest one.
  w.ActivateHint(QRect(7000, 5000, 100, 20), QStringLiteral("far"));
  EXPECT_EQ(w.geometry(), QRect(1824 - 100, 768 - 24, 100, 24));
  w.ActivateHint(QRect(-5000, 300, 100, 20), QStringLiteral("far"));
  EXPECT_EQ(w.geometry(), QRect(0, 300, 100, 24));
}

TEST_F(HintWindow, MeasureWrapsAtWordsAndCountsEveryScreenLine) {
  THintWindowEx w;
  w.setFont(BigFont());
  const QFontMetrics fm(w.font());
  const QString one = QStringLiteral("one line");
  EXPECT_EQ(w.MeasureHint(2000, one), QRect(0, 0, fm.horizontalAdvance(one) + 8, fm.height() + 2));
  // An ampersand is text, not a mnemonic mark.
  const QString amp = QStringLiteral("Rock&Roll");
  EXPECT_EQ(w.MeasureHint(2000, amp).width(), fm.horizontalAdvance(amp) + 8);
  // CR LF, a lone LF and an empty line each take a line.
  const QRect lines = w.MeasureHint(2000, QStringLiteral("first\r\nsecond\nthird\r\n\r\nfifth"));
  EXPECT_EQ(lines.height(), 5 * fm.height() + 2);
  EXPECT_EQ(lines.width(), fm.horizontalAdvance(QStringLiteral("second")) + 8);
  // Wrapped at word breaks within the width.
  const QString words = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa");
  const QRect wrapped = w.MeasureHint(200, words);
  EXPECT_LE(wrapped.width(), 208);
  EXPECT_GE(wrapped.height(), 3 * fm.height() + 2);
  EXPECT_EQ((wrapped.height() - 2) % fm.height(), 0);
}

TEST_F(HintWindow, NewTextSizesTheWindowToOneLineExceptWhileActivating) {
  THintWindowEx w;
  const QFontMetrics fm(w.font());
  w.SetCaption(QStringLiteral("abc\r\ndef"));
  EXPECT_EQ(w.size(), QSize(fm.horizontalAdvance(QStringLiteral("abcdef")) + 8, fm.height() + 4));
  w.ActivateHint(QRect(30, 30, 300, 80), QStringLiteral("abc"));
  EXPECT_EQ(w.size(), QSize(300, 84));
}

TEST_F(HintWindow, BandLinesInTheFontColourOthersInTheSecondColour) {
  THintWindowEx w;
  w.setFont(BigFont());
  const QColor band(200, 0, 0), second(0, 0, 200);
  w.Color(Qt::white);
  w.FontColor(band);
  w.SecondColor(second);
  w.FirstLine(2);
  w.LineCount(2);
  // Screen lines: "MMMM" | "WWWW" (still line 1, after a lone LF) | line 2 | line 3 | line 4.
  const QString text = QStringLiteral("MMMM\nWWWW\r\nMMMM\r\nMMMM\r\nMMMM");
  const QRect size = w.MeasureHint(2000, text);
  w.ActivateHint(size.translated(40, 40), text);
  const QImage image = w.grab().toImage();
  const int h = QFontMetrics(w.font()).height();
  const int top = 3;  // edge and margin
  const bool expectBand[] = {false, false, true, true, false};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const int y0 = top + i * h, y1 = top + (i + 1) * h;
    EXPECT_GT(CountColor(image, expectBand[i] ? band : second, y0, y1), 20);
    EXPECT_EQ(CountColor(image, expectBand[i] ? second : band, y0, y1), 0);
  }
  // The text ends inside the window.
  EXPECT_EQ(CountColor(image, second, top + 5 * h, image.height()), 0);
  Screenshot(w, "hint_band");
}

TEST_F(HintWindow, WrappedTextFitsTheMeasuredWindow) {
  THintWindowEx w;
  w.setFont(BigFont());
  w.Color(Qt::white);
  w.FontColor(QColor(0, 0, 0));
  const QString words = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda");
  const QRect size = w.MeasureHint(220, words);
  w.ActivateHint(size.translated(10, 10), words);
  const QImage image = w.grab().toImage();
  const int h = QFontMetrics(w.font()).height();
  // Text on the last line, nothing below it, nothing cut at the right.
  EXPECT_GT(CountColor(image, Qt::black, image.height() - 3 - h, image.height() - 3), 0);
  int rightmost = 0;
  for (int y = 2; y < image.height() - 2; ++y)
    for (int x = 2; x < image.width() - 2; ++x)
      if (image.pixelColor(x, y).rgb() != QColor(Qt::white).rgb()) rightmost = std::max(rightmost, x);
  EXPECT_LT(rightmost, image.width() - 2);
}

TEST_F(HintWindow, ToolTipScreenshot) {
  THintWindowEx w;
  const QString text =
      QStringLiteral("01 夜明けのスキャット.mp3\r\n/home/tarn/Music/由紀さおり/夜明けのスキャット");
  w.ActivateHint(w.MeasureHint(600, text).translated(60, 60), text);
  Screenshot(w, "hint_tooltip");
}

class MessagePopup : public HintWindow {};

TEST_F(MessagePopup, CentredBelowTheMainWindowTopWithTheTimerRunning) {
  TMessagePopup pop;
  THintWindowEx& w = pop.Window();
  EXPECT_EQ(pop.PopTimer().interval(), 2999);
  EXPECT_FALSE(pop.PopTimer().isActive());
  const QRect main(150, 0, 468, 77);
  const QString text = QStringLiteral(" Master :=  60 ");
  pop.ShowMessage(text, 1, main);
  EXPECT_TRUE(pop.Shown());
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(pop.PopTimer().isActive());
  EXPECT_EQ(w.FirstLine(), 1);
  EXPECT_EQ(w.LineCount(), 999);
  const QRect m = w.MeasureHint(800, text);
  EXPECT_EQ(w.geometry(), QRect(150 + (468 - m.width()) / 2, 29, m.width(), m.height() + 4));
  // A main window reaching past the right screen's right edge: the pop-up stays whole.
  pop.ShowMessage(text, 1, QRect(1824 - 100, 10, 468, 77));
  EXPECT_EQ(w.geometry().right(), 1823);
  EXPECT_EQ(w.geometry().top(), 39);
}

TEST_F(MessagePopup, PopTimerHidesItAndCallsBack) {
  TMessagePopup pop;
  int popDowns = 0;
  pop.SetOnPopDown([&] { ++popDowns; });
  pop.ShowMessage(QStringLiteral("Set EQ3"), 1, QRect(0, 0, 468, 77));
  pop.PopTimerTimer();
  EXPECT_FALSE(pop.Shown());
  EXPECT_FALSE(pop.Window().isVisible());
  EXPECT_FALSE(pop.PopTimer().isActive());
  EXPECT_EQ(popDowns, 1);
  // The real timer drives the same handler (a short interval instead of 2999 ms).
  pop.PopTimer().setInterval(10);
  pop.ShowMessage(QStringLiteral("Size1 Saved"), 1, QRect(0, 0, 468, 77));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pop.Shown(); }, 2000));
  EXPECT_EQ(popDowns, 2);
  EXPECT_FALSE(pop.PopTimer().isActive());
  // Hidden early (the labels refreshed): the timer still runs and calls back.
  pop.ShowMessage(QStringLiteral("Set EQ3"), 1, QRect(0, 0, 468, 77));
  pop.Hide();
  EXPECT_FALSE(pop.Shown());
  EXPECT_TRUE(pop.PopTimer().isActive());
  EXPECT_TRUE(QTest::qWaitFor([&] { return popDowns == 3; }, 2000));
}

TEST_F(MessagePopup, LargeBoldMinchoPurpleFromTheHighlightedLine) {
  TMessagePopup pop;
  THintWindowEx& w = pop.Window();
  EXPECT_EQ(w.font().family(), QStringLiteral("ＭＳ 明朝"));
  EXPECT_EQ(QFontInfo(w.font()).family(), QStringLiteral("IPAMincho"));
  EXPECT_EQ(w.font().pointSize(), 28);
  EXPECT_TRUE(w.font().bold());
  EXPECT_EQ(w.Color(), QColor(Qt::white));
  // Directory mode with shuffle: the "AllS: " line and all after it highlighted.
  const QString info = QStringLiteral(
      "  SinD:  3 / 12\r\n   Dir:  2 /  5\r\n  AllS: 17 / 45\r\n\r\n Title: 夜明けのスキャット\r\n"
      "Artist: 由紀さおり");
  pop.ShowMessage(info, 3, QRect(100, 0, 468, 77));
  EXPECT_EQ(w.FirstLine(), 3);
  const QImage image = w.grab().toImage();
  const int h = QFontMetrics(w.font()).height();
  const QColor purple(0x80, 0x00, 0x80), grey(0xC0, 0xB0, 0xA0);
  EXPECT_GT(CountColor(image, grey, 3, 3 + 2 * h), 50);
  EXPECT_EQ(CountColor(image, purple, 3, 3 + 2 * h), 0);
  EXPECT_GT(CountColor(image, purple, 3 + 2 * h, image.height()), 50);
  EXPECT_EQ(CountColor(image, grey, 3 + 2 * h, image.height()), 0);
  Screenshot(w, "message_popup_info");
  pop.ShowMessage(QStringLiteral(" Master :=  60 "), 1, QRect(100, 0, 468, 77));
  Screenshot(w, "message_popup_level");
}
