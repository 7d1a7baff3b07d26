// The alarm window and the GPS status panel on Qt's offscreen platform, driven by the
// real alarm with the rest faked: the window's place and look, the panels' texts and
// colours for a camera ahead, the alarm switched off and map-match modes, the check
// timer, the point file's warnings, and every key, wheel turn and click handed on to
// the main window.  Screenshots land in build/screenshots/.
#include "AlarmFakes.h"
#include "alarm/core/OvisAlarm.h"
#include "alarm/ui/GPSStatusPanel.h"
#include "alarm/ui/OvisAlarmWindow.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace sorrel::alarm {
namespace {

using namespace testing;

QApplication& App() {
  static int argc = 1;
  static char name[] = "alarm_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* a = new QApplication(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    return a;
  }();
  return *app;
}

QString ScreenshotPath(const char* name) {
  const QString dir = QStringLiteral(SORREL_BUILD_DIR "/screenshots");
  QDir().mkpath(dir);
  return dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
}

// The main window as the alarm window sees it: what it was handed, in order.
struct FakeMain : TOvisAlarmWindowHost, TAlarmHostIntf {
  explicit FakeMain(QFrame& status) : panel(status) {}
  std::vector<std::string> got;
  TGPSStatusPanel panel;
  bool checkingDuringStatus = true;
  Tfm_OvisAlarm* window = nullptr;

  void AlarmKeyPress(QKeyEvent& e) override { got.push_back("press " + Key(e)); }
  void AlarmKeyRelease(QKeyEvent& e) override { got.push_back("release " + Key(e)); }
  void AlarmWheel(QWheelEvent& e) override { got.push_back("wheel " + std::to_string(e.angleDelta().y())); }
  void AlarmDoubleClick(QMouseEvent&) override { got.push_back("double click"); }
  void AlarmAppCommand(uint32_t lParam) override {
    got.push_back("app command " + std::to_string(lParam >> 16));
  }
  void ShowAlarmWindow(QWidget& w) override {
    got.push_back("show alarm");
    static_cast<Tfm_OvisAlarm&>(w).PlaceAtTopRight();
    w.show();
  }
  void HideAlarmWindow(QWidget& w) override {
    got.push_back("hide alarm");
    w.hide();
  }
  void SetGPSStatus(TColor c, const std::string& caption) override {
    if (window) checkingDuringStatus = window->Checking();
    panel.SetStatus(c, caption);
  }
  void HideSubWindows() override {}
  void RaiseMainWindow() override {}

  static std::string Key(const QKeyEvent& e) {
    const bool modifierKey = e.key() == Qt::Key_Alt || e.key() == Qt::Key_Control || e.key() == Qt::Key_Shift;
    return QKeySequence(modifierKey ? QKeyCombination(Qt::Key(e.key())) : e.keyCombination())
        .toString()
        .toStdString();
  }
};

constexpr int32_t kCamLat = 3500000, kCamLon = 13900000;  // 35°00'00.0" N 139°00'00.0" E

class AlarmWindowTest : public ::testing::Test {
 protected:
  AlarmWindowTest()
      : clock(1'000'000'000),
        preLevel(log),
        voice(log, clock),
        screen(log),
        main(status),
        navin(screen, clock) {
    status.setGeometry(0, 0, 27, 21);
    status.setFrameShape(QFrame::Panel);
    settings.AlarmDistance = 1500;
    settings.DistanceOffset = 100;
    settings.AlarmAimDegree = 45;
    settings.AlarmOpsDegree = 30;
    settings.AlarmHideDelay = 3000;
    settings.UseTNLink = true;
    voice.voiceDir = dir.path() + "/Voice/";
    main.window = &window;
    window.SetHost(&main);
  }

  void PointFile(const std::string& text) {
    std::ofstream(dir.path() + "/ovis.pot", std::ios::binary) << text;
  }

  TOvisAlarm& Alarm() {
    if (!alarm)
      alarm = std::make_unique<TOvisAlarm>(settings, dir.path(),
                                           TOvisAlarm::TPorts{window, main, preLevel, voice, navin, clock});
    return *alarm;
  }

  // One second: a sentence for a car `metresSouth` of the camera, then the timer's tick.
  void Drive(int metresSouth, double heading = 0, double speed = 60) {
    clock.Advance(1'000'000);
    char s[160];
    std::snprintf(s, sizeof s, "$tnlink_data,ido=%.6f,kei=%.6f,dir=%.1f,vel=%.1f",
                  (kCamLat - UnitsNorth(metresSouth) + 0.5) / 1e5, (kCamLon + 0.5) / 1e5, heading, speed);
    Alarm().OnSentence(s);
    Alarm().OnCheckTimer();
  }

  QLabel* Label(const char* name) { return window.findChild<QLabel*>(QString::fromLatin1(name)); }
  std::string Text(const char* name) { return Label(name)->text().toStdString(); }

  QApplication& app = App();  // before any widget
  Log log;
  base::TFakeClock clock;
  FakePreLevel preLevel;
  FakeVoice voice;
  FakeScreen screen;
  QFrame status;
  FakeMain main;
  TNavinYou navin;
  TOvisAlarmSettings settings;
  TempDir dir;
  Tfm_OvisAlarm window;
  std::unique_ptr<TOvisAlarm> alarm;
};

TEST_F(AlarmWindowTest, AYellowBorderlessStripAtTheTopRightOfItsScreen) {
  EXPECT_EQ(window.size(), QSize(370, 212));
  EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(255, 255, 0));
  EXPECT_EQ(window.objectName(), QStringLiteral("fm_OvisAlarm"));

  // Left = screen width - window width, top 0, on whichever screen it is given.
  EXPECT_EQ(Tfm_OvisAlarm::TopRightPosition({0, 0, 1920, 1080}), QPoint(1550, 0));
  EXPECT_EQ(Tfm_OvisAlarm::TopRightPosition({1920, 0, 1280, 1024}), QPoint(2830, 0));
  EXPECT_EQ(Tfm_OvisAlarm::TopRightPosition({0, 0, 370, 200}), QPoint(0, 0));
  window.SetHost(nullptr);  // alone it shows itself
  window.Show();
  const QRect screenRect = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.frameGeometry().topRight(), QPoint(screenRect.right(), screenRect.top()));
  window.Hide();
  EXPECT_FALSE(window.isVisible());

  struct Expected {
    const char* name;
    QRect rect;
    int pixels;
    QColor text;
  };
  for (const Expected& e : {Expected{"Panel1", {85, 8, 201, 49}, 29, Qt::white},
                            Expected{"pnl_OvisType", {0, 61, 370, 41}, 29, QColor(0, 0, 0x80)},
                            Expected{"pnl_Distance", {0, 104, 370, 36}, 29, QColor(255, 0, 0)},
                            Expected{"pnl_LinNo", {241, 148, 121, 23}, 15, Qt::black},
                            Expected{"pnl_OvisText", {0, 179, 370, 33}, 16, Qt::black}}) {
    SCOPED_TRACE(e.name);
    QLabel* l = Label(e.name);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->geometry(), e.rect);
    EXPECT_EQ(l->font().pixelSize(), e.pixels);
    EXPECT_TRUE(l->font().bold());
    EXPECT_EQ(l->palette().color(QPalette::WindowText), e.text);
    EXPECT_TRUE(window.rect().contains(l->geometry()));
  }
  EXPECT_EQ(Text("Panel1"), "オービス警報");
  EXPECT_EQ(Label("Panel1")->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(Label("pnl_OvisText")->geometry().bottom(), window.height() - 1);
}

TEST_F(AlarmWindowTest, ACameraAheadFillsThePanelsAndTurnsTheStatusLime) {
  PointFile("ORD=poi/tex=首都高速 レーダ/kei=139'00'00'0/ido=35'00'00'0/deg=0\n");
  const TPointFileLoad load = window.FormCreate(Alarm());
  EXPECT_EQ(Alarm().Points().Count(), 1u);
  EXPECT_TRUE(load.Warnings.empty());
  EXPECT_TRUE(window.Checking());

  Drive(1400);  // the first sentence makes the link live
  Drive(1234, 350);
  ASSERT_TRUE(window.isVisible());
  EXPECT_EQ(main.got, std::vector<std::string>{"show alarm"});
  // 1,234 m less the offset of 100, down to a multiple of 50.
  EXPECT_EQ(Text("pnl_Distance"), "あと1100m");
  EXPECT_EQ(Text("pnl_LinNo"), "No.=   1  ");
  EXPECT_EQ(Text("pnl_OvisText"), "首都高速 レーダ");
  EXPECT_EQ(Text("pnl_OvisType"), "高速道路 レーダ");
  EXPECT_EQ(window.pos(), Tfm_OvisAlarm::TopRightPosition(QGuiApplication::primaryScreen()->geometry()));
  EXPECT_EQ(main.panel.Color(), QColor(0, 255, 0));
  EXPECT_EQ(main.panel.Caption(), QStringLiteral("北"));  // 350°
  window.grab().save(ScreenshotPath("alarm_window"));

  // Nearer, the texts follow.
  Drive(620, 10);
  EXPECT_EQ(Text("pnl_Distance"), "あと 500m");

  // Switched off: the window goes, the panel turns red and still shows the heading.
  Alarm().ToggleEnabled();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(main.got.back(), "hide alarm");
  EXPECT_EQ(main.panel.Color(), QColor(255, 0, 0));
  EXPECT_EQ(main.panel.Caption(), QStringLiteral("北"));
  Drive(300, 200);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(main.panel.Caption(), QStringLiteral("南"));  // 200°

  // Slow for longer than the cancel delay: suppressed, yellow.
  Alarm().ToggleEnabled();
  for (int i = 0; i < 5; ++i) Drive(2000, 90, 10);
  EXPECT_EQ(main.panel.Color(), QColor(255, 255, 0));
  EXPECT_EQ(main.panel.Caption(), QStringLiteral("東"));
}

TEST_F(AlarmWindowTest, NoPointsLeaveThePanelSilverWithoutAWord) {
  window.FormCreate(Alarm());
  EXPECT_EQ(Alarm().Points().Count(), 0u);
  Drive(1000);
  Drive(1000, 90);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(main.panel.Color(), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(main.panel.Caption(), QString());
}

TEST_F(AlarmWindowTest, MapMatchModesColourTheWordAndMode4HasASingleBorder) {
  main.panel.SetStatus(kStatusLime, "北東");
  struct Case {
    int mode;
    QColor color;
    bool single;
  };
  QImage sheet(4 * 40, 30, QImage::Format_RGB32);
  sheet.fill(QColor(0x40, 0x40, 0x40));
  QPainter g(&sheet);
  int x = 0;
  for (const Case& c : {Case{1, QColor(0xC0, 0xC0, 0xC0), false}, Case{2, Qt::black, false},
                        Case{4, QColor(0xFB, 0x4F, 0xD9), true}, Case{3, QColor(0x80, 0, 0x80), false}}) {
    SCOPED_TRACE(c.mode);
    main.panel.SetMapMatchStyle(MapMatchStyle(c.mode));
    EXPECT_EQ(main.panel.CaptionColor(), c.color);
    EXPECT_EQ(main.panel.SingleBorder(), c.single);
    EXPECT_EQ(status.frameShape(), c.single ? QFrame::Box : QFrame::Panel);
    g.drawPixmap(x + 6, 4, status.grab());
    x += 40;
  }
  g.end();
  // Four times as large, to be looked at.
  sheet.scaled(sheet.size() * 4).save(ScreenshotPath("gps_status_map_match"));
  // A changed colour keeps the word and its colour.
  main.panel.SetStatus(kStatusRed, "南西");
  EXPECT_EQ(main.panel.Color(), QColor(255, 0, 0));
  EXPECT_EQ(main.panel.CaptionColor(), QColor(0x80, 0, 0x80));
  EXPECT_EQ(main.panel.Caption(), QStringLiteral("南西"));
}

TEST_F(AlarmWindowTest, ADoubleClickOnTheStatusPanelIsReported) {
  QFrame frame;
  frame.setGeometry(0, 0, 27, 21);
  int clicks = 0;
  TGPSStatusPanel panel(frame, [&] { ++clicks; });
  frame.show();
  frame.resize(40, 30);  // as the main window's layout moves it
  QApplication::processEvents();
  // The word covers the panel within its border, and lets clicks through to it.
  QWidget* word = frame.findChild<QLabel*>();
  ASSERT_TRUE(word);
  EXPECT_EQ(word->geometry(), frame.contentsRect());
  EXPECT_EQ(frame.contentsRect().size(), QSize(40 - 2 * frame.frameWidth(), 30 - 2 * frame.frameWidth()));
  QTest::mouseDClick(&frame, Qt::LeftButton, {}, {10, 10});
  EXPECT_EQ(clicks, 1);
}

TEST_F(AlarmWindowTest, TheCheckTimerTicksEverySecondStoppedWhileItChecks) {
  settings.UseTNLink = false;  // the timer then runs the whole check
  window.FormCreate(Alarm());
  ASSERT_TRUE(window.Checking());
  main.panel.SetStatus(kStatusRed, "?");
  QTest::qWait(1150);
  // The tick painted the status (no Navin'You: no position, silver) with the timer
  // stopped, and started it again.
  EXPECT_EQ(main.panel.Color(), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(main.panel.Caption(), QString());
  EXPECT_FALSE(main.checkingDuringStatus);
  EXPECT_TRUE(window.Checking());
  window.StopCheck();
  EXPECT_FALSE(window.Checking());
}

TEST_F(AlarmWindowTest, InvalidPointLinesAreWarnedOfOneByOne) {
  PointFile("/tex=a/kei=139'00'00'0/ido=35'00'00'0/deg=abc\n\n/tex=b/kei=139'00'00'0/ido=35'00'00'0/deg=0");
  std::vector<std::string> warned;
  window.SetWarningHandler([&](const std::string& w) { warned.push_back(w); });
  const TPointFileLoad load = window.FormCreate(Alarm());
  EXPECT_EQ(Alarm().Points().Count(), 1u);
  ASSERT_EQ(warned.size(), 2u);
  EXPECT_NE(warned[0].find("Line:   1"), std::string::npos);
  EXPECT_NE(warned[1].find("Line:   2"), std::string::npos);
  EXPECT_NE(warned[0].find("は無効です"), std::string::npos);
  EXPECT_TRUE(window.Checking());
}

TEST_F(AlarmWindowTest, TheDefaultWarningIsABoxCalled警告) {
  PointFile("/tex=a/kei=0/ido=0/deg=0\n");
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->accept();
  });
  window.FormCreate(Alarm());
  EXPECT_EQ(title, QStringLiteral("警告"));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_TRUE(text.contains(QStringLiteral("Line:   1\n/tex=a/kei=0/ido=0/deg=0\nは無効です")))
      << text.toStdString();
}

TEST_F(AlarmWindowTest, KeysWheelClicksAndMediaKeysGoToTheMainWindow) {
  window.show();
  QTest::keyClick(&window, Qt::Key_Space);
  QTest::keyClick(&window, Qt::Key_Tab);  // not a focus move
  QTest::keyClick(&window, Qt::Key_Left, Qt::AltModifier);
  QTest::keyClick(&window, Qt::Key_MediaPlay);
  QTest::keyClick(&window, Qt::Key_VolumeDown);
  EXPECT_EQ(main.got,
            (std::vector<std::string>{"press Space", "release Space", "press Tab", "release Tab", "press Alt",
                                      "press Alt+Left", "release Alt+Left", "release Alt", "press Media Play",
                                      "release Media Play", "press Volume Down", "release Volume Down"}));
  main.got.clear();

  // Over the panels too: they pass the mouse on to the window.
  QLabel* distance = Label("pnl_Distance");
  const QPointF at(20, 10);
  for (int delta : {120, -120}) {
    QWheelEvent wheel(at, distance->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(distance, &wheel);
  }
  QTest::mouseDClick(Label("pnl_OvisText"), Qt::LeftButton);
  QTest::mousePress(&window, Qt::BackButton);
  QTest::mousePress(&window, Qt::ForwardButton);
  QTest::mousePress(&window, Qt::LeftButton);  // nothing
  EXPECT_EQ(main.got, (std::vector<std::string>{"wheel 120", "wheel -120", "double click", "app command 1",
                                                "app command 2"}));
}

}  // namespace
}  // namespace sorrel::alarm
