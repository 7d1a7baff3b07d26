// The hint window on a real X server (a private Xvfb): shown over the active window it
// leaves that window active, and mouse clicks and keys go through to it.  Skipped when
// Xvfb or xdotool is not installed.
#include "controls/HintCtrl.h"
#include "controls/MessagePopup.h"
#include "tests/platform/XvfbSession.h"

#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace sorrel::controls;
using sorrel::testing::TXvfbSession;
using sorrel::testing::TXvfbSuite;

namespace {

class Below : public QWidget {
 public:
  int keys = 0;
  std::vector<QPoint> clicks;

 protected:
  void mousePressEvent(QMouseEvent* e) override { clicks.push_back(e->globalPosition().toPoint()); }
  void keyPressEvent(QKeyEvent*) override { ++keys; }
};

class X11Hint : public TXvfbSuite<> {};

}  // namespace

TEST_F(X11Hint, ClicksAndKeysPassToTheWindowBelow) {
  Below below;
  below.setGeometry(100, 100, 468, 200);
  ASSERT_TRUE(TXvfbSession::ShowFocused(below));
  const QPoint inside = below.mapToGlobal(QPoint(100, 70));
  THintWindowEx hint;
  hint.ActivateHint(QRect(inside - QPoint(50, 20), QSize(200, 60)), QStringLiteral("click through me"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&hint));
  ASSERT_TRUE(hint.geometry().contains(inside));
  QTest::qWait(100);
  EXPECT_TRUE(below.isActiveWindow());
  EXPECT_FALSE(hint.isActiveWindow());
  ASSERT_EQ(TXvfbSession::Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                   QString::number(inside.x()), QString::number(inside.y()),
                                   QStringLiteral("click"), QStringLiteral("1")}),
            0);
  ASSERT_EQ(TXvfbSession::Xdotool({QStringLiteral("key"), QStringLiteral("a")}), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return below.clicks.size() == 1 && below.keys == 1; }, 5000));
  ASSERT_EQ(below.clicks.size(), 1u);
  EXPECT_EQ(below.clicks[0], inside);
  EXPECT_TRUE(below.isActiveWindow());
}

TEST_F(X11Hint, MessagePopupLeavesTheMainWindowActive) {
  Below main;
  main.setGeometry(200, 0, 468, 77);
  ASSERT_TRUE(TXvfbSession::ShowFocused(main));
  TMessagePopup pop;
  pop.ShowMessage(QStringLiteral(" Master :=  60 "), 1, main.frameGeometry());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pop.Window()));
  EXPECT_EQ(pop.Window().geometry().top(), 29);
  // A point where the pop-up covers the main window: the click lands on the main window.
  const QPoint onPopup(pop.Window().geometry().center().x(), 29 + 10);
  ASSERT_TRUE(main.geometry().contains(onPopup));
  ASSERT_EQ(TXvfbSession::Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                   QString::number(onPopup.x()), QString::number(onPopup.y()),
                                   QStringLiteral("click"), QStringLiteral("1")}),
            0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return main.clicks.size() == 1; }, 5000));
  EXPECT_TRUE(main.isActiveWindow());
  pop.PopTimerTimer();
  EXPECT_FALSE(pop.Window().isVisible());
}
