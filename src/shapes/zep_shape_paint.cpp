// Painting a shape: the box from the control's size and the pen width, the
// outline of the kind, its fill (brush or gradient through a clip region of
// the outline), the caption and the selection mark.
#include <algorithm>
#include <vector>

#include "core/bitmap.h"
#include "shapes/gradient_fill.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {

namespace {

// The shape's box and the values derived from it, in target pixels.
struct Box {
  int L, T, W, H, M, R, B;
  int W2, W3, W4, W8, W16, H2, H3, H4, H8, H16;
};

// One drawn part of an outline. Holes are cut out of the clip region; in a
// plain fill they are simply drawn over what came before.
struct Part {
  enum Kind { Rect, RoundRect, Ellipse, Pie, Polygon, Polyline } kind = Rect;
  bool hole = false;
  pixtrel::Rect box;
  int cornerWidth = 0, cornerHeight = 0;
  Point start, end;    // pie radials
  pixtrel::Rect half;  // the half of the box a pie covers
  std::vector<Point> points;
};

Part RectPart(int l, int t, int r, int b, bool hole = false) {
  Part p;
  p.kind = Part::Rect;
  p.box = MakeRect(l, t, r, b);
  p.hole = hole;
  return p;
}

Part EllipsePart(int l, int t, int r, int b, bool hole = false) {
  Part p = RectPart(l, t, r, b, hole);
  p.kind = Part::Ellipse;
  return p;
}

Part PolygonPart(std::vector<Point> points) {
  Part p;
  p.kind = Part::Polygon;
  p.points = std::move(points);
  return p;
}

Part PiePart(const Box& b, Point start, Point end, pixtrel::Rect half) {
  Part p = RectPart(b.L, b.T, b.L + b.W, b.T + b.H);
  p.kind = Part::Pie;
  p.start = start;
  p.end = end;
  p.half = half;
  return p;
}

std::vector<Part> Outline(ZepShapeType kind, const Box& b, const std::vector<UserPoint>& userPoints, bool polyLine) {
  const int L = b.L, T = b.T, W = b.W, H = b.H, R = b.R, B = b.B;
  const int W2 = b.W2, W3 = b.W3, W4 = b.W4, W8 = b.W8, W16 = b.W16;
  const int H2 = b.H2, H3 = b.H3, H4 = b.H4, H8 = b.H8, H16 = b.H16;
  using P = Point;
  auto poly = [](std::initializer_list<Point> pts) { return std::vector<Part>{PolygonPart(pts)}; };
  switch (kind) {
    case zstRectangle:
    case zstSquare:
      return {RectPart(L, T, L + W, T + H)};
    case zstRoundRect:
    case zstRoundSquare: {
      Part p = RectPart(L, T, L + W, T + H);
      p.kind = Part::RoundRect;
      p.cornerWidth = p.cornerHeight = b.M / 4;
      return {p};
    }
    case zstEllipse:
    case zstCircle:
      return {EllipsePart(L, T, L + W, T + H)};
    case zstValve:
      return poly({P{L, T}, P{R, B}, P{R, T}, P{L, B}});
    case zstValveUp:
      return poly({P{L, T}, P{R, T}, P{L, B}, P{R, B}});
    case zstHouse:
      return poly({P{L + W2, T}, P{R, T + H2}, P{R, B}, P{L, B}, P{L, T + H2}});
    case zstTriangleRight:
      return poly({P{L, T}, P{R, T + H2}, P{L, B}});
    case zstTriangleUp:
      return poly({P{L + W2, T}, P{R, B}, P{L, B}});
    case zstTriangleLeft:
      return poly({P{R, T}, P{R, B}, P{L, T + H2}});
    case zstTriangleDown:
      return poly({P{L, T}, P{R, T}, P{L + W2, B}});
    case zstArrowRight: {
      const int X = L + W - 1 - W4, Y1 = T + H2 - H16, Y2 = T + H2 + H16;
      return poly({P{L, Y1}, P{X, Y1}, P{X, T}, P{L + W - 1, T + H2}, P{X, T + H - 1}, P{X, Y2}, P{L, Y2}});
    }
    case zstArrowUp: {
      const int X1 = L + W2 - W16, X2 = L + W2 + W16, Y = T + H4;
      return poly({P{X1, T + H - 1}, P{X1, Y}, P{L, Y}, P{L + W2, T}, P{L + W - 1, Y}, P{X2, Y}, P{X2, T + H - 1}});
    }
    case zstArrowLeft: {
      const int X = L + W4, Y1 = T + H2 - H16, Y2 = T + H2 + H16;
      return poly({P{L + W - 1, Y1}, P{X, Y1}, P{X, T}, P{L, T + H2}, P{X, T + H - 1}, P{X, Y2}, P{L + W - 1, Y2}});
    }
    case zstArrowDown: {
      const int X1 = L + W2 - W16, X2 = L + W2 + W16, Y = T + H - 1 - H4;
      return poly({P{X1, T}, P{X1, Y}, P{L, Y}, P{L + W2, T + H - 1}, P{L + W - 1, Y}, P{X2, Y}, P{X2, T}});
    }
    case zstArrowUpDown:
      return poly({P{L + W2, T}, P{L, T + H8}, P{L + W8, T + H8}, P{L + W8, B - H8}, P{L, B - H8}, P{L + W2, B},
                   P{R, B - H8}, P{R - W8, B - H8}, P{R - W8, T + H8}, P{R, T + H8}});
    case zstArrowLeftRight:
      return poly({P{L, T + H2}, P{L + W8, B}, P{L + W8, B - H8}, P{R - W8, B - H8}, P{R - W8, B}, P{R, T + H2},
                   P{R - W8, T}, P{R - W8, T + H8}, P{L + W8, T + H8}, P{L + W8, T}});
    case zstDiamond:
      return poly({P{L + W2, T}, P{L + W - 1, T + H2}, P{L + W2, T + H - 1}, P{L, T + H2}});
    case zstOctagon:
      return poly({P{L + W3, T}, P{L + W - 1 - W3, T}, P{L + W - 1, T + H3}, P{L + W - 1, T + H - 1 - H3},
                   P{L + W - 1 - W3, T + H - 1}, P{L + W3, T + H - 1}, P{L, T + H - 1 - H3}, P{L, T + H3}});
    case zstHexagon:
      return poly({P{L + W2, T}, P{R, T + H4}, P{R, B - H4}, P{L + W2, B}, P{L, B - H4}, P{L, T + H4}});
    case zstHexagonFlat:
      return poly({P{L + W4, T}, P{R - W4, T}, P{R, T + H2}, P{R - W4, B}, P{L + W4, B}, P{L, T + H2}});
    case zstUBarUp:
      return poly(
          {P{L, T}, P{L, B}, P{R, B}, P{R, T}, P{R - W4, T}, P{R - W4, B - H4}, P{L + W4, B - H4}, P{L + W4, T}});
    case zstUBarLeft:
      return poly(
          {P{L, T}, P{R, T}, P{R, B}, P{L, B}, P{L, B - H4}, P{R - W4, B - H4}, P{R - W4, T + H4}, P{L, T + H4}});
    case zstUBarDown:
      return poly(
          {P{L, T}, P{L, B}, P{L + W4, B}, P{L + W4, T + H4}, P{R - W4, T + H4}, P{R - W4, B}, P{R, B}, P{R, T}});
    case zstUBarRight:
      return poly(
          {P{L, T}, P{L, B}, P{R, B}, P{R, B - H4}, P{L + W4, B - H4}, P{L + W4, T + H4}, P{R, T + H4}, P{R, T}});
    case zstChairLeft:
      return poly({P{R, T}, P{R - W4, T}, P{R - W4, T + H2}, P{L, T + H2}, P{L, B}, P{L + W4, B}, P{L + W4, B - H4},
                   P{R - W4, B - H4}, P{R - W4, B}, P{R, B}});
    case zstChairRight:
      return poly({P{L, T}, P{L + W4, T}, P{L + W4, T + H2}, P{R, T + H2}, P{R, B}, P{R - W4, B}, P{R - W4, B - H4},
                   P{L + W4, B - H4}, P{L + W4, B}, P{L, B}});
    case zstBowlLeft:
      return {PiePart(b, P{L + W2, T}, P{L + W2, T + H}, MakeRect(L, T, L + W2 + 1, T + H))};
    case zstBowlRight:
      return {PiePart(b, P{L + W2, T + H}, P{L + W2, T}, MakeRect(L + W2, T, L + W, T + H))};
    case zstBowlDown:
      return {PiePart(b, P{L, T + H2}, P{L + W, T + H2}, MakeRect(L, T + H2, L + W, T + H))};
    case zstBowlUp:
      return {PiePart(b, P{L + W, T + H2}, P{L, T + H2}, MakeRect(L, T, L + W, T + H2 + 1))};
    case zstIBar:
      return poly({P{L, T}, P{R, T}, P{R, T + H4}, P{R - W4, T + H4}, P{R - W4, B - H4}, P{R, B - H4}, P{R, B}, P{L, B},
                   P{L, B - H4}, P{L + W4, B - H4}, P{L + W4, T + H4}, P{L, T + H4}});
    case zstHBar:
      return poly({P{L, T}, P{L + W4, T}, P{L + W4, T + H4}, P{R - W4, T + H4}, P{R - W4, T}, P{R, T}, P{R, B},
                   P{R - W4, B}, P{R - W4, B - H4}, P{L + W4, B - H4}, P{L + W4, B}, P{L, B}});
    case zst4Point:
      return poly({P{L, T}, P{L + W2, T + H4}, P{R, T}, P{R - W4, T + H2}, P{R, B}, P{L + W2, B - H4}, P{L, B},
                   P{L + W4, T + H2}});
    case zstWaggle:
      return poly({P{L, T}, P{L + W4, T + H8}, P{L + W2, T}, P{R - W4, T + H8}, P{R, T}, P{R - W8, T + H4},
                   P{R, T + H2}, P{R - W8, B - H4}, P{R, B}, P{R - W4, B - H8}, P{L + W2, B}, P{L + W4, B - H8},
                   P{L, B}, P{L + W8, B - H4}, P{L, T + H2}, P{L + W8, T + H4}});
    case zstCloudLeft:
      return {EllipsePart(L, T, R - W4, B - H4), EllipsePart(L + W4, T + H4, R, B)};
    case zstCloudRight:
      return {EllipsePart(L + W4, T, R, B - H4), EllipsePart(L, T + H4, R - W4, B)};
    case zstDoubleOval:
      return {EllipsePart(L, T, L + W2, B), EllipsePart(L + W2, T, R, B)};
    case zstDoubleOvalV:
      return {EllipsePart(L, T, R, T + H2), EllipsePart(L, T + H2, R, B)};
    case zstTorus:
      return {EllipsePart(L, T, R, B), EllipsePart(L + W4, T + H4, R - W4, B - H4, true)};
    case zstFrame:
      return {RectPart(L, T, R, B), RectPart(L + W4, T + H4, R - W4, B - H4, true)};
    case zstFrameNarrow:
      return {RectPart(L, T, R, B), RectPart(L + W8, T + H8, R - W8, B - H8, true)};
    case zstLBarUpLeft:
      return poly({P{L, T}, P{R, T}, P{R, T + H4}, P{L + W4, T + H4}, P{L + W4, B}, P{L, B}});
    case zstLBarUpRight:
      return poly({P{L, T}, P{R, T}, P{R, B}, P{R - W4, B}, P{R - W4, T + H4}, P{L, T + H4}});
    case zstLBarLeft:
      return poly({P{L, T}, P{L, B}, P{R, B}, P{R, B - H4}, P{L + W4, B - H4}, P{L + W4, T}});
    case zstLBarRight:
      return poly({P{R, T}, P{R, B}, P{L, B}, P{L, B - H4}, P{R - W4, B - H4}, P{R - W4, T}});
    case zst2HoleHoriz:
      return {EllipsePart(L, T, R, B), EllipsePart(L + W8, T + H4, L + W2 - W8, B - H4, true),
              EllipsePart(L + W2 + W8, T + H4, R - W8, B - H4, true)};
    case zst2HoleVert:
      return {EllipsePart(L, T, R, B), EllipsePart(L + W4, T + H8, R - W4, T + H2 - H8, true),
              EllipsePart(L + W4, T + H2 + H8, R - W4, B - H8, true)};
    case zstCubeUpRight:
      return poly({P{R - W3, T + H3}, P{L, T + H3}, P{L, B}, P{R - W3, B}, P{R - W3, T + H3}, P{R, T}, P{R, B - H3},
                   P{R - W3, B}, P{R - W3, T + H3}, P{L, T + H3}, P{L + W3, T}, P{R, T}});
    case zstCubeUpLeft:
      return poly({P{L + W3, T + H3}, P{R, T + H3}, P{R, B}, P{L + W3, B}, P{L + W3, T + H3}, P{L, T}, P{L, B - H3},
                   P{L + W3, B}, P{L + W3, T + H3}, P{R, T + H3}, P{R - W3, T}, P{L, T}});
    case zstCubeDownRight:
      return poly({P{R - W3, B - H3}, P{L, B - H3}, P{L, T}, P{R - W3, T}, P{R - W3, B - H3}, P{R - W3, T},
                   P{R, T + H3}, P{R, B}, P{R - W3, B - H3}, P{L, B - H3}, P{L + W3, B}, P{R, B}});
    case zstCubeDownLeft:
      return poly({P{L + W3, B - H3}, P{R, B - H3}, P{R, T}, P{L + W3, T}, P{L + W3, B - H3}, P{L + W3, T},
                   P{L, T + H3}, P{L, B}, P{L + W3, B - H3}, P{R, B - H3}, P{R - W3, B}, P{L, B}});
    case zstCubeHalf:
      return poly({P{R - W3, B - H3}, P{L, B - H3}, P{L, B}, P{R - W3, B}, P{R - W3, B - H3}, P{R, B - 2 * H3},
                   P{R, B - H3}, P{R - W3, B}, P{R - W3, B - H3}, P{L, B - H3}, P{L + W3, B - 2 * H3},
                   P{R, B - 2 * H3}});
    case zstRoofRight:
      return poly({P{R - W3, B}, P{R - W3, T + H3}, P{L, B}, P{R - W3, B}, P{R, B - H3}, P{R, T}, P{R - W3, T + H3}});
    case zstRoofLeft:
      return poly({P{L, T + H3}, P{L, B}, P{R - W3, B}, P{L, T + H3}, P{L + W3, T}, P{R, B - H3}, P{R - W3, B}});
    case zstRoofFront:
      return poly({P{R - W3, B}, P{R, T}, P{L + W3, T}, P{L, B}, P{R - W3, B}, P{R, B - H3}, P{R, T}});
    case zstRoofBack:
      return poly({P{R - W3, B}, P{R - W3, T}, P{L, T}, P{L, B}, P{R - W3, B}, P{R, B - H3}, P{R - W3, T}});
    case zstPyramid:
      return poly({P{R - W3, B}, P{L + W2, T}, P{L, B}, P{R - W3, B}, P{R, B - H3}, P{L + W2, T}});
    case zstMoret:
      return poly({P{L, T}, P{L, T + H4}, P{L + W8, T + H4}, P{L + W8, B - H4}, P{L, B - H4},
                   P{L, B}, P{L + W4, B}, P{L + W4, B - H8}, P{R - W4, B - H8}, P{R - W4, B},
                   P{R, B}, P{R, B - H4}, P{R - W8, B - H4}, P{R - W8, T + H4}, P{R, T + H4},
                   P{R, T}, P{R - W4, T}, P{R - W4, T + H8}, P{L + W4, T + H8}, P{L + W4, T}});
    case zstZ:
      return poly({P{L, T}, P{L, T + H4}, P{R - W3, T + H4}, P{L, B - H4}, P{L, B}, P{R, B}, P{R, B - H4},
                   P{L + W3, B - H4}, P{R, T + H4}, P{R, T}});
    case zstN:
      return poly({P{L, T}, P{L, B}, P{L + W4, B}, P{L + W4, T + H3}, P{R - W4, B}, P{R, B}, P{R, T}, P{R - W4, T},
                   P{R - W4, B - H3}, P{L + W4, T}});
    case zstMatta: {
      const P C{L + W2, T + H2};
      return poly({P{L, T}, P{L, T + H4}, C, P{L, B - H4}, P{L, B}, P{L + W4, B}, C, P{R - W4, B}, P{R, B},
                   P{R, B - H4}, C, P{R, T + H4}, P{R, T}, P{R - W4, T}, C, P{L + W4, T}});
    }
    case zstPistacheTop:
      return {EllipsePart(L, T, R, B), RectPart(L, T + H2, R, B)};
    case zstPistacheBottom:
      return {EllipsePart(L, T, R, B), RectPart(L, T, R, T + H2)};
    case zstPistacheLeft:
      return {EllipsePart(L, T, R, B), RectPart(L + W2, T, R, B)};
    case zstPistacheRight:
      return {EllipsePart(L, T, R, B), RectPart(L, T, L + W2, B)};
    case zst1Hole:
      return {RectPart(L, T, R, B), EllipsePart(L + W4, T + H4, R - W4, B - H4, true)};
    case zst1HoleBig:
      return {RectPart(L, T, R, B), EllipsePart(L + W8, T + H8, R - W8, B - H8, true)};
    case zstflower:
      return {EllipsePart(L, T + H3, L + W2, B - H3), EllipsePart(L + W3, T, R - W3, T + H2),
              EllipsePart(L + W2, T + H3, R, B - H3), EllipsePart(L + W3, T + H2, R - W3, B)};
    case zstFatArrowUp:
      return poly(
          {P{L + W8, B}, P{L + W8, T + H8}, P{L, T + H8}, P{L + W2, T}, P{R, T + H8}, P{R - W8, T + H8}, P{R - W8, B}});
    case zstFatArrowLeft:
      return poly(
          {P{R, T + H8}, P{L + W8, T + H8}, P{L + W8, T}, P{L, T + H2}, P{L + W8, B}, P{L + W8, B - H8}, P{R, B - H8}});
    case zstFatArrowDown:
      return poly(
          {P{L + W8, T}, P{L + W8, B - H8}, P{L, B - H8}, P{L + W2, B}, P{R, B - H8}, P{R - W8, B - H8}, P{R - W8, T}});
    case zstFatArrowRight:
      return poly(
          {P{L, T + H8}, P{R - W8, T + H8}, P{R - W8, T}, P{R, T + H2}, P{R - W8, B}, P{R - W8, B - H8}, P{L, B - H8}});
    case zstUser: {
      Part p;
      p.kind = polyLine ? Part::Polyline : Part::Polygon;
      for (const UserPoint& u : userPoints)
        p.points.push_back(P{RoundToInt((R - L) * u.x) + L, RoundToInt((B - T) * u.y) + T});
      return {p};
    }
  }
  return {};
}

void DrawPart(Canvas& c, const Part& p) {
  const pixtrel::Rect& r = p.box;
  switch (p.kind) {
    case Part::Rect:
      c.Rectangle(r);
      break;
    case Part::RoundRect:
      c.RoundRect(r.Left, r.Top, r.Right, r.Bottom, p.cornerWidth, p.cornerHeight);
      break;
    case Part::Ellipse:
      c.Ellipse(r);
      break;
    case Part::Pie:
      c.Pie(r.Left, r.Top, r.Right, r.Bottom, p.start.X, p.start.Y, p.end.X, p.end.Y);
      break;
    case Part::Polygon:
      c.Polygon(p.points);
      break;
    case Part::Polyline:
      c.Polyline(p.points);
      break;
  }
}

// A polygon cut to the window by one half-plane after the other. Even-odd
// parity is kept for every point inside the window, so the region over the
// window is the same; it keeps regions of polygons with absurd vertices
// (free polygons stretched far beyond the image) small.
std::vector<Point> CutToWindow(const std::vector<Point>& points, const pixtrel::Rect& window) {
  std::vector<Point> poly = points;
  for (int side = 0; side < 4 && !poly.empty(); ++side) {
    auto inside = [&](const Point& q) {
      switch (side) {
        case 0:
          return q.X >= window.Left;
        case 1:
          return q.X <= window.Right;
        case 2:
          return q.Y >= window.Top;
        default:
          return q.Y <= window.Bottom;
      }
    };
    auto cut = [&](const Point& a, const Point& b) {
      const bool vertical = side < 2;
      const double edge = side == 0 ? window.Left : side == 1 ? window.Right : side == 2 ? window.Top : window.Bottom;
      const double ta = vertical ? a.X : a.Y, tb = vertical ? b.X : b.Y;
      const double f = (edge - ta) / (tb - ta);
      const double other = vertical ? a.Y + f * (double(b.Y) - a.Y) : a.X + f * (double(b.X) - a.X);
      const int o = RoundToInt(other), e = static_cast<int>(edge);
      return vertical ? Point{e, o} : Point{o, e};
    };
    std::vector<Point> out;
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const Point& a = poly[i];
      const Point& b = poly[(i + 1) % poly.size()];
      const bool ia = inside(a), ib = inside(b);
      if (ia) out.push_back(a);
      if (ia != ib) out.push_back(cut(a, b));
    }
    poly = std::move(out);
  }
  return poly;
}

Region PolygonRegion(const std::vector<Point>& points, const pixtrel::Rect& target) {
  constexpr int kFar = 4096;
  const pixtrel::Rect window{target.Left - 8, target.Top - 8, target.Right + 8, target.Bottom + 8};
  bool far = false;
  for (const Point& q : points)
    far = far || q.X < window.Left - kFar || q.X > window.Right + kFar || q.Y < window.Top - kFar ||
          q.Y > window.Bottom + kFar;
  return Region::FromPolygon(far ? CutToWindow(points, window) : points);
}

Region PartRegion(const Part& p, const pixtrel::Rect& target) {
  switch (p.kind) {
    case Part::Rect:
      return Region::FromRect(p.box);
    case Part::RoundRect:
      return Region::FromRoundRect(p.box, p.cornerWidth, p.cornerHeight);
    case Part::Ellipse:
      return Region::FromEllipse(p.box);
    case Part::Pie:
      return Region::FromEllipse(p.box).Intersected(Region::FromRect(p.half));
    case Part::Polygon:
      return PolygonRegion(p.points, target);
    case Part::Polyline:
      break;
  }
  return Region();
}

}  // namespace

void ZepShape::Paint() {
  Canvas& canvas = TargetCanvas();
  // Clip regions are in the coordinates of the device: a foreign canvas is
  // its own device, and the shape's surface starts at the control's corner,
  // so neither needs a shift.
  const int clipOffsetX = 0, clipOffsetY = 0;

  canvas.Pen() = pen_;
  canvas.Brush() = brush_;

  const int penWidth = pen_.width;
  Box b{};
  b.L = b.T = penWidth / 2;
  b.W = width_ - penWidth + 1;
  b.H = height_ - penWidth + 1;
  if (penWidth == 0) {
    --b.W;
    --b.H;
  }
  b.L = RoundToInt(b.L * scaleX_ + offsetX_);
  b.T = RoundToInt(b.T * scaleY_ + offsetY_);
  b.W = RoundToInt(b.W * scaleX_);
  b.H = RoundToInt(b.H * scaleY_);
  b.M = std::min(b.W, b.H);
  if (shape_ == zstSquare || shape_ == zstRoundSquare || shape_ == zstCircle) {
    b.L += (b.W - b.M) / 2;
    b.T += (b.H - b.M) / 2;
    b.W = b.H = b.M;
  }
  b.W2 = b.W / 2, b.W3 = b.W / 3, b.W4 = b.W / 4, b.W8 = b.W / 8, b.W16 = b.W / 16;
  b.H2 = b.H / 2, b.H3 = b.H / 3, b.H4 = b.H / 4, b.H8 = b.H / 8, b.H16 = b.H / 16;
  b.R = b.L + b.W - RoundToInt(scaleX_);
  b.B = b.T + b.H - RoundToInt(scaleY_);

  const std::vector<Part> parts = Outline(shape_, b, userPoints_, polyLineMode_);
  const bool open = shape_ == zstUser && polyLineMode_;
  if (!gradient_ || open || parts.empty()) {
    for (const Part& part : parts) DrawPart(canvas, part);
  } else {
    canvas.Brush().style = bsSolid;
    Region clip;
    for (const Part& part : parts) {
      const Region r = PartRegion(part, Bounds(canvas.Owner().Width(), canvas.Owner().Height()));
      clip = part.hole ? clip.Subtracted(r) : clip.United(r);
    }
    clip = clip.Translated(clipOffsetX, clipOffsetY);
    GradientSpec spec;
    spec.direction = fillDirection_;
    spec.brushColor = brush_.color;
    spec.gradientColor = gradientColor_;
    spec.width = width_;
    spec.height = height_;
    spec.scaleX = scaleX_;
    spec.scaleY = scaleY_;
    spec.offsetX = offsetX_;
    spec.offsetY = offsetY_;
    GradientFill(canvas, spec, clip);
    canvas.Brush().style = bsClear;
    canvas.Pen() = pen_;
    for (const Part& part : parts) DrawPart(canvas, part);
  }

  if (byUser_) {
    if (onUserDraw) onUserDraw(*this);
  } else {
    DrawCaption(canvas, b.R, b.B);
  }

  if (selected_ && !foreign_) {
    canvas.Brush() = pixtrel::Brush{clRed, bsSolid};
    canvas.Pen() = pixtrel::Pen{clBlack, 1, psSolid, pmCopy};
    canvas.Rectangle(b.L + b.W2 - 4, b.T + b.H2 - 4, b.L + b.W2 + 4, b.T + b.H2 + 4);
  }
}

void ZepShape::DrawCaption(Canvas& canvas, int right, int bottom) {
  if (caption_.empty()) return;  // the white sheet would leave every pixel as it is
  const int sheetWidth = RoundToInt(width_ * scaleX_), sheetHeight = RoundToInt(height_ * scaleY_);
  if (sheetWidth <= 0 || sheetHeight <= 0) return;
  Bitmap sheet(sheetWidth, sheetHeight, pf24bit);
  sheet.Fill(clWhite);
  Canvas& sc = sheet.Canvas();
  sc.Font() = font_;
  sc.Font().height = RoundToInt(font_.height * scaleY_);
  sc.Font().escapement = 0;

  const int tw = sc.TextWidth(caption_), th = sc.TextHeight(caption_);
  const int cx = tw <= right ? (sheetWidth - tw) / 2 : 5;
  const int cy = th <= bottom ? (sheetHeight - th) / 2 : 5;
  if (captionAngle_ == 0) {
    pixtrel::Rect all = Bounds(sheetWidth, sheetHeight);
    sc.DrawText(caption_, all, (captionCentered_ ? dtCenter : dtLeft) | dtWordBreak);
  } else if (captionCentered_) {
    DrawRotatedText(sc, cx, cy, captionAngle_);
  } else {
    DrawRotatedText(sc, RoundToInt(captionX_ * scaleX_), RoundToInt(captionY_ * scaleY_), captionAngle_);
  }

  sheet.SetTransparent(true);
  sheet.SetTransparentColor(clWhite);
  canvas.Draw(offsetX_, offsetY_, sheet);
}

void ZepShape::DrawRotatedText(Canvas& canvas, int x, int y, int angle) {
  const pixtrel::Font saved = canvas.Font();
  const pixtrel::Brush savedBrush = canvas.Brush();
  pixtrel::Font rotated;
  rotated.name = saved.name;
  rotated.height = std::abs(saved.height);  // a cell height
  rotated.bold = saved.bold;
  rotated.italic = saved.italic;
  rotated.underline = saved.underline;
  rotated.strikeOut = false;
  rotated.color = saved.color;
  rotated.escapement = static_cast<int>(std::clamp<long long>(angle * 10LL, -(1LL << 30), 1LL << 30));
  canvas.Font() = rotated;
  canvas.Brush().style = bsClear;  // transparent background
  canvas.TextOut(x, y, caption_);
  canvas.Font() = saved;
  canvas.Brush() = savedBrush;
}

}  // namespace pixtrel::shapes
