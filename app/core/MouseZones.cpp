#include "app/core/MouseZones.h"

#include <algorithm>

namespace sorrel::app {

namespace {

enum class TBand { kLow, kMiddle, kHigh };

// x < 6 is the left column, 6 <= x <= width - 6 the middle, the rest the right.
TBand BandOf(int v, int size) {
  if (v < kZoneBorder) return TBand::kLow;
  if (v <= size - kZoneBorder) return TBand::kMiddle;
  return TBand::kHigh;
}

}  // namespace

TMouseZone ZoneAt(TPoint client, TWindowSize window, int curTimeTop) {
  using D = TSizeDirection;
  using C = TZoneCursor;
  // [column][row]
  static constexpr TMouseZone kZones[3][3] = {
      {{C::kSizeNWSE, D::kTopLeft, TMouseAction::kSize},
       {C::kSizeWE, D::kLeft, TMouseAction::kSize},
       {C::kSizeNESW, D::kBottomLeft, TMouseAction::kSize}},
      {{C::kSizeNS, D::kTop, TMouseAction::kSize},
       {C::kDefault, D::kNone, TMouseAction::kNone},
       {C::kSizeNS, D::kBottom, TMouseAction::kSize}},
      {{C::kSizeNESW, D::kTopRight, TMouseAction::kSize},
       {C::kSizeWE, D::kRight, TMouseAction::kSize},
       {C::kSizeNWSE, D::kBottomRight, TMouseAction::kSize}},
  };
  TMouseZone zone = kZones[static_cast<int>(BandOf(client.X, window.Width))]
                          [static_cast<int>(BandOf(client.Y, window.Height))];
  // The moving area wins where it reaches into the bottom border of a low window; the
  // cursor keeps the border's shape.
  if (client.X >= 7 && client.X < window.Width - 6 && client.Y >= 7 && client.Y < curTimeTop) {
    zone.Direction = D::kNone;
    zone.Action = TMouseAction::kMove;
  }
  return zone;
}

uint32_t SysCommandOf(const TMouseZone& zone) {
  switch (zone.Action) {
    case TMouseAction::kMove:
      return kScMoveByMouse;
    case TMouseAction::kSize:
      return kScSize + static_cast<uint32_t>(zone.Direction);
    case TMouseAction::kNone:
      break;
  }
  return 0;
}

TEdges EdgesOf(TSizeDirection direction) {
  switch (direction) {
    case TSizeDirection::kLeft:
      return {true, false, false, false};
    case TSizeDirection::kRight:
      return {false, false, true, false};
    case TSizeDirection::kTop:
      return {false, true, false, false};
    case TSizeDirection::kTopLeft:
      return {true, true, false, false};
    case TSizeDirection::kTopRight:
      return {false, true, true, false};
    case TSizeDirection::kBottom:
      return {false, false, false, true};
    case TSizeDirection::kBottomLeft:
      return {true, false, false, true};
    case TSizeDirection::kBottomRight:
      return {false, false, true, true};
    case TSizeDirection::kNone:
      break;
  }
  return {};
}

bool InUpperArea(TPoint client, TWindowSize window, int curTimeTop) {
  return client.Y < std::min(curTimeTop, window.Height);
}

}  // namespace sorrel::app
