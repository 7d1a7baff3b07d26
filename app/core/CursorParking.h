// Parking the mouse cursor: a cursor resting over the upper part of the main window for
// "MoveMouseTime" ms is put on the parking point beside the close image, so it does not
// hide the title, unless the on-screen keyboard tool runs (its user points at the
// screen on purpose).  The tracker also remembers when the cursor last moved, forces a
// window under a resting cursor to the foreground, and works out the point of command 3.
// Time comes from the injected clock.
#pragma once

#include "app/core/Geometry.h"
#include "app/core/MainLayout.h"
#include "base/Clock.h"

#include <cstdint>

namespace sorrel::app {

// The on-screen keyboard tool: running while its window (class "Tfm_TTBMain", caption
// " TenTarnBoard 設定") exists.
class TKeyboardTool {
 public:
  virtual ~TKeyboardTool() = default;
  virtual bool Running() = 0;
};

// The main window as the cursor step needs it.  Screen coordinates.
class TCursorHost {
 public:
  virtual ~TCursorHost() = default;
  virtual TPoint CursorPos() = 0;
  virtual void SetCursorPos(TPoint screen) = 0;
  virtual TRect WindowRect() = 0;
  // img_Close's top-left corner.
  virtual TPoint CloseImagePos() = 0;
  virtual bool IsForeground() = 0;
  virtual void ForceForeground() = 0;
};

// 6 pixels left of the close image and 6 below its top.
TPoint ParkingPoint(TPoint closeImagePos);

// Less than 4 pixels from the parking point in both directions.
bool IsParked(TPoint cursor, TPoint parkingPoint);

// Command 3: 99 pixels outside the window, on the side facing the screen's centre.
TPoint PointOutsideWindow(const TRect& window, const TRect& screen);

class TCursorParking {
 public:
  static constexpr int kMoveThreshold = 5;  // pixels in either direction

  TCursorParking(TCursorHost& host, TKeyboardTool& keyboardTool, base::TClock& clock)
      : host_(host), keyboardTool_(keyboardTool), clock_(clock) {}

  // FormShow: the cursor counts as moved now.
  void WindowShown();
  // FormMouseMove (for the window and every label and panel), client coordinates.
  void MouseMoved(TPoint client);

  // Steps 1 and 2 of the frame and cursor step (CurrentTimer, every 100 ms): returns
  // whether the window is the foreground window, after forcing it there when the
  // cursor is over its upper area.  `curTimeTop` is lb_CurTime's top.
  bool CursorStep(int moveMouseTime, int curTimeTop = kCurTimeTop);

  // Parks the cursor unless the keyboard tool runs (the resting cursor, a companion
  // window closing over it).
  void Park();
  // Command 2 and the request from other programs: also while the keyboard tool runs.
  void ParkAlways();
  bool Parked();

  int64_t LastMoveTime() const { return lastMoveTime_; }

 private:
  TCursorHost& host_;
  TKeyboardTool& keyboardTool_;
  base::TClock& clock_;
  TPoint lastPos_{-1000000, -1000000};
  int64_t lastMoveTime_ = 0;
};

}  // namespace sorrel::app
