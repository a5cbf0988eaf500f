// The drawing calls of the canvas that need Qt's painter and fonts: shapes,
// text, brush fills and clip regions. The canvas keeps its own state (pen,
// brush, font, pen position, clip) and its pixel access, copies and drawing
// of graphics; an engine renders the rest.
//
// CanvasDrawing() is defined twice, one definition per program: the desktop
// program, the tools and the tests link the engine itself (pixtrel_draw);
// pixtrel-cli loads it with the rest of the drawing code on the first call,
// so that commands that never draw do not load Qt's GUI and font libraries.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/canvas.h"

namespace pixtrel {

enum class RegionOperation { Unite, Subtract, Intersect };
enum class ArcKind { Arc, Pie, Chord };

class CanvasEngine {
 public:
  virtual ~CanvasEngine() = default;

  // The pen along points, the end point left out (LineTo, Polyline).
  virtual void Polyline(Canvas& canvas, std::span<const Point> points) const = 0;
  virtual void Polygon(Canvas& canvas, std::span<const Point> points) const = 0;
  virtual void Rectangle(Canvas& canvas, int left, int top, int right, int bottom) const = 0;
  virtual void RoundRect(Canvas& canvas, int left, int top, int right, int bottom, int cornerWidth,
                         int cornerHeight) const = 0;
  virtual void Ellipse(Canvas& canvas, int left, int top, int right, int bottom) const = 0;
  virtual void ArcShape(Canvas& canvas, ArcKind kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                        int y4) const = 0;
  virtual void FillRect(Canvas& canvas, const Rect& rect) const = 0;
  virtual void FrameRect(Canvas& canvas, const Rect& rect) const = 0;
  virtual void FloodFill(Canvas& canvas, int x, int y, Color color, FillStyle style) const = 0;

  // Paints the text only; the canvas moves its pen.
  virtual void TextOut(Canvas& canvas, int x, int y, const std::string& text) const = 0;
  virtual int TextWidth(const Font& font, const std::string& text) const = 0;
  virtual int TextHeight(const Font& font) const = 0;
  virtual int DrawText(Canvas& canvas, const std::string& text, Rect& rect, unsigned flags) const = 0;

  // Regions in the engine's own form; a null handle is the empty region.
  virtual RegionHandle RegionFromRect(const Rect& rect) const = 0;
  virtual RegionHandle RegionFromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight) const = 0;
  virtual RegionHandle RegionFromEllipse(const Rect& rect) const = 0;
  virtual RegionHandle RegionFromPolygon(std::span<const Point> points) const = 0;
  virtual RegionHandle CombineRegions(const RegionHandle& a, const RegionHandle& b, RegionOperation op) const = 0;
  virtual RegionHandle TranslateRegion(const RegionHandle& region, int dx, int dy) const = 0;
  virtual bool RegionContains(const RegionHandle& region, int x, int y) const = 0;
  virtual bool RegionIsEmpty(const RegionHandle& region) const = 0;
  virtual Rect RegionBounds(const RegionHandle& region) const = 0;
  // The region's part inside area as disjoint rectangles, top to bottom.
  virtual std::vector<Rect> RegionRects(const RegionHandle& region, const Rect& area) const = 0;
};

// The engine of this program (see above).
const CanvasEngine& CanvasDrawing();

}  // namespace pixtrel
