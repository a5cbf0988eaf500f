// 16-bit metafile records. Parameters are stored in the reverse order of the
// drawing call's arguments, as 16-bit words; points are x, y pairs.
#include <QString>

#include <algorithm>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "codecs/metafile/players.h"
#include "core/byte_reader.h"

namespace pixtrel::metafile {

namespace {

QRectF Box(double left, double top, double right, double bottom) {
  return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QString Text8(std::span<const std::uint8_t> bytes) {
  // The records carry text in the font's ANSI code page; Latin-1 keeps the
  // Western characters.
  return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QPolygonF Points(ByteReader& r, std::size_t count) {
  if (count * 4 > r.Remaining()) throw EInvalidMetafile();
  QPolygonF points;
  points.reserve(static_cast<qsizetype>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const double x = r.S16LE();
    const double y = r.S16LE();
    points.append(QPointF(x, y));
  }
  return points;
}

// A region object: header, bounding box, then scans of x ranges.
QRegion ReadRegion(ByteReader& r) {
  if (r.Remaining() < 22) {
    // Some writers store only a rectangle.
    const int a = r.S16LE(), b = r.S16LE(), c = r.S16LE(), d = r.S16LE();
    return QRegion(QRect(QPoint(std::min(a, c), std::min(b, d)), QPoint(std::max(a, c) - 1, std::max(b, d) - 1)));
  }
  r.Skip(2 + 2 + 4 + 2);  // next in chain, object type, object count, region size
  const int scanCount = r.S16LE();
  r.Skip(2 + 8);  // largest scan, bounding rectangle
  QRegion region;
  int rects = 0;
  for (int s = 0; s < scanCount; ++s) {
    const int count = r.U16LE();
    const int top = r.S16LE();
    const int bottom = r.S16LE();
    for (int i = 0; i + 1 < count; i += 2) {
      const int left = r.S16LE();
      const int right = r.S16LE();
      if (right > left && bottom > top && ++rects <= 2000) region += QRect(left, top, right - left, bottom - top);
    }
    r.Skip(2);
  }
  return region;
}

BrushObject DibBrush(std::span<const std::uint8_t> rest, bool painting) {
  BrushObject brush;
  brush.style = 5;
  brush.color = Qt::black;
  if (painting) brush.pattern = DecodeDib(rest, {});
  return brush;
}

void PlayRecord(std::uint16_t function, ByteReader& r, std::span<const std::uint8_t> params, Playback& pb) {
  DcState& s = pb.State();
  switch (function) {
    case 0x001E:
      pb.SaveDC();
      break;
    case 0x0127:
      pb.RestoreDC(r.S16LE());
      break;
    case 0x0102:
      s.bkMode = r.U16LE();
      break;
    case 0x0103:
      pb.SetMapMode(r.U16LE());
      break;
    case 0x0104:
      s.rop2 = r.U16LE();
      break;
    case 0x0106:
      s.polyFillMode = r.U16LE();
      break;
    case 0x012E:
      s.textAlign = r.U16LE();
      break;
    case 0x0201:
      s.bkColor = ColorRef(r.U32LE());
      break;
    case 0x0209:
      s.textColor = ColorRef(r.U32LE());
      break;
    case 0x020B: {
      const double y = r.S16LE();
      pb.SetWindowOrg(r.S16LE(), y);
      break;
    }
    case 0x020C: {
      const double y = r.S16LE();
      pb.SetWindowExt(r.S16LE(), y);
      break;
    }
    case 0x020D: {
      const double y = r.S16LE();
      pb.SetViewportOrg(r.S16LE(), y);
      break;
    }
    case 0x020E: {
      const double y = r.S16LE();
      pb.SetViewportExt(r.S16LE(), y);
      break;
    }
    case 0x020F: {  // OffsetWindowOrg
      const double y = r.S16LE();
      const double x = r.S16LE();
      pb.SetWindowOrg(s.windowOrg.x() + x, s.windowOrg.y() + y);
      break;
    }
    case 0x0410: {  // ScaleWindowExt: yDenom, yNum, xDenom, xNum
      const double yDenom = r.S16LE(), yNum = r.S16LE(), xDenom = r.S16LE(), xNum = r.S16LE();
      if (xDenom != 0 && yDenom != 0)
        pb.SetWindowExt(s.windowExt.width() * xNum / xDenom, s.windowExt.height() * yNum / yDenom);
      break;
    }
    case 0x0214: {
      const double y = r.S16LE();
      pb.MoveTo({static_cast<double>(r.S16LE()), y});
      break;
    }
    case 0x0213: {
      const double y = r.S16LE();
      pb.LineTo({static_cast<double>(r.S16LE()), y});
      break;
    }
    case 0x0324:
    case 0x0325: {
      const std::size_t count = r.U16LE();
      const QPolygonF points = Points(r, count);
      if (function == 0x0324)
        pb.Polygon(points);
      else
        pb.Polyline(points);
      break;
    }
    case 0x0538: {  // PolyPolygon
      const std::size_t polygons = r.U16LE();
      if (polygons * 2 > r.Remaining()) throw EInvalidMetafile();
      std::vector<std::size_t> counts(polygons);
      for (auto& c : counts) c = r.U16LE();
      std::vector<QPolygonF> list;
      for (std::size_t c : counts) list.push_back(Points(r, c));
      pb.PolyPolygon(list);
      break;
    }
    case 0x041B:
    case 0x0418: {  // Rectangle, Ellipse: bottom, right, top, left
      const double bottom = r.S16LE(), right = r.S16LE(), top = r.S16LE(), left = r.S16LE();
      if (function == 0x041B)
        pb.Rectangle(Box(left, top, right, bottom));
      else
        pb.Ellipse(Box(left, top, right, bottom));
      break;
    }
    case 0x061C: {  // RoundRect: height, width, bottom, right, top, left
      const double h = r.S16LE(), w = r.S16LE();
      const double bottom = r.S16LE(), right = r.S16LE(), top = r.S16LE(), left = r.S16LE();
      pb.RoundRect(Box(left, top, right, bottom), w, h);
      break;
    }
    case 0x0817:
    case 0x081A:
    case 0x0830: {  // Arc, Pie, Chord: yEnd, xEnd, yStart, xStart, bottom, right, top, left
      const double yEnd = r.S16LE(), xEnd = r.S16LE(), yStart = r.S16LE(), xStart = r.S16LE();
      const double bottom = r.S16LE(), right = r.S16LE(), top = r.S16LE(), left = r.S16LE();
      const auto kind = function == 0x0817   ? Playback::ArcKind::Arc
                        : function == 0x081A ? Playback::ArcKind::Pie
                                             : Playback::ArcKind::Chord;
      pb.Arc(kind, Box(left, top, right, bottom), {xStart, yStart}, {xEnd, yEnd});
      break;
    }
    case 0x041F: {  // SetPixel: colour, y, x
      const QColor color = ColorRef(r.U32LE());
      const double y = r.S16LE();
      pb.SetPixel({static_cast<double>(r.S16LE()), y}, color);
      break;
    }
    case 0x0521: {  // TextOut: count, string (even length), y, x
      const std::size_t count = r.U16LE();
      const auto bytes = r.Take(count);
      if (count & 1) r.Skip(1);
      const double y = r.S16LE();
      const double x = r.S16LE();
      pb.TextOut({x, y}, Text8(bytes), {}, 0, std::nullopt);
      break;
    }
    case 0x0A32: {  // ExtTextOut: y, x, count, options, [rect], string, [dx]
      const double y = r.S16LE();
      const double x = r.S16LE();
      const std::size_t count = r.U16LE();
      const std::uint16_t options = r.U16LE();
      std::optional<QRectF> rect;
      if ((options & 0x06) && r.Remaining() >= 8 + count) {
        const double left = r.S16LE(), top = r.S16LE(), right = r.S16LE(), bottom = r.S16LE();
        rect = Box(left, top, right, bottom);
      }
      const auto bytes = r.Take(count);
      if (count & 1 && r.Remaining() > 0) r.Skip(1);
      std::vector<double> dx;
      if (r.Remaining() >= count * 2)
        for (std::size_t i = 0; i < count; ++i) dx.push_back(r.S16LE());
      pb.TextOut({x, y}, Text8(bytes), dx, options, rect);
      break;
    }
    case 0x0415:
    case 0x0416: {  // Exclude-, IntersectClipRect: bottom, right, top, left
      const double bottom = r.S16LE(), right = r.S16LE(), top = r.S16LE(), left = r.S16LE();
      if (function == 0x0416)
        pb.IntersectClipRect(Box(left, top, right, bottom));
      else
        pb.ExcludeClipRect(Box(left, top, right, bottom));
      break;
    }
    case 0x0220: {  // OffsetClipRgn: y, x (logical)
      const double y = r.S16LE(), x = r.S16LE();
      pb.OffsetClip({x, y});
      break;
    }
    case 0x012C: {  // SelectClipRegion
      const std::uint16_t index = r.U16LE();
      const GdiObject* object = pb.Object(index);
      if (const auto* region = object ? std::get_if<RegionObject>(object) : nullptr)
        pb.CombineClip(pb.LogicalRegionToDestination(region->region), 5);
      else
        pb.CombineClip(std::nullopt, 5);
      break;
    }
    case 0x012D:
      pb.SelectObject(r.U16LE());
      break;
    case 0x01F0:
      pb.DeleteObject(r.U16LE());
      break;
    case 0x02FA: {  // CreatePenIndirect: style, width (x, y), colour
      PenObject pen;
      pen.style = r.U16LE();
      pen.width = r.S16LE();
      r.Skip(2);
      pen.color = ColorRef(r.U32LE());
      pb.AddObject(pen);
      break;
    }
    case 0x02FC: {  // CreateBrushIndirect: style, colour, hatch
      BrushObject brush;
      brush.style = r.U16LE();
      brush.color = ColorRef(r.U32LE());
      brush.hatch = r.U16LE();
      if (brush.style > 2) brush.style = 0;
      pb.AddObject(brush);
      break;
    }
    case 0x0142: {  // DibCreatePatternBrush: style, usage, DIB
      r.Skip(4);
      pb.AddObject(DibBrush(params.subspan(4), pb.Painting()));
      break;
    }
    case 0x01F9: {  // CreatePatternBrush with a device-dependent bitmap
      BrushObject brush;
      brush.color = Qt::gray;
      pb.AddObject(brush);
      break;
    }
    case 0x02FB: {  // CreateFontIndirect
      FontObject font;
      font.height = r.S16LE();
      font.width = r.S16LE();
      font.escapement = r.S16LE();
      r.Skip(2);  // orientation
      font.weight = r.S16LE();
      font.italic = r.U8() != 0;
      font.underline = r.U8() != 0;
      font.strikeOut = r.U8() != 0;
      r.Skip(5);  // charset, precisions, quality, pitch and family
      const auto face = r.Take(std::min<std::size_t>(32, r.Remaining()));
      std::size_t length = 0;
      while (length < face.size() && face[length] != 0) ++length;
      font.face = Text8(face.first(length));
      pb.AddObject(font);
      break;
    }
    case 0x00F7: {  // CreatePalette
      pb.AddObject(PaletteObject{});
      break;
    }
    case 0x06FF: {  // CreateRegion
      pb.AddObject(RegionObject{ReadRegion(r)});
      break;
    }
    case 0x0228: {  // FillRegion: region, brush
      const std::uint16_t region = r.U16LE();
      const std::uint16_t brush = r.U16LE();
      const GdiObject* ro = pb.Object(region);
      const GdiObject* bo = pb.Object(brush);
      if (ro && bo && std::holds_alternative<RegionObject>(*ro) && std::holds_alternative<BrushObject>(*bo))
        pb.FillRegion(pb.LogicalRegionToDestination(std::get<RegionObject>(*ro).region), std::get<BrushObject>(*bo));
      break;
    }
    case 0x012B:
    case 0x012A: {  // PaintRegion, InvertRegion
      const GdiObject* ro = pb.Object(r.U16LE());
      if (ro && std::holds_alternative<RegionObject>(*ro)) {
        const QRegion region = pb.LogicalRegionToDestination(std::get<RegionObject>(*ro).region);
        if (function == 0x012B)
          pb.FillRegion(region, s.brush);
        else
          pb.InvertRegion(region);
      }
      break;
    }
    case 0x061D: {  // PatBlt: rop, height, width, y, x
      const std::uint32_t rop = r.U32LE();
      const double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
      pb.PatBlt(QRectF(x, y, w, h), rop);
      break;
    }
    case 0x0940:
    case 0x0B41: {  // DibBitBlt, DibStretchBlt
      const bool stretch = function == 0x0B41;
      const bool withBitmap = params.size() != (static_cast<std::size_t>(function >> 8) * 2);
      const std::uint32_t rop = r.U32LE();
      double srcH = 0, srcW = 0;
      if (stretch) {
        srcH = r.S16LE();
        srcW = r.S16LE();
      }
      const double ySrc = r.S16LE(), xSrc = r.S16LE();
      if (!withBitmap) r.Skip(2);
      const double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
      if (!stretch) {
        srcW = w;
        srcH = h;
      }
      if (withBitmap) {
        if (!pb.Painting()) {
          pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
          break;
        }
        const QImage image = DecodeDib(params.subspan(r.Position()), {});
        pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, ySrc, srcW, srcH), rop);
      } else {
        pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
      }
      break;
    }
    case 0x0F43: {  // StretchDib: rop, usage, srcH, srcW, ySrc, xSrc, h, w, y, x, DIB
      const std::uint32_t rop = r.U32LE();
      r.Skip(2);
      const double srcH = r.S16LE(), srcW = r.S16LE(), ySrc = r.S16LE(), xSrc = r.S16LE();
      const double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
      if (!pb.Painting()) {
        pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
        break;
      }
      const QImage image = DecodeDib(params.subspan(r.Position()), {});
      if (image.isNull()) break;
      // Source rows count from the bottom of the picture.
      const double top = image.height() - ySrc - srcH;
      pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, top, srcW, srcH), rop);
      break;
    }
    case 0x0D33: {  // SetDibToDev: usage, scans, start, yDib, xDib, h, w, y, x, DIB
      r.Skip(2);
      const double scans = r.U16LE();
      const double start = r.U16LE();
      const double yDib = r.S16LE(), xDib = r.S16LE();
      const double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
      if (!pb.Painting()) {
        pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, 0x00CC0020);
        break;
      }
      const QImage image = DecodeDib(params.subspan(r.Position()), {});
      if (image.isNull()) break;
      (void)scans;
      (void)start;
      const double top = image.height() - yDib - h;
      pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xDib, top, w, h), 0x00CC0020);
      break;
    }
    case 0x0922:
    case 0x0B23:  // BitBlt, StretchBlt with device-dependent bitmaps: slot-free, not drawn
    case 0x0626:  // Escape
    default:
      break;
  }
}

}  // namespace

void PlayWmf(std::span<const std::uint8_t> file, std::size_t start, std::size_t objectCount, Playback& pb,
             bool tolerant) {
  pb.ResizeTable(objectCount);
  std::size_t pos = start;
  while (pos < file.size()) {
    if (file.size() - pos < 6) {
      if (tolerant) return;
      throw EInvalidMetafile();
    }
    ByteReader head(file.subspan(pos, 6));
    const std::uint64_t words = head.U32LE();
    const std::uint16_t function = head.U16LE();
    if (function == 0x0000) return;
    if (words < 3 || words * 2 > file.size() - pos) {
      if (tolerant) return;
      throw EInvalidMetafile();
    }
    const auto params = file.subspan(pos + 6, static_cast<std::size_t>(words * 2 - 6));
    ByteReader r(params);
    try {
      PlayRecord(function, r, params, pb);
    } catch (const EReadError&) {
      if (!tolerant) throw EInvalidMetafile();
    } catch (const EInvalidMetafile&) {
      if (!tolerant) throw;
    }
    pos += static_cast<std::size_t>(words * 2);
  }
}

}  // namespace pixtrel::metafile
