// Where the lyric window goes and what it shows, as arithmetic on rectangles: display
// mode 0 beside the main window at one of the four "LyricPos" places, modes 1..6 over
// a part of the screen in large type.  The lyric window measures text (it knows the
// font) and passes the sizes in through TLyricMeasure; it gets back the font size, the
// text, the row to highlight and the rectangle to show.  Also the state of
// `pnl_LyricStatus`.
#pragma once

#include "app/core/Lyrics.h"
#include "app/core/Settings.h"

#include <string>

namespace sorrel::app {

// The lyric areas by their edges (exclusive right and bottom: Right = Left + width), as
// the screen areas they are cut from are given; the display's own rectangles
// (Geometry.h) go by width and height.
struct TLyricRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TLyricRect&) const = default;
};

struct TSize {
  int Width = 0, Height = 0;
  bool operator==(const TSize&) const = default;
};

// `pnl_LyricStatus`: "歌詞" when the song has lyrics, else no caption; silver while the
// lyrics are off, lime while they are on.
inline constexpr const char* kLyricStatusCaption = "歌詞";
inline constexpr TColor kLyricStatusOffColor = 0xC0C0C0;
inline constexpr TColor kLyricStatusOnColor = 0x00FF00;

struct TLyricStatusPanel {
  std::string Caption;
  TColor Color = kLyricStatusOnColor;
  bool operator==(const TLyricStatusPanel&) const = default;
};

TLyricStatusPanel LyricStatusPanel(bool hasLyrics, bool lyricsOff);

// Mode 0 uses "LyricFontSize", modes 1..6 "KSLyricFontSize".  Any mode outside 1..6
// counts as 0.
bool IsLargeLyricMode(int displayMode);
int LyricFontSize(int displayMode, const TLyricSettings& settings);

// Modes 1..6: the screen less 4 pixels at the bottom, then mode 1: right edge at the
// right limit; 2: bottom at the bottom limit; 3: top at the main window's bottom,
// bottom at the bottom limit; 4: top at the main window's bottom, right edge at the
// right limit; 5: top at the main window's bottom; 6: as it is.  An area that the
// limits turn inside out is empty (no negative width or height).
TLyricRect LyricTextArea(int displayMode, const TLyricRect& screen, const TLyricRect& main, int rightLimit,
                         int bottomLimit);

// Modes 1..6: rows = area height div line height + 1 (1..kMaxLyricRows).
int LargeLyricRows(int areaHeight, int lineHeight);

// Mode 0: the width the text may take: the screen width, or with
// "LyricWinWidthLimited" the room left of the main window less 4 ("LyricPos" 1) or
// right of it less 1 ("LyricPos" 2, and every value outside 0..3, placed as 2 is).
// At least 1.
int LyricMaxWidth(const TLyricRect& screen, const TLyricRect& main, int lyricPos, bool widthLimited);

// Mode 0: the window of `size` placed by "LyricPos": 0 below the main window, left
// edges aligned; 1 left of it, its right edge at the main window's left, tops aligned;
// 2 right of it, tops aligned; 3 above it, its bottom 4 pixels above the main window's
// top, left edges aligned (THintWindowEx's ActivateHint adds those 4 pixels at the
// bottom, so it then touches the main window).  Other values place it as 2, the
// default, does.
TLyricRect PlaceLyricWindow(const TLyricRect& main, int lyricPos, TSize size);

// The lyric window's measurements, in its font at the given size.
class TLyricMeasure {
 public:
  virtual ~TLyricMeasure() = default;
  // The height of one line of text.
  virtual int LineHeight(int fontSize) = 0;
  // THintWindowEx's MeasureHint: the size the text needs wrapped at maxWidth (word
  // breaks), widened by 8 and heightened by 2 pixels.
  virtual TSize MeasureText(int fontSize, int maxWidth, const std::string& text) = 0;
};

// What to show: set the lyric font to FontSize, highlight row MarkedRow (band of one
// line), and ActivateHint(Bounds, Text).
struct TLyricWindowPlan {
  int FontSize = 0;
  TLyricPage Page;
  TLyricRect Bounds;
  bool operator==(const TLyricWindowPlan&) const = default;
};

// The screen and the two limits that keep the large lyrics clear of the navigation
// program's coordinate display.
class TLyricLayout {
 public:
  explicit TLyricLayout(const TLyricRect& screen = {}) { SetScreen(screen); }

  // A new screen rectangle resets the limits to it.
  void SetScreen(const TLyricRect& screen);
  const TLyricRect& Screen() const { return screen_; }

  // The limits: the screen's right edge and its bottom less 4 (what every position
  // reading starts from), or the navigation program window's left and top edges.
  void ResetLimits();
  void SetLimits(int rightLimit, int bottomLimit);
  int RightLimit() const { return rightLimit_; }
  int BottomLimit() const { return bottomLimit_; }

  // "Draw lyric" for the engine's current line in `displayMode`, with the main window
  // at `main`.
  TLyricWindowPlan Plan(const TLyricEngine& engine, int displayMode, const TLyricRect& main,
                        const TLyricSettings& settings, TLyricMeasure& measure) const;

 private:
  TLyricRect screen_;
  int rightLimit_ = 0;
  int bottomLimit_ = 0;
};

}  // namespace sorrel::app
