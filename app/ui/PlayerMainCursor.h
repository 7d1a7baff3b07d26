// The cursor and the main window as the parking rules see them.
#pragma once

#include "app/ui/PlayerMain.h"

namespace sorrel::app {

class Tfm_PlayerMain::TWindowCursor : public TCursorHost, public TKeyboardTool {
 public:
  explicit TWindowCursor(Tfm_PlayerMain& w) : w_(w) {}
  TPoint CursorPos() override;
  void SetCursorPos(TPoint screen) override;
  TRect WindowRect() override;
  TPoint CloseImagePos() override;
  bool IsForeground() override;
  void ForceForeground() override;
  bool Running() override;

 private:
  Tfm_PlayerMain& w_;
};

}  // namespace sorrel::app
