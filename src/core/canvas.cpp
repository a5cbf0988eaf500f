// Drawing on a Bitmap with the pixel coverage of the classic Windows drawing
// calls.
//
// Every operation works in three steps: the pixels it covers are worked out
// as 8-bit masks (QPainter without antialiasing renders the shapes and the
// text; lines, flood fills and copies are computed here), the masks are cut
// to the bitmap and the clip region, and the covered pixels are written with
// the pen mode. Writing pixels ourselves rather than painting on the bitmap
// keeps the raster operations, hatch patterns and clip exact in every pixel
// format. A pf24bit or pf32bit bitmap is written in place; any other format
// is drawn on a 24-bit copy of the area the operation touches, and only the
// pixels that changed are written back, as the nearest entry of the bitmap's
// own palette (or in its 15- or 16-bit form), so untouched pixels keep their
// exact values.
//
// Choices where the classic calls leave room:
// - A solid brush also makes the background opaque: the gaps of dashed pens
//   and the box behind text take the brush colour. Any other brush style
//   leaves the background transparent; hatch lines are drawn in the brush
//   colour over what is there.
// - The pen mode applies to the pen and to the interior of shapes; text,
//   FillRect, FrameRect, FloodFill, SetPixels and copies always copy.
// - Pens wider than one pixel are solid, with round caps and joins, centred
//   on the outline (psInsideFrame keeps them inside the bounding rectangle).
// - Pixels outside the bitmap read as clBlack; reads ignore the clip region.
// - Source pixels outside the source bitmap of CopyRect leave the
//   destination unchanged; either rectangle may be mirrored.
// - Dash patterns restart at every LineTo and run on along a Polyline.
// - TextOut leaves the pen position after the text, on its top line.
//   DrawText ignores the escapement, places vertically only single lines,
//   and with a solid brush fills the bounding box of the laid-out text.
// - A font whose family is missing falls back to the system sans font;
//   height 0 stands for 11 pixels.
#include "core/canvas.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/bitmap.h"
#include "core/qt_support.h"

namespace pixtrel {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Classic MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t num = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = std::abs(static_cast<std::int64_t>(c)) / 2;
  const bool negative = (num < 0) != (c < 0);
  const std::int64_t q = (std::abs(num) + half) / std::abs(static_cast<std::int64_t>(c));
  return static_cast<int>(negative ? -q : q);
}

// Coordinates far outside any bitmap are pulled in to this range, which
// keeps Qt's integer rectangles from overflowing.
constexpr int kFarCoordinate = 1 << 29;
int Near(int v) { return std::clamp(v, -kFarCoordinate, kFarCoordinate); }

QRect NormalizedBox(int left, int top, int right, int bottom) {
  left = Near(left);
  top = Near(top);
  right = Near(right);
  bottom = Near(bottom);
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// A cell of an 8-by-8 hatch pattern, aligned to the bitmap's origin.
bool HatchBit(BrushStyle style, int x, int y) {
  const int hx = x & 7, hy = y & 7;
  const bool horizontal = hy == 0;
  const bool vertical = hx == 0;
  const bool forward = ((hx - hy) & 7) == 0;   // top-left to bottom-right
  const bool backward = ((hx + hy) & 7) == 7;  // bottom-left to top-right
  switch (style) {
    case bsHorizontal:
      return horizontal;
    case bsVertical:
      return vertical;
    case bsFDiagonal:
      return forward;
    case bsBDiagonal:
      return backward;
    case bsCross:
      return horizontal || vertical;
    case bsDiagCross:
      return forward || backward;
    case bsSolid:
      return true;
    case bsClear:
      return false;
  }
  return false;
}

// Dash patterns of one-pixel pens, in pixels on and off.
std::vector<int> DashPattern(PenStyle style) {
  switch (style) {
    case psDash:
      return {18, 6};
    case psDot:
      return {3, 3};
    case psDashDot:
      return {9, 6, 3, 6};
    case psDashDotDot:
      return {9, 3, 3, 3, 3, 3};
    default:
      return {};
  }
}

bool PatternOn(const std::vector<int>& pattern, std::int64_t position) {
  if (pattern.empty()) return true;
  int period = 0;
  for (int v : pattern) period += v;
  int p = static_cast<int>(position % period);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (p < pattern[i]) return i % 2 == 0;
    p -= pattern[i];
  }
  return true;
}

void ApplyMode(std::uint8_t* p, Color c, PenMode mode) {
  const std::uint8_t b = static_cast<std::uint8_t>(GetBValue(c));
  const std::uint8_t g = static_cast<std::uint8_t>(GetGValue(c));
  const std::uint8_t r = static_cast<std::uint8_t>(GetRValue(c));
  switch (mode) {
    case pmCopy:
      p[0] = b;
      p[1] = g;
      p[2] = r;
      break;
    case pmXor:
      p[0] ^= b;
      p[1] ^= g;
      p[2] ^= r;
      break;
    case pmNotXor:
      p[0] = static_cast<std::uint8_t>(~(p[0] ^ b));
      p[1] = static_cast<std::uint8_t>(~(p[1] ^ g));
      p[2] = static_cast<std::uint8_t>(~(p[2] ^ r));
      break;
    case pmNot:
      p[0] = static_cast<std::uint8_t>(~p[0]);
      p[1] = static_cast<std::uint8_t>(~p[1]);
      p[2] = static_cast<std::uint8_t>(~p[2]);
      break;
    case pmBlack:
      p[0] = p[1] = p[2] = 0;
      break;
    case pmWhite:
      p[0] = p[1] = p[2] = 255;
      break;
  }
}

// Palette index of pixel x in a stored 1-, 4- or 8-bit row (leftmost pixel
// in the highest bits).
std::size_t IndexAt(const std::uint8_t* row, PixelFormat f, int x) {
  switch (f) {
    case pf1bit:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case pf4bit:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

void SetIndexAt(std::uint8_t* row, PixelFormat f, int x, int index) {
  switch (f) {
    case pf1bit: {
      const int bit = 7 - (x & 7);
      row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(1 << bit)) | ((index & 1) << bit));
      break;
    }
    case pf4bit: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F))
                  : static_cast<std::uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    default:
      row[x] = static_cast<std::uint8_t>(index);
      break;
  }
}

bool IsIndexed(PixelFormat f) { return f == pf1bit || f == pf4bit || f == pf8bit; }
bool IsDirect(PixelFormat f) { return f == pf24bit || f == pf32bit || f == pfDevice; }

// 8-bit coverage masks over a rectangle of bitmap coordinates.
QImage NewMask(const QRect& area) {
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
void SubtractMask(QImage& a, const QImage& b) {
  if (a.isNull() || b.isNull()) return;
  const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
  for (int y = 0; y < h; ++y) {
    std::uint8_t* pa = a.scanLine(y);
    const std::uint8_t* pb = b.constScanLine(y);
    for (int x = 0; x < w; ++x)
      if (pb[x] >= 128) pa[x] = 0;
  }
}

QPen SolidMaskPen(int width) {
  QPen pen(QColor(255, 255, 255), width <= 1 ? 1 : width, Qt::SolidLine, width <= 1 ? Qt::SquareCap : Qt::RoundCap,
           width <= 1 ? Qt::MiterJoin : Qt::RoundJoin);
  return pen;
}

QRegion RegionFromMask(const QImage& mask, QPoint origin) {
  std::vector<QRect> rects;
  for (int y = 0; y < mask.height(); ++y) {
    const std::uint8_t* row = mask.constScanLine(y);
    int x = 0;
    while (x < mask.width()) {
      while (x < mask.width() && row[x] < 128) ++x;
      const int start = x;
      while (x < mask.width() && row[x] >= 128) ++x;
      if (x > start) rects.emplace_back(origin.x() + start, origin.y() + y, x - start, 1);
    }
  }
  QRegion region;
  if (!rects.empty()) region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Text needs a QGuiApplication: one is made on first use; under a plain
// QCoreApplication text is left out.
bool FontsAvailable() {
  EnsureGuiApplication();
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

QFont MakeQFont(const Font& font) {
  QFont q;
  const QString family = ToQString(font.name);
  if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
    q.setFamily(family);
  } else {
    q.setStyleHint(QFont::SansSerif);
    q.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  }
  q.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
  q.setHintingPreference(QFont::PreferFullHinting);
  q.setKerning(false);
  q.setBold(font.bold);
  q.setItalic(font.italic);
  q.setUnderline(font.underline);
  q.setStrikeOut(font.strikeOut);
  int pixels = font.height < 0 ? -font.height : font.height;
  if (pixels == 0) pixels = 11;
  pixels = std::min(pixels, 4096);
  q.setPixelSize(pixels);
  if (font.height > 0) {
    // A positive height is the whole cell: scale the character height so
    // that ascent plus descent fits it.
    const int cell = QFontMetrics(q).height();
    if (cell > 0 && cell != font.height) {
      int scaled = std::max(1, static_cast<int>(std::lround(double(pixels) * font.height / cell)));
      q.setPixelSize(scaled);
      while (scaled > 1 && QFontMetrics(q).height() > font.height) q.setPixelSize(--scaled);
    }
  }
  return q;
}

// The pixels of a line from a to b, leaving out b, as Bresenham steps them:
// calls visit(step, x, y) for the steps that fall inside bounds.
template <class Visit>
void ForEachLinePixel(Point a, Point b, const QRect& bounds, Visit&& visit) {
  const std::int64_t dx = std::int64_t(b.X) - a.X, dy = std::int64_t(b.Y) - a.Y;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const std::int64_t steps = std::max(adx, ady);
  if (steps == 0 || bounds.isEmpty()) return;
  const bool xMajor = adx >= ady;
  const std::int64_t major0 = xMajor ? a.X : a.Y;
  const int majorStep = xMajor ? sx : sy;
  const std::int64_t lo = xMajor ? bounds.left() : bounds.top();
  const std::int64_t hi = xMajor ? bounds.right() : bounds.bottom();
  // Steps whose major coordinate lies in [lo, hi].
  std::int64_t first, last;
  if (majorStep > 0) {
    first = lo - major0;
    last = hi - major0;
  } else {
    first = major0 - hi;
    last = major0 - lo;
  }
  first = std::max<std::int64_t>(first, 0);
  last = std::min<std::int64_t>(last, steps - 1);
  const std::int64_t along = xMajor ? adx : ady, across = xMajor ? ady : adx;
  for (std::int64_t i = first; i <= last; ++i) {
    const std::int64_t minorOffset =
        static_cast<std::int64_t>((static_cast<__int128>(2 * i) * across + along) / (2 * along));
    const std::int64_t x = xMajor ? a.X + sx * i : a.X + sx * minorOffset;
    const std::int64_t y = xMajor ? a.Y + sy * minorOffset : a.Y + sy * i;
    if (x < bounds.left() || x > bounds.right() || y < bounds.top() || y > bounds.bottom()) continue;
    visit(i, static_cast<int>(x), static_cast<int>(y));
  }
}

QRect PointsBox(std::span<const Point> points, int margin) {
  int l = std::numeric_limits<int>::max(), t = l, r = std::numeric_limits<int>::min(), b = r;
  for (const Point& p : points) {
    l = std::min(l, p.X);
    t = std::min(t, p.Y);
    r = std::max(r, p.X);
    b = std::max(b, p.Y);
  }
  const std::int64_t ll = std::int64_t(l) - margin, tt = std::int64_t(t) - margin;
  const std::int64_t rr = std::int64_t(r) + margin, bb = std::int64_t(b) + margin;
  auto clampInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 29), 1 << 29)); };
  return QRect(QPoint(clampInt(ll), clampInt(tt)), QPoint(clampInt(rr), clampInt(bb)));
}

QRect ExpandedBox(const QRect& box, int margin) {
  auto clampInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 29), 1 << 29)); };
  return QRect(QPoint(clampInt(std::int64_t(box.left()) - margin), clampInt(std::int64_t(box.top()) - margin)),
               QPoint(clampInt(std::int64_t(box.right()) + margin), clampInt(std::int64_t(box.bottom()) + margin)));
}

}  // namespace

// The pixels of one drawing operation over an area of the owner: direct on
// 24- and 32-bit rows, otherwise on a 24-bit copy that is mapped back when
// the painter goes.
class CanvasPainter {
 public:
  CanvasPainter(Canvas& canvas, const QRect& wanted) : bitmap_(canvas.owner_) {
    area_ = wanted & QRect(0, 0, bitmap_.Width(), bitmap_.Height());
    if (canvas.clip_) {
      const QRegion visible = canvas.clip_->Native() & QRegion(area_);
      area_ = visible.boundingRect();
      if (!area_.isEmpty() && visible.rectCount() > 1) {
        allowed_.assign(std::size_t(area_.width()) * area_.height(), 0);
        for (const QRect& r : visible)
          for (int y = r.top(); y <= r.bottom(); ++y)
            std::fill_n(allowed_.begin() + std::ptrdiff_t(y - area_.top()) * area_.width() + (r.left() - area_.left()),
                        r.width(), std::uint8_t(1));
      }
    }
    if (area_.isEmpty()) return;
    const PixelFormat format = bitmap_.PixelFormat();
    if (IsDirect(format)) {
      bpp_ = format == pf24bit ? 3 : 4;
      base_ = bitmap_.ScanLine(0);
      stride_ = bitmap_.RowStride();
      origin_ = QPoint(0, 0);
    } else {
      bpp_ = 3;
      stride_ = std::size_t(area_.width()) * 3;
      origin_ = area_.topLeft();
      copy_.resize(stride_ * area_.height());
      const bool indexed = IsIndexed(format);
      const Palette& palette = bitmap_.Palette();
      for (int y = 0; y < area_.height(); ++y) {
        std::uint8_t* row = copy_.data() + y * stride_;
        const std::uint8_t* stored = bitmap_.ScanLine(area_.top() + y);
        for (int x = 0; x < area_.width(); ++x) {
          Color c;
          if (indexed) {
            const std::size_t index = IndexAt(stored, format, area_.left() + x);
            c = index < palette.size() ? palette[index] : clBlack;
          } else {
            c = bitmap_.Pixel(area_.left() + x, area_.top() + y);
          }
          row[3 * x] = static_cast<std::uint8_t>(GetBValue(c));
          row[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(c));
          row[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(c));
        }
      }
      base_ = copy_.data();
    }
  }

  ~CanvasPainter() {
    if (copy_.empty()) return;
    const bool indexed = IsIndexed(bitmap_.PixelFormat()) && !bitmap_.Palette().empty();
    const PixelFormat format = bitmap_.PixelFormat();
    std::unordered_map<Color, int> nearest;
    for (int y = 0; y < area_.height(); ++y) {
      const std::uint8_t* row = copy_.data() + y * stride_;
      std::uint8_t* stored = bitmap_.ScanLine(area_.top() + y);
      for (int x = 0; x < area_.width(); ++x) {
        const std::uint8_t* p = row + 3 * x;
        const Color c = RGB(p[2], p[1], p[0]);
        // The stored pixel is as it was when the copy was made.
        if (indexed) {
          const std::size_t old = IndexAt(stored, format, area_.left() + x);
          const Color was = old < bitmap_.Palette().size() ? bitmap_.Palette()[old] & 0xFFFFFF : clBlack;
          if (was == c) continue;
          auto it = nearest.find(c);
          if (it == nearest.end()) it = nearest.emplace(c, NearestPaletteIndex(bitmap_.Palette(), c)).first;
          SetIndexAt(stored, format, area_.left() + x, it->second);
        } else {
          if ((bitmap_.Pixel(area_.left() + x, area_.top() + y) & 0xFFFFFF) == c) continue;
          bitmap_.SetPixel(area_.left() + x, area_.top() + y, c);
        }
      }
    }
  }

  CanvasPainter(const CanvasPainter&) = delete;
  CanvasPainter& operator=(const CanvasPainter&) = delete;

  static bool ClipAllows(const Canvas& canvas, int x, int y) { return !canvas.clip_ || canvas.clip_->Contains(x, y); }

  bool Empty() const { return area_.isEmpty(); }
  const QRect& Area() const { return area_; }

  bool Allowed(int x, int y) const {
    if (!area_.contains(x, y)) return false;
    return allowed_.empty() || allowed_[std::size_t(y - area_.top()) * area_.width() + (x - area_.left())] != 0;
  }

  std::uint8_t* At(int x, int y) {
    return base_ + std::size_t(y - origin_.y()) * stride_ + std::size_t(x - origin_.x()) * bpp_;
  }
  Color Get(int x, int y) {
    const std::uint8_t* p = At(x, y);
    return RGB(p[2], p[1], p[0]);
  }

  void Put(int x, int y, Color c, PenMode mode) {
    if (Allowed(x, y)) ApplyMode(At(x, y), c, mode);
  }

  // Writes color wherever mask (whose top-left is at origin) is set.
  void PaintMask(const QImage& mask, QPoint origin, Color color, PenMode mode) {
    PaintMaskWith(mask, origin, mode, [color](int, int, Color& c) {
      c = color;
      return true;
    });
  }

  // Writes the brush pattern wherever mask is set.
  void PaintBrush(const QImage& mask, QPoint origin, const Brush& brush, PenMode mode) {
    if (brush.style == bsClear) return;
    const Color color = brush.color;
    const BrushStyle style = brush.style;
    PaintMaskWith(mask, origin, mode, [=](int x, int y, Color& c) {
      c = color;
      return HatchBit(style, x, y);
    });
  }

 private:
  template <class ColorAt>
  void PaintMaskWith(const QImage& mask, QPoint origin, PenMode mode, ColorAt&& colorAt) {
    if (mask.isNull() || Empty()) return;
    const QRect span = area_ & QRect(origin, mask.size());
    if (span.isEmpty()) return;
    const int n = span.width();
    for (int y = span.top(); y <= span.bottom(); ++y) {
      const std::uint8_t* m = mask.constScanLine(y - origin.y()) + (span.left() - origin.x());
      const std::uint8_t* allow = allowed_.empty() ? nullptr
                                                   : allowed_.data() + std::size_t(y - area_.top()) * area_.width() +
                                                         (span.left() - area_.left());
      std::uint8_t* p = At(span.left(), y);
      for (int i = 0; i < n; ++i, p += bpp_) {
        if (m[i] < 128 || (allow && !allow[i])) continue;
        Color c;
        if (colorAt(span.left() + i, y, c)) ApplyMode(p, c, mode);
      }
    }
  }

  Bitmap& bitmap_;
  QRect area_;
  std::vector<std::uint8_t> allowed_;
  std::uint8_t* base_ = nullptr;
  std::size_t stride_ = 0;
  int bpp_ = 3;
  QPoint origin_;
  std::vector<std::uint8_t> copy_;

  friend class CanvasOps;
};

// The drawing routines, kept here so that they can reach the canvas state.
class CanvasOps {
 public:
  // Renders a shape's mask over area for the pixel box box (Qt's rectangle
  // convention: a one-pixel pen covers box.left() to box.left() + box.width()).
  using Renderer = std::function<QImage(const QRect& area, const QPen& pen, bool fill, const QRect& box)>;

  static Renderer PainterShape(std::function<void(QPainter&, const QRect&)> shape) {
    return [shape = std::move(shape)](const QRect& area, const QPen& pen, bool fill, const QRect& box) {
      return RenderMask(area, [&](QPainter& p) {
        // Wide pens are centred on the pixel centres of the outline.
        if (pen.style() != Qt::NoPen && pen.width() > 1) p.translate(0.5, 0.5);
        p.setPen(pen);
        p.setBrush(fill ? QBrush(Qt::white) : QBrush(Qt::NoBrush));
        shape(p, box);
      });
    };
  }

  // Qt's rounded rectangles come out lopsided without antialiasing; its
  // ellipses do not. A rounded rectangle is therefore an ellipse of the
  // corner size cut through its middle row and column and pulled apart.
  // Along one axis of a rounded rectangle of size pixels with corners of
  // cornerSize: the stretch [first, last] (box-relative) and the column or
  // row of the corner ellipse it takes.
  struct CornerPiece {
    int first, last, shift;
    bool constant;
    int CornerOf(int v) const { return constant ? shift : v - shift; }
  };

  static std::vector<CornerPiece> CornerPieces(int lo, int hi, int size, int cornerSize, int margin) {
    std::vector<CornerPiece> pieces;
    auto add = [&](int first, int last, int shift, bool constant) {
      first = std::max(first, lo);
      last = std::min(last, hi);
      if (first <= last) pieces.push_back(CornerPiece{first, last, shift, constant});
    };
    const int half = cornerSize / 2, rest = cornerSize - half;
    add(-margin, half - 1, 0, false);
    add(half, size - rest - 1, half, true);
    add(size - rest, size - 1 + margin, size - cornerSize, false);
    return pieces;
  }

  static Renderer RoundRectShape(int cornerWidth, int cornerHeight) {
    return [=](const QRect& area, const QPen& pen, bool fill, const QRect& box) {
      const int w = box.width() + 1, h = box.height() + 1;
      // Corner sizes are taken by magnitude; INT_MIN has none as an int.
      const auto magnitude = [](int v) { return v < 0 ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v); };
      const int ew = static_cast<int>(std::min<std::int64_t>(magnitude(cornerWidth), w));
      const int eh = static_cast<int>(std::min<std::int64_t>(magnitude(cornerHeight), h));
      if (ew < 2 || eh < 2)
        return PainterShape([](QPainter& p, const QRect& r) { p.drawRect(r); })(area, pen, fill, box);
      const int margin = pen.width() + 2;
      const QRect ellipseBox(0, 0, ew - 1, eh - 1);
      const auto xs = CornerPieces(area.left() - box.left(), area.right() - box.left(), w, ew, margin);
      const auto ys = CornerPieces(area.top() - box.top(), area.bottom() - box.top(), h, eh, margin);
      const Renderer ellipse = PainterShape([](QPainter& p, const QRect& r) { p.drawEllipse(r); });
      QImage mask = NewMask(area);
      // Only the parts of the corner ellipse that land in area are rendered,
      // so huge corners cost no more than small ones.
      for (const CornerPiece& px : xs)
        for (const CornerPiece& py : ys) {
          const QRect from(QPoint(px.CornerOf(px.first), py.CornerOf(py.first)),
                           QPoint(px.CornerOf(px.last), py.CornerOf(py.last)));
          const QImage part = ellipse(from, pen, fill, ellipseBox);
          for (int v = py.first; v <= py.last; ++v) {
            const std::uint8_t* src = part.constScanLine(py.CornerOf(v) - from.top());
            std::uint8_t* dst = mask.scanLine(v + box.top() - area.top());
            for (int u = px.first; u <= px.last; ++u)
              dst[u + box.left() - area.left()] = src[px.CornerOf(u) - from.left()];
          }
        }
      return mask;
    };
  }

  // A closed shape (or an arc when closed is false) through the pixel box
  // of (left, top, right, bottom): the pen on the outline, the brush inside.
  static void DrawShape(Canvas& c, int left, int top, int right, int bottom, bool closed, const Renderer& shape) {
    if (left == right || top == bottom) return;
    const QRect box = NormalizedBox(left, top, right, bottom);
    const Pen& pen = c.Pen();
    const bool hasPen = pen.style != psClear;
    const int width = std::max(1, pen.width);
    const bool wide = hasPen && width > 1;
    const QRect area = ExpandedBox(box, width + 2);
    CanvasPainter cp(c, area);
    if (cp.Empty()) return;
    const QRect maskArea = cp.Area();
    const QPoint origin = maskArea.topLeft();
    const bool opaque = c.Brush().style == bsSolid;

    if (!hasPen) {
      if (!closed) return;
      // Without a pen the shape is one pixel smaller at the right and bottom.
      const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
      if (inner.width() <= 0 || inner.height() <= 0) return;
      const QImage interior = shape(maskArea, SolidMaskPen(1), true,
                                    QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
      cp.PaintBrush(interior, origin, c.Brush(), pen.mode);
      return;
    }

    const QRect outlineBox(box.left(), box.top(), box.width() - 1, box.height() - 1);
    QRect strokeBox = outlineBox;
    if (wide && pen.style == psInsideFrame) {
      const int inset = std::min({width / 2, outlineBox.width() / 2, outlineBox.height() / 2});
      strokeBox = outlineBox.adjusted(inset, inset, -inset, -inset);
    }
    QImage outline = shape(maskArea, SolidMaskPen(width), false, strokeBox);
    if (closed && c.Brush().style != bsClear) {
      QImage interior = shape(maskArea, SolidMaskPen(1), true, outlineBox);
      SubtractMask(interior, outline);
      cp.PaintBrush(interior, origin, c.Brush(), pen.mode);
    }
    const std::vector<int> dashes = wide ? std::vector<int>{} : DashPattern(pen.style);
    if (!dashes.empty()) {
      QPen dashPen(QColor(255, 255, 255), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
      dashPen.setDashPattern(QList<qreal>(dashes.begin(), dashes.end()));
      const QImage dashed = shape(maskArea, dashPen, false, strokeBox);
      QImage gaps = outline;
      SubtractMask(gaps, dashed);
      if (opaque) cp.PaintMask(gaps, origin, c.Brush().color, pen.mode);
      outline = dashed;
    }
    cp.PaintMask(outline, origin, pen.color, pen.mode);
  }

  // A one-pixel line from a to b without b; the dash pattern starts at
  // offset and the returned value is where it ends.
  static std::int64_t ThinLine(CanvasPainter& cp, const Canvas& c, Point a, Point b, std::int64_t offset) {
    const Pen& pen = c.Pen();
    const std::vector<int> dashes = DashPattern(pen.style);
    const bool opaque = c.Brush().style == bsSolid;
    const Color bk = c.Brush().color;
    ForEachLinePixel(a, b, cp.Area(), [&](std::int64_t i, int x, int y) {
      if (PatternOn(dashes, offset + i))
        cp.Put(x, y, pen.color, pen.mode);
      else if (opaque)
        cp.Put(x, y, bk, pen.mode);
    });
    const std::int64_t dx = std::abs(std::int64_t(b.X) - a.X), dy = std::abs(std::int64_t(b.Y) - a.Y);
    return offset + std::max(dx, dy);
  }

  static void Lines(Canvas& c, std::span<const Point> points, bool closed) {
    if (points.size() < 2 || c.Pen().style == psClear) return;
    const int width = std::max(1, c.Pen().width);
    CanvasPainter cp(c, PointsBox(points, width + 1));
    if (cp.Empty()) return;
    if (width == 1) {
      std::int64_t offset = 0;
      for (std::size_t i = 0; i + 1 < points.size(); ++i) offset = ThinLine(cp, c, points[i], points[i + 1], offset);
      if (closed) ThinLine(cp, c, points.back(), points.front(), offset);
      return;
    }
    const QRect area = cp.Area();
    const QImage mask = RenderMask(area, [&](QPainter& p) {
      p.translate(0.5, 0.5);
      p.setPen(SolidMaskPen(width));
      p.setBrush(Qt::NoBrush);
      QPolygon poly;
      for (const Point& pt : points) poly << QPoint(pt.X, pt.Y);
      if (closed)
        p.drawPolygon(poly);
      else
        p.drawPolyline(poly);
    });
    cp.PaintMask(mask, area.topLeft(), c.Pen().color, c.Pen().mode);
  }

  static void Polygon(Canvas& c, std::span<const Point> points) {
    if (points.size() < 2) return;
    const int width = std::max(1, c.Pen().width);
    QPolygon poly;
    for (const Point& pt : points) poly << QPoint(pt.X, pt.Y);
    if (c.Brush().style != bsClear) {
      CanvasPainter cp(c, PointsBox(points, 1));
      if (cp.Empty()) return;
      const QRect area = cp.Area();
      QImage interior = RenderMask(area, [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(poly, Qt::OddEvenFill);
      });
      if (c.Pen().style != psClear) {
        // Leave the pixels of the outline to the pen (matters for xor).
        QImage outline;
        if (width == 1) {
          outline = NewMask(area);
          for (std::size_t i = 0; i < points.size(); ++i)
            ForEachLinePixel(points[i], points[(i + 1) % points.size()], area, [&](std::int64_t, int x, int y) {
              outline.scanLine(y - area.top())[x - area.left()] = 255;
            });
        } else {
          outline = RenderMask(area, [&](QPainter& p) {
            p.translate(0.5, 0.5);
            p.setPen(SolidMaskPen(width));
            p.setBrush(Qt::NoBrush);
            p.drawPolygon(poly);
          });
        }
        SubtractMask(interior, outline);
      }
      cp.PaintBrush(interior, area.topLeft(), c.Brush(), c.Pen().mode);
    }
    Lines(c, points, true);
  }

  static void Text(Canvas& c, int x, int y, const std::string& text) {
    if (text.empty() || !FontsAvailable()) return;
    x = Near(x);
    y = Near(y);
    const QFont font = MakeQFont(c.Font());
    const QFontMetrics fm(font);
    const QString s = ToQString(text);
    const int w = fm.horizontalAdvance(s), h = fm.height();
    QTransform t;
    t.translate(x, y);
    t.rotate(-c.Font().escapement / 10.0);
    const int margin = h / 2 + 2;
    const QRect local(-margin, -margin, w + 2 * margin, h + 2 * margin);
    CanvasPainter cp(c, t.mapRect(local).adjusted(-1, -1, 1, 1));
    if (cp.Empty()) return;
    const QRect area = cp.Area();
    if (c.Brush().style == bsSolid) {
      const QImage box = RenderMask(area, [&](QPainter& p) {
        p.setTransform(t, true);
        p.fillRect(QRect(0, 0, w, h), Qt::white);
      });
      cp.PaintMask(box, area.topLeft(), c.Brush().color, pmCopy);
    }
    const QImage glyphs = RenderMask(area, [&](QPainter& p) {
      p.setTransform(t, true);
      p.setFont(font);
      p.setPen(QColor(255, 255, 255));
      p.drawText(QPoint(0, fm.ascent()), s);
    });
    cp.PaintMask(glyphs, area.topLeft(), c.Font().color, pmCopy);
  }

  static int QtTextFlags(unsigned flags) {
    int q = 0;
    q |= (flags & dtCenter) ? Qt::AlignHCenter : (flags & dtRight) ? Qt::AlignRight : Qt::AlignLeft;
    // Vertical placement applies to single lines only.
    if (flags & dtSingleLine)
      q |= (flags & dtVCenter) ? Qt::AlignVCenter : (flags & dtBottom) ? Qt::AlignBottom : Qt::AlignTop;
    else
      q |= Qt::AlignTop;
    if (flags & dtWordBreak) q |= Qt::TextWordWrap;
    if (flags & dtSingleLine) q |= Qt::TextSingleLine;
    if (flags & dtNoClip) q |= Qt::TextDontClip;
    return q;
  }

  static int DrawText(Canvas& c, const std::string& text, Rect& rect, unsigned flags) {
    if (!FontsAvailable()) return 0;
    const QFont font = MakeQFont(c.Font());
    const QFontMetrics fm(font);
    const QString s = ToQString(text);
    const int qflags = QtTextFlags(flags);
    const int left = Near(rect.Left), top = Near(rect.Top);
    const QRect box(left, top, std::max(0, Near(rect.Right) - left), std::max(0, Near(rect.Bottom) - top));
    if (flags & dtCalcRect) {
      if (s.isEmpty()) {
        rect.Right = rect.Left;
        rect.Bottom = rect.Top;
        return 0;
      }
      const QRect layoutBox(box.left(), box.top(), box.width(), std::max(box.height(), 1 << 20));
      const QRect br = fm.boundingRect(
          layoutBox, qflags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), s);
      constexpr std::int64_t kMax = std::numeric_limits<int>::max();
      rect.Right = static_cast<int>(std::min<std::int64_t>(std::int64_t(rect.Left) + br.width(), kMax));
      rect.Bottom = static_cast<int>(std::min<std::int64_t>(std::int64_t(rect.Top) + br.height(), kMax));
      return br.height();
    }
    if (s.isEmpty()) return 0;
    const QRect br = fm.boundingRect(box, qflags, s);
    const QRect target = (flags & dtNoClip) ? br.united(box) : box;
    CanvasPainter cp(c, ExpandedBox(target, 0));
    if (cp.Empty()) return br.height();
    const QRect area = cp.Area();
    const QRect clipTo = (flags & dtNoClip) ? area : (box & area);
    if (c.Brush().style == bsSolid) {
      const QImage back = RenderMask(area, [&](QPainter& p) {
        p.setClipRect(clipTo);
        p.fillRect(br, Qt::white);
      });
      cp.PaintMask(back, area.topLeft(), c.Brush().color, pmCopy);
    }
    const QImage glyphs = RenderMask(area, [&](QPainter& p) {
      p.setClipRect(clipTo);
      p.setFont(font);
      p.setPen(QColor(255, 255, 255));
      p.drawText(box, qflags, s);
    });
    cp.PaintMask(glyphs, area.topLeft(), c.Font().color, pmCopy);
    return br.height();
  }

  // The colour a pixel of the owner would hold after being set to color.
  static Color StoredColor(const Bitmap& bitmap, Color color) {
    color &= 0xFFFFFF;
    const PixelFormat format = bitmap.PixelFormat();
    if (IsDirect(format)) return color;
    if (IsIndexed(format) && !bitmap.Palette().empty())
      return bitmap.Palette()[NearestPaletteIndex(bitmap.Palette(), color)] & 0xFFFFFF;
    Bitmap probe(1, 1, format);
    if (IsIndexed(format)) probe.SetPalette(bitmap.Palette());
    probe.SetPixel(0, 0, color);
    return probe.Pixel(0, 0) & 0xFFFFFF;
  }

  static void FloodFill(Canvas& c, int x, int y, Color color, FillStyle style) {
    Bitmap& bmp = c.Owner();
    const int w = bmp.Width(), h = bmp.Height();
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    if (!CanvasPainter::ClipAllows(c, x, y)) return;
    if (c.Brush().style == bsClear) return;
    const Color target = StoredColor(bmp, color);
    const PixelFormat format = bmp.PixelFormat();
    const int bpp = format == pf24bit ? 3 : 4;
    const bool direct = IsDirect(format);
    const bool surface = style == fsSurface;
    // Other formats are compared through their colours once, up front.
    std::vector<std::uint8_t> matches;
    if (!direct) {
      matches.resize(std::size_t(w) * h);
      const Palette& palette = bmp.Palette();
      for (int py = 0; py < h; ++py) {
        const std::uint8_t* row = bmp.ScanLine(py);
        for (int px = 0; px < w; ++px) {
          Color cc;
          if (IsIndexed(format)) {
            const std::size_t index = IndexAt(row, format, px);
            cc = index < palette.size() ? palette[index] & 0xFFFFFF : clBlack;
          } else {
            cc = bmp.Pixel(px, py) & 0xFFFFFF;
          }
          matches[std::size_t(py) * w + px] = (cc == target) == surface;
        }
      }
    }
    std::uint8_t* const bits = bmp.ScanLine(0);
    const std::size_t stride = bmp.RowStride();
    const std::uint8_t tb = static_cast<std::uint8_t>(GetBValue(target)),
                       tg = static_cast<std::uint8_t>(GetGValue(target)),
                       tr = static_cast<std::uint8_t>(GetRValue(target));
    auto fillable = [&](int px, int py) -> bool {
      if (!direct) return matches[std::size_t(py) * w + px] != 0;
      const std::uint8_t* p = bits + std::size_t(py) * stride + std::size_t(px) * bpp;
      return (p[0] == tb && p[1] == tg && p[2] == tr) == surface;
    };
    if (!fillable(x, y)) return;

    QImage mask = NewMask(QRect(0, 0, w, h));
    if (mask.isNull()) return;
    std::uint8_t* const marks = mask.bits();
    const std::size_t markStride = std::size_t(mask.bytesPerLine());
    auto marked = [&](int px, int py) { return marks[std::size_t(py) * markStride + px] != 0; };
    int minX = x, maxX = x, minY = y, maxY = y;
    std::vector<std::pair<int, int>> stack{{x, y}};
    while (!stack.empty()) {
      auto [sx, sy] = stack.back();
      stack.pop_back();
      if (marked(sx, sy) || !fillable(sx, sy)) continue;
      int left = sx, right = sx;
      while (left > 0 && !marked(left - 1, sy) && fillable(left - 1, sy)) --left;
      while (right < w - 1 && !marked(right + 1, sy) && fillable(right + 1, sy)) ++right;
      std::uint8_t* row = marks + std::size_t(sy) * markStride;
      std::fill(row + left, row + right + 1, std::uint8_t(255));
      minX = std::min(minX, left);
      maxX = std::max(maxX, right);
      minY = std::min(minY, sy);
      maxY = std::max(maxY, sy);
      for (int ny : {sy - 1, sy + 1}) {
        if (ny < 0 || ny >= h) continue;
        bool inRun = false;
        for (int px = left; px <= right; ++px) {
          const bool open = !marked(px, ny) && fillable(px, ny);
          if (open && !inRun) stack.emplace_back(px, ny);
          inRun = open;
        }
      }
    }
    CanvasPainter cp(c, QRect(QPoint(minX, minY), QPoint(maxX, maxY)));
    cp.PaintBrush(mask, QPoint(0, 0), c.Brush(), pmCopy);
  }

  // Nearest-pixel copy of src's srcRect into dest of the canvas. Either
  // rectangle may be mirrored (right < left or bottom < top). Pixels of
  // skip (when given) are left out.
  static void Blit(Canvas& c, const Rect& dest, const Bitmap& src, const Rect& srcRect, const Color* skip) {
    const std::int64_t dw = std::int64_t(dest.Right) - dest.Left, dh = std::int64_t(dest.Bottom) - dest.Top;
    const std::int64_t sw = std::int64_t(srcRect.Right) - srcRect.Left, sh = std::int64_t(srcRect.Bottom) - srcRect.Top;
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0 || src.Empty()) return;
    const std::int64_t destLeft = std::min(dest.Left, dest.Right), destTop = std::min(dest.Top, dest.Bottom);
    CanvasPainter cp(c, NormalizedBox(dest.Left, dest.Top, dest.Right, dest.Bottom));
    if (cp.Empty()) return;
    const QRect area = cp.Area();
    const bool flipX = (dw < 0) != (sw < 0), flipY = (dh < 0) != (sh < 0);
    const std::int64_t adw = std::abs(dw), adh = std::abs(dh), asw = std::abs(sw), ash = std::abs(sh);
    const std::int64_t srcLeft = std::min<std::int64_t>(srcRect.Left, srcRect.Right);
    const std::int64_t srcTop = std::min<std::int64_t>(srcRect.Top, srcRect.Bottom);
    auto sourceIndex = [](std::int64_t i, std::int64_t destSize, std::int64_t srcSize, bool flip) {
      const std::int64_t u = static_cast<std::int64_t>(static_cast<__int128>(i) * srcSize / destSize);
      return flip ? srcSize - 1 - u : u;
    };
    std::vector<int> columns(area.width());
    for (int x = area.left(); x <= area.right(); ++x) {
      const std::int64_t s = srcLeft + sourceIndex(x - destLeft, adw, asw, flipX);
      columns[x - area.left()] = (s < 0 || s >= src.Width()) ? -1 : static_cast<int>(s);
    }
    const PixelFormat format = src.PixelFormat();
    const bool direct = IsDirect(format);
    const int bpp = format == pf24bit ? 3 : 4;
    const Color skipColor = skip ? (*skip & 0xFFFFFF) : 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
      const std::int64_t sy = srcTop + sourceIndex(y - destTop, adh, ash, flipY);
      if (sy < 0 || sy >= src.Height()) continue;
      const std::uint8_t* srow = direct ? src.ScanLine(static_cast<int>(sy)) : nullptr;
      for (int x = area.left(); x <= area.right(); ++x) {
        const int sx = columns[x - area.left()];
        if (sx < 0) continue;
        Color color;
        if (direct) {
          const std::uint8_t* p = srow + std::size_t(sx) * bpp;
          color = RGB(p[2], p[1], p[0]);
        } else {
          color = src.Pixel(sx, static_cast<int>(sy)) & 0xFFFFFF;
        }
        if (skip && color == skipColor) continue;
        cp.Put(x, y, color, pmCopy);
      }
    }
  }

  static std::pair<double, double> ArcAngles(const QRect& box, int x3, int y3, int x4, int y4) {
    // Qt's arcs take the angle of the ellipse's parameter; the radials are
    // directions, so each is scaled by the radii first.
    const double cx = box.left() + box.width() / 2.0, cy = box.top() + box.height() / 2.0;
    const double rx = std::max(box.width() / 2.0, 0.5), ry = std::max(box.height() / 2.0, 0.5);
    auto angle = [&](int px, int py) {
      const double a = std::atan2(-(py - cy) / ry, (px - cx) / rx) * 180.0 / kPi;
      return a;
    };
    const double start = angle(x3, y3);
    double sweep = angle(x4, y4) - start;
    while (sweep <= 1e-9) sweep += 360.0;
    while (sweep > 360.0) sweep -= 360.0;
    return {start, sweep};
  }

  enum class ArcKind { Arc, Pie, Chord };

  static void ArcShape(Canvas& c, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, ArcKind kind) {
    if (x1 == x2 || y1 == y2) return;
    const QRect box = NormalizedBox(x1, y1, x2, y2);
    const QRect outlineBox(box.left(), box.top(), box.width() - 1, box.height() - 1);
    const auto [start, sweep] = ArcAngles(outlineBox, x3, y3, x4, y4);
    DrawShape(c, x1, y1, x2, y2, kind != ArcKind::Arc,
              PainterShape([=, start = start, sweep = sweep](QPainter& p, const QRect& r) {
                const QRectF rf(r);
                QPainterPath path;
                if (kind == ArcKind::Pie) {
                  path.moveTo(rf.center());
                  path.arcTo(rf, start, sweep);
                  path.closeSubpath();
                } else {
                  path.arcMoveTo(rf, start);
                  path.arcTo(rf, start, sweep);
                  if (kind == ArcKind::Chord) path.closeSubpath();
                }
                if (kind == ArcKind::Arc) p.setBrush(Qt::NoBrush);
                p.drawPath(path);
              }));
  }
};

// ---- Font ------------------------------------------------------------------

int Font::Size() const { return -MulDiv(height, 72, 96); }

void Font::SetSize(int points) { height = -MulDiv(points, 96, 72); }

// ---- Region ----------------------------------------------------------------

Region::Region() : region_(std::make_unique<QRegion>()) {}
Region::~Region() = default;
Region::Region(const Region& other) : region_(std::make_unique<QRegion>(*other.region_)) {}
Region& Region::operator=(const Region& other) {
  *region_ = *other.region_;
  return *this;
}

namespace {
// Regions of curved shapes cover the pixels the shape fills without a pen;
// above this many pixels Qt's own (approximate) region is used instead.
constexpr std::int64_t kMaxRegionMaskPixels = 1 << 26;

}  // namespace

Region Region::FromRect(const Rect& rect) {
  Region r;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  if (rect.Left != rect.Right && rect.Top != rect.Bottom) *r.region_ = QRegion(box);
  return r;
}

Region Region::FromRoundRect(const Rect& rect, int cornerWidth, int cornerHeight) {
  Region r;
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return r;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
  if (inner.width() <= 0 || inner.height() <= 0) return r;
  if (std::int64_t(box.width()) * box.height() > kMaxRegionMaskPixels) {
    *r.region_ = QRegion(inner);
    return r;
  }
  const QImage mask = CanvasOps::RoundRectShape(cornerWidth, cornerHeight)(
      box, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
  *r.region_ = RegionFromMask(mask, box.topLeft());
  return r;
}

Region Region::FromEllipse(const Rect& rect) {
  Region r;
  if (rect.Left == rect.Right || rect.Top == rect.Bottom) return r;
  const QRect box = NormalizedBox(rect.Left, rect.Top, rect.Right, rect.Bottom);
  const QRect inner(box.left(), box.top(), box.width() - 1, box.height() - 1);
  if (inner.width() <= 0 || inner.height() <= 0) return r;
  if (std::int64_t(box.width()) * box.height() > kMaxRegionMaskPixels) {
    *r.region_ = QRegion(inner, QRegion::Ellipse);
    return r;
  }
  const QImage mask = CanvasOps::PainterShape([](QPainter& p, const QRect& e) { p.drawEllipse(e); })(
      box, SolidMaskPen(1), true, QRect(inner.left(), inner.top(), inner.width() - 1, inner.height() - 1));
  *r.region_ = RegionFromMask(mask, box.topLeft());
  return r;
}

Region Region::FromPolygon(std::span<const Point> points) {
  Region r;
  if (points.size() < 3) return r;
  QPolygon poly;
  for (const Point& p : points) poly << QPoint(p.X, p.Y);
  *r.region_ = QRegion(poly, Qt::OddEvenFill);
  return r;
}

Region Region::United(const Region& other) const {
  Region r;
  *r.region_ = region_->united(*other.region_);
  return r;
}

Region Region::Subtracted(const Region& other) const {
  Region r;
  *r.region_ = region_->subtracted(*other.region_);
  return r;
}

Region Region::Intersected(const Region& other) const {
  Region r;
  *r.region_ = region_->intersected(*other.region_);
  return r;
}

Region Region::Translated(int dx, int dy) const {
  Region r;
  *r.region_ = region_->translated(dx, dy);
  return r;
}

bool Region::Contains(int x, int y) const { return region_->contains(QPoint(x, y)); }

bool Region::IsEmpty() const { return region_->isEmpty(); }

Rect Region::BoundingRect() const {
  if (region_->isEmpty()) return Rect{};
  const QRect b = region_->boundingRect();
  return Rect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
}

// ---- Canvas ----------------------------------------------------------------

Canvas::Canvas(Bitmap& owner) : owner_(owner) {}
Canvas::~Canvas() = default;

void Canvas::CopyStateFrom(const Canvas& other) {
  pen_ = other.pen_;
  brush_ = other.brush_;
  font_ = other.font_;
  penPos_ = other.penPos_;
}

void Canvas::MoveTo(int x, int y) { penPos_ = Point{x, y}; }

void Canvas::LineTo(int x, int y) {
  const Point points[2] = {penPos_, Point{x, y}};
  penPos_ = Point{x, y};
  CanvasOps::Lines(*this, points, false);
}

void Canvas::Rectangle(int left, int top, int right, int bottom) {
  CanvasOps::DrawShape(*this, left, top, right, bottom, true,
                       CanvasOps::PainterShape([](QPainter& p, const QRect& r) { p.drawRect(r); }));
}

void Canvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
  CanvasOps::DrawShape(*this, left, top, right, bottom, true, CanvasOps::RoundRectShape(cornerWidth, cornerHeight));
}

void Canvas::Ellipse(int left, int top, int right, int bottom) {
  CanvasOps::DrawShape(*this, left, top, right, bottom, true,
                       CanvasOps::PainterShape([](QPainter& p, const QRect& r) { p.drawEllipse(r); }));
}

void Canvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasOps::ArcShape(*this, x1, y1, x2, y2, x3, y3, x4, y4, CanvasOps::ArcKind::Arc);
}

void Canvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasOps::ArcShape(*this, x1, y1, x2, y2, x3, y3, x4, y4, CanvasOps::ArcKind::Pie);
}

void Canvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  CanvasOps::ArcShape(*this, x1, y1, x2, y2, x3, y3, x4, y4, CanvasOps::ArcKind::Chord);
}

void Canvas::Polygon(std::span<const Point> points) { CanvasOps::Polygon(*this, points); }

void Canvas::Polyline(std::span<const Point> points) { CanvasOps::Lines(*this, points, false); }

void Canvas::FillRect(const Rect& rect) {
  if (rect.IsEmpty() || brush_.style == bsClear) return;
  CanvasPainter cp(*this, QRect(QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Bottom - 1)));
  if (cp.Empty()) return;
  const QRect area = cp.Area();
  QImage all = NewMask(area);
  all.fill(255);
  cp.PaintBrush(all, area.topLeft(), brush_, pmCopy);
}

void Canvas::FrameRect(const Rect& rect) {
  if (rect.IsEmpty() || brush_.style == bsClear) return;
  const QRect box(QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Bottom - 1));
  CanvasPainter cp(*this, box);
  if (cp.Empty()) return;
  const QRect area = cp.Area();
  QImage frame = NewMask(area);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    std::uint8_t* row = frame.scanLine(y - area.top());
    for (int x = area.left(); x <= area.right(); ++x)
      if (x == box.left() || x == box.right() || y == box.top() || y == box.bottom()) row[x - area.left()] = 255;
  }
  cp.PaintBrush(frame, area.topLeft(), brush_, pmCopy);
}

void Canvas::TextOut(int x, int y, const std::string& text) {
  CanvasOps::Text(*this, x, y, text);
  penPos_ = Point{x + TextWidth(text), y};
}

int Canvas::TextWidth(const std::string& text) const {
  if (text.empty() || !FontsAvailable()) return 0;
  return QFontMetrics(MakeQFont(font_)).horizontalAdvance(ToQString(text));
}

int Canvas::TextHeight(const std::string& text) const {
  (void)text;
  if (!FontsAvailable()) return 0;
  return QFontMetrics(MakeQFont(font_)).height();
}

int Canvas::DrawText(const std::string& text, Rect& rect, unsigned flags) {
  return CanvasOps::DrawText(*this, text, rect, flags);
}

void Canvas::FloodFill(int x, int y, Color color, FillStyle style) { CanvasOps::FloodFill(*this, x, y, color, style); }

Color Canvas::Pixels(int x, int y) const { return owner_.Pixel(x, y); }

void Canvas::SetPixels(int x, int y, Color color) {
  if (x < 0 || y < 0 || x >= owner_.Width() || y >= owner_.Height()) return;
  if (clip_ && !clip_->Contains(x, y)) return;
  color &= 0xFFFFFF;
  if (IsIndexed(owner_.PixelFormat()) && !owner_.Palette().empty())
    owner_.SetPixelIndex(x, y, NearestPaletteIndex(owner_.Palette(), color));
  else
    owner_.SetPixel(x, y, color);
}

void Canvas::Draw(int x, int y, const Graphic& graphic) {
  graphic.Draw(*this, Rect{x, y, x + graphic.Width(), y + graphic.Height()});
}

void Canvas::StretchDraw(const Rect& rect, const Graphic& graphic) { graphic.Draw(*this, rect); }

void Canvas::CopyRect(const Rect& destRect, const Canvas& source, const Rect& sourceRect) {
  if (&source.owner_ == &owner_) {
    const Bitmap copy(owner_);
    CanvasOps::Blit(*this, destRect, copy, sourceRect, nullptr);
  } else {
    CanvasOps::Blit(*this, destRect, source.owner_, sourceRect, nullptr);
  }
}

void Canvas::SetClipRegion(const Region* region) {
  if (region)
    clip_ = std::make_unique<Region>(*region);
  else
    clip_.reset();
}

// ---- Drawing of graphics ---------------------------------------------------

void Bitmap::Draw(pixtrel::Canvas& canvas, const Rect& rect) const {
  if (Empty()) return;
  const Color skip = TransparentColor();
  const Color* skipPtr = Transparent() ? &skip : nullptr;
  if (&canvas.Owner() == this) {
    const Bitmap copy(*this);
    CanvasOps::Blit(canvas, rect, copy, Bounds(width_, height_), skipPtr);
  } else {
    CanvasOps::Blit(canvas, rect, *this, Bounds(width_, height_), skipPtr);
  }
}

void Graphic::Draw(Canvas& canvas, const Rect& rect) const {
  if (Empty()) return;
  Bitmap picture;
  AssignTo(picture);
  picture.Draw(canvas, rect);
}

}  // namespace pixtrel
