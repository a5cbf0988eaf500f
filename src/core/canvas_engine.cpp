// The drawing engine of the programs that link it, and the mask helpers its
// parts share.
#include <algorithm>
#include <cstdint>

#include "core/canvas_painting.h"

namespace pixtrel {

namespace canvas_detail {

void SubtractMask(QImage& a, const QImage& b) {
  if (a.isNull() || b.isNull()) return;
  const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
  for (int y = 0; y < h; ++y) {
    std::uint8_t* pa = a.scanLine(y);
    const std::uint8_t* pb = b.constScanLine(y);
    for (int x = 0; x < w; ++x)
      if (pb[x] >= 128) pa[x] = 0;
  }
}

QPen SolidMaskPen(int width) {
  QPen pen(QColor(255, 255, 255), width <= 1 ? 1 : width, Qt::SolidLine, width <= 1 ? Qt::SquareCap : Qt::RoundCap,
           width <= 1 ? Qt::MiterJoin : Qt::RoundJoin);
  return pen;
}

QRect ExpandedBox(const QRect& box, int margin) {
  auto clampInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 29), 1 << 29)); };
  return QRect(QPoint(clampInt(std::int64_t(box.left()) - margin), clampInt(std::int64_t(box.top()) - margin)),
               QPoint(clampInt(std::int64_t(box.right()) + margin), clampInt(std::int64_t(box.bottom()) + margin)));
}

}  // namespace canvas_detail

const CanvasEngine& CanvasDrawing() {
  static const PainterEngine engine;
  return engine;
}

}  // namespace pixtrel
