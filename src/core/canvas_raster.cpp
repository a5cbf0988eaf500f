// The canvas's painter, which writes the covered pixels in any format, and
// its pixel access, copies and drawing of graphics.
#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/bitmap.h"
#include "core/canvas_private.h"
#include "core/packed_row.h"

namespace pixtrel {

using namespace canvas_detail;

CanvasPainter::CanvasPainter(Canvas& canvas, const QRect& wanted) : bitmap_(canvas.owner_) {
  area_ = wanted & QRect(0, 0, bitmap_.Width(), bitmap_.Height());
  if (canvas.clip_) {
    const std::vector<Rect> visible =
        canvas.clip_->RectsWithin(Rect{area_.left(), area_.top(), area_.right() + 1, area_.bottom() + 1});
    QRect bounds;
    for (const Rect& r : visible) bounds |= QRect(r.Left, r.Top, r.Width(), r.Height());
    area_ = bounds;
    if (!area_.isEmpty() && visible.size() > 1) {
      allowed_.assign(std::size_t(area_.width()) * area_.height(), 0);
      for (const Rect& r : visible)
        for (int y = r.Top; y < r.Bottom; ++y)
          std::fill_n(allowed_.begin() + std::ptrdiff_t(y - area_.top()) * area_.width() + (r.Left - area_.left()),
                      r.Width(), std::uint8_t(1));
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
          const std::size_t index =
              PackedPixel(stored, BitsPerPixel(format), static_cast<std::size_t>(area_.left() + x));
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

CanvasPainter::~CanvasPainter() {
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
        const std::size_t old = PackedPixel(stored, BitsPerPixel(format), static_cast<std::size_t>(area_.left() + x));
        const Color was = old < bitmap_.Palette().size() ? bitmap_.Palette()[old] & 0xFFFFFF : clBlack;
        if (was == c) continue;
        auto it = nearest.find(c);
        if (it == nearest.end()) it = nearest.emplace(c, NearestPaletteIndex(bitmap_.Palette(), c)).first;
        SetPackedPixel(stored, BitsPerPixel(format), static_cast<std::size_t>(area_.left() + x), it->second);
      } else {
        if ((bitmap_.Pixel(area_.left() + x, area_.top() + y) & 0xFFFFFF) == c) continue;
        bitmap_.SetPixel(area_.left() + x, area_.top() + y, c);
      }
    }
  }
}

namespace {

// Nearest-pixel copy of src's srcRect into dest of the canvas. Either
// rectangle may be mirrored (right < left or bottom < top). Pixels of
// skip (when given) are left out.
void Blit(Canvas& c, const Rect& dest, const Bitmap& src, const Rect& srcRect, const Color* skip) {
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

}  // namespace

Canvas::Canvas(Bitmap& owner) : owner_(owner) {}
Canvas::~Canvas() = default;

void Canvas::CopyStateFrom(const Canvas& other) {
  pen_ = other.pen_;
  brush_ = other.brush_;
  font_ = other.font_;
  penPos_ = other.penPos_;
}

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
    Blit(*this, destRect, copy, sourceRect, nullptr);
  } else {
    Blit(*this, destRect, source.owner_, sourceRect, nullptr);
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
    Blit(canvas, rect, copy, Bounds(width_, height_), skipPtr);
  } else {
    Blit(canvas, rect, *this, Bounds(width_, height_), skipPtr);
  }
}

void Graphic::Draw(Canvas& canvas, const Rect& rect) const {
  if (Empty()) return;
  Bitmap picture;
  AssignTo(picture);
  picture.Draw(canvas, rect);
}

}  // namespace pixtrel
