// Lines, polylines, polygons and the closed shapes of the canvas: the pen on
// the outline, dashed or wide, and the brush inside.
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "core/canvas_painting.h"

namespace pixtrel {

using namespace canvas_detail;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The pen's width as the drawing uses it: at least one pixel, and no wider
// than the largest box the drawing works in, so that the margins added to it
// stay in range (a script may ask for any width).
int PenPixels(int width) { return std::clamp(width, 1, 1 << 29); }

// Dash patterns of one-pixel pens, in pixels on and off.
std::vector<int> DashPattern(PenStyle style) {
  switch (style) {
    case psDash:
      return {18, 6};
    case psDot:
      return {3, 3};
    case psDashDot:
      return {9, 6, 3, 6};
    case psDashDotDot:
      return {9, 3, 3, 3, 3, 3};
    default:
      return {};
  }
}

bool PatternOn(const std::vector<int>& pattern, std::int64_t position) {
  if (pattern.empty()) return true;
  int period = 0;
  for (int v : pattern) period += v;
  int p = static_cast<int>(position % period);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (p < pattern[i]) return i % 2 == 0;
    p -= pattern[i];
  }
  return true;
}

// The pixels of a line from a to b, leaving out b, as Bresenham steps them:
// calls visit(step, x, y) for the steps that fall inside bounds.
template <class Visit>
void ForEachLinePixel(Point a, Point b, const QRect& bounds, Visit&& visit) {
  const std::int64_t dx = std::int64_t(b.X) - a.X, dy = std::int64_t(b.Y) - a.Y;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const std::int64_t steps = std::max(adx, ady);
  if (steps == 0 || bounds.isEmpty()) return;
  const bool xMajor = adx >= ady;
  const std::int64_t major0 = xMajor ? a.X : a.Y;
  const int majorStep = xMajor ? sx : sy;
  const std::int64_t lo = xMajor ? bounds.left() : bounds.top();
  const std::int64_t hi = xMajor ? bounds.right() : bounds.bottom();
  // Steps whose major coordinate lies in [lo, hi].
  std::int64_t first, last;
  if (majorStep > 0) {
    first = lo - major0;
    last = hi - major0;
  } else {
    first = major0 - hi;
    last = major0 - lo;
  }
  first = std::max<std::int64_t>(first, 0);
  last = std::min<std::int64_t>(last, steps - 1);
  const std::int64_t along = xMajor ? adx : ady, across = xMajor ? ady : adx;
  for (std::int64_t i = first; i <= last; ++i) {
    const std::int64_t minorOffset =
        static_cast<std::int64_t>((static_cast<__int128>(2 * i) * across + along) / (2 * along));
    const std::int64_t x = xMajor ? a.X + sx * i : a.X + sx * minorOffset;
    const std::int64_t y = xMajor ? a.Y + sy * minorOffset : a.Y + sy * i;
    if (x < bounds.left() || x > bounds.right() || y < bounds.top() || y > bounds.bottom()) continue;
    visit(i, static_cast<int>(x), static_cast<int>(y));
  }
}

QRect PointsBox(std::span<const Point> points, int margin) {
  int l = std::numeric_limits<int>::max(), t = l, r = std::numeric_limits<int>::min(), b = r;
  for (const Point& p : points) {
    l = std::min(l, p.X);
    t = std::min(t, p.Y);
    r = std::max(r, p.X);
    b = std::max(b, p.Y);
  }
  const std::int64_t ll = std::int64_t(l) - margin, tt = std::int64_t(t) - margin;
  const std::int64_t rr = std::int64_t(r) + margin, bb = std::int64_t(b) + margin;
  auto clampInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 29), 1 << 29)); };
  return QRect(QPoint(clampInt(ll), clampInt(tt)), QPoint(clampInt(rr), clampInt(bb)));
}

// Qt's rounded rectangles come out lopsided without antialiasing; its
// ellipses do not. A rounded rectangle is therefore an ellipse of the
// corner size cut through its middle row and column and pulled apart.
// Along one axis of a rounded rectangle of size pixels with corners of
// cornerSize: the stretch [first, last] (box-relative) and the column or
// row of the corner ellipse it takes.
struct CornerPiece {
  int first, last, shift;
  bool constant;
  int CornerOf(int v) const { return constant ? shift : v - shift; }
};

std::vector<CornerPiece> CornerPieces(int lo, int hi, int size, int cornerSize, int margin) {
  std::vector<CornerPiece> pieces;
  auto add = [&](int first, int last, int shift, bool constant) {
    first = std::max(first, lo);
    last = std::min(last, hi);
    if (first <= last) pieces.push_back(CornerPiece{first, last, shift, constant});
  };
  const int half = cornerSize / 2, rest = cornerSize - half;
  add(-margin, half - 1, 0, false);
  add(half, size - rest - 1, half, true);
  add(size - rest, size - 1 + margin, size - cornerSize, false);
  return pieces;
}

}  // namespace

namespace canvas_detail {

Renderer PainterShape(std::function<void(QPainter&, const QRect&)> shape) {
  return [shape = std::move(shape)](const QRect& area, const QPen& pen, bool fill, const QRect& box) {
    return RenderMask(area, [&](QPainter& p) {
      // Wide pens are centred on the pixel centres of the outline.
      if (pen.style() != Qt::NoPen && pen.width() > 1) p.translate(0.5, 0.5);
      p.setPen(pen);
      p.setBrush(fill ? QBrush(Qt::white) : QBrush(Qt::NoBrush));
      shape(p, box);
    });
  };
}

Renderer RoundRectShape(int cornerWidth, int cornerHeight) {
  return [=](const QRect& area, const QPen& pen, bool fill, const QRect& box) {
    const int w = box.width() + 1, h = box.height() + 1;
    // Corner sizes are taken by magnitude; INT_MIN has none as an int.
    const auto magnitude = [](int v) { return v < 0 ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v); };
    const int ew = static_cast<int>(std::min<std::int64_t>(magnitude(cornerWidth), w));
    const int eh = static_cast<int>(std::min<std::int64_t>(magnitude(cornerHeight), h));
    if (ew < 2 || eh < 2) return PainterShape([](QPainter& p, const QRect& r) { p.drawRect(r); })(area, pen, fill, box);
    const int margin = pen.width() + 2;
    const QRect ellipseBox(0, 0, ew - 1, eh - 1);
    const auto xs = CornerPieces(area.left() - box.left(), area.right() - box.left(), w, ew, margin);
    const auto ys = CornerPieces(area.top() - box.top(), area.bottom() - box.top(), h, eh, margin);
    const Renderer ellipse = PainterShape([](QPainter& p, const QRect& r) { p.drawEllipse(r); });
    QImage mask = NewMask(area);
    // Only the parts of the corner ellipse that land in area are rendered,
    // so huge corners cost no more than small ones.
    for (const CornerPiece& px : xs)
      for (const CornerPiece& py : ys) {
        const QRect from(QPoint(px.CornerOf(px.first), py.CornerOf(py.first)),
                         QPoint(px.CornerOf(px.last), py.CornerOf(py.last)));
        const QImage part = ellipse(from, pen, fill, ellipseBox);
        for (int v = py.first; v <= py.last; ++v) {
          const std::uint8_t* src = part.constScanLine(py.CornerOf(v) - from.top());
          std::uint8_t* dst = mask.scanLine(v + box.top() - area.top());
          for (int u = px.first; u <= px.last; ++u)
            dst[u + box.left() - area.left()] = src[px.CornerOf(u) - from.left()];
        }
      }
    return mask;
  };
}

}  // namespace canvas_detail

namespace {

// A closed shape (or an arc when closed is false) through the pixel box
// of (left, top, right, bottom): the pen on the outline, the brush inside.
void DrawShape(Canvas& c, int left, int top, int right, int bottom, bool closed, const Renderer& shape) {
  if (left == right || top == bottom) return;
  const QRect box = NormalizedBox(left, top, right, bottom);
  const Pen& pen = c.Pen();
  const bool hasPen = pen.style != psClear;
  const int width = PenPixels(pen.width);
  const bool wide = hasPen && width > 1;
  const QRect area = ExpandedBox(box, width + 2);
  CanvasPainter cp(c, area);
  if (cp.Empty()) return;
  const QRect maskArea = cp.Area();
  const QPoint origin = maskArea.topLeft();
  const bool opaque = c.Brush().style == bsSolid;

  if (!hasPen) {
    if (!closed) return;
    // Without a pen the shape is one pixel smaller at the right and bottom.
    const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
    if (inner.width() <= 0 || inner.height() <= 0) return;
    const QImage interior =
        shape(maskArea, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
    cp.PaintBrush(interior, origin, c.Brush(), pen.mode);
    return;
  }

  const QRect outlineBox(box.left(), box.top(), box.width() - 1, box.height() - 1);
  QRect strokeBox = outlineBox;
  if (wide && pen.style == psInsideFrame) {
    const int inset = std::min({width / 2, outlineBox.width() / 2, outlineBox.height() / 2});
    strokeBox = outlineBox.adjusted(inset, inset, -inset, -inset);
  }
  QImage outline = shape(maskArea, SolidMaskPen(width), false, strokeBox);
  if (closed && c.Brush().style != bsClear) {
    QImage interior = shape(maskArea, SolidMaskPen(1), true, outlineBox);
    SubtractMask(interior, outline);
    cp.PaintBrush(interior, origin, c.Brush(), pen.mode);
  }
  const std::vector<int> dashes = wide ? std::vector<int>{} : DashPattern(pen.style);
  if (!dashes.empty()) {
    QPen dashPen(QColor(255, 255, 255), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashPen.setDashPattern(QList<qreal>(dashes.begin(), dashes.end()));
    const QImage dashed = shape(maskArea, dashPen, false, strokeBox);
    QImage gaps = outline;
    SubtractMask(gaps, dashed);
    if (opaque) cp.PaintMask(gaps, origin, c.Brush().color, pen.mode);
    outline = dashed;
  }
  cp.PaintMask(outline, origin, pen.color, pen.mode);
}

// A one-pixel line from a to b without b; the dash pattern starts at
// offset and the returned value is where it ends.
std::int64_t ThinLine(CanvasPainter& cp, const Canvas& c, Point a, Point b, std::int64_t offset) {
  const Pen& pen = c.Pen();
  const std::vector<int> dashes = DashPattern(pen.style);
  const bool opaque = c.Brush().style == bsSolid;
  const Color bk = c.Brush().color;
  ForEachLinePixel(a, b, cp.Area(), [&](std::int64_t i, int x, int y) {
    if (PatternOn(dashes, offset + i))
      cp.Put(x, y, pen.color, pen.mode);
    else if (opaque)
      cp.Put(x, y, bk, pen.mode);
  });
  const std::int64_t dx = std::abs(std::int64_t(b.X) - a.X), dy = std::abs(std::int64_t(b.Y) - a.Y);
  return offset + std::max(dx, dy);
}

void DrawLines(Canvas& c, std::span<const Point> points, bool closed) {
  if (points.size() < 2 || c.Pen().style == psClear) return;
  const int width = PenPixels(c.Pen().width);
  CanvasPainter cp(c, PointsBox(points, width + 1));
  if (cp.Empty()) return;
  if (width == 1) {
    std::int64_t offset = 0;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) offset = ThinLine(cp, c, points[i], points[i + 1], offset);
    if (closed) ThinLine(cp, c, points.back(), points.front(), offset);
    return;
  }
  const QRect area = cp.Area();
  const QImage mask = RenderMask(area, [&](QPainter& p) {
    p.translate(0.5, 0.5);
    p.setPen(SolidMaskPen(width));
    p.setBrush(Qt::NoBrush);
    QPolygon poly;
    for (const Point& pt : points) poly << QPoint(pt.X, pt.Y);
    if (closed)
      p.drawPolygon(poly);
    else
      p.drawPolyline(poly);
  });
  cp.PaintMask(mask, area.topLeft(), c.Pen().color, c.Pen().mode);
}

void DrawPolygon(Canvas& c, std::span<const Point> points) {
  if (points.size() < 2) return;
  const int width = PenPixels(c.Pen().width);
  QPolygon poly;
  for (const Point& pt : points) poly << QPoint(pt.X, pt.Y);
  if (c.Brush().style != bsClear) {
    CanvasPainter cp(c, PointsBox(points, 1));
    if (cp.Empty()) return;
    const QRect area = cp.Area();
    QImage interior = RenderMask(area, [&](QPainter& p) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawPolygon(poly, Qt::OddEvenFill);
    });
    if (c.Pen().style != psClear) {
      // Leave the pixels of the outline to the pen (matters for xor).
      QImage outline;
      if (width == 1) {
        outline = NewMask(area);
        for (std::size_t i = 0; i < points.size(); ++i)
          ForEachLinePixel(points[i], points[(i + 1) % points.size()], area, [&](std::int64_t, int x, int y) {
            outline.scanLine(y - area.top())[x - area.left()] = 255;
          });
      } else {
        outline = RenderMask(area, [&](QPainter& p) {
          p.translate(0.5, 0.5);
          p.setPen(SolidMaskPen(width));
          p.setBrush(Qt::NoBrush);
          p.drawPolygon(poly);
        });
      }
      SubtractMask(interior, outline);
    }
    cp.PaintBrush(interior, area.topLeft(), c.Brush(), c.Pen().mode);
  }
  DrawLines(c, points, true);
}

std::pair<double, double> ArcAngles(const QRect& box, int x3, int y3, int x4, int y4) {
  // Qt's arcs take the angle of the ellipse's parameter; the radials are
  // directions, so each is scaled by the radii first.
  const double cx = box.left() + box.width() / 2.0, cy = box.top() + box.height() / 2.0;
  const double rx = std::max(box.width() / 2.0, 0.5), ry = std::max(box.height() / 2.0, 0.5);
  auto angle = [&](int px, int py) {
    const double a = std::atan2(-(py - cy) / ry, (px - cx) / rx) * 180.0 / kPi;
    return a;
  };
  const double start = angle(x3, y3);
  double sweep = angle(x4, y4) - start;
  while (sweep <= 1e-9) sweep += 360.0;
  while (sweep > 360.0) sweep -= 360.0;
  return {start, sweep};
}

void DrawArcShape(Canvas& c, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, ArcKind kind) {
  if (x1 == x2 || y1 == y2) return;
  const QRect box = NormalizedBox(x1, y1, x2, y2);
  const QRect outlineBox(box.left(), box.top(), box.width() - 1, box.height() - 1);
  const auto [start, sweep] = ArcAngles(outlineBox, x3, y3, x4, y4);
  DrawShape(c, x1, y1, x2, y2, kind != ArcKind::Arc,
            PainterShape([=, start = start, sweep = sweep](QPainter& p, const QRect& r) {
              const QRectF rf(r);
              QPainterPath path;
              if (kind == ArcKind::Pie) {
                path.moveTo(rf.center());
                path.arcTo(rf, start, sweep);
                path.closeSubpath();
              } else {
                path.arcMoveTo(rf, start);
                path.arcTo(rf, start, sweep);
                if (kind == ArcKind::Chord) path.closeSubpath();
              }
              if (kind == ArcKind::Arc) p.setBrush(Qt::NoBrush);
              p.drawPath(path);
            }));
}

}  // namespace

void PainterEngine::Polyline(Canvas& canvas, std::span<const Point> points) const { DrawLines(canvas, points, false); }

void PainterEngine::Polygon(Canvas& canvas, std::span<const Point> points) const { DrawPolygon(canvas, points); }

void PainterEngine::Rectangle(Canvas& canvas, int left, int top, int right, int bottom) const {
  DrawShape(canvas, left, top, right, bottom, true, PainterShape([](QPainter& p, const QRect& r) { p.drawRect(r); }));
}

void PainterEngine::RoundRect(Canvas& canvas, int left, int top, int right, int bottom, int cornerWidth,
                              int cornerHeight) const {
  DrawShape(canvas, left, top, right, bottom, true, RoundRectShape(cornerWidth, cornerHeight));
}

void PainterEngine::Ellipse(Canvas& canvas, int left, int top, int right, int bottom) const {
  DrawShape(canvas, left, top, right, bottom, true,
            PainterShape([](QPainter& p, const QRect& r) { p.drawEllipse(r); }));
}

void PainterEngine::ArcShape(Canvas& canvas, ArcKind kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                             int y4) const {
  DrawArcShape(canvas, x1, y1, x2, y2, x3, y3, x4, y4, kind);
}

}  // namespace pixtrel
