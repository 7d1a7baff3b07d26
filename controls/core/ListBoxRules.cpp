#include "controls/core/ListBoxRules.h"

namespace sorrel::controls {

TToolTipAction ToolTipFor(bool toolTips, int index, int hotItem, int textRight, int itemRight,
                          bool hotColorSet) {
  if (!toolTips) return TToolTipAction::kKeep;
  if (hotItem < 0) return TToolTipAction::kHide;
  if (index != hotItem) return TToolTipAction::kKeep;
  return textRight > itemRight || hotColorSet ? TToolTipAction::kShow : TToolTipAction::kHide;
}

TTipRect ToolTipRect(int x, int y, int yOffset, int w, int h) {
  return {x + 1, y - 3 + yOffset, x + w, y + h - 3 + yOffset};
}

TTimerStep TimerTick(bool ownerVisible, bool focused, bool focusedAtLastTick, bool applicationActive) {
  TTimerStep step;
  step.hideToolTip = !ownerVisible || !applicationActive;
  step.repaint = focused != focusedAtLastTick;
  return step;
}

}  // namespace sorrel::controls
