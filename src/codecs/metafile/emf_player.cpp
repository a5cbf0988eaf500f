// Enhanced metafile records: a 32-bit type and size, then parameters in the
// drawing call's order. Offsets to bitmaps and strings count from the start
// of the record and must stay inside it.
#include <QString>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "codecs/metafile/players.h"
#include "codecs/metafile/record_types.h"
#include "core/byte_reader.h"

namespace pixtrel::metafile {

namespace {

QRectF ReadBox(ByteReader& r) {
  const double left = r.S32LE(), top = r.S32LE(), right = r.S32LE(), bottom = r.S32LE();
  return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPointF ReadPoint(ByteReader& r) {
  const double x = r.S32LE();
  const double y = r.S32LE();
  return {x, y};
}

float ReadFloat(ByteReader& r) {
  const std::uint32_t bits = r.U32LE();
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

QPolygonF ReadPoints(ByteReader& r, std::size_t count, bool small) {
  if (count > r.Remaining() / (small ? 4 : 8)) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  QPolygonF points;
  points.reserve(static_cast<qsizetype>(count));
  for (std::size_t i = 0; i < count; ++i) {
    if (small) {
      const double x = r.S16LE();
      const double y = r.S16LE();
      points.append(QPointF(x, y));
    } else {
      points.append(ReadPoint(r));
    }
  }
  return points;
}

QTransform ReadXform(ByteReader& r) {
  const double m11 = ReadFloat(r), m12 = ReadFloat(r), m21 = ReadFloat(r), m22 = ReadFloat(r);
  const double dx = ReadFloat(r), dy = ReadFloat(r);
  const QTransform t(m11, m12, m21, m22, dx, dy);
  const bool finite = std::isfinite(m11) && std::isfinite(m12) && std::isfinite(m21) && std::isfinite(m22) &&
                      std::isfinite(dx) && std::isfinite(dy);
  return finite ? t : QTransform();
}

// The part of the record at [offset, offset + size); throws when it leaves
// the record.
std::span<const std::uint8_t> Part(std::span<const std::uint8_t> record, std::uint32_t offset, std::uint32_t size) {
  if (offset > record.size() || size > record.size() - offset) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  return record.subspan(offset, size);
}

// RGNDATA: a 32-byte header with the rectangle count, then the rectangles.
QRegion ReadRegionData(std::span<const std::uint8_t> data) {
  ByteReader r(data);
  r.Skip(8);
  const std::uint32_t count = r.U32LE();
  r.Skip(4 + 16);
  if (count > r.Remaining() / 16) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  // Real regions hold a few rectangles; beyond a couple of thousand the
  // rest is left out rather than let the union grow quadratically.
  QRegion region;
  for (std::uint32_t i = 0; i < count && i < 2000; ++i) {
    const QRect rect = ClampedRect(ReadBox(r));
    if (rect.isValid() && !rect.isEmpty()) region += rect;
  }
  return region;
}

bool TopDown(std::span<const std::uint8_t> info) {
  if (info.size() < 12) return false;
  const std::uint32_t headerSize = info[0] | (info[1] << 8);
  if (headerSize == 12) return false;
  return (info[11] & 0x80) != 0;
}

void ExtTextOut(ByteReader& r, std::span<const std::uint8_t> record, bool wide, Playback& pb) {
  const QPointF reference = ReadPoint(r);
  const std::uint32_t count = r.U32LE();
  const std::uint32_t offString = r.U32LE();
  const std::uint32_t options = r.U32LE();
  const QRectF rect = ReadBox(r);
  const std::uint32_t offDx = r.U32LE();
  if (count > record.size()) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  const auto bytes = Part(record, offString, count * (wide ? 2 : 1));
  QString text;
  if (wide) {
    text.resize(static_cast<qsizetype>(count));
    for (std::uint32_t i = 0; i < count; ++i)
      text[i] = QChar(static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
  } else {
    text = QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(count));
  }
  std::vector<double> dx;
  const std::uint32_t step = (options & 0x2000) ? 8 : 4;  // ETO_PDY: x and y advances
  if (offDx != 0 && offDx < record.size() && count <= (record.size() - offDx) / step) {
    ByteReader d(record.subspan(offDx, count * step));
    for (std::uint32_t i = 0; i < count; ++i) {
      dx.push_back(d.S32LE());
      if (step == 8) d.Skip(4);
    }
  }
  const bool hasRect = rect.width() != 0 && rect.height() != 0;
  pb.TextOut(reference, text, dx, options, hasRect ? std::optional<QRectF>(rect) : std::nullopt);
}

BrushObject PatternBrush(std::span<const std::uint8_t> record, ByteReader& r, bool painting) {
  r.Skip(4);  // usage
  const std::uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
  const auto info = Part(record, offBmi, cbBmi);
  const auto bits = Part(record, offBits, cbBits);
  BrushObject brush;
  brush.style = 5;
  brush.color = Qt::black;
  if (painting) brush.pattern = DecodeDib(info, bits);
  return brush;
}

// One record being played: its type, the whole record (offsets count from
// its start) and a reader over what follows the type and size.
struct Call {
  EmfRecord type;
  std::span<const std::uint8_t> record;
  ByteReader r;
  Playback& pb;

  DcState& State() { return pb.State(); }
};

using Handler = void (*)(Call&);

// Lines and shapes.

// bounds, count, points of 32 bits or, in the 16-bit forms, of 16 bits
QPolygonF ReadPolyPoints(Call& c, bool small) {
  c.r.Skip(16);
  const std::size_t count = c.r.U32LE();
  return ReadPoints(c.r, count, small);
}
void PolyBezier(Call& c) { c.pb.PolyBezier(ReadPolyPoints(c, false)); }
void Polygon(Call& c) { c.pb.Polygon(ReadPolyPoints(c, false)); }
void Polyline(Call& c) { c.pb.Polyline(ReadPolyPoints(c, false)); }
void PolyBezierTo(Call& c) { c.pb.PolyBezierTo(ReadPolyPoints(c, false)); }
void PolylineTo(Call& c) { c.pb.PolylineTo(ReadPolyPoints(c, false)); }
void PolyBezier16(Call& c) { c.pb.PolyBezier(ReadPolyPoints(c, true)); }
void Polygon16(Call& c) { c.pb.Polygon(ReadPolyPoints(c, true)); }
void Polyline16(Call& c) { c.pb.Polyline(ReadPolyPoints(c, true)); }
void PolyBezierTo16(Call& c) { c.pb.PolyBezierTo(ReadPolyPoints(c, true)); }
void PolylineTo16(Call& c) { c.pb.PolylineTo(ReadPolyPoints(c, true)); }

// bounds, figure count, total point count, the count of each figure, points
std::vector<QPolygonF> ReadFigures(Call& c, bool small) {
  ByteReader& r = c.r;
  r.Skip(16);
  const std::size_t polys = r.U32LE();
  const std::size_t total = r.U32LE();
  if (polys > r.Remaining() / 4) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  std::vector<std::size_t> counts(polys);
  std::size_t sum = 0;
  for (auto& count : counts) {
    count = r.U32LE();
    if (count > total - std::min(sum, total)) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
    sum += count;
  }
  std::vector<QPolygonF> list;
  for (std::size_t count : counts) list.push_back(ReadPoints(r, count, small));
  return list;
}
void PolyPolyline(Call& c) { c.pb.PolyPolyline(ReadFigures(c, false)); }
void PolyPolygon(Call& c) { c.pb.PolyPolygon(ReadFigures(c, false)); }
void PolyPolyline16(Call& c) { c.pb.PolyPolyline(ReadFigures(c, true)); }
void PolyPolygon16(Call& c) { c.pb.PolyPolygon(ReadFigures(c, true)); }

// bounds, count, points, then a type byte per point
void PolyDrawPoints(Call& c, bool small) {
  c.r.Skip(16);
  const std::size_t count = c.r.U32LE();
  const QPolygonF points = ReadPoints(c.r, count, small);
  const auto types = c.r.Take(count);
  c.pb.PolyDraw(points, types);
}
void PolyDraw(Call& c) { PolyDrawPoints(c, false); }
void PolyDraw16(Call& c) { PolyDrawPoints(c, true); }

void MoveToEx(Call& c) { c.pb.MoveTo(ReadPoint(c.r)); }
void LineTo(Call& c) { c.pb.LineTo(ReadPoint(c.r)); }
void Ellipse(Call& c) { c.pb.Ellipse(ReadBox(c.r)); }
void Rectangle(Call& c) { c.pb.Rectangle(ReadBox(c.r)); }

void RoundRect(Call& c) {
  const QRectF box = ReadBox(c.r);
  const QPointF corner = ReadPoint(c.r);
  c.pb.RoundRect(box, corner.x(), corner.y());
}

// box, start, end
void ArcShape(Call& c, Playback::ArcKind kind) {
  const QRectF box = ReadBox(c.r);
  const QPointF start = ReadPoint(c.r);
  const QPointF end = ReadPoint(c.r);
  c.pb.Arc(kind, box, start, end);
}
void Arc(Call& c) { ArcShape(c, Playback::ArcKind::Arc); }
void Chord(Call& c) { ArcShape(c, Playback::ArcKind::Chord); }
void Pie(Call& c) { ArcShape(c, Playback::ArcKind::Pie); }
void ArcTo(Call& c) { ArcShape(c, Playback::ArcKind::ArcTo); }

// centre, radius, start and sweep angles in degrees
void AngleArc(Call& c) {
  const QPointF centre = ReadPoint(c.r);
  const double radius = c.r.U32LE();
  const double start = ReadFloat(c.r);
  const double sweep = ReadFloat(c.r);
  if (std::isfinite(start) && std::isfinite(sweep)) c.pb.AngleArc(centre, radius, start, sweep);
}

void SetPixelV(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetPixel(p, ColorRef(c.r.U32LE()));
}

// Mapping.

void SetWindowExtEx(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetWindowExt(p.x(), p.y());
}
void SetWindowOrgEx(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetWindowOrg(p.x(), p.y());
}
void SetViewportExtEx(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetViewportExt(p.x(), p.y());
}
void SetViewportOrgEx(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetViewportOrg(p.x(), p.y());
}

// xNum, xDenom, yNum, yDenom; the extent scaled by the fractions
std::optional<QSizeF> ScaledExtent(Call& c, QSizeF extent) {
  const double xNum = c.r.S32LE(), xDenom = c.r.S32LE(), yNum = c.r.S32LE(), yDenom = c.r.S32LE();
  if (xDenom == 0 || yDenom == 0) return std::nullopt;
  return QSizeF(extent.width() * xNum / xDenom, extent.height() * yNum / yDenom);
}
void ScaleViewportExtEx(Call& c) {
  if (const auto ext = ScaledExtent(c, c.State().viewportExt)) c.pb.SetViewportExt(ext->width(), ext->height());
}
void ScaleWindowExtEx(Call& c) {
  if (const auto ext = ScaledExtent(c, c.State().windowExt)) c.pb.SetWindowExt(ext->width(), ext->height());
}

void SetWorldTransform(Call& c) { c.State().world = ReadXform(c.r); }

// transform, mode: 1 identity, 2 before the current one, 3 after it, 4 instead
void ModifyWorldTransform(Call& c) {
  const QTransform x = ReadXform(c.r);
  QTransform& world = c.State().world;
  switch (c.r.U32LE()) {
    case 1:
      world = QTransform();
      break;
    case 2:
      world = x * world;
      break;
    case 3:
      world = world * x;
      break;
    case 4:
      world = x;
      break;
    default:
      break;
  }
}

// Device-context state.

void SetMapMode(Call& c) { c.pb.SetMapMode(static_cast<int>(c.r.U32LE())); }
void SetBkMode(Call& c) { c.State().bkMode = static_cast<int>(c.r.U32LE()); }
void SetPolyFillMode(Call& c) { c.State().polyFillMode = static_cast<int>(c.r.U32LE()); }
void SetRop2(Call& c) { c.State().rop2 = static_cast<int>(c.r.U32LE()); }
void SetTextAlign(Call& c) { c.State().textAlign = c.r.U32LE(); }
void SetTextColor(Call& c) { c.State().textColor = ColorRef(c.r.U32LE()); }
void SetBkColor(Call& c) { c.State().bkColor = ColorRef(c.r.U32LE()); }
void SetArcDirection(Call& c) { c.State().clockwiseArcs = c.r.U32LE() == 2; }
void SaveDC(Call& c) { c.pb.SaveDC(); }
void RestoreDC(Call& c) { c.pb.RestoreDC(c.r.S32LE()); }

// Clipping.

void OffsetClipRgn(Call& c) { c.pb.OffsetClip(ReadPoint(c.r)); }  // a logical offset
void ExcludeClipRect(Call& c) { c.pb.ExcludeClipRect(ReadBox(c.r)); }
void IntersectClipRect(Call& c) { c.pb.IntersectClipRect(ReadBox(c.r)); }
void SelectClipPath(Call& c) { c.pb.SelectClipPath(static_cast<int>(c.r.U32LE())); }

// size, mode, RGNDATA in device units; an empty one with RGN_COPY resets
void ExtSelectClipRgn(Call& c) {
  const std::uint32_t size = c.r.U32LE();
  const int mode = static_cast<int>(c.r.U32LE());
  if (size == 0) {
    if (mode == 5) c.pb.CombineClip(std::nullopt, 5);
    return;
  }
  const QRegion region = ReadRegionData(Part(c.record, 16, size));
  c.pb.CombineClip(c.pb.DeviceRegionToDestination(region), mode);
}

// Paths.

void BeginPath(Call& c) { c.pb.BeginPath(); }
void EndPath(Call& c) { c.pb.EndPath(); }
void CloseFigure(Call& c) { c.pb.CloseFigure(); }
void FillPath(Call& c) { c.pb.FillPath(); }
void StrokeAndFillPath(Call& c) { c.pb.StrokeAndFillPath(); }
void StrokePath(Call& c) { c.pb.StrokePath(); }
void AbortPath(Call& c) { c.pb.AbortPath(); }

// Objects.

void SelectObject(Call& c) { c.pb.SelectObject(c.r.U32LE()); }
void DeleteObject(Call& c) { c.pb.DeleteObject(c.r.U32LE()); }

// index, LOGPEN
void CreatePen(Call& c) {
  const std::uint32_t index = c.r.U32LE();
  PenObject pen;
  pen.style = c.r.U32LE();
  pen.width = c.r.S32LE();
  c.r.Skip(4);
  pen.color = ColorRef(c.r.U32LE());
  c.pb.SetObject(index, pen);
}

// index, bitmap offsets, LOGPEN_EX
void ExtCreatePen(Call& c) {
  const std::uint32_t index = c.r.U32LE();
  c.r.Skip(16);
  PenObject pen;
  pen.style = c.r.U32LE();
  pen.width = c.r.U32LE();
  const std::uint32_t brushStyle = c.r.U32LE();
  pen.color = ColorRef(c.r.U32LE());
  if (brushStyle == 1) pen.style = (pen.style & ~0x0Fu) | 5;  // a hollow brush draws nothing
  if (!(pen.style & 0x10000)) pen.width = 0;                  // cosmetic pens are one pixel
  c.pb.SetObject(index, pen);
}

void CreateBrushIndirect(Call& c) {
  const std::uint32_t index = c.r.U32LE();
  BrushObject brush;
  brush.style = c.r.U32LE();
  brush.color = ColorRef(c.r.U32LE());
  brush.hatch = c.r.U32LE();
  if (brush.style > 2) brush.style = 0;
  c.pb.SetObject(index, brush);
}

// CreateMonoBrush and CreateDibPatternBrushPt: index, then the pattern
void CreatePatternBrush(Call& c) {
  const std::uint32_t index = c.r.U32LE();
  c.pb.SetObject(index, PatternBrush(c.record, c.r, c.pb.Painting()));
}

void ExtCreateFontIndirectW(Call& c) {
  ByteReader& r = c.r;
  const std::uint32_t index = r.U32LE();
  FontObject font;
  font.height = r.S32LE();
  font.width = r.S32LE();
  font.escapement = r.S32LE();
  r.Skip(4);
  font.weight = r.S32LE();
  font.italic = r.U8() != 0;
  font.underline = r.U8() != 0;
  font.strikeOut = r.U8() != 0;
  r.Skip(5);
  const std::size_t chars = std::min<std::size_t>(32, r.Remaining() / 2);
  for (std::size_t i = 0; i < chars; ++i) {
    const char16_t ch = r.U16LE();
    if (ch == 0) break;
    font.face.append(QChar(ch));
  }
  c.pb.SetObject(index, font);
}

void CreatePalette(Call& c) { c.pb.SetObject(c.r.U32LE(), PaletteObject{}); }
void CreateColorSpace(Call& c) { c.pb.SetObject(c.r.U32LE(), OtherObject{}); }

// Regions: bounds, RGNDATA size, [brush], then the RGNDATA in logical units.

QRegion ReadLogicalRegion(Call& c, std::uint32_t size) {
  return ReadRegionData(Part(c.record, static_cast<std::uint32_t>(c.r.Position() + 8), size));
}

void FillRgn(Call& c) {
  c.r.Skip(16);
  const std::uint32_t size = c.r.U32LE();
  const std::uint32_t brushIndex = c.r.U32LE();
  const QRegion region = ReadLogicalRegion(c, size);
  const GdiObject* object = c.pb.Object(brushIndex);
  DcState& s = c.State();
  BrushObject brush = s.brush;
  if (brushIndex & 0x80000000u) {
    const BrushObject saved = s.brush;
    c.pb.SelectStock(brushIndex & 0x7FFFFFFFu);
    brush = s.brush;
    s.brush = saved;
  } else if (object && std::holds_alternative<BrushObject>(*object)) {
    brush = std::get<BrushObject>(*object);
  }
  c.pb.FillRegion(c.pb.LogicalRegionToDestination(region), brush);
}

QRegion ReadRegionToDestination(Call& c) {
  c.r.Skip(16);
  const std::uint32_t size = c.r.U32LE();
  return c.pb.LogicalRegionToDestination(ReadLogicalRegion(c, size));
}
void InvertRgn(Call& c) { c.pb.InvertRegion(ReadRegionToDestination(c)); }
void PaintRgn(Call& c) {
  const QRegion region = ReadRegionToDestination(c);
  c.pb.FillRegion(region, c.State().brush);
}

// Bitmaps.

// bounds, destination, rop, source origin, source transform, background,
// usage, the bitmap's parts, and for StretchBlt the source size
void Blt(Call& c, bool stretch) {
  ByteReader& r = c.r;
  r.Skip(16);
  const double x = r.S32LE(), y = r.S32LE(), w = r.S32LE(), h = r.S32LE();
  const std::uint32_t rop = r.U32LE();
  const double xSrc = r.S32LE(), ySrc = r.S32LE();
  r.Skip(24 + 4 + 4);  // source transform, background colour, usage
  const std::uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
  double wSrc = w, hSrc = h;
  if (stretch) {
    wSrc = r.S32LE();
    hSrc = r.S32LE();
  }
  if (cbBmi == 0) {
    c.pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
    return;
  }
  const auto info = Part(c.record, offBmi, cbBmi);
  const auto bits = Part(c.record, offBits, cbBits);
  if (!c.pb.Painting()) {
    c.pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
    return;
  }
  const QImage image = DecodeDib(info, bits);
  c.pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, ySrc, wSrc, hSrc), rop);
}
void BitBlt(Call& c) { Blt(c, false); }
void StretchBlt(Call& c) { Blt(c, true); }

// bounds, destination origin, source box, the bitmap's parts, usage, and for
// StretchDIBits the rop and the destination size
void DibToDevice(Call& c, bool stretch) {
  ByteReader& r = c.r;
  r.Skip(16);
  const double x = r.S32LE(), y = r.S32LE();
  const double xSrc = r.S32LE(), ySrc = r.S32LE(), wSrc = r.S32LE(), hSrc = r.S32LE();
  const std::uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
  r.Skip(4);  // usage
  std::uint32_t rop = 0x00CC0020;
  double w = wSrc, h = hSrc;
  if (stretch) {
    rop = r.U32LE();
    w = r.S32LE();
    h = r.S32LE();
  }
  const auto info = Part(c.record, offBmi, cbBmi);
  const auto bits = Part(c.record, offBits, cbBits);
  if (!c.pb.Painting()) c.pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
  if (!c.pb.Painting() || cbBmi == 0) return;
  const QImage image = DecodeDib(info, bits);
  if (image.isNull()) return;
  const double top = TopDown(info) ? ySrc : image.height() - ySrc - hSrc;
  c.pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, top, wSrc, hSrc), rop);
}
void SetDIBitsToDevice(Call& c) { DibToDevice(c, false); }
void StretchDIBits(Call& c) { DibToDevice(c, true); }

// Text: bounds, graphics mode and scales, then one text or a count of them.

void TextRecord(Call& c, bool wide) {
  c.r.Skip(16 + 4 + 8);
  ExtTextOut(c.r, c.record, wide, c.pb);
}
void ExtTextOutA(Call& c) { TextRecord(c, false); }
void ExtTextOutW(Call& c) { TextRecord(c, true); }

// EMR_SMALLTEXTOUT: the reference point, the count and the options, the
// bounds unless ETO_NO_RECT (0x100) is set, then the characters: 8-bit with
// ETO_SMALL_CHARS (0x200), 16-bit otherwise. No advances.
void SmallTextOut(Call& c) {
  const QPointF reference = ReadPoint(c.r);
  const std::uint32_t count = c.r.U32LE();
  const std::uint32_t options = c.r.U32LE();
  c.r.Skip(4 + 8);  // graphics mode and scales
  std::optional<QRectF> rect;
  if (!(options & 0x100)) {
    const QRectF box = ReadBox(c.r);
    if (box.width() != 0 && box.height() != 0) rect = box;
  }
  const bool narrow = (options & 0x200) != 0;
  if (count > c.r.Remaining() / (narrow ? 1 : 2)) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  QString text;
  text.resize(static_cast<qsizetype>(count));
  for (std::uint32_t i = 0; i < count; ++i)
    text[i] = narrow ? QChar(static_cast<char16_t>(c.r.U8())) : QChar(static_cast<char16_t>(c.r.U16LE()));
  c.pb.TextOut(reference, text, {}, options & ~std::uint32_t{0x300}, rect);
}

// EMR_GRADIENTFILL: the vertices (x, y and 16-bit red, green, blue, alpha),
// then the shapes: two vertex indices per rectangle, three per triangle.
void GradientFill(Call& c) {
  c.r.Skip(16);  // bounds
  const std::uint32_t vertexCount = c.r.U32LE();
  const std::uint32_t shapeCount = c.r.U32LE();
  const std::uint32_t mode = c.r.U32LE();
  if (mode > 2) return;
  const std::size_t corners = mode == 2 ? 3 : 2;
  if (vertexCount > c.r.Remaining() / 16 || shapeCount > (c.r.Remaining() - vertexCount * 16) / (4 * corners))
    throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  std::vector<Playback::GradientVertex> vertices(vertexCount);
  for (Playback::GradientVertex& vertex : vertices) {
    vertex.point = ReadPoint(c.r);
    const int red = c.r.U16LE() >> 8, green = c.r.U16LE() >> 8, blue = c.r.U16LE() >> 8;
    c.r.Skip(2);  // alpha: not used by the fill
    vertex.color = QColor(red, green, blue);
  }
  std::vector<std::array<std::uint32_t, 3>> shapes(shapeCount);
  for (std::array<std::uint32_t, 3>& shape : shapes)
    for (std::size_t i = 0; i < corners; ++i) shape[i] = c.r.U32LE();
  c.pb.GradientFill(vertices, shapes, static_cast<Playback::GradientMode>(mode));
}

void PolyTextRecord(Call& c, bool wide) {
  c.r.Skip(16 + 4 + 8);
  const std::uint32_t strings = c.r.U32LE();
  if (strings > c.r.Remaining() / 40) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  for (std::uint32_t i = 0; i < strings; ++i) ExtTextOut(c.r, c.record, wide, c.pb);
}
void PolyTextOutA(Call& c) { PolyTextRecord(c, false); }
void PolyTextOutW(Call& c) { PolyTextRecord(c, true); }

struct RecordKind {
  EmfRecord type;
  const char* name;
  Handler handler;  // nullptr: known, and skipped
};

// Comments, palettes, colour management and the rest are skipped unnamed.
constexpr RecordKind kRecords[] = {
    {EmfRecord::Header, "Header", nullptr},
    {EmfRecord::Eof, "Eof", nullptr},
    {EmfRecord::PolyBezier, "PolyBezier", &PolyBezier},
    {EmfRecord::Polygon, "Polygon", &Polygon},
    {EmfRecord::Polyline, "Polyline", &Polyline},
    {EmfRecord::PolyBezierTo, "PolyBezierTo", &PolyBezierTo},
    {EmfRecord::PolylineTo, "PolylineTo", &PolylineTo},
    {EmfRecord::PolyPolyline, "PolyPolyline", &PolyPolyline},
    {EmfRecord::PolyPolygon, "PolyPolygon", &PolyPolygon},
    {EmfRecord::PolyBezier16, "PolyBezier16", &PolyBezier16},
    {EmfRecord::Polygon16, "Polygon16", &Polygon16},
    {EmfRecord::Polyline16, "Polyline16", &Polyline16},
    {EmfRecord::PolyBezierTo16, "PolyBezierTo16", &PolyBezierTo16},
    {EmfRecord::PolylineTo16, "PolylineTo16", &PolylineTo16},
    {EmfRecord::PolyPolyline16, "PolyPolyline16", &PolyPolyline16},
    {EmfRecord::PolyPolygon16, "PolyPolygon16", &PolyPolygon16},
    {EmfRecord::PolyDraw, "PolyDraw", &PolyDraw},
    {EmfRecord::PolyDraw16, "PolyDraw16", &PolyDraw16},
    {EmfRecord::SetWindowExtEx, "SetWindowExtEx", &SetWindowExtEx},
    {EmfRecord::SetWindowOrgEx, "SetWindowOrgEx", &SetWindowOrgEx},
    {EmfRecord::SetViewportExtEx, "SetViewportExtEx", &SetViewportExtEx},
    {EmfRecord::SetViewportOrgEx, "SetViewportOrgEx", &SetViewportOrgEx},
    {EmfRecord::ScaleViewportExtEx, "ScaleViewportExtEx", &ScaleViewportExtEx},
    {EmfRecord::ScaleWindowExtEx, "ScaleWindowExtEx", &ScaleWindowExtEx},
    {EmfRecord::SetMapMode, "SetMapMode", &SetMapMode},
    {EmfRecord::SetBkMode, "SetBkMode", &SetBkMode},
    {EmfRecord::SetPolyFillMode, "SetPolyFillMode", &SetPolyFillMode},
    {EmfRecord::SetRop2, "SetRop2", &SetRop2},
    {EmfRecord::SetTextAlign, "SetTextAlign", &SetTextAlign},
    {EmfRecord::SetTextColor, "SetTextColor", &SetTextColor},
    {EmfRecord::SetBkColor, "SetBkColor", &SetBkColor},
    {EmfRecord::SetArcDirection, "SetArcDirection", &SetArcDirection},
    {EmfRecord::OffsetClipRgn, "OffsetClipRgn", &OffsetClipRgn},
    {EmfRecord::MoveToEx, "MoveToEx", &MoveToEx},
    {EmfRecord::LineTo, "LineTo", &LineTo},
    {EmfRecord::ExcludeClipRect, "ExcludeClipRect", &ExcludeClipRect},
    {EmfRecord::IntersectClipRect, "IntersectClipRect", &IntersectClipRect},
    {EmfRecord::SaveDC, "SaveDC", &SaveDC},
    {EmfRecord::RestoreDC, "RestoreDC", &RestoreDC},
    {EmfRecord::SetWorldTransform, "SetWorldTransform", &SetWorldTransform},
    {EmfRecord::ModifyWorldTransform, "ModifyWorldTransform", &ModifyWorldTransform},
    {EmfRecord::SelectObject, "SelectObject", &SelectObject},
    {EmfRecord::DeleteObject, "DeleteObject", &DeleteObject},
    {EmfRecord::CreatePen, "CreatePen", &CreatePen},
    {EmfRecord::ExtCreatePen, "ExtCreatePen", &ExtCreatePen},
    {EmfRecord::CreateBrushIndirect, "CreateBrushIndirect", &CreateBrushIndirect},
    {EmfRecord::CreateMonoBrush, "CreateMonoBrush", &CreatePatternBrush},
    {EmfRecord::CreateDibPatternBrushPt, "CreateDibPatternBrushPt", &CreatePatternBrush},
    {EmfRecord::ExtCreateFontIndirectW, "ExtCreateFontIndirectW", &ExtCreateFontIndirectW},
    {EmfRecord::CreatePalette, "CreatePalette", &CreatePalette},
    {EmfRecord::CreateColorSpace, "CreateColorSpace", &CreateColorSpace},
    {EmfRecord::CreateColorSpaceW, "CreateColorSpaceW", &CreateColorSpace},
    {EmfRecord::AngleArc, "AngleArc", &AngleArc},
    {EmfRecord::Ellipse, "Ellipse", &Ellipse},
    {EmfRecord::Rectangle, "Rectangle", &Rectangle},
    {EmfRecord::RoundRect, "RoundRect", &RoundRect},
    {EmfRecord::Arc, "Arc", &Arc},
    {EmfRecord::Chord, "Chord", &Chord},
    {EmfRecord::Pie, "Pie", &Pie},
    {EmfRecord::ArcTo, "ArcTo", &ArcTo},
    {EmfRecord::SetPixelV, "SetPixelV", &SetPixelV},
    {EmfRecord::BeginPath, "BeginPath", &BeginPath},
    {EmfRecord::EndPath, "EndPath", &EndPath},
    {EmfRecord::CloseFigure, "CloseFigure", &CloseFigure},
    {EmfRecord::FillPath, "FillPath", &FillPath},
    {EmfRecord::StrokeAndFillPath, "StrokeAndFillPath", &StrokeAndFillPath},
    {EmfRecord::StrokePath, "StrokePath", &StrokePath},
    {EmfRecord::AbortPath, "AbortPath", &AbortPath},
    {EmfRecord::SelectClipPath, "SelectClipPath", &SelectClipPath},
    {EmfRecord::FillRgn, "FillRgn", &FillRgn},
    {EmfRecord::InvertRgn, "InvertRgn", &InvertRgn},
    {EmfRecord::PaintRgn, "PaintRgn", &PaintRgn},
    {EmfRecord::ExtSelectClipRgn, "ExtSelectClipRgn", &ExtSelectClipRgn},
    {EmfRecord::BitBlt, "BitBlt", &BitBlt},
    {EmfRecord::StretchBlt, "StretchBlt", &StretchBlt},
    {EmfRecord::SetDIBitsToDevice, "SetDIBitsToDevice", &SetDIBitsToDevice},
    {EmfRecord::StretchDIBits, "StretchDIBits", &StretchDIBits},
    {EmfRecord::ExtTextOutA, "ExtTextOutA", &ExtTextOutA},
    {EmfRecord::ExtTextOutW, "ExtTextOutW", &ExtTextOutW},
    {EmfRecord::SmallTextOut, "SmallTextOut", &SmallTextOut},
    {EmfRecord::GradientFill, "GradientFill", &GradientFill},
    {EmfRecord::PolyTextOutA, "PolyTextOutA", &PolyTextOutA},
    {EmfRecord::PolyTextOutW, "PolyTextOutW", &PolyTextOutW},
};

// Record types run from 1 to a little over 120: the lookup is by index.
constexpr std::size_t kTypeLimit = 128;

constexpr std::array<const RecordKind*, kTypeLimit> MakeIndex() {
  std::array<const RecordKind*, kTypeLimit> index{};
  for (const RecordKind& kind : kRecords) index[static_cast<std::size_t>(kind.type)] = &kind;
  return index;
}
constexpr std::array<const RecordKind*, kTypeLimit> kIndex = MakeIndex();

constexpr bool EachTypeOnce() {
  std::size_t named = 0;
  for (const RecordKind* kind : kIndex) named += kind != nullptr;
  return named == std::size(kRecords);
}
static_assert(EachTypeOnce(), "a record type listed twice would hide its second handler");

const RecordKind* Find(std::uint32_t number) { return number < kTypeLimit ? kIndex[number] : nullptr; }

[[noreturn]] void Fail(MetafileError error, std::size_t pos, std::optional<std::uint32_t> number = std::nullopt) {
  const RecordKind* kind = number ? Find(*number) : nullptr;
  FailAtRecord(error, pos, number, kind ? kind->name : nullptr);
}

}  // namespace

const char* EmfRecordName(std::uint32_t number) {
  const RecordKind* kind = Find(number);
  return kind ? kind->name : nullptr;
}

void PlayEmf(std::span<const std::uint8_t> file, Playback& pb, bool tolerant) {
  // The header's handle count sizes the table; indices beyond it grow it.
  std::size_t pos = 0;
  while (pos < file.size()) {
    if (file.size() - pos < 8) {
      if (tolerant) return;
      Fail(MetafileError::RecordOutsideFile, pos);
    }
    ByteReader head(file.subspan(pos, 8));
    const std::uint32_t number = head.U32LE();
    const std::uint32_t size = head.U32LE();
    if (size < 8 || size > file.size() - pos) {
      if (tolerant) return;
      Fail(size < 8 ? MetafileError::BadRecordSize : MetafileError::RecordOutsideFile, pos, number);
    }
    if (number == static_cast<std::uint32_t>(EmfRecord::Eof)) return;
    const RecordKind* kind = Find(number);
    if (kind && kind->handler) {
      const auto record = file.subspan(pos, size);
      Call call{kind->type, record, ByteReader(record.subspan(8)), pb};
      try {
        kind->handler(call);
      } catch (const EReadError&) {
        if (!tolerant) Fail(MetafileError::ParametersOutsideRecord, pos, number);
      } catch (const EInvalidMetafile& e) {
        if (!tolerant) Fail(e.Error(), pos, number);
      }
    }
    pos += size;
  }
}

}  // namespace pixtrel::metafile
