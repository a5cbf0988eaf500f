// The canvas's drawing calls and its regions, carried out by the drawing
// engine. Calls that would draw nothing return before reaching it.
#include <cstdint>
#include <limits>

#include "core/bitmap.h"
#include "core/canvas.h"
#include "core/canvas_engine.h"
#include "core/mul_div.h"

namespace pixtrel {

int Font::Size() const { return -MulDiv(height, 72, 96); }

void Font::SetSize(int points) { height = -MulDiv(points, 96, 72); }

void Canvas::MoveTo(int x, int y) { penPos_ = Point{x, y}; }

void Canvas::LineTo(int x, int y) {
  const Point points[2] = {penPos_, Point{x, y}};
  penPos_ = Point{x, y};
  CanvasDrawing().Polyline(*this, points);
}

void Canvas::Rectangle(int left, int top, int right, int bottom) {
  CanvasDrawing().Rectangle(*this, left, top, right, bottom);
}

void Canvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
  CanvasDrawing().RoundRect(*this, left, top, right, bottom, cornerWidth, cornerHeight);
}

void Canvas::Ellipse(int left, int top, int right, int bottom) {
  CanvasDrawing().Ellipse(*this, left, top, right, bottom);
}

void Canvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasDrawing().ArcShape(*this, ArcKind::Arc, x1, y1, x2, y2, x3, y3, x4, y4);
}

void Canvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasDrawing().ArcShape(*this, ArcKind::Pie, x1, y1, x2, y2, x3, y3, x4, y4);
}

void Canvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasDrawing().ArcShape(*this, ArcKind::Chord, x1, y1, x2, y2, x3, y3, x4, y4);
}

void Canvas::Polygon(std::span<const Point> points) { CanvasDrawing().Polygon(*this, points); }

void Canvas::Polyline(std::span<const Point> points) {
  if (points.size() < 2) return;
  CanvasDrawing().Polyline(*this, points);
}

void Canvas::FillRect(const Rect& rect) {
  if (rect.IsEmpty() || brush_.style == bsClear) return;
  CanvasDrawing().FillRect(*this, rect);
}

void Canvas::FrameRect(const Rect& rect) {
  if (rect.IsEmpty() || brush_.style == bsClear) return;
  CanvasDrawing().FrameRect(*this, rect);
}

void Canvas::FloodFill(int x, int y, Color color, FillStyle style) {
  if (x < 0 || y < 0 || x >= owner_.Width() || y >= owner_.Height() || brush_.style == bsClear) return;
  CanvasDrawing().FloodFill(*this, x, y, color, style);
}

void Canvas::TextOut(int x, int y, const std::string& text) {
  if (!text.empty()) CanvasDrawing().TextOut(*this, x, y, text);
  // Text written at the far edge of the coordinate range leaves the pen there.
  const std::int64_t end = static_cast<std::int64_t>(x) + TextWidth(text);
  penPos_ = Point{static_cast<int>(std::min<std::int64_t>(end, std::numeric_limits<int>::max())), y};
}

int Canvas::TextWidth(const std::string& text) const {
  if (text.empty()) return 0;
  return CanvasDrawing().TextWidth(font_, text);
}

int Canvas::TextHeight(const std::string& text) const {
  (void)text;
  return CanvasDrawing().TextHeight(font_);
}

int Canvas::DrawText(const std::string& text, Rect& rect, unsigned flags) {
  return CanvasDrawing().DrawText(*this, text, rect, flags);
}

// ---- Regions ---------------------------------------------------------------

Region Region::FromRect(const Rect& rect) {
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return Region();
  return Region(CanvasDrawing().RegionFromRect(rect));
}

Region Region::FromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight) {
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return Region();
  return Region(CanvasDrawing().RegionFromRoundRect(rect, cornerWidth, cornerHeight));
}

Region Region::FromEllipse(const Rect& rect) {
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return Region();
  return Region(CanvasDrawing().RegionFromEllipse(rect));
}

Region Region::FromPolygon(std::span<const Point> points) {
  if (points.size() < 3) return Region();
  return Region(CanvasDrawing().RegionFromPolygon(points));
}

Region Region::United(const Region& other) const {
  if (!other.handle_) return *this;
  if (!handle_) return other;
  return Region(CanvasDrawing().CombineRegions(handle_, other.handle_, RegionOperation::Unite));
}

Region Region::Subtracted(const Region& other) const {
  if (!handle_ || !other.handle_) return *this;
  return Region(CanvasDrawing().CombineRegions(handle_, other.handle_, RegionOperation::Subtract));
}

Region Region::Intersected(const Region& other) const {
  if (!handle_ || !other.handle_) return Region();
  return Region(CanvasDrawing().CombineRegions(handle_, other.handle_, RegionOperation::Intersect));
}

Region Region::Translated(int dx, int dy) const {
  if (!handle_) return Region();
  return Region(CanvasDrawing().TranslateRegion(handle_, dx, dy));
}

bool Region::Contains(int x, int y) const { return handle_ && CanvasDrawing().RegionContains(handle_, x, y); }

bool Region::IsEmpty() const { return !handle_ || CanvasDrawing().RegionIsEmpty(handle_); }

Rect Region::BoundingRect() const { return handle_ ? CanvasDrawing().RegionBounds(handle_) : Rect{}; }

std::vector<Rect> Region::RectsWithin(const Rect& area) const {
  if (!handle_ || area.IsEmpty()) return {};
  return CanvasDrawing().RegionRects(handle_, area);
}

}  // namespace pixtrel
