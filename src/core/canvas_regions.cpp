// Clip regions of the canvas. Curved regions cover exactly the pixels their
// shape fills without a pen, so that a clip and a fill of the same shape
// agree.
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QRegion>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/canvas_painting.h"

namespace pixtrel {

using namespace canvas_detail;

namespace {

QRegion RegionFromMask(const QImage& mask, QPoint origin) {
  std::vector<QRect> rects;
  for (int y = 0; y < mask.height(); ++y) {
    const std::uint8_t* row = mask.constScanLine(y);
    int x = 0;
    while (x < mask.width()) {
      while (x < mask.width() && row[x] < 128) ++x;
      const int start = x;
      while (x < mask.width() && row[x] >= 128) ++x;
      if (x > start) rects.emplace_back(origin.x() + start, origin.y() + y, x - start, 1);
    }
  }
  QRegion region;
  if (!rects.empty()) region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

// Regions of curved shapes cover the pixels the shape fills without a pen;
// above this many pixels Qt's own (approximate) region is used instead.
constexpr std::int64_t kMaxRegionMaskPixels = 1 << 26;

RegionHandle Handle(QRegion region) {
  if (region.isEmpty()) return nullptr;
  return std::make_shared<const QRegion>(std::move(region));
}

const QRegion& Native(const RegionHandle& region) {
  static const QRegion empty;
  return region ? *static_cast<const QRegion*>(region.get()) : empty;
}

}  // namespace

RegionHandle PainterEngine::RegionFromRect(const Rect& rect) const {
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return nullptr;
  return Handle(QRegion(NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom)));
}

RegionHandle PainterEngine::RegionFromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight) const {
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return nullptr;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
  if (inner.width() <= 0 || inner.height() <= 0) return nullptr;
  if (std::int64_t(box.width()) * box.height() > kMaxRegionMaskPixels) return Handle(QRegion(inner));
  const QImage mask = RoundRectShape(cornerWidth, cornerHeight)(
      box, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
  return Handle(RegionFromMask(mask, box.topLeft()));
}

RegionHandle PainterEngine::RegionFromEllipse(const Rect& rect) const {
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return nullptr;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
  if (inner.width() <= 0 || inner.height() <= 0) return nullptr;
  if (std::int64_t(box.width()) * box.height() > kMaxRegionMaskPixels)
    return Handle(QRegion(inner, QRegion::Ellipse));
  const QImage mask = PainterShape([](QPainter& p, const QRect& e) { p.drawEllipse(e); })(
      box, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
  return Handle(RegionFromMask(mask, box.topLeft()));
}

RegionHandle PainterEngine::RegionFromPolygon(std::span<const Point> points) const {
  if (points.size() < 3) return nullptr;
  QPolygon poly;
  for (const Point& p : points) poly << QPoint(p.X, p.Y);
  return Handle(QRegion(poly, Qt::OddEvenFill));
}

RegionHandle PainterEngine::CombineRegions(const RegionHandle& a, const RegionHandle& b, RegionOperation op) const {
  switch (op) {
    case RegionOperation::Unite:
      return Handle(Native(a).united(Native(b)));
    case RegionOperation::Subtract:
      return Handle(Native(a).subtracted(Native(b)));
    case RegionOperation::Intersect:
      return Handle(Native(a).intersected(Native(b)));
  }
  return nullptr;
}

RegionHandle PainterEngine::TranslateRegion(const RegionHandle& region, int dx, int dy) const {
  return Handle(Native(region).translated(dx, dy));
}

bool PainterEngine::RegionContains(const RegionHandle& region, int x, int y) const {
  return Native(region).contains(QPoint(x, y));
}

bool PainterEngine::RegionIsEmpty(const RegionHandle& region) const { return Native(region).isEmpty(); }

Rect PainterEngine::RegionBounds(const RegionHandle& region) const {
  const QRegion& r = Native(region);
  if (r.isEmpty()) return Rect{};
  const QRect b = r.boundingRect();
  return Rect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
}

std::vector<Rect> PainterEngine::RegionRects(const RegionHandle& region, const Rect& area) const {
  const QRegion visible = Native(region) & QRegion(QRect(area.Left, area.Top, area.Width(), area.Height()));
  std::vector<Rect> rects;
  rects.reserve(static_cast<std::size_t>(visible.rectCount()));
  for (const QRect& r : visible) rects.push_back(Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
  return rects;
}

}  // namespace pixtrel
