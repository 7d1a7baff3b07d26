#include "app/core/MainLayout.h"

#include <algorithm>

namespace sorrel::app {

namespace {

constexpr int kTitleFontPixels = 24;
constexpr int kLineFontPixels = 16;  // artist and album
constexpr int kLabel4FontPixels = 24;

// The tallest the artist and album lines get.
constexpr int kLineMaxHeight = 16;

int NonNegative(int v) { return std::max(v, 0); }

}  // namespace

TMainLayout FormLayout(const TCaptionPlaces& captions) {
  TMainLayout l;
  l[TControl::Image] = {{0, 0, kFormSize.Width, kFormSize.Height}, true, TAlign::kCenter};
  l[TControl::Label1] = {captions.Label1};
  l[TControl::Label2] = {captions.Label2};
  l[TControl::Label3] = {captions.Label3};
  l[TControl::Label4] = {captions.Label4, true, TAlign::kLeft, kLabel4FontPixels};
  l[TControl::lb_Title] = {{48, 4, 377, 24}, true, TAlign::kLeft, kTitleFontPixels};
  l[TControl::lb_Artist] = {{50, 34, 170, 16}, true, TAlign::kLeft, kLineFontPixels};
  l[TControl::lb_Album] = {{264, 34, 170, 16}, true, TAlign::kLeft, kLineFontPixels};
  l[TControl::lb_Time] = {{98, 54, 191, 21}, true, TAlign::kCenter};
  l[TControl::lb_CurTime] = {{296, kCurTimeTop, 137, 21}, true, TAlign::kCenter};
  l[TControl::lb_Shuffle] = {captions.lb_Shuffle};
  l[TControl::cbx_Shuffle] = {{10, 58, 14, 14}};
  l[TControl::img_Close] = {{437, 4, 29, 24}};
  l[TControl::pnl_GPSStatus] = {{437, 29, 27, 21}};
  l[TControl::pnl_LyricStatus] = {{437, 52, 27, 21}};
  return l;
}

TMainLayout LayoutMainWindow(TWindowSize client, const TCaptionPlaces& captions) {
  const int W = client.Width, H = client.Height;
  TMainLayout l = FormLayout(captions);
  l[TControl::Image].Rect = {0, 0, W, H};

  // The close image and the two status panels keep their distance from the right edge.
  const int rightShift = W - kFormSize.Width;
  for (TControl c : {TControl::img_Close, TControl::pnl_GPSStatus, TControl::pnl_LyricStatus})
    l[c].Rect.Left += rightShift;
  const TRect& close = l[TControl::img_Close].Rect;

  TRect& title = l[TControl::lb_Title].Rect;
  title.Left = l[TControl::Label1].Rect.Right() + 8;
  title.Width = std::max(close.Left - 12 - title.Left, 8);

  TControlPlace& album = l[TControl::lb_Album];
  TControlPlace& label3 = l[TControl::Label3];
  const int albumHeight = std::min(H - 4 - album.Rect.Top, kLineMaxHeight);
  const int albumWidth = W - 34 - album.Rect.Left;
  if (albumHeight < 1 || albumWidth < 9) {
    album.Visible = label3.Visible = false;
  } else {
    album.Rect.Height = label3.Rect.Height = albumHeight;
    album.Rect.Width = albumWidth;
  }

  TControlPlace& artist = l[TControl::lb_Artist];
  artist.Rect.Left = l[TControl::Label2].Rect.Right() + 8;
  const int artistEnd = label3.Visible ? label3.Rect.Left - 5 : close.Left - 12;
  artist.Rect.Width = std::max(artistEnd - artist.Rect.Left, 8);
  const int artistHeight = std::min(H - 4 - artist.Rect.Top, kLineMaxHeight);
  if (artistHeight < 1)
    artist.Visible = false;
  else
    artist.Rect.Height = artistHeight;

  TRect& gps = l[TControl::pnl_GPSStatus].Rect;
  gps.Top = H >= 52 ? 29 : H - 24;
  TRect& lyric = l[TControl::pnl_LyricStatus].Rect;
  lyric.Height = NonNegative(H - 4 - lyric.Top);

  TControlPlace& clock = l[TControl::lb_CurTime];
  const int clockHeight = H - 2 - clock.Rect.Top;
  const int clockWidth = W - 35 - clock.Rect.Left;
  clock.Visible = clockHeight >= 1 && clockWidth >= 1;
  clock.Rect.Height = NonNegative(clockHeight);
  clock.Rect.Width = NonNegative(clockWidth);
  clock.Align = clockWidth >= 119 ? TAlign::kCenter : TAlign::kLeft;

  TControlPlace& shuffle = l[TControl::lb_Shuffle];
  shuffle.Rect.Height = NonNegative(H - 2 - shuffle.Rect.Top);
  TRect& box = l[TControl::cbx_Shuffle].Rect;
  box.Height = NonNegative(H - 5 - box.Top);

  TControlPlace& time = l[TControl::lb_Time];
  const int timeHeight = H - 2 - time.Rect.Top;
  time.Visible = timeHeight >= 1;
  time.Rect.Height = NonNegative(timeHeight);
  if (W >= 320) {
    shuffle.Visible = true;
    time.Rect.Left = 98;
    time.Rect.Width = 191;
    time.Align = TAlign::kCenter;
  } else {
    shuffle.Visible = false;
    time.Rect.Left = 32;
    time.Rect.Width = NonNegative(W - 36);
    time.Align = TAlign::kLeft;
  }
  return l;
}

TWindowSize AcceptedSize(TWindowSize requested) {
  const int maxWidth = std::min(kConstraintMaxSize.Width, kFormSize.Width);
  const int maxHeight = std::min(kConstraintMaxSize.Height, kFormSize.Height);
  return {std::clamp(requested.Width, kMinWindowSize.Width, maxWidth),
          std::clamp(requested.Height, kMinWindowSize.Height, maxHeight)};
}

void RememberWindowSize(TWindowSize size, TMainFormSettings& settings) {
  if (size == kFormSize) {
    settings.OrgSize = true;
    return;
  }
  settings.OrgSize = false;
  settings.Width = size.Width;
  settings.Height = size.Height;
}

}  // namespace sorrel::app
