// The main window's layout over every size it can be given, checked against the layout
// rules; the resize limits; the frame and its colours.
#include "app/core/FrameLook.h"
#include "app/core/MainLayout.h"

#include <gtest/gtest.h>

#include <string>

using namespace sorrel::app;

namespace {

std::string At(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

bool InsideClient(const TRect& r, int w, int h) {
  return r.Left >= 0 && r.Top >= 0 && r.Right() <= w && r.Bottom() <= h;
}

// The rules, one size at a time.  Each failure names the size.
void CheckRules(const TMainLayout& l, int W, int H, const TCaptionPlaces& captions) {
  SCOPED_TRACE(At(W, H));
  const auto& image = l[TControl::Image];
  const auto& close = l[TControl::img_Close].Rect;
  const auto& title = l[TControl::lb_Title];
  const auto& artist = l[TControl::lb_Artist];
  const auto& album = l[TControl::lb_Album];
  const auto& label3 = l[TControl::Label3];
  const auto& time = l[TControl::lb_Time];
  const auto& clock = l[TControl::lb_CurTime];
  const auto& shuffle = l[TControl::lb_Shuffle];

  EXPECT_EQ(image.Rect, (TRect{0, 0, W, H}));

  // The right-hand column stays 2 pixels from the right edge, whole.
  EXPECT_EQ(close.Right(), W - 2);
  EXPECT_EQ(l[TControl::pnl_GPSStatus].Rect.Left, close.Left);
  EXPECT_EQ(l[TControl::pnl_LyricStatus].Rect.Left, close.Left);
  EXPECT_TRUE(InsideClient(close, W, H));
  EXPECT_TRUE(InsideClient(l[TControl::pnl_GPSStatus].Rect, W, H));
  if (H >= 52) {
    EXPECT_EQ(l[TControl::pnl_GPSStatus].Rect.Top, 29);
  } else {
    EXPECT_EQ(l[TControl::pnl_GPSStatus].Rect.Bottom(), H - 3);
  }
  EXPECT_EQ(l[TControl::pnl_LyricStatus].Rect.Bottom(), std::max(H - 4, 52));

  // Title: 8 right of "Title:", 12 left of the close image, never narrower than 8.
  EXPECT_TRUE(title.Visible);
  EXPECT_EQ(title.Rect.Left, captions.Label1.Right() + 8);
  if (close.Left - 12 - title.Rect.Left >= 8) {
    EXPECT_EQ(title.Rect.Right(), close.Left - 12);
  } else {
    EXPECT_EQ(title.Rect.Width, 8);
  }

  // Album and its caption: together, at most 16 high, 4 above the bottom, 34 from the
  // right edge, at least 9 wide.
  EXPECT_EQ(album.Visible, label3.Visible);
  if (album.Visible) {
    EXPECT_GE(album.Rect.Height, 1);
    EXPECT_LE(album.Rect.Height, 16);
    EXPECT_TRUE(album.Rect.Height == 16 || album.Rect.Bottom() == H - 4);
    EXPECT_LE(album.Rect.Bottom(), H - 4);
    EXPECT_EQ(album.Rect.Right(), W - 34);
    EXPECT_GE(album.Rect.Width, 9);
    EXPECT_EQ(label3.Rect.Height, album.Rect.Height);
    EXPECT_LT(label3.Rect.Right(), album.Rect.Left);
    EXPECT_TRUE(InsideClient(album.Rect, W, H));
  } else {
    EXPECT_TRUE(H - 4 - album.Rect.Top < 1 || W - 34 - album.Rect.Left < 9);
  }

  // Artist: 8 right of "Artist:", 5 left of "Album:" or 12 left of the close image.
  EXPECT_EQ(artist.Rect.Left, captions.Label2.Right() + 8);
  const int artistEnd = label3.Visible ? label3.Rect.Left - 5 : close.Left - 12;
  if (artistEnd - artist.Rect.Left >= 8) {
    EXPECT_EQ(artist.Rect.Right(), artistEnd);
  } else {
    EXPECT_EQ(artist.Rect.Width, 8);
  }
  EXPECT_EQ(artist.Visible, H - 4 - artist.Rect.Top >= 1);
  if (artist.Visible) {
    EXPECT_LE(artist.Rect.Height, 16);
    EXPECT_LE(artist.Rect.Bottom(), H - 4);
    EXPECT_TRUE(artist.Rect.Height == 16 || artist.Rect.Bottom() == H - 4);
    if (album.Visible) {
      EXPECT_LT(artist.Rect.Right(), album.Rect.Left);
    }
  }

  // The bottom row.
  EXPECT_EQ(time.Visible, H - 2 > time.Rect.Top);
  if (time.Visible) {
    EXPECT_EQ(time.Rect.Bottom(), H - 2);
    EXPECT_TRUE(InsideClient(time.Rect, W, H));
  }
  EXPECT_EQ(shuffle.Visible, W >= 320);
  if (W >= 320) {
    EXPECT_EQ(time.Rect.Left, 98);
    EXPECT_EQ(time.Rect.Width, 191);
    EXPECT_EQ(time.Align, TAlign::kCenter);
    EXPECT_LE(shuffle.Rect.Right(), time.Rect.Left);
  } else {
    EXPECT_EQ(time.Rect.Left, 32);
    EXPECT_EQ(time.Rect.Right(), W - 4);
    EXPECT_EQ(time.Align, TAlign::kLeft);
  }
  if (shuffle.Visible && shuffle.Rect.Height > 0) {
    EXPECT_EQ(shuffle.Rect.Bottom(), H - 2);
  }
  if (H - 5 > l[TControl::cbx_Shuffle].Rect.Top) {
    EXPECT_EQ(l[TControl::cbx_Shuffle].Rect.Bottom(), H - 5);
  }

  EXPECT_EQ(clock.Visible, W - 35 - clock.Rect.Left >= 1 && H - 2 - clock.Rect.Top >= 1);
  if (clock.Visible) {
    EXPECT_EQ(clock.Rect.Right(), W - 35);
    EXPECT_EQ(clock.Rect.Bottom(), H - 2);
    EXPECT_EQ(clock.Align, clock.Rect.Width >= 119 ? TAlign::kCenter : TAlign::kLeft);
    EXPECT_TRUE(InsideClient(clock.Rect, W, H));
    if (time.Visible) {
      EXPECT_LE(time.Rect.Right(), clock.Rect.Left);
    }
    EXPECT_LT(clock.Rect.Right(), close.Left);
  }

  // Nothing shown has a negative size; the fonts are the form's.
  const TMainLayout form = FormLayout(captions);
  for (int i = 0; i < kControlCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(l.Places[i].Rect.Width, 0);
    EXPECT_GE(l.Places[i].Rect.Height, 0);
    EXPECT_EQ(l.Places[i].FontPixels, form.Places[i].FontPixels);
  }
}

}  // namespace

TEST(MainLayout, TheFormsOwnSizeGivesTheFormsPlaces) {
  const TMainLayout l = LayoutMainWindow(kFormSize);
  EXPECT_EQ(l.Places, FormLayout().Places);
  EXPECT_EQ(l[TControl::lb_Title].Rect, (TRect{48, 4, 377, 24}));
  EXPECT_EQ(l[TControl::lb_Artist].Rect, (TRect{50, 34, 170, 16}));
  EXPECT_EQ(l[TControl::lb_Album].Rect, (TRect{264, 34, 170, 16}));
  EXPECT_EQ(l[TControl::lb_Time].Rect, (TRect{98, 54, 191, 21}));
  EXPECT_EQ(l[TControl::lb_CurTime].Rect, (TRect{296, 54, 137, 21}));
  EXPECT_EQ(l[TControl::lb_CurTime].Align, TAlign::kCenter);
  EXPECT_EQ(l[TControl::img_Close].Rect, (TRect{437, 4, 29, 24}));
  EXPECT_EQ(l[TControl::pnl_GPSStatus].Rect, (TRect{437, 29, 27, 21}));
  EXPECT_EQ(l[TControl::pnl_LyricStatus].Rect, (TRect{437, 52, 27, 21}));
  EXPECT_EQ(l[TControl::cbx_Shuffle].Rect, (TRect{10, 58, 14, 14}));
  EXPECT_EQ(l[TControl::lb_Title].FontPixels, 24);
  EXPECT_EQ(l[TControl::lb_Artist].FontPixels, 16);
  for (const TControlPlace& p : l.Places) EXPECT_TRUE(p.Visible);
}

// Every width of the form's constraints (48..476) with every height (30..104).
TEST(MainLayout, SweepOfSizesKeepsTheRules) {
  const TCaptionPlaces captions;
  for (int W = kMinWindowSize.Width; W <= kConstraintMaxSize.Width; ++W)
    for (int H = kMinWindowSize.Height; H <= kConstraintMaxSize.Height; ++H) {
      CheckRules(LayoutMainWindow({W, H}, captions), W, H, captions);
      if (::testing::Test::HasFailure()) return;  // one size is enough to read
    }
}

// Captions measured in another font move the lines that follow them.
TEST(MainLayout, SweepWithWiderCaptions) {
  TCaptionPlaces captions;
  captions.Label1 = {4, 8, 50, 18};
  captions.Label2 = {4, 34, 47, 16};
  captions.Label3 = {230, 34, 28, 16};
  for (int W = kMinWindowSize.Width; W <= kConstraintMaxSize.Width; W += 3)
    for (int H = kMinWindowSize.Height; H <= kConstraintMaxSize.Height; H += 2) {
      CheckRules(LayoutMainWindow({W, H}, captions), W, H, captions);
      if (::testing::Test::HasFailure()) return;
    }
  const TMainLayout l = LayoutMainWindow(kFormSize, captions);
  EXPECT_EQ(l[TControl::lb_Title].Rect.Left, 62);
  EXPECT_EQ(l[TControl::lb_Artist].Rect, (TRect{59, 34, 166, 16}));
}

// Growing the window never hides a control, so resizing never makes one flicker.
TEST(MainLayout, ControlsShowMonotonicallyWithTheSize) {
  for (int W = kMinWindowSize.Width; W < kConstraintMaxSize.Width; ++W)
    for (int H = kMinWindowSize.Height; H < kConstraintMaxSize.Height; ++H) {
      const TMainLayout here = LayoutMainWindow({W, H});
      const TMainLayout wider = LayoutMainWindow({W + 1, H});
      const TMainLayout taller = LayoutMainWindow({W, H + 1});
      for (int i = 0; i < kControlCount; ++i) {
        if (!here.Places[i].Visible) continue;
        ASSERT_TRUE(wider.Places[i].Visible) << "control " << i << " at " << At(W, H);
        ASSERT_TRUE(taller.Places[i].Visible) << "control " << i << " at " << At(W, H);
      }
    }
}

TEST(MainLayout, MiddleSize300x60) {
  const TMainLayout l = LayoutMainWindow({300, 60});
  EXPECT_EQ(l[TControl::img_Close].Rect, (TRect{269, 4, 29, 24}));
  EXPECT_EQ(l[TControl::lb_Title].Rect, (TRect{48, 4, 209, 24}));
  EXPECT_FALSE(l[TControl::lb_Album].Visible);  // 300 - 34 - 264 = 2 pixels: too narrow
  EXPECT_FALSE(l[TControl::Label3].Visible);
  EXPECT_EQ(l[TControl::lb_Artist].Rect, (TRect{50, 34, 207, 16}));  // up to the close image
  EXPECT_FALSE(l[TControl::lb_CurTime].Visible);
  EXPECT_FALSE(l[TControl::lb_Shuffle].Visible);
  EXPECT_TRUE(l[TControl::lb_Time].Visible);
  EXPECT_EQ(l[TControl::lb_Time].Rect, (TRect{32, 54, 264, 4}));
  EXPECT_EQ(l[TControl::lb_Time].Align, TAlign::kLeft);
  EXPECT_EQ(l[TControl::pnl_GPSStatus].Rect.Top, 29);
  EXPECT_EQ(l[TControl::pnl_LyricStatus].Rect.Height, 4);
}

TEST(MainLayout, SmallSize120x40) {
  const TMainLayout l = LayoutMainWindow({120, 40});
  EXPECT_EQ(l[TControl::img_Close].Rect.Left, 89);
  EXPECT_EQ(l[TControl::lb_Title].Rect, (TRect{48, 4, 29, 24}));
  EXPECT_EQ(l[TControl::lb_Artist].Rect, (TRect{50, 34, 27, 2}));
  EXPECT_TRUE(l[TControl::lb_Artist].Visible);
  EXPECT_FALSE(l[TControl::lb_Album].Visible);
  EXPECT_FALSE(l[TControl::lb_Time].Visible);
  EXPECT_FALSE(l[TControl::lb_CurTime].Visible);
  EXPECT_EQ(l[TControl::pnl_GPSStatus].Rect.Top, 16);
  EXPECT_EQ(l[TControl::pnl_LyricStatus].Rect.Height, 0);
}

TEST(MainLayout, TimeAndClockAtTheirThresholds) {
  EXPECT_EQ(LayoutMainWindow({319, 77})[TControl::lb_Time].Rect, (TRect{32, 54, 283, 21}));
  EXPECT_EQ(LayoutMainWindow({320, 77})[TControl::lb_Time].Rect, (TRect{98, 54, 191, 21}));
  EXPECT_FALSE(LayoutMainWindow({331, 77})[TControl::lb_CurTime].Visible);
  EXPECT_EQ(LayoutMainWindow({332, 77})[TControl::lb_CurTime].Rect, (TRect{296, 54, 1, 21}));
  EXPECT_EQ(LayoutMainWindow({449, 77})[TControl::lb_CurTime].Align, TAlign::kLeft);    // 118 wide
  EXPECT_EQ(LayoutMainWindow({450, 77})[TControl::lb_CurTime].Align, TAlign::kCenter);  // 119
  EXPECT_FALSE(LayoutMainWindow({468, 56})[TControl::lb_Time].Visible);
  EXPECT_EQ(LayoutMainWindow({468, 57})[TControl::lb_Time].Rect.Height, 1);
  EXPECT_FALSE(LayoutMainWindow({306, 77})[TControl::lb_Album].Visible);  // 8 wide
  EXPECT_EQ(LayoutMainWindow({307, 77})[TControl::lb_Album].Rect.Width, 9);
}

TEST(ResizeLimits, RequestsAreCutToTheForm) {
  EXPECT_EQ(AcceptedSize({500, 100}), kFormSize);
  EXPECT_EQ(AcceptedSize({476, 104}), kFormSize);
  EXPECT_EQ(AcceptedSize({470, 50}), (TWindowSize{468, 50}));
  EXPECT_EQ(AcceptedSize({10, 10}), kMinWindowSize);
  EXPECT_EQ(AcceptedSize({-5, 0}), kMinWindowSize);
  EXPECT_EQ(AcceptedSize({300, 60}), (TWindowSize{300, 60}));
}

TEST(ResizeLimits, TheSettingsRememberTheFreeSize) {
  TMainFormSettings s;
  RememberWindowSize({300, 60}, s);
  EXPECT_FALSE(s.OrgSize);
  EXPECT_EQ(s.Width, 300);
  EXPECT_EQ(s.Height, 60);
  RememberWindowSize(kFormSize, s);
  EXPECT_TRUE(s.OrgSize);
  EXPECT_EQ(s.Width, 300);  // kept for the size command
  EXPECT_EQ(s.Height, 60);
  RememberWindowSize({468, 76}, s);
  EXPECT_FALSE(s.OrgSize);
  EXPECT_EQ(s.Height, 76);
}

TEST(Frame, ColoursFollowTheForegroundWindow) {
  TPlayerSettings s;
  s.ActiveTitleFontColor = 0x0000FF;
  s.DeactiveTitleFontColor = 0x808080;
  s.ActiveFrameColor = 0xFF70F0;
  s.DeactiveFrameColor = 0xC0C0C0;
  s.DeActiveLyricOff = true;

  const TFrameLook becameActive = FrameLook(true, false, s);
  EXPECT_EQ(becameActive.TitleColor, 0x0000FF);
  EXPECT_EQ(becameActive.FrameColor, 0xFF70F0);
  EXPECT_TRUE(becameActive.LyricMayShow);
  EXPECT_TRUE(becameActive.LyricRedraw);
  EXPECT_FALSE(becameActive.ResetCursor);
  EXPECT_FALSE(FrameLook(true, true, s).LyricRedraw);  // only on the change

  const TFrameLook inactive = FrameLook(false, true, s);
  EXPECT_EQ(inactive.TitleColor, 0x808080);
  EXPECT_EQ(inactive.FrameColor, 0xC0C0C0);
  EXPECT_FALSE(inactive.LyricMayShow);
  EXPECT_FALSE(inactive.LyricRedraw);
  EXPECT_TRUE(inactive.ResetCursor);
  s.DeActiveLyricOff = false;
  EXPECT_TRUE(FrameLook(false, false, s).LyricMayShow);
}

TEST(Frame, LinesAlongTheEdges) {
  const auto lines = FrameLines(kFormSize);
  EXPECT_EQ(lines[0], (TFrameLine{{1, 1}, {464, 1}, 4}));
  EXPECT_EQ(lines[1], (TFrameLine{{467, 1}, {467, 76}, 2}));
  EXPECT_EQ(lines[2], (TFrameLine{{467, 76}, {1, 76}, 2}));
  EXPECT_EQ(lines[3], (TFrameLine{{1, 73}, {1, 1}, 4}));
  // Each line starts where the one before ends, except the thick ones at the top-left.
  const auto small = FrameLines(kMinWindowSize);
  EXPECT_EQ(small[1].To, small[2].From);
  EXPECT_EQ(small[3].To, small[0].From);
  EXPECT_EQ(small[2].To.Y, kMinWindowSize.Height - 1);
}
