// The canvas's own parts, shared by its source files: canvas_raster.cpp
// (the painter that writes pixels, copies and graphics) and canvas_calls.cpp
// here, and the drawing engine's canvas_shapes.cpp (lines and closed shapes),
// canvas_text.cpp, canvas_fill.cpp (brush fills and flood fill) and
// canvas_regions.cpp, which add canvas_painting.h. Callers include
// core/canvas.h.
//
// Every operation works in three steps: the pixels it covers are worked out
// as 8-bit masks (QPainter without antialiasing renders the shapes and the
// text; lines, flood fills and copies are computed here), the masks are cut
// to the bitmap and the clip region, and the covered pixels are written with
// the pen mode. Writing pixels ourselves rather than painting on the bitmap
// keeps the raster operations, hatch patterns and clip exact in every pixel
// format. A pf24bit or pf32bit bitmap is written in place; any other format
// is drawn on a 24-bit copy of the area the operation touches, and only the
// pixels that changed are written back, as the nearest entry of the bitmap's
// own palette (or in its 15- or 16-bit form), so untouched pixels keep their
// exact values.
//
// Choices where the classic calls leave room:
// - A solid brush also makes the background opaque: the gaps of dashed pens
//   and the box behind text take the brush colour. Any other brush style
//   leaves the background transparent; hatch lines are drawn in the brush
//   colour over what is there.
// - The pen mode applies to the pen and to the interior of shapes; text,
//   FillRect, FrameRect, FloodFill, SetPixels and copies always copy.
// - Pens wider than one pixel are solid, with round caps and joins, centred
//   on the outline (psInsideFrame keeps them inside the bounding rectangle).
// - Pixels outside the bitmap read as clBlack; reads ignore the clip region.
// - Source pixels outside the source bitmap of CopyRect leave the
//   destination unchanged; either rectangle may be mirrored.
// - Dash patterns restart at every LineTo and run on along a Polyline.
// - TextOut leaves the pen position after the text, on its top line.
//   DrawText ignores the escapement, places vertically only single lines,
//   and with a solid brush fills the bounding box of the laid-out text.
// - A font whose family is missing falls back to the system sans font;
//   height 0 stands for 11 pixels.
#pragma once

#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/bitmap.h"
#include "core/canvas.h"

namespace pixtrel {

namespace canvas_detail {

// Coordinates far outside any bitmap are pulled in to this range, which
// keeps Qt's integer rectangles from overflowing.
constexpr int kFarCoordinate = 1 << 29;
inline int Near(int v) { return std::clamp(v, -kFarCoordinate, kFarCoordinate); }

inline QRect NormalizedBox(int left, int top, int right, int bottom) {
  left = Near(left);
  top = Near(top);
  right = Near(right);
  bottom = Near(bottom);
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// A cell of an 8-by-8 hatch pattern, aligned to the bitmap's origin.
inline bool HatchBit(BrushStyle style, int x, int y) {
  const int hx = x & 7, hy = y & 7;
  const bool horizontal = hy == 0;
  const bool vertical = hx == 0;
  const bool forward = ((hx - hy) & 7) == 0;   // top-left to bottom-right
  const bool backward = ((hx + hy) & 7) == 7;  // bottom-left to top-right
  switch (style) {
    case bsHorizontal:
      return horizontal;
    case bsVertical:
      return vertical;
    case bsFDiagonal:
      return forward;
    case bsBDiagonal:
      return backward;
    case bsCross:
      return horizontal || vertical;
    case bsDiagCross:
      return forward || backward;
    case bsSolid:
      return true;
    case bsClear:
      return false;
  }
  return false;
}

inline void ApplyMode(std::uint8_t* p, Color c, PenMode mode) {
  const std::uint8_t b = static_cast<std::uint8_t>(GetBValue(c));
  const std::uint8_t g = static_cast<std::uint8_t>(GetGValue(c));
  const std::uint8_t r = static_cast<std::uint8_t>(GetRValue(c));
  switch (mode) {
    case pmCopy:
      p[0] = b;
      p[1] = g;
      p[2] = r;
      break;
    case pmXor:
      p[0] ^= b;
      p[1] ^= g;
      p[2] ^= r;
      break;
    case pmNotXor:
      p[0] = static_cast<std::uint8_t>(~(p[0] ^ b));
      p[1] = static_cast<std::uint8_t>(~(p[1] ^ g));
      p[2] = static_cast<std::uint8_t>(~(p[2] ^ r));
      break;
    case pmNot:
      p[0] = static_cast<std::uint8_t>(~p[0]);
      p[1] = static_cast<std::uint8_t>(~p[1]);
      p[2] = static_cast<std::uint8_t>(~p[2]);
      break;
    case pmBlack:
      p[0] = p[1] = p[2] = 0;
      break;
    case pmWhite:
      p[0] = p[1] = p[2] = 255;
      break;
  }
}

inline bool IsIndexed(PixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }
inline bool IsDirect(PixelFormat f) { return f == pf24bit || f == pf32bit || f == pfDevice; }

}  // namespace canvas_detail

// The pixels of one drawing operation over an area of the owner: direct on
// 24- and 32-bit rows, otherwise on a 24-bit copy that is mapped back when
// the painter goes.
class CanvasPainter {
 public:
  CanvasPainter(Canvas& canvas, const QRect& wanted);
  ~CanvasPainter();

  CanvasPainter(const CanvasPainter&) = delete;
  CanvasPainter& operator=(const CanvasPainter&) = delete;

  static bool ClipAllows(const Canvas& canvas, int x, int y) { return !canvas.clip_ || canvas.clip_->Contains(x, y); }

  bool Empty() const { return area_.isEmpty(); }
  const QRect& Area() const { return area_; }

  bool Allowed(int x, int y) const {
    if (!area_.contains(x, y)) return false;
    return allowed_.empty() || allowed_[std::size_t(y - area_.top()) * area_.width() + (x - area_.left())] != 0;
  }

  std::uint8_t* At(int x, int y) {
    return base_ + std::size_t(y - origin_.y()) * stride_ + std::size_t(x - origin_.x()) * bpp_;
  }
  Color Get(int x, int y) {
    const std::uint8_t* p = At(x, y);
    return RGB(p[2], p[1], p[0]);
  }

  void Put(int x, int y, Color c, PenMode mode) {
    if (Allowed(x, y)) canvas_detail::ApplyMode(At(x, y), c, mode);
  }

  // Writes color wherever mask (an 8-bit image whose top-left is at origin)
  // is set.
  template <class Mask>
  void PaintMask(const Mask& mask, QPoint origin, Color color, PenMode mode) {
    PaintMaskWith(mask, origin, mode, [color](int, int, Color& c) {
      c = color;
      return true;
    });
  }

  // Writes the brush pattern wherever mask is set.
  template <class Mask>
  void PaintBrush(const Mask& mask, QPoint origin, const Brush& brush, PenMode mode) {
    if (brush.style == bsClear) return;
    const Color color = brush.color;
    const BrushStyle style = brush.style;
    PaintMaskWith(mask, origin, mode, [=](int x, int y, Color& c) {
      c = color;
      return canvas_detail::HatchBit(style, x, y);
    });
  }

 private:
  template <class Mask, class ColorAt>
  void PaintMaskWith(const Mask& mask, QPoint origin, PenMode mode, ColorAt&& colorAt) {
    if (mask.isNull() || Empty()) return;
    const QRect span = area_ & QRect(origin, mask.size());
    if (span.isEmpty()) return;
    const int n = span.width();
    for (int y = span.top(); y <= span.bottom(); ++y) {
      const std::uint8_t* m = mask.constScanLine(y - origin.y()) + (span.left() - origin.x());
      const std::uint8_t* allow = allowed_.empty() ? nullptr
                                                   : allowed_.data() + std::size_t(y - area_.top()) * area_.width() +
                                                         (span.left() - area_.left());
      std::uint8_t* p = At(span.left(), y);
      for (int i = 0; i < n; ++i, p += bpp_) {
        if (m[i] < 128 || (allow && !allow[i])) continue;
        Color c;
        if (colorAt(span.left() + i, y, c)) canvas_detail::ApplyMode(p, c, mode);
      }
    }
  }

  Bitmap& bitmap_;
  QRect area_;
  std::vector<std::uint8_t> allowed_;
  std::uint8_t* base_ = nullptr;
  std::size_t stride_ = 0;
  int bpp_ = 3;
  QPoint origin_;
  std::vector<std::uint8_t> copy_;
};

}  // namespace pixtrel
