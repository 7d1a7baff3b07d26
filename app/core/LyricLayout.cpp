#include "app/core/LyricLayout.h"

#include <algorithm>

namespace sorrel::app {

namespace {
constexpr int kLyricAreaBottomGap = 4;  // ActivateHint adds it back
constexpr int kAboveGap = 4;
constexpr int kLeftGap = 4;
constexpr int kRightGap = 1;

// "LyricPos" 0..3; any other value is the default place, 2.
int Place(int lyricPos) { return lyricPos >= 0 && lyricPos <= 3 ? lyricPos : 2; }
}  // namespace

TLyricStatusPanel LyricStatusPanel(bool hasLyrics, bool lyricsOff) {
  return {hasLyrics ? kLyricStatusCaption : "", lyricsOff ? kLyricStatusOffColor : kLyricStatusOnColor};
}

bool IsLargeLyricMode(int displayMode) { return displayMode >= 1 && displayMode <= 6; }

int LyricFontSize(int displayMode, const TLyricSettings& settings) {
  return IsLargeLyricMode(displayMode) ? settings.KSLyricFontSize : settings.Lyric.LyricFontSize;
}

TLyricRect LyricTextArea(int displayMode, const TLyricRect& screen, const TLyricRect& main, int rightLimit,
                         int bottomLimit) {
  TLyricRect r = screen;
  r.Bottom -= kLyricAreaBottomGap;
  switch (displayMode) {
    case 1:
      r.Right = rightLimit;
      break;
    case 2:
      r.Bottom = bottomLimit;
      break;
    case 3:
      r.Top = main.Bottom;
      r.Bottom = bottomLimit;
      break;
    case 4:
      r.Top = main.Bottom;
      r.Right = rightLimit;
      break;
    case 5:
      r.Top = main.Bottom;
      break;
    default:
      break;
  }
  r.Right = std::max(r.Right, r.Left);
  r.Bottom = std::max(r.Bottom, r.Top);
  return r;
}

int LargeLyricRows(int areaHeight, int lineHeight) {
  const int rows = std::max(areaHeight, 0) / std::max(lineHeight, 1) + 1;
  return std::min(rows, kMaxLyricRows);
}

int LyricMaxWidth(const TLyricRect& screen, const TLyricRect& main, int lyricPos, bool widthLimited) {
  lyricPos = Place(lyricPos);
  int width = screen.Width();
  if (widthLimited && lyricPos == 1) width = main.Left - screen.Left - kLeftGap;
  if (widthLimited && lyricPos == 2) width = screen.Right - main.Right - kRightGap;
  return std::max(width, 1);
}

TLyricRect PlaceLyricWindow(const TLyricRect& main, int lyricPos, TSize size) {
  switch (Place(lyricPos)) {
    case 0:
      return {main.Left, main.Bottom, main.Left + size.Width, main.Bottom + size.Height};
    case 1:
      return {main.Left - size.Width, main.Top, main.Left, main.Top + size.Height};
    case 3:
      return {main.Left, main.Top - kAboveGap - size.Height, main.Left + size.Width, main.Top - kAboveGap};
    default:
      return {main.Right, main.Top, main.Right + size.Width, main.Top + size.Height};
  }
}

void TLyricLayout::SetScreen(const TLyricRect& screen) {
  screen_ = screen;
  ResetLimits();
}

void TLyricLayout::ResetLimits() {
  rightLimit_ = screen_.Right;
  bottomLimit_ = screen_.Bottom - kLyricAreaBottomGap;
}

void TLyricLayout::SetLimits(int rightLimit, int bottomLimit) {
  rightLimit_ = rightLimit;
  bottomLimit_ = bottomLimit;
}

TLyricWindowPlan TLyricLayout::Plan(const TLyricEngine& engine, int displayMode, const TLyricRect& main,
                                    const TLyricSettings& settings, TLyricMeasure& measure) const {
  TLyricWindowPlan plan;
  plan.FontSize = LyricFontSize(displayMode, settings);
  if (IsLargeLyricMode(displayMode)) {
    plan.Bounds = LyricTextArea(displayMode, screen_, main, rightLimit_, bottomLimit_);
    const int rows = LargeLyricRows(plan.Bounds.Height(), measure.LineHeight(plan.FontSize));
    plan.Page = engine.Page(rows, settings.LyricNilSpace);
    return plan;
  }
  plan.Page = engine.Page(std::clamp(settings.LyricLine, 1, 20), settings.LyricNilSpace);
  const int maxWidth = LyricMaxWidth(screen_, main, settings.LyricPos, settings.LyricWinWidthLimited);
  const TSize size = measure.MeasureText(plan.FontSize, maxWidth, plan.Page.Text);
  plan.Bounds =
      PlaceLyricWindow(main, settings.LyricPos, {std::max(size.Width, 0), std::max(size.Height, 0)});
  return plan;
}

}  // namespace sorrel::app
