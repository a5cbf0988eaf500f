// Small helpers of the shape tests.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "core/color.h"
#include "core/geometry.h"

namespace pixtrel::shapes::test {

inline Bitmap Blank(int w, int h, Color color = clWhite, PixelFormat format = pf24bit) {
  Bitmap b(w, h, format);
  b.Fill(color);
  return b;
}

// Bounding box of the pixels that are not background (empty Rect if none).
inline Rect Changed(const Bitmap& b, Color background = clWhite) {
  Rect r{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Pixel(x, y) != background) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r.IsEmpty() ? Rect{} : r;
}

inline int Count(const Bitmap& b, Color color) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.Pixel(x, y) == color;
  return n;
}

// The window (dx, dy, w, h) of b equals all of a.
inline bool SameAt(const Bitmap& a, const Bitmap& b, int dx, int dy) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x + dx, y + dy)) return false;
  return true;
}

inline int ChannelDistance(Color a, Color b) {
  return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                   std::abs(GetBValue(a) - GetBValue(b))});
}

}  // namespace pixtrel::shapes::test
