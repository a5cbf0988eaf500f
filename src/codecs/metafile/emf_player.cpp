// Enhanced metafile records: a 32-bit type and size, then parameters in the
// drawing call's order. Offsets to bitmaps and strings count from the start
// of the record and must stay inside it.
#include <QString>

#include <cstring>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "codecs/metafile/players.h"
#include "core/byte_reader.h"

namespace pixtrel::metafile {

namespace {

constexpr std::uint32_t kEmrEof = 14;

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
  if (count > r.Remaining() / (small ? 4 : 8)) throw EInvalidMetafile();
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
  if (offset > record.size() || size > record.size() - offset) throw EInvalidMetafile();
  return record.subspan(offset, size);
}

// RGNDATA: a 32-byte header with the rectangle count, then the rectangles.
QRegion ReadRegionData(std::span<const std::uint8_t> data) {
  ByteReader r(data);
  r.Skip(8);
  const std::uint32_t count = r.U32LE();
  r.Skip(4 + 16);
  if (count > r.Remaining() / 16) throw EInvalidMetafile();
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
  if (count > record.size()) throw EInvalidMetafile();
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

void PlayRecord(std::uint32_t type, ByteReader& r, std::span<const std::uint8_t> record, Playback& pb) {
  DcState& s = pb.State();
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 85:
    case 86:
    case 87:
    case 88:
    case 89: {
      r.Skip(16);
      const bool small = type >= 85;
      const std::size_t count = r.U32LE();
      const QPolygonF points = ReadPoints(r, count, small);
      switch (small ? type - 83 : type) {
        case 2:
          pb.PolyBezier(points);
          break;
        case 3:
          pb.Polygon(points);
          break;
        case 4:
          pb.Polyline(points);
          break;
        case 5:
          pb.PolyBezierTo(points);
          break;
        case 6:
          pb.PolylineTo(points);
          break;
        default:
          break;
      }
      break;
    }
    case 7:
    case 8:
    case 90:
    case 91: {
      r.Skip(16);
      const bool small = type >= 90;
      const std::size_t polys = r.U32LE();
      const std::size_t total = r.U32LE();
      if (polys > r.Remaining() / 4) throw EInvalidMetafile();
      std::vector<std::size_t> counts(polys);
      std::size_t sum = 0;
      for (auto& c : counts) {
        c = r.U32LE();
        if (c > total - std::min(sum, total)) throw EInvalidMetafile();
        sum += c;
      }
      std::vector<QPolygonF> list;
      for (std::size_t c : counts) list.push_back(ReadPoints(r, c, small));
      if (type == 7 || type == 90)
        pb.PolyPolyline(list);
      else
        pb.PolyPolygon(list);
      break;
    }
    case 56:
    case 92: {  // PolyDraw
      r.Skip(16);
      const std::size_t count = r.U32LE();
      const QPolygonF points = ReadPoints(r, count, type == 92);
      const auto types = r.Take(count);
      pb.PolyDraw(points, types);
      break;
    }
    case 9: {
      const QPointF p = ReadPoint(r);
      pb.SetWindowExt(p.x(), p.y());
      break;
    }
    case 10: {
      const QPointF p = ReadPoint(r);
      pb.SetWindowOrg(p.x(), p.y());
      break;
    }
    case 11: {
      const QPointF p = ReadPoint(r);
      pb.SetViewportExt(p.x(), p.y());
      break;
    }
    case 12: {
      const QPointF p = ReadPoint(r);
      pb.SetViewportOrg(p.x(), p.y());
      break;
    }
    case 31:
    case 32: {  // ScaleViewportExtEx, ScaleWindowExtEx
      const double xNum = r.S32LE(), xDenom = r.S32LE(), yNum = r.S32LE(), yDenom = r.S32LE();
      if (xDenom == 0 || yDenom == 0) break;
      if (type == 31)
        pb.SetViewportExt(s.viewportExt.width() * xNum / xDenom, s.viewportExt.height() * yNum / yDenom);
      else
        pb.SetWindowExt(s.windowExt.width() * xNum / xDenom, s.windowExt.height() * yNum / yDenom);
      break;
    }
    case 17:
      pb.SetMapMode(static_cast<int>(r.U32LE()));
      break;
    case 18:
      s.bkMode = static_cast<int>(r.U32LE());
      break;
    case 19:
      s.polyFillMode = static_cast<int>(r.U32LE());
      break;
    case 20:
      s.rop2 = static_cast<int>(r.U32LE());
      break;
    case 22:
      s.textAlign = r.U32LE();
      break;
    case 24:
      s.textColor = ColorRef(r.U32LE());
      break;
    case 25:
      s.bkColor = ColorRef(r.U32LE());
      break;
    case 57:
      s.clockwiseArcs = r.U32LE() == 2;
      break;
    case 26:
      pb.OffsetClip(ReadPoint(r));
      break;  // OffsetClipRgn, logical
    case 27:
      pb.MoveTo(ReadPoint(r));
      break;
    case 54:
      pb.LineTo(ReadPoint(r));
      break;
    case 29:
      pb.ExcludeClipRect(ReadBox(r));
      break;
    case 30:
      pb.IntersectClipRect(ReadBox(r));
      break;
    case 33:
      pb.SaveDC();
      break;
    case 34:
      pb.RestoreDC(r.S32LE());
      break;
    case 35:
      s.world = ReadXform(r);
      break;
    case 36: {
      const QTransform x = ReadXform(r);
      switch (r.U32LE()) {
        case 1:
          s.world = QTransform();
          break;
        case 2:
          s.world = x * s.world;
          break;
        case 3:
          s.world = s.world * x;
          break;
        case 4:
          s.world = x;
          break;
        default:
          break;
      }
      break;
    }
    case 37:
      pb.SelectObject(r.U32LE());
      break;
    case 40:
      pb.DeleteObject(r.U32LE());
      break;
    case 38: {  // CreatePen: index, LOGPEN
      const std::uint32_t index = r.U32LE();
      PenObject pen;
      pen.style = r.U32LE();
      pen.width = r.S32LE();
      r.Skip(4);
      pen.color = ColorRef(r.U32LE());
      pb.SetObject(index, pen);
      break;
    }
    case 95: {  // ExtCreatePen: index, bitmap offsets, LOGPEN_EX
      const std::uint32_t index = r.U32LE();
      r.Skip(16);
      PenObject pen;
      pen.style = r.U32LE();
      pen.width = r.U32LE();
      const std::uint32_t brushStyle = r.U32LE();
      pen.color = ColorRef(r.U32LE());
      if (brushStyle == 1) pen.style = (pen.style & ~0x0Fu) | 5;  // a hollow brush draws nothing
      if (!(pen.style & 0x10000)) pen.width = 0;                  // cosmetic pens are one pixel
      pb.SetObject(index, pen);
      break;
    }
    case 39: {  // CreateBrushIndirect
      const std::uint32_t index = r.U32LE();
      BrushObject brush;
      brush.style = r.U32LE();
      brush.color = ColorRef(r.U32LE());
      brush.hatch = r.U32LE();
      if (brush.style > 2) brush.style = 0;
      pb.SetObject(index, brush);
      break;
    }
    case 93:
    case 94: {  // CreateMonoBrush, CreateDibPatternBrushPt
      const std::uint32_t index = r.U32LE();
      pb.SetObject(index, PatternBrush(record, r, pb.Painting()));
      break;
    }
    case 82: {  // ExtCreateFontIndirectW
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
        const char16_t c = r.U16LE();
        if (c == 0) break;
        font.face.append(QChar(c));
      }
      pb.SetObject(index, font);
      break;
    }
    case 49:
      pb.SetObject(r.U32LE(), PaletteObject{});
      break;
    case 99:
    case 122:
      pb.SetObject(r.U32LE(), OtherObject{});
      break;    // colour spaces
    case 41: {  // AngleArc
      const QPointF centre = ReadPoint(r);
      const double radius = r.U32LE();
      const double start = ReadFloat(r);
      const double sweep = ReadFloat(r);
      if (std::isfinite(start) && std::isfinite(sweep)) pb.AngleArc(centre, radius, start, sweep);
      break;
    }
    case 42:
      pb.Ellipse(ReadBox(r));
      break;
    case 43:
      pb.Rectangle(ReadBox(r));
      break;
    case 44: {
      const QRectF box = ReadBox(r);
      const QPointF corner = ReadPoint(r);
      pb.RoundRect(box, corner.x(), corner.y());
      break;
    }
    case 45:
    case 46:
    case 47:
    case 55: {
      const QRectF box = ReadBox(r);
      const QPointF start = ReadPoint(r);
      const QPointF end = ReadPoint(r);
      const auto kind = type == 45   ? Playback::ArcKind::Arc
                        : type == 46 ? Playback::ArcKind::Chord
                        : type == 47 ? Playback::ArcKind::Pie
                                     : Playback::ArcKind::ArcTo;
      pb.Arc(kind, box, start, end);
      break;
    }
    case 15: {  // SetPixelV
      const QPointF p = ReadPoint(r);
      pb.SetPixel(p, ColorRef(r.U32LE()));
      break;
    }
    case 59:
      pb.BeginPath();
      break;
    case 60:
      pb.EndPath();
      break;
    case 61:
      pb.CloseFigure();
      break;
    case 62:
      pb.FillPath();
      break;
    case 63:
      pb.StrokeAndFillPath();
      break;
    case 64:
      pb.StrokePath();
      break;
    case 68:
      pb.AbortPath();
      break;
    case 67:
      pb.SelectClipPath(static_cast<int>(r.U32LE()));
      break;
    case 71: {  // FillRgn: bounds, size, brush, RGNDATA
      r.Skip(16);
      const std::uint32_t size = r.U32LE();
      const std::uint32_t brushIndex = r.U32LE();
      const QRegion region = ReadRegionData(Part(record, static_cast<std::uint32_t>(r.Position() + 8), size));
      const GdiObject* object = pb.Object(brushIndex);
      BrushObject brush = s.brush;
      if (brushIndex & 0x80000000u) {
        const BrushObject saved = s.brush;
        pb.SelectStock(brushIndex & 0x7FFFFFFFu);
        brush = s.brush;
        s.brush = saved;
      } else if (object && std::holds_alternative<BrushObject>(*object)) {
        brush = std::get<BrushObject>(*object);
      }
      pb.FillRegion(pb.LogicalRegionToDestination(region), brush);
      break;
    }
    case 73:
    case 74: {  // InvertRgn, PaintRgn
      r.Skip(16);
      const std::uint32_t size = r.U32LE();
      const QRegion region = pb.LogicalRegionToDestination(
          ReadRegionData(Part(record, static_cast<std::uint32_t>(r.Position() + 8), size)));
      if (type == 73)
        pb.InvertRegion(region);
      else
        pb.FillRegion(region, s.brush);
      break;
    }
    case 75: {  // ExtSelectClipRgn: size, mode, RGNDATA in device units
      const std::uint32_t size = r.U32LE();
      const int mode = static_cast<int>(r.U32LE());
      if (size == 0) {
        if (mode == 5) pb.CombineClip(std::nullopt, 5);
        break;
      }
      const QRegion region = ReadRegionData(Part(record, 16, size));
      pb.CombineClip(pb.DeviceRegionToDestination(region), mode);
      break;
    }
    case 76:
    case 77: {  // BitBlt, StretchBlt
      r.Skip(16);
      const double x = r.S32LE(), y = r.S32LE(), w = r.S32LE(), h = r.S32LE();
      const std::uint32_t rop = r.U32LE();
      const double xSrc = r.S32LE(), ySrc = r.S32LE();
      r.Skip(24 + 4 + 4);  // source transform, background colour, usage
      const std::uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
      double wSrc = w, hSrc = h;
      if (type == 77) {
        wSrc = r.S32LE();
        hSrc = r.S32LE();
      }
      if (cbBmi == 0) {
        pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
        break;
      }
      const auto info = Part(record, offBmi, cbBmi);
      const auto bits = Part(record, offBits, cbBits);
      if (!pb.Painting()) {
        pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
        break;
      }
      const QImage image = DecodeDib(info, bits);
      pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, ySrc, wSrc, hSrc), rop);
      break;
    }
    case 80:
    case 81: {  // SetDIBitsToDevice, StretchDIBits
      r.Skip(16);
      const double x = r.S32LE(), y = r.S32LE();
      const double xSrc = r.S32LE(), ySrc = r.S32LE(), wSrc = r.S32LE(), hSrc = r.S32LE();
      const std::uint32_t offBmi = r.U32LE(), cbBmi = r.U32LE(), offBits = r.U32LE(), cbBits = r.U32LE();
      r.Skip(4);  // usage
      std::uint32_t rop = 0x00CC0020;
      double w = wSrc, h = hSrc;
      if (type == 81) {
        rop = r.U32LE();
        w = r.S32LE();
        h = r.S32LE();
      }
      const auto info = Part(record, offBmi, cbBmi);
      const auto bits = Part(record, offBits, cbBits);
      if (!pb.Painting()) pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
      if (!pb.Painting() || cbBmi == 0) break;
      const QImage image = DecodeDib(info, bits);
      if (image.isNull()) break;
      const double top = TopDown(info) ? ySrc : image.height() - ySrc - hSrc;
      pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, top, wSrc, hSrc), rop);
      break;
    }
    case 83:
    case 84: {             // ExtTextOutA, ExtTextOutW
      r.Skip(16 + 4 + 8);  // bounds, graphics mode, scales
      ExtTextOut(r, record, type == 84, pb);
      break;
    }
    case 96:
    case 97: {  // PolyTextOutA, PolyTextOutW
      r.Skip(16 + 4 + 8);
      const std::uint32_t strings = r.U32LE();
      if (strings > r.Remaining() / 40) throw EInvalidMetafile();
      for (std::uint32_t i = 0; i < strings; ++i) ExtTextOut(r, record, type == 97, pb);
      break;
    }
    default:
      break;  // comments, palettes, colour management and the rest
  }
}

}  // namespace

void PlayEmf(std::span<const std::uint8_t> file, Playback& pb, bool tolerant) {
  // The header's handle count sizes the table; indices beyond it grow it.
  std::size_t pos = 0;
  while (pos < file.size()) {
    if (file.size() - pos < 8) {
      if (tolerant) return;
      throw EInvalidMetafile();
    }
    ByteReader head(file.subspan(pos, 8));
    const std::uint32_t type = head.U32LE();
    const std::uint32_t size = head.U32LE();
    if (size < 8 || size > file.size() - pos) {
      if (tolerant) return;
      throw EInvalidMetafile();
    }
    if (type == kEmrEof) return;
    const auto record = file.subspan(pos, size);
    ByteReader r(record.subspan(8));
    try {
      if (type != 1) PlayRecord(type, r, record, pb);
    } catch (const EReadError&) {
      if (!tolerant) throw EInvalidMetafile();
    } catch (const EInvalidMetafile&) {
      if (!tolerant) throw;
    }
    pos += size;
  }
}

}  // namespace pixtrel::metafile
