// The drawing engine's parts (see canvas_engine.h): masks rendered by
// QPainter and the engine class, whose members are defined in
// canvas_shapes.cpp, canvas_fill.cpp, canvas_text.cpp and canvas_regions.cpp.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <functional>

#include "core/canvas_engine.h"
#include "core/canvas_private.h"

namespace pixtrel {

namespace canvas_detail {

// 8-bit coverage masks over a rectangle of bitmap coordinates.
inline QImage NewMask(const QRect& area) {
  QImage mask(area.size(), QImage::Format_Grayscale8);
  mask.fill(0);
  return mask;
}

template <class DrawFn>
QImage RenderMask(const QRect& area, DrawFn&& draw) {
  QImage mask = NewMask(area);
  if (mask.isNull()) return mask;
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  p.translate(-area.left(), -area.top());
  draw(p);
  p.end();
  return mask;
}

// a := a and not b
void SubtractMask(QImage& a, const QImage& b);

// A white pen for drawing masks: square caps at one pixel, round caps and
// joins when wider.
QPen SolidMaskPen(int width);

// box grown by margin on every side, kept to the far-coordinate range.
QRect ExpandedBox(const QRect& box, int margin);

// Renders a shape's mask over area for the pixel box box (Qt's rectangle
// convention: a one-pixel pen covers box.left() to box.left() + box.width()).
using Renderer = std::function<QImage(const QRect& area, const QPen& pen, bool fill, const QRect& box)>;

// A shape drawn by QPainter: shape(painter, box) draws it, the pen and brush
// being set up for the outline or the interior.
Renderer PainterShape(std::function<void(QPainter&, const QRect&)> shape);

// A rounded rectangle with corners of cornerWidth by cornerHeight.
Renderer RoundRectShape(int cornerWidth, int cornerHeight);

}  // namespace canvas_detail

class PainterEngine final : public CanvasEngine {
 public:
  void Polyline(Canvas& canvas, std::span<const Point> points) const override;
  void Polygon(Canvas& canvas, std::span<const Point> points) const override;
  void Rectangle(Canvas& canvas, int left, int top, int right, int bottom) const override;
  void RoundRect(Canvas& canvas, int left, int top, int right, int bottom, int cornerWidth,
                 int cornerHeight) const override;
  void Ellipse(Canvas& canvas, int left, int top, int right, int bottom) const override;
  void ArcShape(Canvas& canvas, ArcKind kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                int y4) const override;
  void FillRect(Canvas& canvas, const Rect& rect) const override;
  void FrameRect(Canvas& canvas, const Rect& rect) const override;
  void FloodFill(Canvas& canvas, int x, int y, Color color, FillStyle style) const override;

  void TextOut(Canvas& canvas, int x, int y, const std::string& text) const override;
  int TextWidth(const Font& font, const std::string& text) const override;
  int TextHeight(const Font& font) const override;
  int DrawText(Canvas& canvas, const std::string& text, Rect& rect, unsigned flags) const override;

  RegionHandle RegionFromRect(const Rect& rect) const override;
  RegionHandle RegionFromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight) const override;
  RegionHandle RegionFromEllipse(const Rect& rect) const override;
  RegionHandle RegionFromPolygon(std::span<const Point> points) const override;
  RegionHandle CombineRegions(const RegionHandle& a, const RegionHandle& b, RegionOperation op) const override;
  RegionHandle TranslateRegion(const RegionHandle& region, int dx, int dy) const override;
  bool RegionContains(const RegionHandle& region, int x, int y) const override;
  bool RegionIsEmpty(const RegionHandle& region) const override;
  Rect RegionBounds(const RegionHandle& region) const override;
  std::vector<Rect> RegionRects(const RegionHandle& region, const Rect& area) const override;
};

}  // namespace pixtrel
