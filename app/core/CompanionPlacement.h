// Where the main window and its companion windows (the play list, the play file list,
// the settings dialog) go.  A companion opens directly below the main window; when the
// screen is too short for both, the main window moves up while the companion is shown
// and goes back to its home position when it is hidden.  The mouse cursor moves with
// the main window, so it stays over the same spot of it.  Screen coordinates.
#pragma once

#include "app/core/Geometry.h"
#include "app/core/Presets.h"

namespace sorrel::app {

// Space kept free below a companion window.
inline constexpr int kCompanionBottomMargin = 40;

struct TCompanionShow {
  TPoint Home;       // the main window's position to come back to
  TPoint MainPos;    // where the main window goes
  TPoint CursorPos;  // where the cursor goes
};

// Showing a companion `companionHeight` pixels high below `main`.  The main window
// never moves above the screen's top.
TCompanionShow ShowCompanion(const TRect& main, int companionHeight, const TRect& screen, TPoint cursor);

// The companion's own place (its FormShow): just below the main window, centred on it,
// kept within the screen's width (its left edge wins when it is wider than the screen).
TPoint CompanionPos(const TRect& main, TWindowSize companion, const TRect& screen);

struct TCompanionHide {
  TPoint MainPos;
  TPoint CursorPos;
  bool Park = false;  // park the cursor afterwards
};

// Hiding a companion: the main window back home, the cursor with it, and parked when
// asked for (`parkCursor`) and it was below the main window, over the companion.
TCompanionHide HideCompanion(const TRect& main, TPoint home, TPoint cursor, bool parkCursor);

// The message pop-up: centred on the main window, 29 pixels below its top.
TPoint PopUpPos(const TRect& main, TWindowSize popUp);

// At start-up: a left or top above the screen's becomes the screen's, a right edge
// beyond the screen's moves the window left, a top below the screen's bottom moves it
// up to show it whole.  This is the first home position.
TPoint KeepOnScreen(const TRect& window, const TRect& screen);

}  // namespace sorrel::app
