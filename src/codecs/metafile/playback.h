// The drawing state both metafile players share: the object table, the
// device-context state with its save stack, the mapping from logical
// coordinates to the destination image, and the drawing operations.
//
// Everything is drawn in destination pixels: shapes are built in logical
// coordinates, mapped through the current transform and painted with an
// identity painter transform, so pens of one logical unit, hatch patterns
// and text keep their pixel look at any scale. Without a painter (the pass
// that checks a file while loading) the operations only update the state.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPolygon>
#include <QPolygonF>
#include <QRegion>
#include <QString>
#include <QTransform>
#include <array>

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

class QPainter;

namespace pixtrel::metafile {

struct PenObject {
  std::uint32_t style = 0;  // PS_* with end cap, join and type bits
  double width = 0;         // logical units; 0 is one pixel
  QColor color = Qt::black;
};

struct BrushObject {
  std::uint32_t style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, pattern kinds 3, 5, 6
  QColor color = Qt::white;
  std::uint32_t hatch = 0;
  QImage pattern;  // for the pattern kinds
};

struct FontObject {
  int height = -12;
  int width = 0;
  int escapement = 0;  // tenths of a degree, counter-clockwise
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  QString face;
};

struct PaletteObject {
  std::vector<QColor> entries;
};

struct RegionObject {
  QRegion region;  // in logical units for WMF regions, device units for EMF
};

// Objects the players keep a slot for without using them (EMF colour spaces,
// WMF bitmaps).
struct OtherObject {};

using GdiObject = std::variant<PenObject, BrushObject, FontObject, PaletteObject, RegionObject, OtherObject>;

enum MapMode { mmText = 1, mmLoMetric, mmHiMetric, mmLoEnglish, mmHiEnglish, mmTwips, mmIsotropic, mmAnisotropic };

struct DcState {
  PenObject pen;
  BrushObject brush;
  FontObject font;
  QColor textColor = Qt::black;
  QColor bkColor = Qt::white;
  int bkMode = 2;        // 1 transparent, 2 opaque
  int rop2 = 13;         // R2_COPYPEN
  int polyFillMode = 1;  // 1 alternate, 2 winding
  std::uint32_t textAlign = 0;
  int mapMode = mmText;
  QPointF windowOrg{0, 0};
  QSizeF windowExt{1, 1};
  QPointF viewportOrg{0, 0};
  QSizeF viewportExt{1, 1};
  QTransform world;             // EMF world transform
  QPointF position{0, 0};       // current position, logical
  std::optional<QRegion> clip;  // in destination pixels
  bool clockwiseArcs = false;
};

// How the device space of the records lands on the destination image.
struct DeviceMapping {
  QTransform toDestination;
  // Reference device pixels per millimetre, for the metric mapping modes.
  double pixelsPerMmX = 96 / 25.4;
  double pixelsPerMmY = 96 / 25.4;
};

class Playback {
 public:
  Playback(QPainter* painter, DeviceMapping mapping, bool wmf);

  DcState& State() { return state_; }
  bool Painting() const { return painter_ != nullptr; }

  // The object table. Indices out of range are ignored.
  void ResizeTable(std::size_t size);
  // The lowest free slot (WMF); -1 when the table is full.
  int AddObject(GdiObject object);
  void SetObject(std::uint32_t index, GdiObject object);
  void SelectObject(std::uint32_t index);
  void SelectStock(std::uint32_t stock);
  void DeleteObject(std::uint32_t index);
  const GdiObject* Object(std::uint32_t index) const;

  void SaveDC();
  void RestoreDC(int which);

  // Mapping.
  QTransform LogicalToDestination() const;
  void SetMapMode(int mode);
  void SetWindowOrg(double x, double y) { state_.windowOrg = {x, y}; }
  void SetWindowExt(double x, double y);
  void SetViewportOrg(double x, double y) { state_.viewportOrg = {x, y}; }
  void SetViewportExt(double x, double y);

  // Clipping, rectangles in logical units.
  void IntersectClipRect(const QRectF& rect);
  void ExcludeClipRect(const QRectF& rect);
  // mode: RGN_AND 1, RGN_OR 2, RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5. The region
  // is in destination pixels; nullopt stands for the whole surface.
  void CombineClip(const std::optional<QRegion>& region, int mode);
  QRegion DeviceRegionToDestination(const QRegion& region) const;
  // Moves the clip region by a logical offset.
  void OffsetClip(QPointF logicalOffset);
  QRegion LogicalRegionToDestination(const QRegion& region) const;

  // Paths.
  void BeginPath();
  void EndPath() { inPath_ = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath();
  void StrokePath();
  void StrokeAndFillPath();
  void SelectClipPath(int mode);

  // Drawing in logical coordinates.
  void MoveTo(QPointF p);
  void LineTo(QPointF p);
  void Polyline(const QPolygonF& points);
  void PolylineTo(const QPolygonF& points);
  void PolyBezier(const QPolygonF& points);
  void PolyBezierTo(const QPolygonF& points);
  void PolyDraw(const QPolygonF& points, std::span<const std::uint8_t> types);
  void Polygon(const QPolygonF& points);
  void PolyPolygon(const std::vector<QPolygonF>& polygons);
  void PolyPolyline(const std::vector<QPolygonF>& polylines);
  void Rectangle(const QRectF& box);
  void RoundRect(const QRectF& box, double cornerWidth, double cornerHeight);
  void Ellipse(const QRectF& box);
  enum class ArcKind { Arc, ArcTo, Chord, Pie };
  void Arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end);
  void AngleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees);
  void SetPixel(QPointF p, const QColor& color);
  void FillRegion(const QRegion& destinationRegion, const BrushObject& brush);
  void InvertRegion(const QRegion& destinationRegion);
  // A rectangle filled with the brush under a ternary raster operation.
  void PatBlt(const QRectF& box, std::uint32_t rop);
  // source may be null (pattern-only operations).
  void StretchBlt(const QRectF& dest, const QImage* source, const QRectF& sourceRect, std::uint32_t rop);
  // text drawn at the reference point with the text alignment; dx in logical
  // units (may be empty); options ETO_OPAQUE 2, ETO_CLIPPED 4; rect logical.
  void TextOut(QPointF reference, const QString& text, std::span<const double> dx, std::uint32_t options,
               const std::optional<QRectF>& rect);

  // Gradient fills: rectangles between two vertices, the colour changing
  // across (horizontal) or down (vertical), or triangles with the colour
  // interpolated between their three vertices. Vertices in logical units;
  // shapes hold vertex indices (two for a rectangle), out-of-range ones are
  // passed over.
  enum class GradientMode { Horizontal = 0, Vertical = 1, Triangle = 2 };
  struct GradientVertex {
    QPointF point;
    QColor color;
  };
  void GradientFill(std::span<const GradientVertex> vertices, std::span<const std::array<std::uint32_t, 3>> shapes,
                    GradientMode mode);

  // Without a painter: the box, in destination coordinates, of everything
  // the records drew (shapes by their control points, text by its reference
  // point, bitmaps by their destination).
  const QRectF& DrawnExtent() const { return extent_; }

 private:
  void Emit(const QPainterPath& logicalPath, bool fill, bool stroke);
  void PaintDestinationPath(const QPainterPath& path, bool fill, bool stroke);
  // Strokes path with a wide dashed pen, cut to what the image can show.
  void StrokeDashed(const QPainterPath& path, QPen pen);
  void ApplyClip();
  // The region of a polygon in destination pixels, cut to a box around the
  // image; while checking a file, only the polygon's box.
  QRegion PolygonRegion(const QPolygonF& polygon, Qt::FillRule rule) const;
  bool SetRop2Composition();
  QPen MakePen() const;
  QBrush MakeBrush(const BrushObject& brush) const;
  double Scale() const;
  QPainterPath ArcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end, bool moveFirst);

  QPainter* painter_;
  DeviceMapping mapping_;
  bool wmf_;
  DcState state_;
  std::vector<DcState> saved_;
  std::vector<std::optional<GdiObject>> objects_;
  bool inPath_ = false;
  QPainterPath path_;  // in destination pixels
  QRectF extent_;
  void Extend(const QRectF& box);
};

// A DIB (info header, colour table, bits) as an RGB32 image; a null image for
// data the BMP reader refuses. bits may be empty when they follow the
// header and colour table in info.
QImage DecodeDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits);

QColor ColorRef(std::uint32_t value);

// Integer geometry for regions, with coordinates pulled into +-2^24 so
// that a file's extreme values cannot overflow Qt's integer rectangles.
QRect ClampedRect(const QRectF& rect);
QPolygon ClampedPolygon(const QPolygonF& polygon);
QPoint ClampedPoint(QPointF point);

}  // namespace pixtrel::metafile
