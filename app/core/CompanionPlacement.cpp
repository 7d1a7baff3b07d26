#include "app/core/CompanionPlacement.h"

#include <algorithm>

namespace sorrel::app {

TCompanionShow ShowCompanion(const TRect& main, int companionHeight, const TRect& screen, TPoint cursor) {
  TCompanionShow r;
  r.Home = {main.Left, main.Top};
  r.MainPos = r.Home;
  const int bottom = main.Bottom() + companionHeight + kCompanionBottomMargin;
  if (screen.Bottom() < bottom)
    r.MainPos.Y =
        std::max(screen.Bottom() - main.Height - companionHeight - kCompanionBottomMargin, screen.Top);
  r.CursorPos = {cursor.X + r.MainPos.X - main.Left, cursor.Y + r.MainPos.Y - main.Top};
  return r;
}

TPoint CompanionPos(const TRect& main, TWindowSize companion, const TRect& screen) {
  int left = main.Left + (main.Width - companion.Width) / 2;  // truncating, as div does
  left = std::max(std::min(left, screen.Right() - companion.Width), screen.Left);
  return {left, main.Bottom()};
}

TCompanionHide HideCompanion(const TRect& main, TPoint home, TPoint cursor, bool parkCursor) {
  TCompanionHide r;
  r.MainPos = home;
  r.CursorPos = {cursor.X + home.X - main.Left, cursor.Y + home.Y - main.Top};
  r.Park = parkCursor && cursor.Y >= main.Bottom();
  return r;
}

TPoint PopUpPos(const TRect& main, TWindowSize popUp) {
  return {main.Left + (main.Width - popUp.Width) / 2, main.Top + 29};
}

TPoint KeepOnScreen(const TRect& window, const TRect& screen) {
  TPoint p{std::max(window.Left, screen.Left), std::max(window.Top, screen.Top)};
  if (p.X + window.Width > screen.Right()) p.X = screen.Right() - window.Width;
  if (p.Y > screen.Bottom()) p.Y = screen.Bottom() - window.Height;
  return p;
}

}  // namespace sorrel::app
