#include "codecs/metafile/path_cutting.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace pixtrel::metafile {

namespace {

// A curve piece is flat enough when its control points lie this close to its
// chord; the depth bounds the halving of a curve whose points are far apart.
constexpr double kFlatness = 0.25;
constexpr int kMaxDepth = 24;

// The part [t0, t1] of the segment a-b inside box; false when none is.
bool ClipSegment(QPointF a, QPointF b, const QRectF& box, double& t0, double& t1) {
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
  t0 = 0;
  t1 = 1;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
  }
  return true;
}

class Cutter {
 public:
  Cutter(const QRectF& box, std::size_t maxPoints) : box_(box), maxPoints_(maxPoints) {}

  void MoveTo(QPointF p) {
    current_ = p;
    length_ = 0;
    inRun_ = false;
  }

  void LineTo(QPointF p) {
    const QPointF a = current_;
    current_ = p;
    const double length = QLineF(a, p).length();
    double t0, t1;
    if (!std::isfinite(length) || !ClipSegment(a, p, box_, t0, t1)) {
      inRun_ = false;
      if (std::isfinite(length)) length_ += length;
      return;
    }
    if (!inRun_ || t0 > 0) {
      if (!Room()) return;
      out_.runs.push_back(DashedRun{QPolygonF{a + t0 * (p - a)}, length_ + t0 * length});
      ++out_.points;
      inRun_ = true;
    }
    if (!Room()) return;
    out_.runs.back().points.append(a + t1 * (p - a));
    ++out_.points;
    out_.visibleLength += (t1 - t0) * length;
    if (t1 < 1) inRun_ = false;
    length_ += length;
  }

  void CubicTo(QPointF c1, QPointF c2, QPointF end) { Cubic(current_, c1, c2, end, 0); }

  DashedRuns Take() {
    if (!out_.complete) {
      out_.runs.clear();
      out_.points = 0;
      out_.visibleLength = 0;
    }
    return std::move(out_);
  }

 private:
  bool Room() {
    if (out_.points < maxPoints_) return true;
    out_.complete = false;
    return false;
  }

  bool Touches(double left, double top, double right, double bottom) const {
    return left <= box_.right() && right >= box_.left() && top <= box_.bottom() && bottom >= box_.top();
  }

  void Cubic(QPointF p0, QPointF c1, QPointF c2, QPointF p3, int depth) {
    if (!out_.complete) return;
    const double left = std::min({p0.x(), c1.x(), c2.x(), p3.x()});
    const double right = std::max({p0.x(), c1.x(), c2.x(), p3.x()});
    const double top = std::min({p0.y(), c1.y(), c2.y(), p3.y()});
    const double bottom = std::max({p0.y(), c1.y(), c2.y(), p3.y()});
    if (!Touches(left, top, right, bottom)) {
      // Out of sight: only its length counts, for the dashes after it. The
      // mean of chord and control polygon is close for all but loops.
      const double chord = QLineF(p0, p3).length();
      const double polygon = QLineF(p0, c1).length() + QLineF(c1, c2).length() + QLineF(c2, p3).length();
      if (std::isfinite(polygon)) length_ += (chord + polygon) / 2;
      current_ = p3;
      inRun_ = false;
      return;
    }
    if (depth >= kMaxDepth || Flat(p0, c1, c2, p3)) {
      LineTo(p3);
      return;
    }
    // Halves by de Casteljau.
    const QPointF a = (p0 + c1) / 2, b = (c1 + c2) / 2, c = (c2 + p3) / 2;
    const QPointF ab = (a + b) / 2, bc = (b + c) / 2;
    const QPointF mid = (ab + bc) / 2;
    Cubic(p0, a, ab, mid, depth + 1);
    Cubic(mid, bc, c, p3, depth + 1);
  }

  static bool Flat(QPointF p0, QPointF c1, QPointF c2, QPointF p3) {
    const QPointF d = p3 - p0;
    const double chord = std::hypot(d.x(), d.y());
    const auto distance = [&](QPointF c) {
      const QPointF v = c - p0;
      if (chord == 0) return std::hypot(v.x(), v.y());
      return std::abs(v.x() * d.y() - v.y() * d.x()) / chord;
    };
    return std::max(distance(c1), distance(c2)) <= kFlatness;
  }

  const QRectF& box_;
  std::size_t maxPoints_;
  DashedRuns out_;
  QPointF current_;
  double length_ = 0;  // along the current subpath
  bool inRun_ = false;
};

}  // namespace

DashedRuns CutToBox(const QPainterPath& path, const QRectF& box, std::size_t maxPoints) {
  Cutter cutter(box, maxPoints);
  const int count = path.elementCount();
  for (int i = 0; i < count; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    switch (e.type) {
      case QPainterPath::MoveToElement:
        cutter.MoveTo(e);
        break;
      case QPainterPath::LineToElement:
        cutter.LineTo(e);
        break;
      case QPainterPath::CurveToElement:
        if (i + 2 < count) {
          cutter.CubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
          i += 2;
        }
        break;
      case QPainterPath::CurveToDataElement:
        break;
    }
  }
  return cutter.Take();
}

DashedStrokePlan PlanDashedStroke(const DashedRuns& cut, double period) {
  if (!cut.complete) return DashedStrokePlan::SolidWhole;
  if (cut.visibleLength > kMaxDashes * period) return DashedStrokePlan::SolidRuns;
  return DashedStrokePlan::Dashed;
}

QPolygonF CutPolygonToBox(const QPolygonF& polygon, const QRectF& box) {
  // One pass per side of the box: inside(p) for the side, and where the
  // segment a-b crosses it.
  struct Side {
    int axis;      // 0 for x, 1 for y
    double bound;
    bool keepBelow;  // the inside is at coordinates up to bound
  };
  const Side sides[4] = {{0, box.left(), false}, {0, box.right(), true}, {1, box.top(), false}, {1, box.bottom(), true}};
  QPolygonF current = polygon;
  if (!current.isEmpty() && current.front() != current.back()) current.append(current.front());
  for (const Side& side : sides) {
    const auto coordinate = [&](QPointF p) { return side.axis == 0 ? p.x() : p.y(); };
    const auto inside = [&](QPointF p) {
      return side.keepBelow ? coordinate(p) <= side.bound : coordinate(p) >= side.bound;
    };
    QPolygonF next;
    for (qsizetype i = 0; i + 1 < current.size(); ++i) {
      const QPointF a = current[i], b = current[i + 1];
      const bool aIn = inside(a), bIn = inside(b);
      if (aIn) next.append(a);
      if (aIn != bIn) {
        const double t = (side.bound - coordinate(a)) / (coordinate(b) - coordinate(a));
        QPointF crossing = a + t * (b - a);
        (side.axis == 0 ? crossing.rx() : crossing.ry()) = side.bound;  // exactly on the side
        next.append(crossing);
      }
    }
    if (next.isEmpty()) return {};
    next.append(next.front());
    current = std::move(next);
  }
  return current;
}

}  // namespace pixtrel::metafile
