#include "app/core/CursorParking.h"

#include <algorithm>
#include <cstdlib>

namespace sorrel::app {

TPoint ParkingPoint(TPoint closeImagePos) { return {closeImagePos.X - 6, closeImagePos.Y + 6}; }

bool IsParked(TPoint cursor, TPoint parkingPoint) {
  return std::abs(cursor.X - parkingPoint.X) < 4 && std::abs(cursor.Y - parkingPoint.Y) < 4;
}

TPoint PointOutsideWindow(const TRect& window, const TRect& screen) {
  constexpr int kAway = 99;
  const int centreX = screen.Left + screen.Width / 2;
  const int centreY = screen.Top + screen.Height / 2;
  return {centreX < window.Left ? window.Left - kAway : window.Right() + kAway,
          centreY < window.Top ? window.Top - kAway : window.Bottom() + kAway};
}

void TCursorParking::WindowShown() { lastMoveTime_ = clock_.TickCount(); }

void TCursorParking::MouseMoved(TPoint client) {
  if (std::abs(client.X - lastPos_.X) >= kMoveThreshold ||
      std::abs(client.Y - lastPos_.Y) >= kMoveThreshold) {
    lastPos_ = client;
    lastMoveTime_ = clock_.TickCount();
  }
}

bool TCursorParking::CursorStep(int moveMouseTime, int curTimeTop) {
  bool active = host_.IsForeground();
  const TRect window = host_.WindowRect();
  const TRect upper{window.Left, window.Top, window.Width, std::min(window.Height, curTimeTop)};
  const int64_t now = clock_.TickCount();
  if (!upper.Contains(host_.CursorPos())) {
    lastMoveTime_ = now;
    return active;
  }
  if (!active) {
    host_.ForceForeground();
    active = host_.IsForeground();
  }
  if (now >= lastMoveTime_ + moveMouseTime) {
    Park();
    lastMoveTime_ = now;
  }
  return active;
}

void TCursorParking::Park() {
  if (!keyboardTool_.Running()) ParkAlways();
}

void TCursorParking::ParkAlways() { host_.SetCursorPos(ParkingPoint(host_.CloseImagePos())); }

bool TCursorParking::Parked() { return IsParked(host_.CursorPos(), ParkingPoint(host_.CloseImagePos())); }

}  // namespace sorrel::app
