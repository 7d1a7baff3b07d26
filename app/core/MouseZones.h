// Moving and sizing the borderless main window with the mouse: a 6-pixel border sizes
// the window from the edge or corner under the pointer, the inside above the time row
// moves it.  The window sets the cursor shape the zone names and, while the left button
// is down, starts the system's move or size (Qt: startSystemMove / startSystemResize
// with EdgesOf).  The directions keep the numbers of Windows' SC_SIZE + n, which other
// programs and the logs know.
#pragma once

#include "app/core/Geometry.h"
#include "app/core/MainLayout.h"

#include <cstdint>

namespace sorrel::app {

inline constexpr int kZoneBorder = 6;

// The sizing directions, numbered as SC_SIZE's low bits.
enum class TSizeDirection {
  kNone = 0,
  kLeft = 1,
  kRight = 2,
  kTop = 3,
  kTopLeft = 4,
  kTopRight = 5,
  kBottom = 6,
  kBottomLeft = 7,
  kBottomRight = 8,
};

enum class TZoneCursor {
  kDefault,
  kSizeNWSE,  // north-west / south-east
  kSizeNESW,  // north-east / south-west
  kSizeWE,
  kSizeNS,
};

enum class TMouseAction { kNone, kSize, kMove };

struct TMouseZone {
  TZoneCursor Cursor = TZoneCursor::kDefault;
  TSizeDirection Direction = TSizeDirection::kNone;
  TMouseAction Action = TMouseAction::kNone;
  bool operator==(const TMouseZone&) const = default;
};

// The zone under `client` (client coordinates) of a window of size `window`.
// `curTimeTop` is lb_CurTime's top: the moving area ends above it.
TMouseZone ZoneAt(TPoint client, TWindowSize window, int curTimeTop = kCurTimeTop);

inline constexpr uint32_t kScSize = 0xF000;
inline constexpr uint32_t kScMoveByMouse = 0xF012;  // SC_MOVE + 2

// SC_SIZE + direction, SC_MOVE + 2, or 0 when the zone does nothing.
uint32_t SysCommandOf(const TMouseZone& zone);

struct TEdges {
  bool Left = false, Top = false, Right = false, Bottom = false;
  bool operator==(const TEdges&) const = default;
};
TEdges EdgesOf(TSizeDirection direction);

// The upper area: above the smaller of lb_CurTime's top and the window's height.
// There the mouse hides the settings dialog and the play file list, and a resting
// cursor gets parked.
bool InUpperArea(TPoint client, TWindowSize window, int curTimeTop = kCurTimeTop);

}  // namespace sorrel::app
