// The layout of the main window for every size it may take: where each control sits,
// whether it shows and how its text is aligned, as a function of the client size.  The
// window applies the result after every resize (and then runs the scroll setup with the
// new label widths); the controls the rules do not name keep the form's places.  Also
// the resize limits and the size the settings remember.
//
// Choices where the rules are silent: the close image and the two status panels keep
// their distance from the right edge (the lines end relative to them); lb_Title and
// lb_Artist are never narrower than 8 pixels; "Album:" follows lb_Album's height, not its
// width; controls that reach down to the bottom without a rule that hides them shrink to
// no height rather than a negative one.  Font sizes never change with the size.
#pragma once

#include "app/core/Geometry.h"
#include "app/core/Presets.h"
#include "app/core/Settings.h"

#include <array>

namespace sorrel::app {

enum class TControl {
  Image,
  Label1,
  Label2,
  Label3,
  Label4,
  lb_Title,
  lb_Artist,
  lb_Album,
  lb_Time,
  lb_CurTime,
  lb_Shuffle,
  cbx_Shuffle,
  img_Close,
  pnl_GPSStatus,
  pnl_LyricStatus,
};
inline constexpr int kControlCount = 15;

enum class TAlign { kLeft, kCenter };

struct TControlPlace {
  TRect Rect;
  bool Visible = true;
  TAlign Align = TAlign::kLeft;
  // The font's pixel size where the form fixes it (0: the settings' or the window's).
  int FontPixels = 0;
  bool operator==(const TControlPlace&) const = default;
};

struct TMainLayout {
  std::array<TControlPlace, kControlCount> Places;
  const TControlPlace& operator[](TControl c) const { return Places[static_cast<int>(c)]; }
  TControlPlace& operator[](TControl c) { return Places[static_cast<int>(c)]; }
};

// The size limits: the form's constraints, and the form's own size, beyond which the
// window never grows (requests are cut to it).
inline constexpr TWindowSize kMinWindowSize{48, 30};
inline constexpr TWindowSize kConstraintMaxSize{476, 104};

// The top of lb_CurTime, which bounds the upper area of the window (mouse handling).
inline constexpr int kCurTimeTop = 54;

// The labels with fixed texts ("Title:", "Artist:", "Album:", "シャッフル", and Label4's
// messages) size themselves to their texts, so the window passes the places they have
// in their fonts.  The defaults are the form's: they put lb_Title at 48, lb_Artist at
// 50 and end it at 220.
struct TCaptionPlaces {
  TRect Label1{4, 10, 36, 16};
  TRect Label2{4, 34, 38, 16};
  TRect Label3{225, 34, 31, 16};
  TRect Label4{9, 4, 200, 28};
  TRect lb_Shuffle{24, 54, 72, 21};
};

// The places of the form at its own size 468 x 77.
TMainLayout FormLayout(const TCaptionPlaces& captions = {});

// The layout for a client area of `client` (any size; the window's limits keep it
// within 48..468 x 30..77).
TMainLayout LayoutMainWindow(TWindowSize client, const TCaptionPlaces& captions = {});

// The size a resize request ends at: within the limits and never beyond 468 x 77.
TWindowSize AcceptedSize(TWindowSize requested);

// After each accepted size: "OrgSize" is true exactly at 468 x 77; any other size is
// kept in "Width" and "Height".
void RememberWindowSize(TWindowSize size, TMainFormSettings& settings);

}  // namespace sorrel::app
