// The navigation program Navin'You as the alarm sees it: its windows, found by title
// and class, and the position digits on its status screen or coordinate window.
#pragma once

#include "alarm/core/Glyphs.h"
#include "alarm/core/GpsUtil.h"
#include "alarm/core/Motion.h"
#include "base/Clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorrel::alarm {

using TWindowHandle = uint64_t;  // 0: none

struct TForeignWindow {
  TWindowHandle Handle = 0;
  std::string ClassName;
  std::string Title;
};

struct TWindowRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // screen coordinates, frame included
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

inline constexpr uint8_t kVkControl = 0x11;
inline constexpr uint8_t kVkQ = 0x51;

// Other programs' windows, as far as the alarm uses them.  The foreign-window layer
// implements it; tests use a fake.  Handles of windows that have gone are harmless:
// every call on them fails or does nothing.
class TNavinScreenIntf {
 public:
  virtual ~TNavinScreenIntf() = default;
  // Top-level windows in enumeration order.
  virtual std::vector<TForeignWindow> TopLevelWindows() = 0;
  // Every descendant of `parent` (children of children too), in enumeration order.
  virtual std::vector<TForeignWindow> ChildWindows(TWindowHandle parent) = 0;
  // The first top-level window of this class, or 0.
  virtual TWindowHandle FindWindowByClass(std::string_view className) = 0;
  virtual bool IsVisible(TWindowHandle window) = 0;
  virtual std::optional<TWindowRect> WindowRect(TWindowHandle window) = 0;
  // The pixels of a rectangle of the window (x, y from the window's top left corner,
  // frame included).  False when nothing was captured.  The image may still come back
  // with another size than asked for; the caller checks.
  virtual bool Capture(TWindowHandle window, int x, int y, int width, int height, TRgbImage& image) = 0;
  // ForceForegroundWindow: to the front even against the focus-stealing protection.
  virtual void ForceForeground(TWindowHandle window) = 0;
  // A key event to whatever window has the keyboard (keybd_event): a virtual-key code,
  // pressed or released.
  virtual void KeyEvent(uint8_t virtualKey, bool up) = 0;
};

inline constexpr std::string_view kNavinClass = "Navin' You";
inline constexpr std::string_view kNavinTitlePrefix = "Navin' You - ";

// The window handles kept between readings; all cleared together before a search.
struct TNavinWindows {
  TWindowHandle Main = 0;
  TWindowHandle StatusScreen = 0;
  TWindowHandle CoordinateWnd = 0;
  TWindowHandle MapView = 0;
  TWindowHandle GPS = 0;
  TWindowHandle NorthUp = 0;
  TWindowHandle MapControlBar = 0;
  std::array<TWindowHandle, 4> MapControlButtons{};  // the bar's first four untitled buttons
  bool operator==(const TNavinWindows&) const = default;
};

// One screen reading.
struct TNavinReading {
  PositionFix Fix;  // latitude and longitude -1 (or the parse failure value) without one
  // Where the large lyric display must end: at a Navin'You window's left and top edges,
  // or (when false) at the screen's width and its height less 4.
  bool LyricLimitsFromWindow = false;
  int LyricRight = 0, LyricBottom = 0;
};

class TNavinYou {
 public:
  TNavinYou(TNavinScreenIntf& screen, base::TClock& clock) : screen_(screen), motion_(clock) {}

  // FindNavinWindows: the main window is the first top-level window whose title begins
  // with "Navin' You - "; then its descendants titled "StatusScreen", "CoordinateWnd",
  // "MapView", "GPS", "NorthUp", "MapControlBar"; then the bar's first four "Button"
  // descendants without a title.
  void FindNavinWindows();
  void ForgetWindows() { windows_ = {}; }
  const TNavinWindows& Windows() const { return windows_; }

  // A Navin'You window exists (by its class).
  bool Running() { return screen_.FindWindowByClass(kNavinClass) != 0; }
  // Brings the main window (found by class) to the foreground, when there is one.
  void BringForward();

  // ReadNavinPosition: the digits of the status screen (when no wider than 230 pixels;
  // wider, Navin'You is switched to it with Ctrl+Q and there is no reading this time) or
  // of the coordinate window, with speed and direction from the motion history.
  TNavinReading ReadNavinPosition();

  TNavinScreenIntf& Screen() { return screen_; }

 private:
  // Captures and reads one strip; "" when the capture fails or has the wrong size.
  std::string ReadStrip(TWindowHandle window, int x, int y, int width, int threshold);

  TNavinScreenIntf& screen_;
  TNavinWindows windows_;
  TMotion motion_;
};

// The coordinate window's one line, split: the latitude before the first "E", the
// longitude from that "E" on (at most 20 characters).
struct TCoordinateLine {
  std::string Latitude, Longitude;
};
TCoordinateLine SplitCoordinateLine(std::string_view text);

}  // namespace sorrel::alarm
