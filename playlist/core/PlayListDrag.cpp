#include "playlist/core/PlayListDrag.h"

namespace sorrel::playlist {

namespace {

constexpr int kScrollMargin = 7;
constexpr int kScrollBarAllowance = 20;

}  // namespace

size_t DropIndex(int y, size_t topIndex, int itemHeight, size_t count) {
  if (y < 0 || itemHeight <= 0) return count;
  const size_t row = topIndex + size_t(y / itemHeight);
  return row < count ? row : count;
}

TScrollDir AutoScrollDirection(int y, int clientHeight) {
  if (y < kScrollMargin) return TScrollDir::kUp;
  if (y > clientHeight - kScrollMargin) return TScrollDir::kDown;
  return TScrollDir::kNone;
}

TRect ListDragBounds(const TRect& list, int itemHeight) {
  return {list.left, list.top + itemHeight, list.right - kScrollBarAllowance, list.bottom - itemHeight};
}

TListDragStep ListDragOver(const TRect& bounds, TPoint start, TPoint cursor, int itemHeight) {
  TListDragStep step;
  step.start = start;
  TPoint p = cursor;
  const int dy = start.y - cursor.y;
  if (itemHeight > 0 && dy >= itemHeight) {
    step.move = TDragMove::kUp;
    p.y = cursor.y < bounds.top ? bounds.top : start.y - itemHeight;
  } else if (itemHeight > 0 && dy <= -itemHeight) {
    step.move = TDragMove::kDown;
    p.y = cursor.y > bounds.bottom ? bounds.bottom : start.y + itemHeight;
  }
  if (p.x < bounds.left) p.x = bounds.left;
  if (p.x > bounds.right) p.x = bounds.right;
  if (step.move != TDragMove::kNone) step.start = p;
  if (p != cursor) step.pointer = p;
  return step;
}

}  // namespace sorrel::playlist
