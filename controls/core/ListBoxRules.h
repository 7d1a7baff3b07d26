// The decisions of the extended list box that do not need a display: whether a hot
// colour is set, when an item's tool tip shows or hides, where it goes so that its text
// lies on the item's text, and what the list's timer does.
#pragma once

namespace sorrel::controls {

// A hot colour below this value means none.
inline constexpr int kNoHotColorBelow = -29;
inline constexpr int kNoHotColor = -38;
// The hot item when the mouse is over no item, or outside the list.
inline constexpr int kNoHotItem = -1;
inline constexpr int kMouseOutside = -9;

inline bool HotColorSet(int hotColor) { return hotColor >= kNoHotColorBelow; }

enum class TToolTipAction { kKeep, kShow, kHide };

// For the item `index` being drawn: shown when it is the hot item and its text ends
// beyond the item's right edge or a hot colour is set; hidden when it is the hot item
// and neither holds, or when there is no hot item; otherwise left as it is (another
// item's drawing decides).  Nothing without tool tips.
TToolTipAction ToolTipFor(bool toolTips, int index, int hotItem, int textRight, int itemRight,
                          bool hotColorSet);

struct TTipRect {
  int left, top, right, bottom;
  bool operator==(const TTipRect&) const = default;
};
// The tool tip's place for an item whose top-left corner is (x, y) on the screen, whose
// text is drawn `yOffset` pixels below its top, and whose measured hint is w × h: its
// text then lies on the item's text.
TTipRect ToolTipRect(int x, int y, int yOffset, int w, int h);

// The vertical offset of an item's text: half the room the item leaves (towards zero
// when the text is taller than the item).
inline int TextOffset(int itemHeight, int textHeight) { return (itemHeight - textHeight) / 2; }

// A mouse move: whether the list repaints for the new hot item.  It does unless the
// item under the mouse is an item and the same as at the last decision.
inline bool HotItemRepaints(int hotItem, int previousHotItem) {
  return hotItem < 0 || hotItem != previousHotItem;
}

struct TTimerStep {
  bool hideToolTip = false;
  bool repaint = false;  // the focus changed since the last tick
};
// One tick of the list's timer.
TTimerStep TimerTick(bool ownerVisible, bool focused, bool focusedAtLastTick, bool applicationActive);

}  // namespace sorrel::controls
