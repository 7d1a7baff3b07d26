#include <gtest/gtest.h>

#include "playlist/core/PlayListDrag.h"
#include "playlist/core/PlayListEdits.h"

using namespace sorrel::playlist;

namespace sorrel::playlist {
void PrintTo(const TPoint& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }
}  // namespace sorrel::playlist

TEST(ListDrop, IndexIsTheItemUnderThePointOrTheEnd) {
  // Items 14 pixels high, three of them, from the top.
  EXPECT_EQ(DropIndex(0, 0, 14, 3), 0u);
  EXPECT_EQ(DropIndex(13, 0, 14, 3), 0u);  // the lower half of an item: still before it
  EXPECT_EQ(DropIndex(14, 0, 14, 3), 1u);
  EXPECT_EQ(DropIndex(41, 0, 14, 3), 2u);
  EXPECT_EQ(DropIndex(42, 0, 14, 3), 3u);  // below the last item: the end
  EXPECT_EQ(DropIndex(500, 0, 14, 3), 3u);
  EXPECT_EQ(DropIndex(5, 0, 14, 0), 0u);  // an empty list
  // Scrolled down by 10.
  EXPECT_EQ(DropIndex(0, 10, 14, 20), 10u);
  EXPECT_EQ(DropIndex(14 * 9 + 13, 10, 14, 20), 19u);
  EXPECT_EQ(DropIndex(14 * 10, 10, 14, 20), 20u);
  // Outside the items or with no item height: the end.
  EXPECT_EQ(DropIndex(-1, 10, 14, 20), 20u);
  EXPECT_EQ(DropIndex(0, 30, 14, 20), 20u);
  EXPECT_EQ(DropIndex(0, 0, 0, 20), 20u);
}

TEST(ListDrop, AutoScrollWithinSevenPixelsOfAnEdge) {
  EXPECT_EQ(AutoScrollDirection(-3, 100), TScrollDir::kUp);
  EXPECT_EQ(AutoScrollDirection(6, 100), TScrollDir::kUp);
  EXPECT_EQ(AutoScrollDirection(7, 100), TScrollDir::kNone);
  EXPECT_EQ(AutoScrollDirection(93, 100), TScrollDir::kNone);
  EXPECT_EQ(AutoScrollDirection(94, 100), TScrollDir::kDown);
  EXPECT_EQ(AutoScrollDirection(120, 100), TScrollDir::kDown);
  EXPECT_EQ(AutoScrollDirection(5, 10), TScrollDir::kUp);  // a list too low for both: up first
}

TEST(ListDrag, OneMoveAnItemHeightAwayWithThePointerKeptInBounds) {
  const TRect bounds = ListDragBounds({100, 200, 300, 400}, 14);
  EXPECT_EQ(bounds, (TRect{100, 214, 280, 386}));
  const TPoint start{150, 300};

  TListDragStep step = ListDragOver(bounds, start, {150, 290}, 14);
  EXPECT_EQ(step.move, TDragMove::kNone);
  EXPECT_EQ(step.start, start);
  EXPECT_FALSE(step.pointer);
  // Exactly one item up: the pointer is where it should be already.
  step = ListDragOver(bounds, start, {150, 286}, 14);
  EXPECT_EQ(step.move, TDragMove::kUp);
  EXPECT_EQ(step.start, (TPoint{150, 286}));
  EXPECT_FALSE(step.pointer);
  // Far up within the list: one move, and the pointer is brought back to one item up.
  step = ListDragOver(bounds, start, {150, 230}, 14);
  EXPECT_EQ(step.move, TDragMove::kUp);
  EXPECT_EQ(step.pointer, (TPoint{150, 286}));
  EXPECT_EQ(step.start, (TPoint{150, 286}));
  // Above the top bound: to the bound.
  step = ListDragOver(bounds, start, {150, 150}, 14);
  EXPECT_EQ(step.move, TDragMove::kUp);
  EXPECT_EQ(step.pointer, (TPoint{150, 214}));
  // Downwards the same.
  step = ListDragOver(bounds, start, {150, 320}, 14);
  EXPECT_EQ(step.move, TDragMove::kDown);
  EXPECT_EQ(step.pointer, (TPoint{150, 314}));
  step = ListDragOver(bounds, start, {150, 390}, 14);
  EXPECT_EQ(step.move, TDragMove::kDown);
  EXPECT_EQ(step.pointer, (TPoint{150, 386}));
  EXPECT_EQ(step.start, (TPoint{150, 386}));
  // Sideways out of the bounds: only pulled back, the start stays.
  step = ListDragOver(bounds, start, {50, 305}, 14);
  EXPECT_EQ(step.move, TDragMove::kNone);
  EXPECT_EQ(step.pointer, (TPoint{100, 305}));
  EXPECT_EQ(step.start, start);
  step = ListDragOver(bounds, start, {290, 100}, 14);
  EXPECT_EQ(step.move, TDragMove::kUp);
  EXPECT_EQ(step.pointer, (TPoint{280, 214}));
}

TEST(ListDrag, DraggingUpThreeItemsMovesTheSelectionThreePlaces) {
  const TRect bounds = ListDragBounds({0, 0, 200, 300}, 14);
  TEntries e = {"A", "B", "C", "D", "E"};
  TSelection s = {3};
  TPoint start{50, 100}, pointer = start;
  // The pointer creeps up 5 pixels per event; it is put where a step says.
  int moves = 0;
  for (int i = 0; i < 12; ++i) {
    pointer.y -= 5;
    const TListDragStep step = ListDragOver(bounds, start, pointer, 14);
    if (step.move == TDragMove::kUp && MoveSelectionUp(e, s)) ++moves;
    start = step.start;
    if (step.pointer) pointer = *step.pointer;
  }
  // 60 pixels: four item heights and more, but the entry reached the top after three.
  EXPECT_EQ(moves, 3);
  EXPECT_EQ(e, (TEntries{"D", "A", "B", "C", "E"}));
  EXPECT_EQ(s, (TSelection{0}));
}
