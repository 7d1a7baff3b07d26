#include "alarm/core/NavinScreen.h"

namespace sorrel::alarm {

namespace {

constexpr int kStripHeight = kGlyphHeight;
constexpr int kLargeStatusWidth = 230;  // wider: the large status display

}  // namespace

void TNavinYou::FindNavinWindows() {
  windows_ = {};
  for (const TForeignWindow& w : screen_.TopLevelWindows()) {
    if (w.Title.starts_with(kNavinTitlePrefix)) {
      windows_.Main = w.Handle;
      break;
    }
  }
  if (!windows_.Main) return;

  struct TNamed {
    std::string_view Title;
    TWindowHandle& Handle;
  };
  const TNamed named[] = {{"StatusScreen", windows_.StatusScreen}, {"CoordinateWnd", windows_.CoordinateWnd},
                          {"MapView", windows_.MapView},           {"GPS", windows_.GPS},
                          {"NorthUp", windows_.NorthUp},           {"MapControlBar", windows_.MapControlBar}};
  size_t known = 0;
  for (const TForeignWindow& c : screen_.ChildWindows(windows_.Main)) {
    for (const TNamed& n : named) {
      if (n.Handle == 0 && c.Title == n.Title && c.Handle != 0) {
        n.Handle = c.Handle;
        ++known;
      }
    }
    if (known == std::size(named)) break;
  }

  if (!windows_.MapControlBar) return;
  size_t buttons = 0;
  for (const TForeignWindow& c : screen_.ChildWindows(windows_.MapControlBar)) {
    if (c.Title.empty() && c.ClassName == "Button" && c.Handle != 0) {
      windows_.MapControlButtons[buttons++] = c.Handle;
      if (buttons == windows_.MapControlButtons.size()) break;
    }
  }
}

void TNavinYou::BringForward() {
  if (const TWindowHandle main = screen_.FindWindowByClass(kNavinClass)) screen_.ForceForeground(main);
}

std::string TNavinYou::ReadStrip(TWindowHandle window, int x, int y, int width, int threshold) {
  TRgbImage image;
  if (!screen_.Capture(window, x, y, width, kStripHeight, image)) return "";
  // A peer that answers with another size than asked for gives no reading.
  if (image.Width != width || image.Height != kStripHeight || !image.Consistent()) return "";
  return RecognizeGlyphs(image, threshold);
}

TNavinReading TNavinYou::ReadNavinPosition() {
  TNavinReading r;
  if (!windows_.StatusScreen) FindNavinWindows();
  if (windows_.StatusScreen && !screen_.IsVisible(windows_.StatusScreen)) windows_.StatusScreen = 0;

  int32_t latitude = -1, longitude = -1;
  if (windows_.StatusScreen) {
    const std::optional<TWindowRect> rect = screen_.WindowRect(windows_.StatusScreen);
    if (!rect) {
      windows_.StatusScreen = 0;
      return r;
    }
    if (rect->Width() > kLargeStatusWidth) {
      // The large display has no digits to read: switch to the small one for next time.
      if (windows_.Main) screen_.ForceForeground(windows_.Main);
      screen_.KeyEvent(kVkControl, false);
      screen_.KeyEvent(kVkQ, false);
      screen_.KeyEvent(kVkControl, true);
      screen_.KeyEvent(kVkQ, true);
      return r;
    }
    latitude = ParseNavinCoordinate(ReadStrip(windows_.StatusScreen, 12, 11, 110, 384));
    longitude = ParseNavinCoordinate(ReadStrip(windows_.StatusScreen, 12, 28, 110, 384));
    r.LyricLimitsFromWindow = true;
    r.LyricRight = rect->Left;
    r.LyricBottom = rect->Top;
  } else if (windows_.CoordinateWnd) {
    if (const std::optional<TWindowRect> rect = screen_.WindowRect(windows_.CoordinateWnd)) {
      r.LyricLimitsFromWindow = true;
      r.LyricRight = rect->Left;
      r.LyricBottom = rect->Top;
    }
    const TCoordinateLine line = SplitCoordinateLine(ReadStrip(windows_.CoordinateWnd, 0, 23, 180, 256));
    latitude = ParseNavinCoordinate(line.Latitude);
    longitude = ParseNavinCoordinate(line.Longitude);
  }
  const TMotion::TResult motion = motion_.Update(latitude, longitude);
  r.Fix = {latitude, longitude, motion.Speed, motion.Direction};
  return r;
}

TCoordinateLine SplitCoordinateLine(std::string_view text) {
  const size_t e = text.find('E');
  if (e == std::string_view::npos) return {};
  size_t end = e, characters = 0;
  while (end < text.size() && characters < 20) {
    ++end;
    while (end < text.size() && (uint8_t(text[end]) & 0xC0) == 0x80) ++end;  // UTF-8 continuation
    ++characters;
  }
  return {std::string(text.substr(0, e)), std::string(text.substr(e, end - e))};
}

}  // namespace sorrel::alarm
