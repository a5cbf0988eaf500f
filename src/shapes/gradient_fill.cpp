// The 26 gradient patterns. Each is a sequence of bands (rectangles,
// ellipses, rounded rectangles or polygons) in the step colours, drawn over
// the control's area and cut to the shape's outline. The bands are drawn on
// a scratch bitmap that covers the clip region, without a clip, and the
// result is copied onto the target through the region in one step: the same
// pixels as drawing each band through the clip, at a fraction of the cost on
// large shapes and in indexed images.
#include "shapes/gradient_fill.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel::shapes {

namespace {

constexpr double kFar = double(1 << 29);

class BandPainter {
 public:
  BandPainter(Bitmap& scratch, const GradientSpec& spec, int originX, int originY)
      : scratch_(scratch), canvas_(scratch.Canvas()), spec_(spec), originX_(originX), originY_(originY) {
    canvas_.Pen() = pixtrel::Pen{clBlack, 1, psClear, pmCopy};
    canvas_.Brush() = pixtrel::Brush{clWhite, bsSolid};
  }

  // A control x or y as scratch pixels.
  int X(double x) const { return RoundToInt(x * spec_.scaleX + spec_.offsetX) - originX_; }
  int Y(double y) const { return RoundToInt(y * spec_.scaleY + spec_.offsetY) - originY_; }

  void Colour(Color c) {
    canvas_.Brush().color = c;
    last_ = c;
  }
  Color Last() const { return last_; }

  // The brush over (l, t) - (r, b), right and bottom exclusive.
  void Fill(int l, int t, int r, int b) { canvas_.FillRect(MakeRect(X(l), Y(t), X(r), Y(b))); }
  // A rectangle drawn without a pen: one pixel short at the right and bottom.
  void Rectangle(int l, int t, int r, int b) { canvas_.FillRect(MakeRect(X(l), Y(t), X(r) - 1, Y(b) - 1)); }
  // A rectangle drawn without a pen less the one inside it: where the
  // next of a nest of rectangles leaves this one's colour showing.
  void RectangleOutside(int l, int t, int r, int b, int il, int it, int ir, int ib) {
    const Rect outer = MakeRect(X(l), Y(t), X(r) - 1, Y(b) - 1);
    Rect inner = MakeRect(X(il), Y(it), X(ir) - 1, Y(ib) - 1);
    if (outer.IsEmpty()) return;
    inner.Left = std::max(inner.Left, outer.Left);
    inner.Top = std::max(inner.Top, outer.Top);
    inner.Right = std::min(inner.Right, outer.Right);
    inner.Bottom = std::min(inner.Bottom, outer.Bottom);
    if (inner.IsEmpty()) {
      canvas_.FillRect(outer);
      return;
    }
    canvas_.FillRect(MakeRect(outer.Left, outer.Top, outer.Right, inner.Top));
    canvas_.FillRect(MakeRect(outer.Left, inner.Bottom, outer.Right, outer.Bottom));
    canvas_.FillRect(MakeRect(outer.Left, inner.Top, inner.Left, inner.Bottom));
    canvas_.FillRect(MakeRect(inner.Right, inner.Top, outer.Right, inner.Bottom));
  }
  // An ellipse drawn without a pen in the box (l, t) - (r, b): the pixels
  // whose centres lie inside the ellipse through the box (l, t) - (r - 1,
  // b - 1), written straight into the scratch rows (a nest of 256 large
  // ellipses is too slow through the general drawing calls).
  void Ellipse(int l, int t, int r, int b) {
    int x0 = X(l), y0 = Y(t), x1 = X(r) - 1, y1 = Y(b) - 1;
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    if (x1 - x0 < 1 || y1 - y0 < 1) return;
    const double cx = (double(x0) + x1) / 2.0, cy = (double(y0) + y1) / 2.0;
    const double a = (double(x1) - x0) / 2.0, c = (double(y1) - y0) / 2.0;
    const int first = std::max(y0, 0), last = std::min(y1 - 1, scratch_.Height() - 1);
    for (int y = first; y <= last; ++y) {
      const double dy = (y + 0.5 - cy) / c;
      if (dy * dy > 1.0) continue;
      const double half = a * std::sqrt(1.0 - dy * dy);
      Span(y, static_cast<int>(std::ceil(cx - half - 0.5)), static_cast<int>(std::floor(cx + half - 0.5)), x0, x1);
    }
  }

  // Pixels from..to of row y in the current colour, kept to x0 .. x1 - 1 and
  // to the scratch.
  void Span(int y, int from, int to, int x0, int x1) {
    from = std::max({from, x0, 0});
    to = std::min({to, x1 - 1, scratch_.Width() - 1});
    if (from > to) return;
    const std::uint8_t blue = std::uint8_t(GetBValue(last_)), green = std::uint8_t(GetGValue(last_)),
                       red = std::uint8_t(GetRValue(last_));
    std::uint8_t* p = scratch_.ScanLine(y) + std::size_t(from) * 3;
    for (int x = from; x <= to; ++x, p += 3) {
      p[0] = blue;
      p[1] = green;
      p[2] = red;
    }
  }

  // A rounded rectangle drawn without a pen, the corners quarters of an
  // ellipse of cw x ch: written straight into the scratch rows like Ellipse.
  void RoundRect(int l, int t, int r, int b, int cw, int ch) {
    int x0 = X(l), y0 = Y(t), x1 = X(r) - 1, y1 = Y(b) - 1;
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    if (x1 - x0 < 1 || y1 - y0 < 1) return;
    const double a = std::min(std::abs(RoundToInt(cw * spec_.scaleX)), x1 - x0) / 2.0;
    const double c = std::min(std::abs(RoundToInt(ch * spec_.scaleY)), y1 - y0) / 2.0;
    if (a < 1.0 || c < 1.0) {
      canvas_.FillRect(MakeRect(x0, y0, x1, y1));
      return;
    }
    const int first = std::max(y0, 0), last = std::min(y1 - 1, scratch_.Height() - 1);
    for (int y = first; y <= last; ++y) {
      const double yc = y + 0.5;
      double dy = 0;
      if (yc < y0 + c)
        dy = (y0 + c - yc) / c;
      else if (yc > y1 - c)
        dy = (yc - (y1 - c)) / c;
      const double inset = dy > 0 ? a - a * std::sqrt(std::max(0.0, 1.0 - dy * dy)) : 0.0;
      Span(y, static_cast<int>(std::ceil(x0 + inset - 0.5)), static_cast<int>(std::floor(x1 - inset - 0.5)), x0, x1);
    }
  }
  void Polygon(std::span<const Point> points) {
    std::vector<Point> mapped(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) mapped[i] = Point{X(points[i].X), Y(points[i].Y)};
    canvas_.Polygon(mapped);
  }

 private:
  Bitmap& scratch_;
  Canvas& canvas_;
  const GradientSpec& spec_;
  int originX_, originY_;
  Color last_ = clWhite;
};

enum class Nest { Rect, Ellipse, RoundRectThenEllipse, RoundRectEllipseByTens };

// Nested shapes from the box (l, t) - (r, b), every side moved inward by
// (dx, dy) before each of the 256 steps; corners truncated. Step i is
// computed from the start (not by adding up) so that sides land on whole
// pixels exactly where the arithmetic says.
void NestedShapes(BandPainter& p, const GradientSpec& spec, double l, double t, double r, double b, double dx,
                  double dy, Nest nest) {
  for (int i = 0; i <= 255; ++i) {
    p.Colour(GradientStepColor(spec, i));
    const double in = i + 1.0, next = i + 2.0;
    const int il = TruncToInt(l + in * dx), it = TruncToInt(t + in * dy), ir = TruncToInt(r - in * dx),
              ib = TruncToInt(b - in * dy);
    if (nest == Nest::Rect) {
      // Only what the next rectangle leaves uncovered: the same pixels.
      if (i == 255)
        p.Rectangle(il, it, ir, ib);
      else
        p.RectangleOutside(il, it, ir, ib, TruncToInt(l + next * dx), TruncToInt(t + next * dy),
                           TruncToInt(r - next * dx), TruncToInt(b - next * dy));
      continue;
    }
    if (nest == Nest::Ellipse) {
      p.Ellipse(il, it, ir, ib);
      continue;
    }
    const bool round = nest == Nest::RoundRectThenEllipse ? i <= 62 : (i / 10) % 2 == 0;
    if (round) {
      // The corners are a quarter of what remains; the first step has none.
      const int cw = i == 0 ? 0 : (ir - il) / 4, ch = i == 0 ? 0 : (ib - it) / 4;
      p.RoundRect(il, it, ir, ib, cw, ch);
    } else {
      p.Ellipse(il, it, ir, ib);
    }
  }
}

// Several nests of rectangles stepping together, one rectangle of each per
// step (the quarters or halves of the box).
void InterleavedRects(BandPainter& p, const GradientSpec& spec, const std::vector<std::array<double, 4>>& boxes,
                      double dx, double dy) {
  for (int i = 0; i <= 255; ++i) {
    p.Colour(GradientStepColor(spec, i));
    const double in = i + 1.0, next = i + 2.0;
    for (const auto& [l, t, r, b] : boxes) {
      const int il = TruncToInt(l + in * dx), it = TruncToInt(t + in * dy), ir = TruncToInt(r - in * dx),
                ib = TruncToInt(b - in * dy);
      if (i == 255)
        p.Rectangle(il, it, ir, ib);
      else
        p.RectangleOutside(il, it, ir, ib, TruncToInt(l + next * dx), TruncToInt(t + next * dy),
                           TruncToInt(r - next * dx), TruncToInt(b - next * dy));
    }
  }
}

void Diagonal(BandPainter& p, const GradientSpec& spec, bool mirrorX, bool mirrorY) {
  const int w = spec.width, h = spec.height;
  const double s = (double(w) + h) / 255.0;
  // Along the top edge, then down the far side.
  auto along = [&](int t) {
    const double v = t * s;
    return v < w ? Point{TruncToInt(v), 0} : Point{w - 1, TruncToInt(v - w)};
  };
  // Down the near side, then along the bottom.
  auto down = [&](int t) {
    const double v = t * s;
    return v < h ? Point{0, TruncToInt(v)} : Point{TruncToInt(v - h), h - 1};
  };
  auto corner = [&](Point q) {
    if (mirrorX) q.X = w - 1 - q.X;
    if (mirrorY) q.Y = h - 1 - q.Y;
    return q;
  };
  for (int i = 0; i <= 254; ++i) {
    p.Colour(GradientStepColor(spec, i));
    const std::array<Point, 4> band = {corner(along(i)), corner(along(i + 1)), corner(down(i + 1)), corner(down(i))};
    p.Polygon(band);
  }
}

// U-shaped bands open to the right (sideways) or downward, mirrored on
// request.
void UBands(BandPainter& p, const GradientSpec& spec, bool sideways, bool mirror) {
  const int w = spec.width, h = spec.height;
  for (int i = 0; i <= 255; ++i) {
    p.Colour(GradientStepColor(spec, i));
    std::array<Point, 8> band;
    if (sideways) {
      const double a = h / 2.0 / 255.0, c = w / 255.0;  // arm and closed-side steps
      const double y0 = i * a, y1 = (i + 1) * a, x0 = i * c, x1 = (i + 1) * c;
      band = {Point{w - 1, TruncToInt(y0)},
              Point{TruncToInt(x0), TruncToInt(y0)},
              Point{TruncToInt(x0), TruncToInt(h - 1 - y0)},
              Point{w - 1, TruncToInt(h - 1 - y0)},
              Point{w - 1, TruncToInt(h - 1 - y1)},
              Point{TruncToInt(x1), TruncToInt(h - 1 - y1)},
              Point{TruncToInt(x1), TruncToInt(y1)},
              Point{w - 1, TruncToInt(y1)}};
      if (mirror)
        for (Point& q : band) q.X = w - 1 - q.X;
    } else {
      const double a = w / 2.0 / 255.0, c = h / 255.0;
      const double x0 = i * a, x1 = (i + 1) * a, y0 = i * c, y1 = (i + 1) * c;
      band = {Point{TruncToInt(x0), h - 1},
              Point{TruncToInt(x0), TruncToInt(y0)},
              Point{TruncToInt(w - 1 - x0), TruncToInt(y0)},
              Point{TruncToInt(w - 1 - x0), h - 1},
              Point{TruncToInt(w - 1 - x1), h - 1},
              Point{TruncToInt(w - 1 - x1), TruncToInt(y1)},
              Point{TruncToInt(x1), TruncToInt(y1)},
              Point{TruncToInt(x1), h - 1}};
      if (mirror)
        for (Point& q : band) q.Y = h - 1 - q.Y;
    }
    p.Polygon(band);
  }
}

// L-shaped bands with the corner of the L at the bottom left (or right).
void LBands(BandPainter& p, const GradientSpec& spec, bool mirror) {
  const int w = spec.width, h = spec.height;
  const double a = w / 255.0, c = h / 255.0;
  for (int i = 0; i <= 255; ++i) {
    p.Colour(GradientStepColor(spec, i));
    const double x0 = i * a, x1 = (i + 1) * a, y0 = h - 1 - i * c, y1 = h - 1 - (i + 1) * c;
    std::array<Point, 6> band = {
        Point{TruncToInt(x0), 0},     Point{TruncToInt(x0), TruncToInt(y0)}, Point{w - 1, TruncToInt(y0)},
        Point{w - 1, TruncToInt(y1)}, Point{TruncToInt(x1), TruncToInt(y1)}, Point{TruncToInt(x1), 0}};
    if (mirror)
      for (Point& q : band) q.X = w - 1 - q.X;
    p.Polygon(band);
  }
}

void Paint(BandPainter& p, const GradientSpec& spec) {
  const int w = spec.width, h = spec.height;
  switch (spec.direction) {
    case zgdUp:
    case zgdDown:
      for (int i = 0; i <= 255; ++i) {
        p.Colour(GradientStepColor(spec, i));
        p.Fill(0, MulDiv(i, h, 256), w, MulDiv(i + 1, h, 256));
      }
      break;
    case zgdLeft:
    case zgdRight:
      for (int i = 0; i <= 255; ++i) {
        p.Colour(GradientStepColor(spec, i));
        p.Fill(MulDiv(i, w, 256), 0, MulDiv(i + 1, w, 256), h);
      }
      break;
    case zgdRectOut:
    case zgdRectIn:
      NestedShapes(p, spec, 0, 0, w + 2, h + 2, w / 2.0 / 255.0, h / 2.0 / 255.0, Nest::Rect);
      break;
    case zgdCircOut:
    case zgdCircIn:
      NestedShapes(p, spec, 0, 0, w + 2, h + 2, w / 2.0 / 255.0, h / 2.0 / 255.0, Nest::Ellipse);
      break;
    case zgdHorizCenter: {
      const int n = w / 2;
      for (int i = 0; i <= n; ++i) {
        p.Colour(GradientStepColor(spec, i, n));
        p.Fill(i, 0, i + 1, h);
        p.Fill(w - 1 - i, 0, w - i, h);
      }
      break;
    }
    case zgdVertCenter: {
      const int n = h / 2;
      for (int i = 0; i <= n; ++i) {
        p.Colour(GradientStepColor(spec, i, n));
        p.Fill(0, i, w, i + 1);
        p.Fill(0, h - 1 - i, w, h - i);
      }
      break;
    }
    case zgdNWSE:
      Diagonal(p, spec, false, false);
      break;
    case zgdNESW:
      Diagonal(p, spec, true, false);
      break;
    case zgdSENW:
      Diagonal(p, spec, true, true);
      break;
    case zgdSWNE:
      Diagonal(p, spec, false, true);
      break;
    case zgdUright:
      UBands(p, spec, true, false);
      break;
    case zgdULeft:
      UBands(p, spec, true, true);
      break;
    case zgdUDown:
      UBands(p, spec, false, false);
      break;
    case zgdUUp:
      UBands(p, spec, false, true);
      break;
    case zgdRCMix:
      NestedShapes(p, spec, 0, 0, w + 2, h + 2, w / 2.0 / 255.0, h / 2.0 / 255.0, Nest::RoundRectThenEllipse);
      break;
    case zgdRCModulo:
      NestedShapes(p, spec, 0, 0, w + 2, h + 2, w / 2.0 / 255.0, h / 2.0 / 255.0, Nest::RoundRectEllipseByTens);
      break;
    case zgdQuatro: {
      const double hw = w / 2.0, hh = h / 2.0, wd = w, hd = h;
      InterleavedRects(
          p, spec, {{0, 0, hw + 2, hh + 2}, {hw, 0, wd + 2, hh + 2}, {0, hh, hw + 2, hd + 2}, {hw, hh, wd + 2, hd + 2}},
          w / 4.0 / 255.0, h / 4.0 / 255.0);
      break;
    }
    case zgdDuo: {
      const double hw = w / 2.0, wd = w, hd = h;
      InterleavedRects(p, spec, {{0, 0, hw + 2, hd + 2}, {hw, 0, wd + 2, hd + 2}}, w / 4.0 / 255.0, h / 2.0 / 255.0);
      break;
    }
    case zgdLNE:
      LBands(p, spec, false);
      break;
    case zgdLNW:
      LBands(p, spec, true);
      break;
    case zgdUpDown: {
      const double band = h / 255.0;
      const int half = w / 2;
      for (int i = 0; i <= 255; ++i) {
        p.Colour(GradientStepColor(spec, i));
        p.Fill(0, TruncToInt(i * band), half, TruncToInt((i + 1) * band));
        p.Fill(half, TruncToInt(h - (i + 1) * band), w, TruncToInt(h - i * band));
      }
      break;
    }
    case zgdLeftRight: {
      const double band = w / 255.0;
      const int half = h / 2;
      for (int i = 0; i <= 255; ++i) {
        p.Colour(GradientStepColor(spec, i));
        p.Fill(TruncToInt(i * band), 0, TruncToInt((i + 1) * band), half);
        p.Fill(TruncToInt(w - (i + 1) * band), half, TruncToInt(w - i * band), h);
      }
      break;
    }
  }
}

}  // namespace

int RoundToInt(double v) {
  if (!(v > -kFar)) return -(1 << 29);
  if (!(v < kFar)) return 1 << 29;
  return static_cast<int>(std::nearbyint(v));
}

int TruncToInt(double v) {
  if (!(v > -kFar)) return -(1 << 29);
  if (!(v < kFar)) return 1 << 29;
  return static_cast<int>(v);
}

Color GradientStepColor(const GradientSpec& spec, int i, int n) {
  const bool fromGradient = spec.direction == zgdDown || spec.direction == zgdRight || spec.direction == zgdRectOut ||
                            spec.direction == zgdCircOut;
  const Color start = fromGradient ? spec.gradientColor : spec.brushColor;
  const Color end = fromGradient ? spec.brushColor : spec.gradientColor;
  auto channel = [&](int s, int e) { return (s + MulDiv(i, e - s, n)) & 0xFF; };
  return RGB(channel(GetRValue(start), GetRValue(end)), channel(GetGValue(start), GetGValue(end)),
             channel(GetBValue(start), GetBValue(end)));
}

void GradientFill(Canvas& canvas, const GradientSpec& spec, const Region& clip) {
  const Bitmap& target = canvas.Owner();
  Rect area = clip.BoundingRect();
  area.Left = std::max(area.Left, 0);
  area.Top = std::max(area.Top, 0);
  area.Right = std::min(area.Right, target.Width());
  area.Bottom = std::min(area.Bottom, target.Height());
  Color last = clWhite;
  if (!area.IsEmpty()) {
    // Pixels no band reaches keep what the target holds.
    Bitmap scratch(area.Width(), area.Height(), pf24bit);
    scratch.Canvas().CopyRect(Bounds(area.Width(), area.Height()), canvas, area);
    BandPainter painter(scratch, spec, area.Left, area.Top);
    Paint(painter, spec);
    last = painter.Last();
    canvas.SetClipRegion(&clip);
    canvas.Draw(area.Left, area.Top, scratch);
  } else {
    // Nothing shows; the canvas still ends in the last step's colour.
    last = GradientStepColor(spec, 255);
  }
  canvas.SetClipRegion(nullptr);
  canvas.Pen() = pixtrel::Pen{canvas.Pen().color, 1, psSolid, pmCopy};
  canvas.Brush() = pixtrel::Brush{last, bsSolid};
}

}  // namespace pixtrel::shapes
