// Wide dashed strokes cut to the part of the picture they can reach.
//
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

// The pieces of path (in destination pixels) inside box. Curves are
// subdivided until flat within a quarter pixel where they come near the box
// and measured by their control polygon where they do not.
DashedRuns CutToBox(const QPainterPath& path, const QRectF& box, std::size_t maxPoints);

}  // namespace pixtrel::metafile
