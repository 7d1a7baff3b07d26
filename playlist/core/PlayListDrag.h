// Where things dragged over the play list go, without the window: the insertion index
// of a drop, the auto-scroll near the list's edges, and the steps of dragging the
// selected entries inside the list.  Coordinates are pixels, in whatever frame the
// caller uses for both arguments (the list's client area, or the screen).
#pragma once

#include <cstddef>
#include <optional>

namespace sorrel::playlist {

struct TPoint {
  int x = 0, y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const TRect&) const = default;
};

// The insertion index of a drop from the tree or the file list at height `y` of the
// list's client area: the item under the point (the new entries go before it), or the
// end when no item is there (below the last one, in an empty list).
size_t DropIndex(int y, size_t topIndex, int itemHeight, size_t count);

// `ScrollDir` while the tree or the file list is dragged over the list: up within 7
// pixels of the client area's top, down within 7 pixels of its bottom.  Each tick of
// `tm_PLBScroll` then moves the top item one place that way.
enum class TScrollDir { kNone = 0, kUp = 1, kDown = 2 };
TScrollDir AutoScrollDirection(int y, int clientHeight);

// Dragging the selected entries inside the list.  The pointer is kept within the list's
// rectangle narrowed by one item at the top and bottom and by 20 pixels (the scroll
// bar) at the right.
TRect ListDragBounds(const TRect& list, int itemHeight);

enum class TDragMove { kNone, kUp, kDown };
struct TListDragStep {
  TDragMove move = TDragMove::kNone;  // MoveSelectionUp or MoveSelectionDown, once
  TPoint start;                       // the drag's reference point from now on
  std::optional<TPoint> pointer;      // where to put the pointer, when it is to move
};
// One drag-over: once the pointer is an item height or more above `start`, the
// selection moves up one place and the pointer goes to the top bound when it is above
// it, else one item height above `start`, which becomes the new start; the same
// downwards.  The pointer is always kept between the left and right bounds.
TListDragStep ListDragOver(const TRect& bounds, TPoint start, TPoint cursor, int itemHeight);

}  // namespace sorrel::playlist
