// Points and rectangles of the main window's display logic, in pixels.  Screen or
// client coordinates, as each function says; y grows downwards.
#pragma once

namespace sorrel::app {

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

// Left and top are inside; Right() and Bottom() are the first pixels outside.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right() && p.Y >= Top && p.Y < Bottom(); }
  bool operator==(const TRect&) const = default;
};

}  // namespace sorrel::app
