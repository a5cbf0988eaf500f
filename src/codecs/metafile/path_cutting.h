// Paths cut to the part of the picture they can reach, so that the work
// they cost follows what is seen and not the size of their coordinates.
//
// Wide dashed strokes:
// Qt's dasher walks every dash along the whole length of each subpath that
// touches the picture, and keeps the outline of every dash until the stroke
// is filled; a curve or line that runs far beyond the picture (a huge
// coordinate, a large world transform) then costs time and memory in
// proportion to its length, not to what is seen. So the path is flattened
// and cut to a box around the picture first: each piece inside the box is
// stroked on its own, with the dash offset it has in the whole subpath, and
// looks as the uncut stroke would inside the picture.
#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>

#include <cstddef>
#include <vector>

namespace pixtrel::metafile {

// A piece of a subpath inside the box: its points in order and the length of
// the subpath before its first point.
struct DashedRun {
  QPolygonF points;
  double startLength = 0;
};

struct DashedRuns {
  std::vector<DashedRun> runs;
  double visibleLength = 0;  // total length of the runs
  std::size_t points = 0;    // points in all runs
  // False when flattening the visible part would take more than the
  // points allowed; runs is then empty.
  bool complete = true;
};

// Qt keeps the outline of each dash of a stroke, a few hundred bytes apiece,
// until it fills them: a stroke with more dashes in sight than this, or
// more points in its flattened visible part, is drawn solid.
inline constexpr double kMaxDashes = 1 << 18;
inline constexpr std::size_t kMaxDashedPoints = std::size_t{1} << 18;

// The pieces of path (in destination pixels) inside box. Curves are
// subdivided until flat within a quarter pixel where they come near the box
// and measured by their control polygon where they do not.
DashedRuns CutToBox(const QPainterPath& path, const QRectF& box, std::size_t maxPoints = kMaxDashedPoints);

enum class DashedStrokePlan {
  Dashed,       // each run with its dash offset
  SolidRuns,    // the runs solid: more dashes in sight than kMaxDashes
  SolidWhole,   // the whole path solid: too many points to cut
};

// How a cut stroke whose dash pattern repeats every period pixels is drawn.
DashedStrokePlan PlanDashedStroke(const DashedRuns& cut, double period);

// Clip paths: a region holds a rectangle per row it covers, so a polygon
// far taller than the picture costs rows in proportion to its size. It is
// cut to a box around the picture first (Sutherland-Hodgman): inside the box
// every point keeps its winding number, so the fill under either rule is
// the same there; along the box's edges the cut adds points.
QPolygonF CutPolygonToBox(const QPolygonF& polygon, const QRectF& box);

}  // namespace pixtrel::metafile
