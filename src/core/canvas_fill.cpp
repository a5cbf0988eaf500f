// Brush fills of the canvas: FillRect, FrameRect and FloodFill.
#include <QImage>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/bitmap.h"
#include "core/canvas_painting.h"
#include "core/packed_row.h"

namespace pixtrel {

using namespace canvas_detail;

namespace {

// The colour a pixel of the owner would hold after being set to color.
Color StoredColor(const Bitmap& bitmap, Color color) {
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

void FloodFillFrom(Canvas& c, int x, int y, Color color, FillStyle style) {
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
          const std::size_t index = PackedPixel(row, BitsPerPixel(format), static_cast<std::size_t>(px));
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

}  // namespace

void PainterEngine::FillRect(Canvas& canvas, const Rect& rect) const {
  const Brush& brush = canvas.Brush();
  if (rect.IsEmpty() || brush.style == bsClear) return;
  CanvasPainter cp(canvas, QRect(QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Bottom - 1)));
  if (cp.Empty()) return;
  const QRect area = cp.Area();
  QImage all = NewMask(area);
  all.fill(255);
  cp.PaintBrush(all, area.topLeft(), brush, pmCopy);
}

void PainterEngine::FrameRect(Canvas& canvas, const Rect& rect) const {
  const Brush& brush = canvas.Brush();
  if (rect.IsEmpty() || brush.style == bsClear) return;
  const QRect box(QPoint(rect.Left, rect.Top), QPoint(rect.Right - 1, rect.Bottom - 1));
  CanvasPainter cp(canvas, box);
  if (cp.Empty()) return;
  const QRect area = cp.Area();
  QImage frame = NewMask(area);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    std::uint8_t* row = frame.scanLine(y - area.top());
    for (int x = area.left(); x <= area.right(); ++x)
      if (x == box.left() || x == box.right() || y == box.top() || y == box.bottom()) row[x - area.left()] = 255;
  }
  cp.PaintBrush(frame, area.topLeft(), brush, pmCopy);
}

void PainterEngine::FloodFill(Canvas& canvas, int x, int y, Color color, FillStyle style) const {
  FloodFillFrom(canvas, x, y, color, style);
}

}  // namespace pixtrel
