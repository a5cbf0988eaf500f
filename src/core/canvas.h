// Drawing on a Bitmap with the pixel coverage of the classic Windows drawing
// calls: right and bottom bounds exclusive, the end point of a line left out,
// no antialiasing. Built on QPainter; a bitmap in an indexed, 15- or 16-bit
// format is drawn in 24 bits and mapped back to its own format.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/geometry.h"

namespace pixtrel {

class Bitmap;
class Graphic;

enum PenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum PenMode { pmCopy, pmXor, pmNotXor, pmNot, pmBlack, pmWhite };
enum BrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum FillStyle { fsSurface, fsBorder };

struct Pen {
  Color color = clBlack;
  int width = 1;
  PenStyle style = psSolid;
  PenMode mode = pmCopy;
};

struct Brush {
  Color color = clWhite;
  BrushStyle style = bsSolid;
};

// A font as the drawing calls take it. height follows the classic rule: a
// negative value is the character height in pixels, a positive one the cell
// height; size is in points at 96 pixels per inch.
struct Font {
  std::string name = "MS Sans Serif";
  int height = -11;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  Color color = clBlack;
  // Angle of the text line in tenths of a degree, counter-clockwise.
  int escapement = 0;

  int Size() const;
  void SetSize(int points);
};

// A region in the drawing engine's own form (core/canvas_engine.h); shared,
// since a region never changes once made. Null is the empty region.
using RegionHandle = std::shared_ptr<const void>;

// A clip region. Shapes combine these from rectangles, rounded rectangles,
// ellipses and polygons (alternate fill). Making an empty region or copying
// one does not involve the drawing engine.
class Region {
 public:
  Region() = default;
  explicit Region(RegionHandle handle) : handle_(std::move(handle)) {}

  static Region FromRect(const Rect& rect);
  static Region FromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight);
  static Region FromEllipse(const Rect& rect);
  // Alternate (even-odd) fill.
  static Region FromPolygon(std::span<const Point> points);

  Region United(const Region& other) const;
  Region Subtracted(const Region& other) const;
  Region Intersected(const Region& other) const;
  Region Translated(int dx, int dy) const;
  bool Contains(int x, int y) const;
  bool IsEmpty() const;
  Rect BoundingRect() const;
  // The part inside area as disjoint rectangles, top to bottom.
  std::vector<Rect> RectsWithin(const Rect& area) const;

  const RegionHandle& Handle() const { return handle_; }

 private:
  RegionHandle handle_;
};

// DrawText flags (combine with |).
enum TextFlags : unsigned {
  dtLeft = 0x0,
  dtCenter = 0x1,
  dtRight = 0x2,
  dtVCenter = 0x4,
  dtBottom = 0x8,
  dtWordBreak = 0x10,
  dtSingleLine = 0x20,
  dtNoClip = 0x100,
  dtCalcRect = 0x400,
};

class Canvas {
 public:
  explicit Canvas(Bitmap& owner);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Pen, brush, font and pen position of another canvas (a bitmap copy keeps them).
  void CopyStateFrom(const Canvas& other);

  pixtrel::Pen& Pen() { return pen_; }
  const pixtrel::Pen& Pen() const { return pen_; }
  pixtrel::Brush& Brush() { return brush_; }
  const pixtrel::Brush& Brush() const { return brush_; }
  pixtrel::Font& Font() { return font_; }
  const pixtrel::Font& Font() const { return font_; }

  Point PenPos() const { return penPos_; }
  void MoveTo(int x, int y);
  // Draws from the pen position to (x, y), leaving out (x, y) itself, and
  // moves the pen there.
  void LineTo(int x, int y);

  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const Rect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
  void Ellipse(int left, int top, int right, int bottom);
  void Ellipse(const Rect& rect) { Ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  // Counter-clockwise from the radial through (x3, y3) to the one through (x4, y4).
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Polygon(std::span<const Point> points);
  void Polyline(std::span<const Point> points);
  // Brush only.
  void FillRect(const Rect& rect);
  // Brush-coloured one-pixel frame inside rect.
  void FrameRect(const Rect& rect);

  void TextOut(int x, int y, const std::string& text);
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;
  // Text laid out in rect by flags; with dtCalcRect nothing is drawn and rect
  // receives the extent. Returns the height of the text drawn.
  int DrawText(const std::string& text, Rect& rect, unsigned flags);
  // Background behind text: transparent unless the brush is solid.

  void FloodFill(int x, int y, Color color, FillStyle style);

  Color Pixels(int x, int y) const;
  void SetPixels(int x, int y, Color color);

  void Draw(int x, int y, const Graphic& graphic);
  void StretchDraw(const Rect& rect, const Graphic& graphic);
  // Copies source's sourceRect into destRect of this canvas, scaling when the
  // two sizes differ (nearest pixel).
  void CopyRect(const Rect& destRect, const Canvas& source, const Rect& sourceRect);

  // Drawing is limited to the region; nullptr removes the clip.
  void SetClipRegion(const Region* region);
  bool HasClip() const { return clip_ != nullptr; }

  Bitmap& Owner() { return owner_; }
  const Bitmap& Owner() const { return owner_; }

 private:
  friend class CanvasPainter;

  Bitmap& owner_;
  pixtrel::Pen pen_;
  pixtrel::Brush brush_;
  pixtrel::Font font_;
  Point penPos_;
  std::unique_ptr<Region> clip_;
};

}  // namespace pixtrel
