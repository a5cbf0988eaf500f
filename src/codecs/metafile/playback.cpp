// Choices where the drawing calls of the records leave room:
// - Shapes are filled and outlined in destination pixels without
//   antialiasing; a rectangle, ellipse or rounded rectangle covers its
//   right and bottom bounds exclusively, as the classic calls do.
// - A pen thinner than one and a half destination pixels after scaling is
//   drawn one pixel wide, so fine lines survive a downscaled picture.
// - Hatch patterns lie on an 8-by-8 grid of destination pixels; their gaps
//   and those of dashed pens take the background colour in opaque
//   background mode.
// - Text is drawn upright whatever the mapping mode; only the escapement
//   (and a rotating world transform) turns it. A font's height and the
//   character advances scale with the mapping.
// - Arcs run counter-clockwise in logical coordinates unless the arc
//   direction says otherwise.
// - Bitmaps are scaled to the nearest pixel; raster operations that need
//   both a source and a pattern are drawn as a plain copy of the source.
#include "codecs/metafile/playback.h"

#include <QLinearGradient>

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <new>

#include "codecs/metafile/path_cutting.h"
#include "core/bitmap.h"
#include "core/errors.h"
#include "core/qt_support.h"
#include "core/stream.h"

namespace pixtrel::metafile {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Stands for "no clip": far larger than any destination.
const QRect kEverything(-(1 << 22), -(1 << 22), 1 << 23, 1 << 23);
constexpr std::size_t kMaxSavedStates = 4096;
constexpr double kMaxPenPixels = 4096;
constexpr double kMaxFontPixels = 2048;
constexpr int kMaxRegionRects = 2000;

// A colour that replaces the pen's or brush's own.
enum class Force { None, Black, White };

std::optional<QColor> ForcedColor(Force force) {
  if (force == Force::Black) return QColor(Qt::black);
  if (force == Force::White) return QColor(Qt::white);
  return std::nullopt;
}

struct RopPlan {
  bool skip = false;
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  std::optional<QColor> force;
};

struct Rop2Entry {
  const char* name;
  bool skip;  // the destination stays as it is
  QPainter::CompositionMode mode;
  Force force;
};

// The binary raster operations of pens and brushes, 1 to 16 in order.
constexpr Rop2Entry kRop2[] = {
    {"Black", false, QPainter::CompositionMode_SourceOver, Force::Black},
    {"NotMergePen", false, QPainter::RasterOp_NotSourceAndNotDestination, Force::None},
    {"MaskNotPen", false, QPainter::RasterOp_NotSourceAndDestination, Force::None},
    {"NotCopyPen", false, QPainter::RasterOp_NotSource, Force::None},
    {"MaskPenNot", false, QPainter::RasterOp_SourceAndNotDestination, Force::None},
    {"Not", false, QPainter::RasterOp_NotDestination, Force::None},
    {"XorPen", false, QPainter::RasterOp_SourceXorDestination, Force::None},
    {"NotMaskPen", false, QPainter::RasterOp_NotSourceOrNotDestination, Force::None},
    {"MaskPen", false, QPainter::RasterOp_SourceAndDestination, Force::None},
    {"NotXorPen", false, QPainter::RasterOp_NotSourceXorDestination, Force::None},
    {"Nop", true, QPainter::CompositionMode_SourceOver, Force::None},
    {"MergeNotPen", false, QPainter::RasterOp_NotSourceOrDestination, Force::None},
    {"CopyPen", false, QPainter::CompositionMode_SourceOver, Force::None},
    {"MergePenNot", false, QPainter::RasterOp_SourceOrNotDestination, Force::None},
    {"MergePen", false, QPainter::RasterOp_SourceOrDestination, Force::None},
    {"White", false, QPainter::CompositionMode_SourceOver, Force::White},
};

// Unknown operations draw as a plain copy.
RopPlan PlanRop2(int rop2) {
  if (rop2 < 1 || rop2 > static_cast<int>(std::size(kRop2))) return RopPlan{};
  const Rop2Entry& entry = kRop2[rop2 - 1];
  return RopPlan{entry.skip, entry.mode, ForcedColor(entry.force)};
}

// Ternary raster operations by the part that uses the source.
enum class BltKind { Source, Pattern, Destination, Nothing };
struct BltPlan {
  BltKind kind = BltKind::Source;
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  std::optional<QColor> force;
};

struct Rop3Entry {
  std::uint8_t index;  // bits 16 to 23 of the operation code
  const char* name;
  BltKind kind;
  QPainter::CompositionMode mode;
  Force force;
};

// The ternary raster operations the players draw; the rest draw as a plain
// copy of the source.
constexpr Rop3Entry kRop3[] = {
    {0xCC, "SrcCopy", BltKind::Source, QPainter::CompositionMode_SourceOver, Force::None},
    {0xEE, "SrcPaint", BltKind::Source, QPainter::RasterOp_SourceOrDestination, Force::None},
    {0x88, "SrcAnd", BltKind::Source, QPainter::RasterOp_SourceAndDestination, Force::None},
    {0x66, "SrcInvert", BltKind::Source, QPainter::RasterOp_SourceXorDestination, Force::None},
    {0x44, "SrcErase", BltKind::Source, QPainter::RasterOp_SourceAndNotDestination, Force::None},
    {0x33, "NotSrcCopy", BltKind::Source, QPainter::RasterOp_NotSource, Force::None},
    {0x11, "NotSrcErase", BltKind::Source, QPainter::RasterOp_NotSourceAndNotDestination, Force::None},
    {0xBB, "MergePaint", BltKind::Source, QPainter::RasterOp_NotSourceOrDestination, Force::None},
    {0xF0, "PatCopy", BltKind::Pattern, QPainter::CompositionMode_SourceOver, Force::None},
    {0x5A, "PatInvert", BltKind::Pattern, QPainter::RasterOp_SourceXorDestination, Force::None},
    {0xFB, "PatPaint", BltKind::Pattern, QPainter::CompositionMode_SourceOver, Force::None},  // drawn as PatCopy
    {0x55, "DstInvert", BltKind::Destination, QPainter::RasterOp_NotDestination, Force::None},
    {0x00, "Blackness", BltKind::Pattern, QPainter::CompositionMode_SourceOver, Force::Black},
    {0xFF, "Whiteness", BltKind::Pattern, QPainter::CompositionMode_SourceOver, Force::White},
    {0xAA, "Dest", BltKind::Nothing, QPainter::CompositionMode_SourceOver, Force::None},
};

BltPlan PlanRop3(std::uint32_t rop) {
  const auto index = static_cast<std::uint8_t>(rop >> 16);
  for (const Rop3Entry& entry : kRop3)
    if (entry.index == index) return BltPlan{entry.kind, entry.mode, ForcedColor(entry.force)};
  return BltPlan{};
}

Qt::BrushStyle HatchStyle(std::uint32_t hatch) {
  switch (hatch) {
    case 0:
      return Qt::HorPattern;
    case 1:
      return Qt::VerPattern;
    case 2:
      return Qt::FDiagPattern;
    case 3:
      return Qt::BDiagPattern;
    case 4:
      return Qt::CrossPattern;
    case 5:
      return Qt::DiagCrossPattern;
    default:
      return Qt::SolidPattern;
  }
}

double Normalized360(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360.0;
  return d;
}

// Parametric angle, in Qt's convention (counter-clockwise on screen), of the
// point where the radial towards p meets the ellipse in box.
double RadialAngle(const QRectF& box, QPointF p) {
  const QPointF c = box.center();
  const double rx = std::max(box.width() / 2, 1e-9);
  const double ry = std::max(box.height() / 2, 1e-9);
  return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / kPi;
}

bool Finite(const QTransform& t) {
  return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22()) &&
         std::isfinite(t.dx()) && std::isfinite(t.dy());
}

}  // namespace

namespace {
constexpr double kFar = 1 << 24;
double Near(double v) { return std::isfinite(v) ? std::clamp(v, -kFar, kFar) : 0.0; }
}  // namespace

QPoint ClampedPoint(QPointF point) {
  return QPoint(static_cast<int>(std::lround(Near(point.x()))), static_cast<int>(std::lround(Near(point.y()))));
}

QRect ClampedRect(const QRectF& rect) {
  const QRectF r = rect.normalized();
  const int left = static_cast<int>(std::floor(Near(r.left())));
  const int top = static_cast<int>(std::floor(Near(r.top())));
  const int right = static_cast<int>(std::ceil(Near(r.right())));
  const int bottom = static_cast<int>(std::ceil(Near(r.bottom())));
  return QRect(left, top, right - left, bottom - top);
}

QPolygon ClampedPolygon(const QPolygonF& polygon) {
  QPolygon out;
  out.reserve(polygon.size());
  for (const QPointF& p : polygon) out.append(ClampedPoint(p));
  return out;
}

QColor ColorRef(std::uint32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

QImage DecodeDib(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits) {
  if (info.size() < 12) return {};
  // A picture far larger than its data would make the BMP reader allocate
  // for run-length data that cannot fill it.
  const std::uint32_t headerSize =
      info[0] | (info[1] << 8) | (info[2] << 16) | (static_cast<std::uint32_t>(info[3]) << 24);
  std::int64_t w = 0, h = 0;
  if (headerSize == 12) {
    w = info[4] | (info[5] << 8);
    h = info[6] | (info[7] << 8);
  } else if (info.size() >= 12) {
    w = static_cast<std::int32_t>(info[4] | (info[5] << 8) | (info[6] << 16) |
                                  (static_cast<std::uint32_t>(info[7]) << 24));
    h = static_cast<std::int32_t>(info[8] | (info[9] << 8) | (info[10] << 16) |
                                  (static_cast<std::uint32_t>(info[11]) << 24));
  }
  w = std::abs(w);
  h = std::abs(h);
  const std::int64_t dataBytes = static_cast<std::int64_t>(info.size() + bits.size());
  if (w * h > (std::int64_t{1} << 22) && w * h > dataBytes * 64) return {};

  std::vector<std::uint8_t> file(14);
  file[0] = 'B';
  file[1] = 'M';
  const std::uint32_t total = static_cast<std::uint32_t>(14 + info.size() + bits.size());
  const std::uint32_t offset = bits.empty() ? 0 : static_cast<std::uint32_t>(14 + info.size());
  for (int i = 0; i < 4; ++i) {
    file[2 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    file[10 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
  }
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), bits.begin(), bits.end());
  try {
    MemoryStream stream(std::move(file));
    Bitmap bitmap;
    bitmap.LoadFromStream(stream);
    if (bitmap.Empty()) return {};  // no pixels to draw, however wide it claims to be
    bitmap.SetPixelFormat(pf32bit);
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    for (int y = 0; y < bitmap.Height(); ++y) {
      const auto* src = reinterpret_cast<const std::uint32_t*>(bitmap.ScanLine(y));
      auto* dst = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
      for (int x = 0; x < bitmap.Width(); ++x) dst[x] = src[x] | 0xFF000000u;
    }
    return image;
  } catch (const Exception&) {
    return {};
  }
}

Playback::Playback(QPainter* painter, DeviceMapping mapping, bool wmf)
    : painter_(painter), mapping_(mapping), wmf_(wmf) {
  state_.font.height = 16;
  if (wmf_) state_.mapMode = mmAnisotropic;
}

// ---- objects -------------------------------------------------------------

void Playback::ResizeTable(std::size_t size) { objects_.resize(std::min<std::size_t>(size, 65536)); }

int Playback::AddObject(GdiObject object) {
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    if (!objects_[i]) {
      objects_[i] = std::move(object);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void Playback::SetObject(std::uint32_t index, GdiObject object) {
  if (index >= objects_.size()) {
    if (index >= 65536) return;
    objects_.resize(index + 1);
  }
  objects_[index] = std::move(object);
}

const GdiObject* Playback::Object(std::uint32_t index) const {
  if (index >= objects_.size() || !objects_[index]) return nullptr;
  return &*objects_[index];
}

void Playback::SelectObject(std::uint32_t index) {
  if (index & 0x80000000u) {
    SelectStock(index & 0x7FFFFFFFu);
    return;
  }
  const GdiObject* object = Object(index);
  if (!object) return;
  if (auto* pen = std::get_if<PenObject>(object)) state_.pen = *pen;
  if (auto* brush = std::get_if<BrushObject>(object)) state_.brush = *brush;
  if (auto* font = std::get_if<FontObject>(object)) state_.font = *font;
  if (auto* region = std::get_if<RegionObject>(object))
    CombineClip(wmf_ ? LogicalRegionToDestination(region->region) : DeviceRegionToDestination(region->region), 5);
}

namespace {

// The stock objects, by their numbers in the records (without the high bit).
enum StockObject : std::uint32_t {
  kWhiteBrush = 0,
  kLightGrayBrush = 1,
  kGrayBrush = 2,
  kDarkGrayBrush = 3,
  kBlackBrush = 4,
  kNullBrush = 5,
  kWhitePen = 6,
  kBlackPen = 7,
  kNullPen = 8,
  kOemFixedFont = 10,
  kAnsiFixedFont = 11,
  kAnsiVarFont = 12,
  kSystemFont = 13,
  kDeviceDefaultFont = 14,
  kSystemFixedFont = 16,
  kDefaultGuiFont = 17,
  kDcBrush = 18,
  kDcPen = 19,
};

}  // namespace

void Playback::SelectStock(std::uint32_t stock) {
  auto solid = [this](int grey) { state_.brush = BrushObject{0, QColor(grey, grey, grey), 0, {}}; };
  switch (stock) {
    case kWhiteBrush:
    case kDcBrush:
      solid(255);
      break;
    case kLightGrayBrush:
      solid(192);
      break;
    case kGrayBrush:
      solid(128);
      break;
    case kDarkGrayBrush:
      solid(64);
      break;
    case kBlackBrush:
      solid(0);
      break;
    case kNullBrush:
      state_.brush = BrushObject{1, Qt::white, 0, {}};
      break;
    case kWhitePen:
      state_.pen = PenObject{0, 0, Qt::white};
      break;
    case kBlackPen:
    case kDcPen:
      state_.pen = PenObject{0, 0, Qt::black};
      break;
    case kNullPen:
      state_.pen = PenObject{5, 0, Qt::black};
      break;
    case kOemFixedFont:
    case kAnsiFixedFont:
    case kAnsiVarFont:
    case kSystemFont:
    case kDeviceDefaultFont:
    case kSystemFixedFont:
    case kDefaultGuiFont: {
      FontObject font;
      font.height = stock == kDefaultGuiFont ? -11 : 16;
      font.weight = stock == kSystemFont ? 700 : 400;
      const bool fixed = stock == kOemFixedFont || stock == kAnsiFixedFont || stock == kSystemFixedFont;
      font.face = fixed ? QStringLiteral("Courier New") : QString();
      state_.font = font;
      break;
    }
    default:
      break;
  }
}

void Playback::DeleteObject(std::uint32_t index) {
  if (index < objects_.size()) objects_[index].reset();
}

void Playback::SaveDC() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
}

void Playback::RestoreDC(int which) {
  if (saved_.empty()) return;
  std::int64_t keep;  // states left on the stack after the restore
  if (which < 0)
    keep = static_cast<std::int64_t>(saved_.size()) + which;
  else if (which > 0)
    keep = which - 1;
  else
    return;
  if (keep < 0 || keep >= static_cast<std::int64_t>(saved_.size())) return;
  state_ = saved_[static_cast<std::size_t>(keep)];
  saved_.resize(static_cast<std::size_t>(keep));
}

// ---- mapping -------------------------------------------------------------

void Playback::SetMapMode(int mode) {
  if (wmf_) return;  // the window always maps onto the picture frame
  if (mode < mmText || mode > mmAnisotropic) return;
  state_.mapMode = mode;
}

void Playback::SetWindowExt(double x, double y) {
  if (x == 0 || y == 0) return;
  if (!wmf_ && state_.mapMode != mmIsotropic && state_.mapMode != mmAnisotropic) return;
  state_.windowExt = {x, y};
}

void Playback::SetViewportExt(double x, double y) {
  if (x == 0 || y == 0) return;
  if (!wmf_ && state_.mapMode != mmIsotropic && state_.mapMode != mmAnisotropic) return;
  state_.viewportExt = {x, y};
}

QTransform Playback::LogicalToDestination() const {
  double sx = 1, sy = 1;
  QPointF viewportOrg = state_.viewportOrg;
  if (wmf_) {
    // The window is stretched over the device space of the picture frame;
    // the records' viewport settings do not apply.
    sx = 1 / state_.windowExt.width();
    sy = 1 / state_.windowExt.height();
    viewportOrg = {0, 0};
  } else {
    const double mmX = mapping_.pixelsPerMmX, mmY = mapping_.pixelsPerMmY;
    switch (state_.mapMode) {
      case mmLoMetric:
        sx = mmX / 10;
        sy = -mmY / 10;
        break;
      case mmHiMetric:
        sx = mmX / 100;
        sy = -mmY / 100;
        break;
      case mmLoEnglish:
        sx = mmX * 0.254;
        sy = -mmY * 0.254;
        break;
      case mmHiEnglish:
        sx = mmX * 0.0254;
        sy = -mmY * 0.0254;
        break;
      case mmTwips:
        sx = mmX * 25.4 / 1440;
        sy = -mmY * 25.4 / 1440;
        break;
      case mmIsotropic:
      case mmAnisotropic:
        sx = state_.viewportExt.width() / state_.windowExt.width();
        sy = state_.viewportExt.height() / state_.windowExt.height();
        if (state_.mapMode == mmIsotropic) {
          const double s = std::min(std::abs(sx), std::abs(sy));
          sx = std::copysign(s, sx);
          sy = std::copysign(s, sy);
        }
        break;
      default:
        break;
    }
  }
  const QTransform page(sx, 0, 0, sy, viewportOrg.x() - state_.windowOrg.x() * sx,
                        viewportOrg.y() - state_.windowOrg.y() * sy);
  const QTransform t = state_.world * page * mapping_.toDestination;
  return Finite(t) ? t : QTransform(0, 0, 0, 0, 0, 0);
}

double Playback::Scale() const {
  const QTransform t = LogicalToDestination();
  return std::sqrt(std::abs(t.determinant()));
}

// ---- clipping --------------------------------------------------------------

void Playback::CombineClip(const std::optional<QRegion>& region, int mode) {
  const QRegion current = state_.clip ? *state_.clip : QRegion(kEverything);
  const QRegion other = region ? *region : QRegion(kEverything);
  switch (mode) {
    case 1:
      state_.clip = current.intersected(other);
      break;
    case 2:
      state_.clip = current.united(other);
      break;
    case 3:
      state_.clip = current.xored(other);
      break;
    case 4:
      state_.clip = current.subtracted(other);
      break;
    case 5:
      state_.clip = region;
      break;
    default:
      break;
  }
}

void Playback::OffsetClip(QPointF logicalOffset) {
  if (!state_.clip) return;
  const QTransform t = LogicalToDestination();
  const QPoint d = ClampedPoint(t.map(logicalOffset) - t.map(QPointF(0, 0)));
  const QRect box = state_.clip->boundingRect();
  const auto inside = [](std::int64_t v) { return std::abs(v) < (std::int64_t{1} << 26); };
  if (inside(std::int64_t{box.left()} + d.x()) && inside(std::int64_t{box.right()} + d.x()) &&
      inside(std::int64_t{box.top()} + d.y()) && inside(std::int64_t{box.bottom()} + d.y()))
    state_.clip = state_.clip->translated(d);
}

void Playback::IntersectClipRect(const QRectF& rect) {
  const QPolygonF polygon = LogicalToDestination().map(QPolygonF(rect.normalized()));
  CombineClip(PolygonRegion(polygon, Qt::OddEvenFill), 1);
}

void Playback::ExcludeClipRect(const QRectF& rect) {
  const QPolygonF polygon = LogicalToDestination().map(QPolygonF(rect.normalized()));
  CombineClip(PolygonRegion(polygon, Qt::OddEvenFill), 4);
}

QRegion Playback::DeviceRegionToDestination(const QRegion& region) const {
  QRegion out;
  int n = 0;
  for (const QRect& r : region) {
    if (++n > kMaxRegionRects) break;
    out += ClampedRect(mapping_.toDestination.mapRect(QRectF(r)));
  }
  return out;
}

QRegion Playback::LogicalRegionToDestination(const QRegion& region) const {
  const QTransform t = LogicalToDestination();
  QRegion out;
  int n = 0;
  for (const QRect& r : region) {
    if (++n > kMaxRegionRects) break;
    out += ClampedRect(t.mapRect(QRectF(r)));
  }
  return out;
}

QRegion Playback::PolygonRegion(const QPolygonF& polygon, Qt::FillRule rule) const {
  if (!painter_) return QRegion(ClampedRect(polygon.boundingRect()));
  // A margin of the picture's own size keeps what a later offset of the
  // clip may bring into view.
  const double w = painter_->device()->width(), h = painter_->device()->height();
  return QRegion(ClampedPolygon(CutPolygonToBox(polygon, QRectF(-w, -h, 3 * w, 3 * h))), rule);
}

void Playback::ApplyClip() {
  if (state_.clip)
    painter_->setClipRegion(*state_.clip);
  else
    painter_->setClipping(false);
}

// ---- pens and brushes ------------------------------------------------------

QPen Playback::MakePen() const {
  const PenObject& pen = state_.pen;
  const std::uint32_t style = pen.style & 0x0F;
  if (style == 5) return QPen(Qt::NoPen);
  QPen qpen(pen.color);
  double width = pen.width * Scale();
  const bool thin = pen.width <= 0 || width < 1.5;
  qpen.setWidthF(thin ? 0 : std::min(width, kMaxPenPixels));
  switch (style) {
    case 1:
      qpen.setStyle(Qt::DashLine);
      break;
    case 2:
      qpen.setStyle(Qt::DotLine);
      break;
    case 3:
      qpen.setStyle(Qt::DashDotLine);
      break;
    case 4:
      qpen.setStyle(Qt::DashDotDotLine);
      break;
    case 8:
      qpen.setStyle(Qt::DotLine);
      break;
    default:
      qpen.setStyle(Qt::SolidLine);
      break;
  }
  switch (pen.style & 0x0F00) {
    case 0x100:
      qpen.setCapStyle(Qt::SquareCap);
      break;
    case 0x200:
      qpen.setCapStyle(Qt::FlatCap);
      break;
    default:
      qpen.setCapStyle(Qt::RoundCap);
      break;
  }
  switch (pen.style & 0xF000) {
    case 0x1000:
      qpen.setJoinStyle(Qt::BevelJoin);
      break;
    case 0x2000:
      qpen.setJoinStyle(Qt::MiterJoin);
      break;
    default:
      qpen.setJoinStyle(Qt::RoundJoin);
      break;
  }
  return qpen;
}

QBrush Playback::MakeBrush(const BrushObject& brush) const {
  switch (brush.style) {
    case 0:
      return QBrush(brush.color);
    case 1:
      return QBrush(Qt::NoBrush);
    case 2:
      return QBrush(brush.color, HatchStyle(brush.hatch));
    default:
      if (!brush.pattern.isNull()) return QBrush(brush.pattern);
      return QBrush(brush.color);
  }
}

// ---- painting --------------------------------------------------------------

void Playback::Extend(const QRectF& box) {
  if (!std::isfinite(box.left()) || !std::isfinite(box.top()) || !std::isfinite(box.width()) ||
      !std::isfinite(box.height()))
    return;
  const QRectF normal = box.normalized();
  const QRectF grown(normal.left(), normal.top(), std::max(normal.width(), 1e-6), std::max(normal.height(), 1e-6));
  extent_ = extent_.isNull() ? grown : extent_.united(grown);
}

void Playback::PaintDestinationPath(const QPainterPath& path, bool fill, bool stroke) {
  if (!painter_) {
    if ((fill && state_.brush.style != 1) || (stroke && (state_.pen.style & 0x0F) != 5))
      Extend(path.controlPointRect());
    return;
  }
  const RopPlan rop = PlanRop2(state_.rop2);
  if (rop.skip) return;
  painter_->save();
  ApplyClip();
  painter_->setCompositionMode(rop.mode);
  painter_->setBackground(state_.bkColor);
  painter_->setBackgroundMode(state_.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
  if (fill && state_.brush.style != 1) {
    QBrush brush = MakeBrush(state_.brush);
    if (rop.force) brush = QBrush(*rop.force);
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(brush);
    painter_->drawPath(path);
  }
  if (stroke && (state_.pen.style & 0x0F) != 5) {
    QPen pen = MakePen();
    if (rop.force) pen.setColor(*rop.force);
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    // One-pixel pens dash pixel by pixel inside the clip and need no help.
    if (pen.style() == Qt::SolidLine || pen.isCosmetic())
      painter_->drawPath(path);
    else
      StrokeDashed(path, pen);
  }
  painter_->restore();
}

void Playback::StrokeDashed(const QPainterPath& path, QPen pen) {
  const double width = pen.widthF();
  double pattern = 0;
  for (double length : pen.dashPattern()) pattern += std::max(length, 0.0);
  const double period = pattern * width;
  // What the pen can reach: the image, or the clip's box within it, grown
  // by the most a cap or a join adds beside the path.
  QRectF reach(0, 0, painter_->device()->width(), painter_->device()->height());
  if (state_.clip) reach = reach.intersected(QRectF(state_.clip->boundingRect()));
  if (reach.isEmpty() || !(period > 0)) return;
  const double margin = 2 * width + 2;
  reach.adjust(-margin, -margin, margin, margin);

  const DashedRuns cut = CutToBox(path, reach);
  const DashedStrokePlan plan = PlanDashedStroke(cut, period);
  if (plan == DashedStrokePlan::SolidWhole) {
    // Solid, the whole path costs memory in proportion to its records only.
    pen.setStyle(Qt::SolidLine);
    painter_->setPen(pen);
    painter_->drawPath(path);
    return;
  }
  if (plan == DashedStrokePlan::SolidRuns) {
    // Dashes this many are a blur at any rate.
    QPainterPath pieces;
    for (const DashedRun& run : cut.runs) pieces.addPolygon(run.points);
    pen.setStyle(Qt::SolidLine);
    painter_->setPen(pen);
    painter_->drawPath(pieces);
    return;
  }
  for (const DashedRun& run : cut.runs) {
    QPainterPath piece;
    piece.addPolygon(run.points);
    pen.setDashOffset(std::fmod(run.startLength, period) / width);
    painter_->setPen(pen);
    painter_->drawPath(piece);
  }
}

void Playback::Emit(const QPainterPath& logicalPath, bool fill, bool stroke) {
  QPainterPath path = LogicalToDestination().map(logicalPath);
  path.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
  if (inPath_) {
    path_.addPath(path);
    return;
  }
  PaintDestinationPath(path, fill, stroke);
}

void Playback::BeginPath() {
  inPath_ = true;
  path_ = QPainterPath();
}

void Playback::AbortPath() {
  inPath_ = false;
  path_ = QPainterPath();
}

void Playback::CloseFigure() {
  if (inPath_) path_.closeSubpath();
}

void Playback::FillPath() {
  inPath_ = false;
  path_.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
  PaintDestinationPath(path_, true, false);
  path_ = QPainterPath();
}

void Playback::StrokePath() {
  inPath_ = false;
  PaintDestinationPath(path_, false, true);
  path_ = QPainterPath();
}

void Playback::StrokeAndFillPath() {
  inPath_ = false;
  path_.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
  PaintDestinationPath(path_, true, true);
  path_ = QPainterPath();
}

void Playback::SelectClipPath(int mode) {
  inPath_ = false;
  const Qt::FillRule rule = state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill;
  CombineClip(PolygonRegion(path_.toFillPolygon(), rule), mode);
  path_ = QPainterPath();
}

void Playback::MoveTo(QPointF p) {
  state_.position = p;
  if (inPath_) path_.moveTo(LogicalToDestination().map(p));
}

void Playback::LineTo(QPointF p) {
  if (inPath_) {
    if (path_.elementCount() == 0) path_.moveTo(LogicalToDestination().map(state_.position));
    path_.lineTo(LogicalToDestination().map(p));
  } else {
    QPainterPath path(state_.position);
    path.lineTo(p);
    Emit(path, false, true);
  }
  state_.position = p;
}

void Playback::Polyline(const QPolygonF& points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  Emit(path, false, true);
}

void Playback::PolylineTo(const QPolygonF& points) {
  if (points.isEmpty()) return;
  if (inPath_) {
    const QTransform t = LogicalToDestination();
    if (path_.elementCount() == 0) path_.moveTo(t.map(state_.position));
    for (const QPointF& p : points) path_.lineTo(t.map(p));
  } else {
    QPainterPath path(state_.position);
    for (const QPointF& p : points) path.lineTo(p);
    Emit(path, false, true);
  }
  state_.position = points.back();
}

void Playback::PolyBezier(const QPolygonF& points) {
  if (points.size() < 4) return;
  QPainterPath path(points[0]);
  for (qsizetype i = 1; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
  Emit(path, false, true);
}

void Playback::PolyBezierTo(const QPolygonF& points) {
  if (points.size() < 3) return;
  if (inPath_) {
    const QTransform t = LogicalToDestination();
    if (path_.elementCount() == 0) path_.moveTo(t.map(state_.position));
    for (qsizetype i = 0; i + 2 < points.size(); i += 3)
      path_.cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
  } else {
    QPainterPath path(state_.position);
    for (qsizetype i = 0; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
    Emit(path, false, true);
  }
  state_.position = points[(points.size() / 3) * 3 - 1];
}

void Playback::PolyDraw(const QPolygonF& points, std::span<const std::uint8_t> types) {
  QPainterPath path(state_.position);
  const qsizetype n = std::min<qsizetype>(points.size(), static_cast<qsizetype>(types.size()));
  for (qsizetype i = 0; i < n; ++i) {
    const std::uint8_t type = types[static_cast<std::size_t>(i)] & 0x06;
    if (type == 0x06) {
      path.moveTo(points[i]);
    } else if (type == 0x04 && i + 2 < n) {
      path.cubicTo(points[i], points[i + 1], points[i + 2]);
      i += 2;
    } else {
      path.lineTo(points[i]);
    }
    if (types[static_cast<std::size_t>(std::min(i, n - 1))] & 0x01) path.closeSubpath();
    state_.position = points[std::min(i, n - 1)];
  }
  Emit(path, false, true);
}

void Playback::Polygon(const QPolygonF& points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  path.closeSubpath();
  Emit(path, true, true);
}

void Playback::PolyPolygon(const std::vector<QPolygonF>& polygons) {
  QPainterPath path;
  for (const QPolygonF& polygon : polygons) {
    if (polygon.size() < 2) continue;
    path.addPolygon(polygon);
    path.closeSubpath();
  }
  Emit(path, true, true);
}

void Playback::PolyPolyline(const std::vector<QPolygonF>& polylines) {
  QPainterPath path;
  for (const QPolygonF& polyline : polylines)
    if (polyline.size() >= 2) path.addPolygon(polyline);
  Emit(path, false, true);
}

namespace {

// A box mapped to destination pixels with its right and bottom bounds left
// out; nullopt when the transform rotates or shears.
std::optional<QRectF> DestinationBox(const QTransform& t, const QRectF& box) {
  if (t.type() > QTransform::TxScale) return std::nullopt;
  QRectF r = t.mapRect(box.normalized());
  r.setWidth(std::max(0.0, r.width() - 1));
  r.setHeight(std::max(0.0, r.height() - 1));
  return r;
}

}  // namespace

void Playback::Rectangle(const QRectF& box) {
  const QTransform t = LogicalToDestination();
  if (!inPath_) {
    if (auto r = DestinationBox(t, box)) {
      QPainterPath path;
      path.addRect(*r);
      PaintDestinationPath(path, true, true);
      return;
    }
  }
  QPainterPath path;
  path.addRect(box.normalized());
  Emit(path, true, true);
}

void Playback::RoundRect(const QRectF& box, double cornerWidth, double cornerHeight) {
  const QTransform t = LogicalToDestination();
  if (!inPath_) {
    if (auto r = DestinationBox(t, box)) {
      QPainterPath path;
      path.addRoundedRect(*r, std::abs(cornerWidth * t.m11()) / 2, std::abs(cornerHeight * t.m22()) / 2);
      PaintDestinationPath(path, true, true);
      return;
    }
  }
  QPainterPath path;
  path.addRoundedRect(box.normalized(), std::abs(cornerWidth) / 2, std::abs(cornerHeight) / 2);
  Emit(path, true, true);
}

void Playback::Ellipse(const QRectF& box) {
  const QTransform t = LogicalToDestination();
  if (!inPath_) {
    if (auto r = DestinationBox(t, box)) {
      QPainterPath path;
      path.addEllipse(*r);
      PaintDestinationPath(path, true, true);
      return;
    }
  }
  QPainterPath path;
  path.addEllipse(box.normalized());
  Emit(path, true, true);
}

QPainterPath Playback::ArcPath(ArcKind kind, const QRectF& rawBox, QPointF start, QPointF end, bool moveFirst) {
  const QRectF box = rawBox.normalized();
  const double a0 = RadialAngle(box, start);
  const double a1 = RadialAngle(box, end);
  double sweep = Normalized360(a1 - a0);
  if (sweep == 0) sweep = 360;
  if (state_.clockwiseArcs) sweep -= 360;
  QPainterPath path;
  if (kind == ArcKind::Pie) {
    path.moveTo(box.center());
    path.arcTo(box, a0, sweep);
    path.closeSubpath();
    return path;
  }
  if (moveFirst) {
    path.arcMoveTo(box, a0);
  } else {
    path.moveTo(state_.position);
    QPainterPath probe;
    probe.arcMoveTo(box, a0);
    path.lineTo(probe.currentPosition());
  }
  path.arcTo(box, a0, sweep);
  if (kind == ArcKind::Chord) path.closeSubpath();
  return path;
}

void Playback::Arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end) {
  const QPainterPath path = ArcPath(kind, box, start, end, kind != ArcKind::ArcTo);
  const bool closed = kind == ArcKind::Chord || kind == ArcKind::Pie;
  Emit(path, closed, true);
  if (kind == ArcKind::ArcTo) state_.position = path.currentPosition();
}

void Playback::AngleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees) {
  const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  QPainterPath path(state_.position);
  QPainterPath probe;
  probe.arcMoveTo(box, startDegrees);
  path.lineTo(probe.currentPosition());
  path.arcTo(box, startDegrees, std::clamp(sweepDegrees, -3600.0, 3600.0));
  Emit(path, false, true);
  state_.position = path.currentPosition();
}

void Playback::SetPixel(QPointF p, const QColor& color) {
  if (!painter_) return;
  const QPointF d = LogicalToDestination().map(p);
  painter_->save();
  ApplyClip();
  painter_->fillRect(QRectF(std::floor(d.x()), std::floor(d.y()), 1, 1), color);
  painter_->restore();
}

void Playback::GradientFill(std::span<const GradientVertex> vertices,
                            std::span<const std::array<std::uint32_t, 3>> shapes, GradientMode mode) {
  // One shape is at most this many destination pixels: a huge triangle from
  // a damaged file costs no more than a large picture.
  constexpr double kMaxPixels = 1 << 24;
  const QTransform toDestination = LogicalToDestination();
  const std::size_t corners = mode == GradientMode::Triangle ? 3 : 2;
  for (const std::array<std::uint32_t, 3>& shape : shapes) {
    if (std::any_of(shape.begin(), shape.begin() + corners, [&](std::uint32_t v) { return v >= vertices.size(); }))
      continue;
    const GradientVertex& a = vertices[shape[0]];
    const GradientVertex& b = vertices[shape[1]];
    if (mode != GradientMode::Triangle) {
      const QPointF from = toDestination.map(a.point), to = toDestination.map(b.point);
      const QRectF box = QRectF(from, to).normalized();
      Extend(box);
      if (!painter_ || box.isEmpty()) continue;
      QLinearGradient gradient(mode == GradientMode::Horizontal ? QPointF(from.x(), 0) : QPointF(0, from.y()),
                               mode == GradientMode::Horizontal ? QPointF(to.x(), 0) : QPointF(0, to.y()));
      gradient.setColorAt(0, a.color);
      gradient.setColorAt(1, b.color);
      painter_->save();
      ApplyClip();
      painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
      painter_->fillRect(box, gradient);
      painter_->restore();
      continue;
    }
    const GradientVertex& c = vertices[shape[2]];
    const QPointF p[3] = {toDestination.map(a.point), toDestination.map(b.point), toDestination.map(c.point)};
    const QRectF bounds = QPolygonF({p[0], p[1], p[2]}).boundingRect();
    Extend(bounds);
    const QRect area = ClampedRect(bounds).adjusted(0, 0, 1, 1);
    const double denominator = (p[1].y() - p[2].y()) * (p[0].x() - p[2].x()) + (p[2].x() - p[1].x()) * (p[0].y() - p[2].y());
    if (!painter_ || area.isEmpty() || denominator == 0 ||
        static_cast<double>(area.width()) * area.height() > kMaxPixels)
      continue;
    // Each pixel whose centre lies in the triangle takes the colours of the
    // corners weighted by its barycentric coordinates.
    QImage image(area.size(), QImage::Format_ARGB32);
    if (image.isNull()) throw std::bad_alloc();
    image.fill(Qt::transparent);
    const QColor colors[3] = {a.color, b.color, c.color};
    for (int y = 0; y < image.height(); ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      const double py = area.top() + y + 0.5;
      for (int x = 0; x < image.width(); ++x) {
        const double px = area.left() + x + 0.5;
        const double w0 = ((p[1].y() - p[2].y()) * (px - p[2].x()) + (p[2].x() - p[1].x()) * (py - p[2].y())) / denominator;
        const double w1 = ((p[2].y() - p[0].y()) * (px - p[2].x()) + (p[0].x() - p[2].x()) * (py - p[2].y())) / denominator;
        const double w2 = 1 - w0 - w1;
        if (w0 < 0 || w1 < 0 || w2 < 0) continue;
        const auto channel = [&](int (QColor::*part)() const) {
          return std::clamp(static_cast<int>(std::lround(w0 * (colors[0].*part)() + w1 * (colors[1].*part)() +
                                                         w2 * (colors[2].*part)())),
                            0, 255);
        };
        row[x] = qRgb(channel(&QColor::red), channel(&QColor::green), channel(&QColor::blue));
      }
    }
    painter_->save();
    ApplyClip();
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->drawImage(area.topLeft(), image);
    painter_->restore();
  }
}

void Playback::FillRegion(const QRegion& region, const BrushObject& brush) {
  if (!painter_) return;
  painter_->save();
  ApplyClip();
  painter_->setClipRegion(region, state_.clip ? Qt::IntersectClip : Qt::ReplaceClip);
  painter_->setBackground(state_.bkColor);
  painter_->setBackgroundMode(state_.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
  painter_->fillRect(region.boundingRect(), MakeBrush(brush));
  painter_->restore();
}

void Playback::InvertRegion(const QRegion& region) {
  if (!painter_) return;
  painter_->save();
  ApplyClip();
  painter_->setClipRegion(region, state_.clip ? Qt::IntersectClip : Qt::ReplaceClip);
  painter_->setCompositionMode(QPainter::RasterOp_NotDestination);
  painter_->fillRect(region.boundingRect(), Qt::white);
  painter_->restore();
}

void Playback::PatBlt(const QRectF& box, std::uint32_t rop) { StretchBlt(box, nullptr, {}, rop); }

void Playback::StretchBlt(const QRectF& dest, const QImage* source, const QRectF& sourceRect, std::uint32_t rop) {
  if (!painter_) {
    Extend(LogicalToDestination().mapRect(dest));
    return;
  }
  const BltPlan plan = PlanRop3(rop);
  if (plan.kind == BltKind::Nothing) return;
  if (plan.kind == BltKind::Source && (!source || source->isNull())) return;
  const QTransform t = LogicalToDestination();
  painter_->save();
  ApplyClip();
  painter_->setCompositionMode(plan.mode);
  if (plan.kind != BltKind::Source) {
    QPainterPath path;
    path.addRect(dest.normalized());
    QBrush brush = plan.force ? QBrush(*plan.force) : MakeBrush(state_.brush);
    if (plan.kind == BltKind::Destination) brush = QBrush(Qt::white);
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(brush);
    painter_->drawPath(t.map(path));
    painter_->restore();
    return;
  }
  // Mirroring by negative extents, then the source cut to the image.
  QImage image = *source;
  QRectF src = sourceRect;
  QRectF dst = dest;
  const bool flipX = (src.width() < 0) != (dst.width() < 0);
  const bool flipY = (src.height() < 0) != (dst.height() < 0);
  src = src.normalized();
  dst = dst.normalized();
  if (flipX || flipY) {
    image = image.mirrored(flipX, flipY);
    if (image.isNull()) throw std::bad_alloc();
    if (flipX) src.moveLeft(image.width() - src.right());
    if (flipY) src.moveTop(image.height() - src.bottom());
  }
  const QRectF cut = src.intersected(QRectF(0, 0, image.width(), image.height()));
  if (cut.isEmpty() || src.width() <= 0 || src.height() <= 0) {
    painter_->restore();
    return;
  }
  const double kx = dst.width() / src.width(), ky = dst.height() / src.height();
  const QRectF dstCut(dst.left() + (cut.left() - src.left()) * kx, dst.top() + (cut.top() - src.top()) * ky,
                      cut.width() * kx, cut.height() * ky);
  painter_->setTransform(t);
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_->drawImage(dstCut, image, cut);
  painter_->restore();
}

void Playback::TextOut(QPointF reference, const QString& text, std::span<const double> dx, std::uint32_t options,
                       const std::optional<QRectF>& rect) {
  if (!painter_) {
    if (!text.isEmpty()) Extend(QRectF(LogicalToDestination().map(reference), QSizeF(0, 0)));
    if (state_.textAlign & 1) {
      double advance = 0;
      for (double d : dx) advance += d;
      state_.position = reference + QPointF(advance, 0);
    }
    return;
  }
  // Fonts need a QGuiApplication; without one the text is left out.
  if (!HasGuiApplication()) return;
  const QTransform t = LogicalToDestination();
  const double sx = std::hypot(t.m11(), t.m12());
  const double sy = std::hypot(t.m21(), t.m22());
  const bool updateCp = state_.textAlign & 1;
  if (updateCp) reference = state_.position;
  const QPointF origin = t.map(reference);

  const FontObject& f = state_.font;
  QFont font(f.face.isEmpty() ? QStringLiteral("Sans Serif") : f.face);
  font.setStyleStrategy(QFont::NoAntialias);
  font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeOut);
  double pixels = (f.height == 0 ? 16.0 / std::max(sy, 1e-9) : std::abs(static_cast<double>(f.height))) * sy;
  if (f.height > 0) {
    // A positive height is the cell height, ascent plus descent.
    QFont probe = font;
    probe.setPixelSize(100);
    const QFontMetricsF m(probe);
    if (m.ascent() + m.descent() > 0) pixels *= 100 / (m.ascent() + m.descent());
  }
  font.setPixelSize(
      static_cast<int>(std::lround(std::clamp(std::isfinite(pixels) ? pixels : 1.0, 1.0, kMaxFontPixels))));
  const QFontMetricsF metrics(font);

  // Advances in destination pixels.
  std::vector<double> advances;
  if (!dx.empty()) {
    for (qsizetype i = 0; i < text.size(); ++i)
      advances.push_back(i < static_cast<qsizetype>(dx.size()) ? dx[static_cast<std::size_t>(i)] * sx
                                                               : metrics.horizontalAdvance(text[i]));
  }
  double width = 0;
  if (advances.empty())
    width = metrics.horizontalAdvance(text);
  else
    for (double a : advances) width += a;

  double x = 0;
  switch (state_.textAlign & 6) {
    case 2:
      x = -width;
      break;
    case 6:
      x = -width / 2;
      break;
    default:
      break;
  }
  double baseline = 0;
  switch (state_.textAlign & 24) {
    case 8:
      baseline = -metrics.descent();
      break;
    case 24:
      baseline = 0;
      break;
    default:
      baseline = metrics.ascent();
      break;
  }

  painter_->save();
  ApplyClip();
  const RopPlan rop = PlanRop2(13);
  painter_->setCompositionMode(rop.mode);
  if (rect && (options & 0x06)) {
    const QPolygonF box = t.map(QPolygonF(rect->normalized()));
    if (options & 0x02) {
      QPainterPath path;
      path.addPolygon(box);
      painter_->fillPath(path, state_.bkColor);
    }
    if (options & 0x04)
      painter_->setClipRegion(PolygonRegion(box, Qt::OddEvenFill), state_.clip ? Qt::IntersectClip : Qt::ReplaceClip);
  }
  painter_->translate(origin);
  double angle = -f.escapement / 10.0;
  if (t.m11() * t.m22() - t.m12() * t.m21() != 0 && t.type() >= QTransform::TxRotate)
    angle += std::atan2(t.m12(), t.m11()) * 180 / kPi;
  if (angle != 0) painter_->rotate(angle);
  if (state_.bkMode == 2)
    painter_->fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                       state_.bkColor);
  painter_->setFont(font);
  painter_->setPen(state_.textColor);
  if (advances.empty()) {
    painter_->drawText(QPointF(x, baseline), text);
  } else {
    double pos = x;
    for (qsizetype i = 0; i < text.size(); ++i) {
      painter_->drawText(QPointF(pos, baseline), QString(text[i]));
      pos += advances[static_cast<std::size_t>(i)];
    }
  }
  painter_->restore();
  if (updateCp) state_.position = reference + QPointF(sx > 0 ? width / sx : 0, 0);
}

}  // namespace pixtrel::metafile
