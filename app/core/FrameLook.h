// The frame the main window draws round itself and the title colour, which show
// whether the window is the foreground window, and what else follows from that.
#pragma once

#include "app/core/Geometry.h"
#include "app/core/Presets.h"
#include "app/core/Settings.h"

#include <array>

namespace sorrel::app {

struct TFrameLook {
  TColor TitleColor = 0;  // lb_Title's font colour
  TColor FrameColor = 0;
  bool LyricMayShow = false;
  // The window became the foreground window: the lyric window is redrawn.
  bool LyricRedraw = false;
  // The window is not the foreground window: the screen cursor goes back to the default.
  bool ResetCursor = false;
  bool operator==(const TFrameLook&) const = default;
};

// `active`: the window is the foreground window now; `wasActive`: it was at the last
// clock tick.
TFrameLook FrameLook(bool active, bool wasActive, const TPlayerSettings& settings);

struct TFrameLine {
  TPoint From;
  TPoint To;
  int PenWidth = 1;
  bool operator==(const TFrameLine&) const = default;
};

// The frame on the window's canvas: a 4-pixel line along the top, 2-pixel lines down
// the right edge and along the bottom, a 4-pixel line up the left edge.
std::array<TFrameLine, 4> FrameLines(TWindowSize window);

}  // namespace sorrel::app
