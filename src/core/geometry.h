// Points and rectangles in pixel coordinates. A Rect's Right and Bottom are
// exclusive, as the drawing calls take them.
#pragma once

namespace pixtrel {

struct Point {
  int X = 0;
  int Y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect MakeRect(int left, int top, int right, int bottom) { return Rect{left, top, right, bottom}; }
inline Rect Bounds(int width, int height) { return Rect{0, 0, width, height}; }

}  // namespace pixtrel
