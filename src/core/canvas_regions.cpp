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

#include "core/canvas_private.h"

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

}  // namespace

Region::Region() : region_(std::make_unique<QRegion>()) {}
Region::~Region() = default;
Region::Region(const Region& other) : region_(std::make_unique<QRegion>(*other.region_)) {}
Region& Region::operator=(const Region& other) {
  *region_ = *other.region_;
  return *this;
}

Region Region::FromRect(const Rect& rect) {
  Region r;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  if (rect.Left != rect.Right && rect.Top != rect.Bottom) *r.region_ = QRegion(box);
  return r;
}

Region Region::FromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight) {
  Region r;
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return r;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
  if (inner.width() <= 0 || inner.height() <= 0) return r;
  if (std::int64_t(box.width()) * box.height() > kMaxRegionMaskPixels) {
    *r.region_ = QRegion(inner);
    return r;
  }
  const QImage mask = RoundRectShape(cornerWidth, cornerHeight)(
      box, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
  *r.region_ = RegionFromMask(mask, box.topLeft());
  return r;
}

Region Region::FromEllipse(const Rect& rect) {
  Region r;
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return r;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
  if (inner.width() <= 0 || inner.height() <= 0) return r;
  if (std::int64_t(box.width()) * box.height() > kMaxRegionMaskPixels) {
    *r.region_ = QRegion(inner, QRegion::Ellipse);
    return r;
  }
  const QImage mask = PainterShape([](QPainter& p, const QRect& e) { p.drawEllipse(e); })(
      box, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
  *r.region_ = RegionFromMask(mask, box.topLeft());
  return r;
}

Region Region::FromPolygon(std::span<const Point> points) {
  Region r;
  if (points.size() < 3) return r;
  QPolygon poly;
  for (const Point& p : points) poly << QPoint(p.X, p.Y);
  *r.region_ = QRegion(poly, Qt::OddEvenFill);
  return r;
}

Region Region::United(const Region& other) const {
  Region r;
  *r.region_ = region_->united(*other.region_);
  return r;
}

Region Region::Subtracted(const Region& other) const {
  Region r;
  *r.region_ = region_->subtracted(*other.region_);
  return r;
}

Region Region::Intersected(const Region& other) const {
  Region r;
  *r.region_ = region_->intersected(*other.region_);
  return r;
}

Region Region::Translated(int dx, int dy) const {
  Region r;
  *r.region_ = region_->translated(dx, dy);
  return r;
}

bool Region::Contains(int x, int y) const { return region_->contains(QPoint(x, y)); }

bool Region::IsEmpty() const { return region_->isEmpty(); }

Rect Region::BoundingRect() const {
  if (region_->isEmpty()) return Rect{};
  const QRect b = region_->boundingRect();
  return Rect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
}

}  // namespace pixtrel
