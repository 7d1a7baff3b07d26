// Where the main window, its companion windows and the message pop-up go, near the
// screen's edges.
#include "app/core/CompanionPlacement.h"

#include <gtest/gtest.h>

using namespace sorrel::app;

namespace {

const TRect kScreen{0, 0, 1024, 768};

}  // namespace

TEST(Companion, RoomBelowLeavesTheMainWindowWhereItIs) {
  const TRect main{278, 0, 468, 77};
  const TCompanionShow s = ShowCompanion(main, 600, kScreen, {300, 20});
  EXPECT_EQ(s.Home, (TPoint{278, 0}));
  EXPECT_EQ(s.MainPos, (TPoint{278, 0}));
  EXPECT_EQ(s.CursorPos, (TPoint{300, 20}));
  // Exactly 40 pixels left below the companion is enough.
  EXPECT_EQ(ShowCompanion({278, 51, 468, 77}, 600, kScreen, {0, 0}).MainPos.Y, 51);
}

TEST(Companion, TheMainWindowMovesUpAndTheCursorWithIt) {
  const TRect main{278, 300, 468, 77};
  const TCompanionShow s = ShowCompanion(main, 400, kScreen, {500, 320});
  EXPECT_EQ(s.Home, (TPoint{278, 300}));
  EXPECT_EQ(s.MainPos, (TPoint{278, 768 - 77 - 400 - 40}));  // 251
  EXPECT_EQ(s.CursorPos, (TPoint{500, 320 - 49}));
  // One pixel short of room moves it by one.
  EXPECT_EQ(ShowCompanion({278, 52, 468, 77}, 600, kScreen, {0, 0}).MainPos.Y, 51);
}

TEST(Companion, ATallCompanionDoesNotPushTheMainWindowOffTheScreen) {
  const TCompanionShow s = ShowCompanion({278, 200, 468, 77}, 700, kScreen, {300, 210});
  EXPECT_EQ(s.MainPos, (TPoint{278, 0}));
  EXPECT_EQ(s.CursorPos, (TPoint{300, 10}));
  // A screen that does not start at 0.
  EXPECT_EQ(ShowCompanion({10, 500, 468, 77}, 700, {0, 100, 1024, 768}, {0, 0}).MainPos.Y, 100);
}

TEST(Companion, CompanionSitsBelowCentredAndOnTheScreen) {
  EXPECT_EQ(CompanionPos({278, 0, 468, 77}, {510, 203}, kScreen), (TPoint{257, 77}));
  // Near the left and right edges it is pushed back onto the screen.
  EXPECT_EQ(CompanionPos({0, 0, 197, 30}, {510, 203}, kScreen), (TPoint{0, 30}));
  EXPECT_EQ(CompanionPos({900, 100, 124, 40}, {510, 203}, kScreen), (TPoint{514, 140}));
  // An odd difference is cut towards zero on both sides of the main window's centre.
  EXPECT_EQ(CompanionPos({300, 0, 49, 30}, {100, 100}, kScreen), (TPoint{275, 30}));  // -51 / 2 = -25
  EXPECT_EQ(CompanionPos({300, 0, 101, 30}, {100, 100}, kScreen), (TPoint{300, 30}));
  // Wider than the screen: its left edge stays visible.
  EXPECT_EQ(CompanionPos({100, 0, 468, 77}, {1200, 300}, kScreen), (TPoint{0, 77}));
}

TEST(Companion, HidingBringsTheMainWindowHome) {
  const TRect moved{278, 251, 468, 77};
  const TPoint home{278, 300};
  // The cursor over the companion is parked when asked for.
  TCompanionHide h = HideCompanion(moved, home, {400, 500}, true);
  EXPECT_EQ(h.MainPos, home);
  EXPECT_EQ(h.CursorPos, (TPoint{400, 549}));
  EXPECT_TRUE(h.Park);
  EXPECT_FALSE(HideCompanion(moved, home, {400, 500}, false).Park);
  // Over the main window (or above it) it only moves along.
  h = HideCompanion(moved, home, {400, 327}, true);
  EXPECT_EQ(h.CursorPos, (TPoint{400, 376}));
  EXPECT_FALSE(h.Park);
  EXPECT_TRUE(HideCompanion(moved, home, {400, 328}, true).Park);  // the first row below it
}

TEST(PopUp, CentredOnTheMainWindow29PixelsDown) {
  EXPECT_EQ(PopUpPos({278, 0, 468, 77}, {300, 120}), (TPoint{362, 29}));
  EXPECT_EQ(PopUpPos({0, 10, 120, 40}, {300, 120}),
            (TPoint{-90, 39}));  // the pop-up keeps itself on the desktop
}

TEST(StartPosition, KeptOnTheScreen) {
  EXPECT_EQ(KeepOnScreen({-20, -5, 468, 77}, kScreen), (TPoint{0, 0}));
  EXPECT_EQ(KeepOnScreen({700, 100, 468, 77}, kScreen), (TPoint{556, 100}));
  EXPECT_EQ(KeepOnScreen({100, 800, 468, 77}, kScreen), (TPoint{100, 691}));
  EXPECT_EQ(KeepOnScreen({100, 740, 468, 77}, kScreen), (TPoint{100, 740}));  // its top still shows
}
