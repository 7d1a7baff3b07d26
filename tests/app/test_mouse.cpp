// The mouse over the borderless main window: its zones and the moves and sizes they
// start, parking the cursor with and without the keyboard tool, and command 3's point.
#include "app/core/CursorParking.h"
#include "app/core/MouseZones.h"

#include <gtest/gtest.h>

using namespace sorrel;
using namespace sorrel::app;

namespace {

using D = TSizeDirection;
using C = TZoneCursor;
constexpr TMouseZone kMove{C::kDefault, D::kNone, TMouseAction::kMove};
constexpr TMouseZone kNothing{C::kDefault, D::kNone, TMouseAction::kNone};
constexpr TMouseZone Size(C c, D d) { return {c, d, TMouseAction::kSize}; }

}  // namespace

TEST(MouseZones, CornersAndEdgesOfTheFullWindow) {
  const TWindowSize w = kFormSize;  // 468 x 77
  // Left column, x 0..5.
  EXPECT_EQ(ZoneAt({0, 0}, w), Size(C::kSizeNWSE, D::kTopLeft));
  EXPECT_EQ(ZoneAt({5, 5}, w), Size(C::kSizeNWSE, D::kTopLeft));
  EXPECT_EQ(ZoneAt({5, 6}, w), Size(C::kSizeWE, D::kLeft));
  EXPECT_EQ(ZoneAt({0, 71}, w), Size(C::kSizeWE, D::kLeft));
  EXPECT_EQ(ZoneAt({0, 72}, w), Size(C::kSizeNESW, D::kBottomLeft));
  EXPECT_EQ(ZoneAt({5, 76}, w), Size(C::kSizeNESW, D::kBottomLeft));
  // Middle column, x 6..462.
  EXPECT_EQ(ZoneAt({6, 0}, w), Size(C::kSizeNS, D::kTop));
  EXPECT_EQ(ZoneAt({234, 0}, w), Size(C::kSizeNS, D::kTop));  // the top edge sizes from the top only
  EXPECT_EQ(ZoneAt({462, 5}, w), Size(C::kSizeNS, D::kTop));
  EXPECT_EQ(ZoneAt({234, 76}, w), Size(C::kSizeNS, D::kBottom));
  EXPECT_EQ(ZoneAt({462, 72}, w), Size(C::kSizeNS, D::kBottom));
  // Right column, x 463..467.
  EXPECT_EQ(ZoneAt({463, 0}, w), Size(C::kSizeNESW, D::kTopRight));
  EXPECT_EQ(ZoneAt({467, 40}, w), Size(C::kSizeWE, D::kRight));
  EXPECT_EQ(ZoneAt({467, 76}, w), Size(C::kSizeNWSE, D::kBottomRight));
}

TEST(MouseZones, TheInsideAboveTheTimeRowMoves) {
  const TWindowSize w = kFormSize;
  EXPECT_EQ(ZoneAt({7, 7}, w), kMove);
  EXPECT_EQ(ZoneAt({461, 53}, w), kMove);
  EXPECT_EQ(ZoneAt({234, 30}, w), kMove);
  // The one-pixel rims inside the border, and the time row, do nothing.
  EXPECT_EQ(ZoneAt({6, 30}, w), kNothing);
  EXPECT_EQ(ZoneAt({462, 30}, w), kNothing);
  EXPECT_EQ(ZoneAt({234, 6}, w), kNothing);
  EXPECT_EQ(ZoneAt({200, 54}, w), kNothing);  // over lb_Time: its click opens the lists
  EXPECT_EQ(ZoneAt({200, 71}, w), kNothing);
}

TEST(MouseZones, LowWindowMovesWhereTheBottomBorderReachesUp) {
  const TWindowSize w{200, 30};  // bottom border y 25..29 lies above lb_CurTime's top
  EXPECT_EQ(ZoneAt({100, 27}, w), (TMouseZone{C::kSizeNS, D::kNone, TMouseAction::kMove}));
  EXPECT_EQ(ZoneAt({2, 27}, w), Size(C::kSizeNESW, D::kBottomLeft));  // corners still size
  EXPECT_EQ(ZoneAt({197, 27}, w), Size(C::kSizeNWSE, D::kBottomRight));
  EXPECT_EQ(ZoneAt({100, 2}, w), Size(C::kSizeNS, D::kTop));
}

TEST(MouseZones, SystemCommandsAndEdges) {
  EXPECT_EQ(SysCommandOf(ZoneAt({0, 40}, kFormSize)), 0xF001u);
  EXPECT_EQ(SysCommandOf(ZoneAt({467, 40}, kFormSize)), 0xF002u);
  EXPECT_EQ(SysCommandOf(ZoneAt({100, 0}, kFormSize)), 0xF003u);
  EXPECT_EQ(SysCommandOf(ZoneAt({0, 0}, kFormSize)), 0xF004u);
  EXPECT_EQ(SysCommandOf(ZoneAt({467, 0}, kFormSize)), 0xF005u);
  EXPECT_EQ(SysCommandOf(ZoneAt({100, 76}, kFormSize)), 0xF006u);
  EXPECT_EQ(SysCommandOf(ZoneAt({0, 76}, kFormSize)), 0xF007u);
  EXPECT_EQ(SysCommandOf(ZoneAt({467, 76}, kFormSize)), 0xF008u);
  EXPECT_EQ(SysCommandOf(ZoneAt({100, 20}, kFormSize)), 0xF012u);
  EXPECT_EQ(SysCommandOf(ZoneAt({100, 60}, kFormSize)), 0u);

  EXPECT_EQ(EdgesOf(D::kTop), (TEdges{false, true, false, false}));
  EXPECT_EQ(EdgesOf(D::kBottomLeft), (TEdges{true, false, false, true}));
  EXPECT_EQ(EdgesOf(D::kTopRight), (TEdges{false, true, true, false}));
  EXPECT_EQ(EdgesOf(D::kNone), TEdges{});
  // Every zone of every window: a size has edges, and only a size has.
  for (int W : {48, 120, 300, 468})
    for (int H : {30, 40, 60, 77})
      for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
          const TMouseZone z = ZoneAt({x, y}, {W, H});
          const TEdges e = EdgesOf(z.Direction);
          const bool anyEdge = e.Left || e.Right || e.Top || e.Bottom;
          ASSERT_EQ(anyEdge, z.Action == TMouseAction::kSize) << x << "," << y << " in " << W << "x" << H;
          ASSERT_FALSE(e.Left && e.Right);
          ASSERT_FALSE(e.Top && e.Bottom);
          ASSERT_TRUE(!e.Left || x < kZoneBorder);
          ASSERT_TRUE(!e.Right || x > W - kZoneBorder);
          ASSERT_TRUE(!e.Top || y < kZoneBorder);
          ASSERT_TRUE(!e.Bottom || y > H - kZoneBorder);
        }
}

TEST(MouseZones, UpperArea) {
  EXPECT_TRUE(InUpperArea({10, 53}, kFormSize));
  EXPECT_FALSE(InUpperArea({10, 54}, kFormSize));
  EXPECT_TRUE(InUpperArea({10, 29}, {200, 30}));
  EXPECT_FALSE(InUpperArea({10, 30}, {200, 30}));  // a drag below a low window
}

namespace {

class FakeKeyboardTool : public TKeyboardTool {
 public:
  bool running = false;
  bool Running() override { return running; }
};

// The main window at 100,0 on the screen, 468 x 77, with img_Close at 437,4.
class FakeWindow : public TCursorHost {
 public:
  TPoint cursor{0, 500};
  TRect window{100, 0, 468, 77};
  bool foreground = true;
  bool acceptsForeground = true;
  int forced = 0;
  int moves = 0;

  TPoint CursorPos() override { return cursor; }
  void SetCursorPos(TPoint p) override {
    cursor = p;
    ++moves;
  }
  TRect WindowRect() override { return window; }
  TPoint CloseImagePos() override { return {window.Left + 437, window.Top + 4}; }
  bool IsForeground() override { return foreground; }
  void ForceForeground() override {
    ++forced;
    if (acceptsForeground) foreground = true;
  }
};

struct Parking : ::testing::Test {
  base::TFakeClock clock{1'000'000'000};
  FakeKeyboardTool tool;
  FakeWindow window;
  TCursorParking parking{window, tool, clock};
  const TPoint parkingPoint{100 + 437 - 6, 4 + 6};

  void Ms(int ms) { clock.Advance(int64_t{ms} * 1000); }
  // The cursor rests at a screen point over the window; the window hears about it.
  void PutCursor(TPoint screen) {
    window.cursor = screen;
    parking.MouseMoved({screen.X - window.window.Left, screen.Y - window.window.Top});
  }
  // `ms` of clock ticks, 100 ms apart.
  void Run(int ms) {
    for (int t = 0; t < ms; t += 100) {
      Ms(100);
      parking.CursorStep(5000);
    }
  }
};

}  // namespace

TEST_F(Parking, ParkingPointBesideTheCloseImage) {
  EXPECT_EQ(ParkingPoint({537, 4}), (TPoint{531, 10}));
  EXPECT_TRUE(IsParked({531, 10}, {531, 10}));
  EXPECT_TRUE(IsParked({534, 7}, {531, 10}));
  EXPECT_FALSE(IsParked({535, 10}, {531, 10}));
  EXPECT_FALSE(IsParked({531, 6}, {531, 10}));
}

TEST_F(Parking, ARestingCursorIsParkedAfterMoveMouseTime) {
  parking.WindowShown();
  PutCursor({300, 20});
  Run(4900);
  EXPECT_EQ(window.moves, 0);
  Run(100);  // 5000 ms of rest
  EXPECT_EQ(window.cursor, parkingPoint);
  EXPECT_TRUE(parking.Parked());
  // Parked, it is parked again every 5 s (where it already is).
  Run(5000);
  EXPECT_EQ(window.moves, 2);
  EXPECT_EQ(window.cursor, parkingPoint);
}

TEST_F(Parking, NotWhileTheKeyboardToolRuns) {
  tool.running = true;
  parking.WindowShown();
  PutCursor({300, 20});
  Run(20000);
  EXPECT_EQ(window.moves, 0);
  EXPECT_EQ(window.cursor, (TPoint{300, 20}));
  EXPECT_FALSE(parking.Parked());
  // Command 2 and the request of other programs park it all the same.
  parking.ParkAlways();
  EXPECT_EQ(window.cursor, parkingPoint);
  // And without the tool again, the resting cursor is parked by the clock.
  tool.running = false;
  PutCursor({300, 20});
  Run(5000);
  EXPECT_EQ(window.cursor, parkingPoint);
}

TEST_F(Parking, MovingTheCursorPostponesParking) {
  parking.WindowShown();
  PutCursor({300, 20});
  Run(3000);
  PutCursor({300, 25});  // 5 pixels: a move
  Run(4000);
  EXPECT_EQ(window.moves, 0);
  PutCursor({304, 21});  // 4 and 4 pixels from the remembered point: not a move
  Run(1000);
  EXPECT_EQ(window.cursor, parkingPoint);
}

TEST_F(Parking, OnlyOverTheUpperArea) {
  parking.WindowShown();
  PutCursor({300, 60});  // over the time row
  Run(20000);
  PutCursor({300, 200});  // below the window
  Run(20000);
  PutCursor({50, 20});  // beside it
  Run(20000);
  EXPECT_EQ(window.moves, 0);
  // Into the upper area: the rest counts from the step that found it there.
  window.cursor = {300, 20};
  Run(4900);
  EXPECT_EQ(window.moves, 0);
  Run(100);
  EXPECT_EQ(window.moves, 1);
}

TEST_F(Parking, TheUpperAreaEndsAtTheWindowsBottomWhenLow) {
  window.window.Height = 40;  // lb_CurTime's top (54) lies below the window
  parking.WindowShown();
  window.cursor = {300, 45};
  Run(10000);
  EXPECT_EQ(window.moves, 0);
  window.cursor = {300, 39};
  Run(5000);
  EXPECT_EQ(window.moves, 1);
}

TEST_F(Parking, ACursorOverTheWindowBringsItForward) {
  window.foreground = false;
  PutCursor({300, 200});
  Ms(100);
  EXPECT_FALSE(parking.CursorStep(5000));
  EXPECT_EQ(window.forced, 0);
  PutCursor({300, 20});
  Ms(100);
  EXPECT_TRUE(parking.CursorStep(5000));
  EXPECT_EQ(window.forced, 1);
  // A window that cannot be forced stays inactive.
  window.foreground = false;
  window.acceptsForeground = false;
  Ms(100);
  EXPECT_FALSE(parking.CursorStep(5000));
  EXPECT_EQ(window.forced, 2);
}

TEST(CursorOutside, NinetyNinePixelsTowardsTheScreenCentre) {
  const TRect screen{0, 0, 1024, 768};
  // At the top, centred: the centre lies right of the left edge and below the top.
  EXPECT_EQ(PointOutsideWindow({278, 0, 468, 77}, screen), (TPoint{278 + 468 + 99, 77 + 99}));
  // Bottom right: the centre is left of it and above it.
  EXPECT_EQ(PointOutsideWindow({556, 691, 468, 77}, screen), (TPoint{556 - 99, 691 - 99}));
  // On the centre line the window's far side is taken.
  EXPECT_EQ(PointOutsideWindow({512, 384, 100, 50}, screen), (TPoint{512 + 100 + 99, 384 + 50 + 99}));
  EXPECT_EQ(PointOutsideWindow({513, 385, 100, 50}, screen), (TPoint{513 - 99, 385 - 99}));
  // A second screen to the right of the first.
  EXPECT_EQ(PointOutsideWindow({1100, 0, 468, 77}, {1024, 0, 1920, 1080}), (TPoint{1100 + 468 + 99, 176}));
}
