#include "app/core/FrameLook.h"

namespace sorrel::app {

TFrameLook FrameLook(bool active, bool wasActive, const TPlayerSettings& settings) {
  TFrameLook look;
  if (active) {
    look.TitleColor = settings.ActiveTitleFontColor;
    look.FrameColor = settings.ActiveFrameColor;
    look.LyricMayShow = true;
    look.LyricRedraw = !wasActive;
  } else {
    look.TitleColor = settings.DeactiveTitleFontColor;
    look.FrameColor = settings.DeactiveFrameColor;
    look.LyricMayShow = !settings.DeActiveLyricOff;
    look.ResetCursor = true;
  }
  return look;
}

std::array<TFrameLine, 4> FrameLines(TWindowSize window) {
  const int w = window.Width, h = window.Height;
  return {{
      {{1, 1}, {w - 4, 1}, 4},
      {{w - 1, 1}, {w - 1, h - 1}, 2},
      {{w - 1, h - 1}, {1, h - 1}, 2},
      {{1, h - 4}, {1, 1}, 4},
  }};
}

}  // namespace sorrel::app
