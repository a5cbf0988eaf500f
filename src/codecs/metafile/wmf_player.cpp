// 16-bit metafile records. Parameters are stored in the reverse order of the
// drawing call's arguments, as 16-bit words; points are x, y pairs.
#include <QString>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "codecs/metafile/players.h"
#include "codecs/metafile/record_types.h"
#include "core/byte_reader.h"

namespace pixtrel::metafile {

namespace {

QRectF Box(double left, double top, double right, double bottom) {
  return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Four words in the files' order: bottom, right, top, left.
QRectF ReadBox(ByteReader& r) {
  const double bottom = r.S16LE(), right = r.S16LE(), top = r.S16LE(), left = r.S16LE();
  return Box(left, top, right, bottom);
}

// Two words in the files' order: y, x.
QPointF ReadPoint(ByteReader& r) {
  const double y = r.S16LE();
  const double x = r.S16LE();
  return {x, y};
}

QString Text8(std::span<const std::uint8_t> bytes) {
  // The records carry text in the font's ANSI code page; Latin-1 keeps the
  // Western characters.
  return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QPolygonF Points(ByteReader& r, std::size_t count) {
  if (count * 4 > r.Remaining()) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
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

// One record being played: its type, its parameters and a reader over them.
struct Call {
  WmfRecord type;
  std::span<const std::uint8_t> params;
  ByteReader r;
  Playback& pb;

  DcState& State() { return pb.State(); }
  // An object of the table as the kind T, or nullptr.
  template <typename T>
  const T* ObjectAs(std::uint32_t index) const {
    const GdiObject* object = pb.Object(index);
    return object ? std::get_if<T>(object) : nullptr;
  }
};

using Handler = void (*)(Call&);

// Device-context state.

void SaveDC(Call& c) { c.pb.SaveDC(); }
void RestoreDC(Call& c) { c.pb.RestoreDC(c.r.S16LE()); }
void SetBkMode(Call& c) { c.State().bkMode = c.r.U16LE(); }
void SetMapMode(Call& c) { c.pb.SetMapMode(c.r.U16LE()); }
void SetRop2(Call& c) { c.State().rop2 = c.r.U16LE(); }
void SetPolyFillMode(Call& c) { c.State().polyFillMode = c.r.U16LE(); }
void SetTextAlign(Call& c) { c.State().textAlign = c.r.U16LE(); }
void SetBkColor(Call& c) { c.State().bkColor = ColorRef(c.r.U32LE()); }
void SetTextColor(Call& c) { c.State().textColor = ColorRef(c.r.U32LE()); }

void SetWindowOrg(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetWindowOrg(p.x(), p.y());
}
void SetWindowExt(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetWindowExt(p.x(), p.y());
}
void SetViewportOrg(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetViewportOrg(p.x(), p.y());
}
void SetViewportExt(Call& c) {
  const QPointF p = ReadPoint(c.r);
  c.pb.SetViewportExt(p.x(), p.y());
}
void OffsetWindowOrg(Call& c) {
  const QPointF p = ReadPoint(c.r);
  const QPointF org = c.State().windowOrg;
  c.pb.SetWindowOrg(org.x() + p.x(), org.y() + p.y());
}
// yDenom, yNum, xDenom, xNum
void ScaleWindowExt(Call& c) {
  const double yDenom = c.r.S16LE(), yNum = c.r.S16LE(), xDenom = c.r.S16LE(), xNum = c.r.S16LE();
  const QSizeF ext = c.State().windowExt;
  if (xDenom != 0 && yDenom != 0) c.pb.SetWindowExt(ext.width() * xNum / xDenom, ext.height() * yNum / yDenom);
}

// Clipping.

void ExcludeClipRect(Call& c) { c.pb.ExcludeClipRect(ReadBox(c.r)); }
void IntersectClipRect(Call& c) { c.pb.IntersectClipRect(ReadBox(c.r)); }
void OffsetClipRgn(Call& c) { c.pb.OffsetClip(ReadPoint(c.r)); }

void SelectClipRegion(Call& c) {
  if (const auto* region = c.ObjectAs<RegionObject>(c.r.U16LE()))
    c.pb.CombineClip(c.pb.LogicalRegionToDestination(region->region), 5);
  else
    c.pb.CombineClip(std::nullopt, 5);
}

// Objects.

void SelectObject(Call& c) { c.pb.SelectObject(c.r.U16LE()); }
void DeleteObject(Call& c) { c.pb.DeleteObject(c.r.U16LE()); }

// style, width (x, y), colour
void CreatePenIndirect(Call& c) {
  PenObject pen;
  pen.style = c.r.U16LE();
  pen.width = c.r.S16LE();
  c.r.Skip(2);
  pen.color = ColorRef(c.r.U32LE());
  c.pb.AddObject(pen);
}

// style, colour, hatch
void CreateBrushIndirect(Call& c) {
  BrushObject brush;
  brush.style = c.r.U16LE();
  brush.color = ColorRef(c.r.U32LE());
  brush.hatch = c.r.U16LE();
  if (brush.style > 2) brush.style = 0;
  c.pb.AddObject(brush);
}

// style, usage, DIB
void DibCreatePatternBrush(Call& c) {
  c.r.Skip(4);
  BrushObject brush;
  brush.style = 5;
  brush.color = Qt::black;
  if (c.pb.Painting()) brush.pattern = DecodeDib(c.params.subspan(4), {});
  c.pb.AddObject(brush);
}

// A device-dependent bitmap: the slot is taken, the pattern shows grey.
void CreatePatternBrush(Call& c) {
  BrushObject brush;
  brush.color = Qt::gray;
  c.pb.AddObject(brush);
}

void CreateFontIndirect(Call& c) {
  ByteReader& r = c.r;
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
  c.pb.AddObject(font);
}

void CreatePalette(Call& c) { c.pb.AddObject(PaletteObject{}); }
void CreateRegion(Call& c) { c.pb.AddObject(RegionObject{ReadRegion(c.r)}); }

// Regions.

// region, brush
void FillRegion(Call& c) {
  const std::uint16_t region = c.r.U16LE();
  const std::uint16_t brush = c.r.U16LE();
  const auto* ro = c.ObjectAs<RegionObject>(region);
  const auto* bo = c.ObjectAs<BrushObject>(brush);
  if (ro && bo) c.pb.FillRegion(c.pb.LogicalRegionToDestination(ro->region), *bo);
}

void PaintRegion(Call& c) {
  if (const auto* ro = c.ObjectAs<RegionObject>(c.r.U16LE()))
    c.pb.FillRegion(c.pb.LogicalRegionToDestination(ro->region), c.State().brush);
}

void InvertRegion(Call& c) {
  if (const auto* ro = c.ObjectAs<RegionObject>(c.r.U16LE()))
    c.pb.InvertRegion(c.pb.LogicalRegionToDestination(ro->region));
}

// Lines and shapes.

void MoveTo(Call& c) { c.pb.MoveTo(ReadPoint(c.r)); }
void LineTo(Call& c) { c.pb.LineTo(ReadPoint(c.r)); }

void Polygon(Call& c) {
  const std::size_t count = c.r.U16LE();
  c.pb.Polygon(Points(c.r, count));
}

void Polyline(Call& c) {
  const std::size_t count = c.r.U16LE();
  c.pb.Polyline(Points(c.r, count));
}

// the polygon count, the point count of each, then the points
void PolyPolygon(Call& c) {
  const std::size_t polygons = c.r.U16LE();
  if (polygons * 2 > c.r.Remaining()) throw EInvalidMetafile(MetafileError::ParametersOutsideRecord);
  std::vector<std::size_t> counts(polygons);
  for (auto& count : counts) count = c.r.U16LE();
  std::vector<QPolygonF> list;
  for (std::size_t count : counts) list.push_back(Points(c.r, count));
  c.pb.PolyPolygon(list);
}

void Rectangle(Call& c) { c.pb.Rectangle(ReadBox(c.r)); }
void Ellipse(Call& c) { c.pb.Ellipse(ReadBox(c.r)); }

// height, width, box
void RoundRect(Call& c) {
  const double h = c.r.S16LE(), w = c.r.S16LE();
  c.pb.RoundRect(ReadBox(c.r), w, h);
}

// end, start, box
void ArcShape(Call& c, Playback::ArcKind kind) {
  const QPointF end = ReadPoint(c.r);
  const QPointF start = ReadPoint(c.r);
  c.pb.Arc(kind, ReadBox(c.r), start, end);
}
void Arc(Call& c) { ArcShape(c, Playback::ArcKind::Arc); }
void Pie(Call& c) { ArcShape(c, Playback::ArcKind::Pie); }
void Chord(Call& c) { ArcShape(c, Playback::ArcKind::Chord); }

// colour, y, x
void SetPixel(Call& c) {
  const QColor color = ColorRef(c.r.U32LE());
  c.pb.SetPixel(ReadPoint(c.r), color);
}

// Text.

// count, string (padded to an even length), y, x
void TextOut(Call& c) {
  ByteReader& r = c.r;
  const std::size_t count = r.U16LE();
  const auto bytes = r.Take(count);
  if (count & 1) r.Skip(1);
  c.pb.TextOut(ReadPoint(r), Text8(bytes), {}, 0, std::nullopt);
}

// y, x, count, options, [rect], string, [dx]
void ExtTextOut(Call& c) {
  ByteReader& r = c.r;
  const QPointF reference = ReadPoint(r);
  const std::size_t count = r.U16LE();
  const std::uint16_t options = r.U16LE();
  std::optional<QRectF> rect;
  if ((options & 0x06) && r.Remaining() >= 8 + count) {
    // This one rectangle is stored left, top, right, bottom.
    const double left = r.S16LE(), top = r.S16LE(), right = r.S16LE(), bottom = r.S16LE();
    rect = Box(left, top, right, bottom);
  }
  const auto bytes = r.Take(count);
  if (count & 1 && r.Remaining() > 0) r.Skip(1);
  std::vector<double> dx;
  if (r.Remaining() >= count * 2)
    for (std::size_t i = 0; i < count; ++i) dx.push_back(r.S16LE());
  c.pb.TextOut(reference, Text8(bytes), dx, options, rect);
}

// Bitmaps.

// rop, height, width, y, x
void PatBlt(Call& c) {
  const std::uint32_t rop = c.r.U32LE();
  const double h = c.r.S16LE(), w = c.r.S16LE(), y = c.r.S16LE(), x = c.r.S16LE();
  c.pb.PatBlt(QRectF(x, y, w, h), rop);
}

// rop, [source height, width], source y, x, [reserved], height, width, y, x,
// then the DIB unless the record is of its fixed size.
void DibBlt(Call& c, bool stretch) {
  ByteReader& r = c.r;
  const std::size_t fixedWords = static_cast<std::size_t>(c.type) >> 8;
  const bool withBitmap = c.params.size() != fixedWords * 2;
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
  if (!withBitmap || !c.pb.Painting()) {
    c.pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
    return;
  }
  const QImage image = DecodeDib(c.params.subspan(r.Position()), {});
  c.pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, ySrc, srcW, srcH), rop);
}
void DibBitBlt(Call& c) { DibBlt(c, false); }
void DibStretchBlt(Call& c) { DibBlt(c, true); }

// rop, usage, source height, width, y, x, height, width, y, x, DIB
void StretchDib(Call& c) {
  ByteReader& r = c.r;
  const std::uint32_t rop = r.U32LE();
  r.Skip(2);
  const double srcH = r.S16LE(), srcW = r.S16LE(), ySrc = r.S16LE(), xSrc = r.S16LE();
  const double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
  if (!c.pb.Painting()) {
    c.pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, rop);
    return;
  }
  const QImage image = DecodeDib(c.params.subspan(r.Position()), {});
  if (image.isNull()) return;
  // Source rows count from the bottom of the picture.
  const double top = image.height() - ySrc - srcH;
  c.pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xSrc, top, srcW, srcH), rop);
}

// usage, scan count, first scan, DIB y, x, height, width, y, x, DIB; the
// scan range is not needed to place the picture.
void SetDibToDev(Call& c) {
  constexpr std::uint32_t kSrcCopy = 0x00CC0020;
  ByteReader& r = c.r;
  r.Skip(2 + 2 + 2);
  const double yDib = r.S16LE(), xDib = r.S16LE();
  const double h = r.S16LE(), w = r.S16LE(), y = r.S16LE(), x = r.S16LE();
  if (!c.pb.Painting()) {
    c.pb.StretchBlt(QRectF(x, y, w, h), nullptr, {}, kSrcCopy);
    return;
  }
  const QImage image = DecodeDib(c.params.subspan(r.Position()), {});
  if (image.isNull()) return;
  const double top = image.height() - yDib - h;
  c.pb.StretchBlt(QRectF(x, y, w, h), &image, QRectF(xDib, top, w, h), kSrcCopy);
}

struct RecordKind {
  WmfRecord type;
  const char* name;
  Handler handler;  // nullptr: known, and skipped
};

constexpr RecordKind kRecords[] = {
    {WmfRecord::Eof, "Eof", nullptr},
    {WmfRecord::SaveDC, "SaveDC", &SaveDC},
    {WmfRecord::RestoreDC, "RestoreDC", &RestoreDC},
    {WmfRecord::SetBkMode, "SetBkMode", &SetBkMode},
    {WmfRecord::SetMapMode, "SetMapMode", &SetMapMode},
    {WmfRecord::SetRop2, "SetRop2", &SetRop2},
    {WmfRecord::SetPolyFillMode, "SetPolyFillMode", &SetPolyFillMode},
    {WmfRecord::SetTextAlign, "SetTextAlign", &SetTextAlign},
    {WmfRecord::SetBkColor, "SetBkColor", &SetBkColor},
    {WmfRecord::SetTextColor, "SetTextColor", &SetTextColor},
    {WmfRecord::SetWindowOrg, "SetWindowOrg", &SetWindowOrg},
    {WmfRecord::SetWindowExt, "SetWindowExt", &SetWindowExt},
    {WmfRecord::SetViewportOrg, "SetViewportOrg", &SetViewportOrg},
    {WmfRecord::SetViewportExt, "SetViewportExt", &SetViewportExt},
    {WmfRecord::OffsetWindowOrg, "OffsetWindowOrg", &OffsetWindowOrg},
    {WmfRecord::ScaleWindowExt, "ScaleWindowExt", &ScaleWindowExt},
    {WmfRecord::ExcludeClipRect, "ExcludeClipRect", &ExcludeClipRect},
    {WmfRecord::IntersectClipRect, "IntersectClipRect", &IntersectClipRect},
    {WmfRecord::OffsetClipRgn, "OffsetClipRgn", &OffsetClipRgn},
    {WmfRecord::SelectClipRegion, "SelectClipRegion", &SelectClipRegion},
    {WmfRecord::SelectObject, "SelectObject", &SelectObject},
    {WmfRecord::DeleteObject, "DeleteObject", &DeleteObject},
    {WmfRecord::CreatePenIndirect, "CreatePenIndirect", &CreatePenIndirect},
    {WmfRecord::CreateBrushIndirect, "CreateBrushIndirect", &CreateBrushIndirect},
    {WmfRecord::DibCreatePatternBrush, "DibCreatePatternBrush", &DibCreatePatternBrush},
    {WmfRecord::CreatePatternBrush, "CreatePatternBrush", &CreatePatternBrush},
    {WmfRecord::CreateFontIndirect, "CreateFontIndirect", &CreateFontIndirect},
    {WmfRecord::CreatePalette, "CreatePalette", &CreatePalette},
    {WmfRecord::CreateRegion, "CreateRegion", &CreateRegion},
    {WmfRecord::FillRegion, "FillRegion", &FillRegion},
    {WmfRecord::PaintRegion, "PaintRegion", &PaintRegion},
    {WmfRecord::InvertRegion, "InvertRegion", &InvertRegion},
    {WmfRecord::MoveTo, "MoveTo", &MoveTo},
    {WmfRecord::LineTo, "LineTo", &LineTo},
    {WmfRecord::Polygon, "Polygon", &Polygon},
    {WmfRecord::Polyline, "Polyline", &Polyline},
    {WmfRecord::PolyPolygon, "PolyPolygon", &PolyPolygon},
    {WmfRecord::Rectangle, "Rectangle", &Rectangle},
    {WmfRecord::Ellipse, "Ellipse", &Ellipse},
    {WmfRecord::RoundRect, "RoundRect", &RoundRect},
    {WmfRecord::Arc, "Arc", &Arc},
    {WmfRecord::Pie, "Pie", &Pie},
    {WmfRecord::Chord, "Chord", &Chord},
    {WmfRecord::SetPixel, "SetPixel", &SetPixel},
    {WmfRecord::TextOut, "TextOut", &TextOut},
    {WmfRecord::ExtTextOut, "ExtTextOut", &ExtTextOut},
    {WmfRecord::PatBlt, "PatBlt", &PatBlt},
    {WmfRecord::DibBitBlt, "DibBitBlt", &DibBitBlt},
    {WmfRecord::DibStretchBlt, "DibStretchBlt", &DibStretchBlt},
    {WmfRecord::StretchDib, "StretchDib", &StretchDib},
    {WmfRecord::SetDibToDev, "SetDibToDev", &SetDibToDev},
    // Device-dependent bitmaps are not drawn; escapes carry nothing to draw.
    {WmfRecord::BitBlt, "BitBlt", nullptr},
    {WmfRecord::StretchBlt, "StretchBlt", nullptr},
    {WmfRecord::Escape, "Escape", nullptr},
};

constexpr bool EachTypeOnce() {
  for (std::size_t i = 0; i < std::size(kRecords); ++i)
    for (std::size_t j = i + 1; j < std::size(kRecords); ++j)
      if (kRecords[i].type == kRecords[j].type) return false;
  return true;
}
static_assert(EachTypeOnce(), "a record type listed twice would hide its second handler");

const RecordKind* Find(std::uint16_t number) {
  for (const RecordKind& kind : kRecords)
    if (static_cast<std::uint16_t>(kind.type) == number) return &kind;
  return nullptr;
}

[[noreturn]] void Fail(MetafileError error, std::size_t pos, std::optional<std::uint16_t> number = std::nullopt) {
  const RecordKind* kind = number ? Find(*number) : nullptr;
  FailAtRecord(error, pos, number, kind ? kind->name : nullptr);
}

}  // namespace

const char* WmfRecordName(std::uint16_t number) {
  const RecordKind* kind = Find(number);
  return kind ? kind->name : nullptr;
}

void PlayWmf(std::span<const std::uint8_t> file, std::size_t start, std::size_t objectCount, Playback& pb,
             bool tolerant) {
  pb.ResizeTable(objectCount);
  std::size_t pos = start;
  while (pos < file.size()) {
    if (file.size() - pos < 6) {
      if (tolerant) return;
      Fail(MetafileError::RecordOutsideFile, pos);
    }
    ByteReader head(file.subspan(pos, 6));
    const std::uint64_t words = head.U32LE();
    const std::uint16_t number = head.U16LE();
    if (number == static_cast<std::uint16_t>(WmfRecord::Eof)) return;
    if (words < 3 || words * 2 > file.size() - pos) {
      if (tolerant) return;
      Fail(words < 3 ? MetafileError::BadRecordSize : MetafileError::RecordOutsideFile, pos, number);
    }
    const RecordKind* kind = Find(number);
    if (kind && kind->handler) {
      const auto params = file.subspan(pos + 6, static_cast<std::size_t>(words * 2 - 6));
      Call call{kind->type, params, ByteReader(params), pb};
      try {
        kind->handler(call);
      } catch (const EReadError&) {
        if (!tolerant) Fail(MetafileError::ParametersOutsideRecord, pos, number);
      } catch (const EInvalidMetafile& e) {
        if (!tolerant) Fail(e.Error(), pos, number);
      }
    }
    pos += static_cast<std::size_t>(words * 2);
  }
}

}  // namespace pixtrel::metafile
