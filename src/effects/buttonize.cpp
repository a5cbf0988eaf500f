#include "effects/buttonize.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/canvas.h"
#include "effects/fx_support.h"

namespace pixtrel::fx {

namespace {

using Table = std::array<std::uint8_t, 256>;

Table LightenTable(int a) {
  Table t;
  for (int c = 0; c < 256; ++c) t[c] = static_cast<std::uint8_t>(ClampToByte(c + a * (255 - c) / 255));
  return t;
}

Table DarkenTable(int a) {
  Table t;
  for (int c = 0; c < 256; ++c) t[c] = static_cast<std::uint8_t>(ClampToByte(c - a * c / 255));
  return t;
}

inline void ApplyAt(std::uint8_t* row, int x, const Table& t) {
  std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
  p[0] = t[p[0]];
  p[1] = t[p[1]];
  p[2] = t[p[2]];
}

// Draws one ring of the bevel: the lower-right and the upper-left half of the
// ellipse inscribed in (k, k)-(W - k, H - k), each in its own pen colour.
void DrawRing(Canvas& canvas, int width, int height, int k, Color lowerRight, Color upperLeft) {
  canvas.Pen().color = lowerRight;
  canvas.Arc(k, k, width - k, height - k, 0, height, width, 0);
  canvas.Pen().color = upperLeft;
  canvas.Arc(k, k, width - k, height - k, width, 0, 0, height);
}

// Pen colour of a ring: green the kind, blue the strength, red 0.
constexpr Color RingColor(int kind, int strength) { return RGB(0, kind, strength); }

}  // namespace

void ButtonizeRect(Bitmap& bitmap, int d, int w) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap) || d <= 0) return;
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const Table light = LightenTable(w);
  const Table dark = DarkenTable(w);
  // Pixels outside a small image are skipped.
  auto at = [&](std::uint8_t* row, int x, const Table& t) {
    if (x >= 0 && x < width) ApplyAt(row, x, t);
  };
  for (int k = 0; k <= d && k < height; ++k) {
    std::uint8_t* top = bitmap.ScanLine(k);
    std::uint8_t* bottom = bitmap.ScanLine(height - 1 - k);
    if (width - 1 - k >= k) {
      for (int x = k; x <= width - 1 - k; ++x) {
        ApplyAt(top, x, light);
        ApplyAt(bottom, x, dark);
      }
    }
    for (int x = 0; x <= k; ++x) {
      at(top, x, light);
      at(top, width - 1 - x, dark);
      at(bottom, x, light);
      at(bottom, width - 1 - x, dark);
    }
  }
  if (height - d - 2 >= d + 1) {
    for (int y = d + 1; y <= height - d - 2; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int x = 0; x <= d; ++x) {
        at(row, x, light);
        at(row, width - 1 - x, dark);
      }
    }
  }
}

Bitmap OvalBevelMask(int width, int height, int d, const std::string& style) {
  Bitmap mask(width, height, pf24bit);
  mask.Fill(clWhite);
  if (width <= 0 || height <= 0) return mask;
  Canvas& canvas = mask.Canvas();
  canvas.Pen().width = 1;
  canvas.Pen().style = psSolid;
  canvas.Pen().mode = pmCopy;
  canvas.Brush().style = bsClear;
  const bool round = style == "round" || style == "doubleround";
  const bool rimmed = style == "rimmed";
  if (round || rimmed) {
    for (int k = 0; k < d; ++k) {
      if (round)
        DrawRing(canvas, width, height, k, RingColor(1, d - 1 - k), RingColor(2, d - 1 - k));
      else
        DrawRing(canvas, width, height, k, RingColor(2, k), RingColor(1, k));
    }
  }
  if (style == "doubleround")
    for (int k = d; k < 2 * d; ++k) DrawRing(canvas, width, height, k, RingColor(2, k), RingColor(1, k));
  return mask;
}

void ButtonizeOval(Bitmap& bitmap, int d, int w, const std::string& style) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap) || d <= 0) return;
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const Bitmap mask = OvalBevelMask(width, height, d, style);
  // One table per (kind, strength) that occurs, from a = trunc(s / d * w).
  std::array<std::vector<std::uint8_t>, 512> tables;
  auto table = [&](int kind, int s) -> const std::uint8_t* {
    std::vector<std::uint8_t>& slot = tables[static_cast<std::size_t>((kind - 1) * 256 + s)];
    if (slot.empty()) {
      const int a = static_cast<int>(static_cast<long double>(s) / d * w);
      const Table t = kind == 2 ? LightenTable(a) : DarkenTable(a);
      slot.assign(t.begin(), t.end());
    }
    return slot.data();
  };
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    const std::uint8_t* m = mask.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const int kind = m[3 * x + 1];
      if (kind != 1 && kind != 2) continue;
      const std::uint8_t* t = table(kind, m[3 * x]);
      std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
      p[0] = t[p[0]];
      p[1] = t[p[1]];
      p[2] = t[p[2]];
    }
  }
  if (width < 3 || height < 3) return;
  for (int y = 1; y <= height - 2; ++y) {
    std::uint8_t* up = bitmap.ScanLine(y - 1);
    std::uint8_t* here = bitmap.ScanLine(y);
    std::uint8_t* down = bitmap.ScanLine(y + 1);
    const std::uint8_t* m = mask.ScanLine(y);
    for (int x = 1; x <= width - 2; ++x) {
      if (m[3 * x + 1] == 0) continue;
      for (int i = 3 * x; i < 3 * x + 3; ++i)
        here[i] = static_cast<std::uint8_t>((up[i] + down[i] + here[i - 3] + here[i + 3]) >> 2);
    }
  }
}

Bitmap OvalMask(int width, int height) {
  Bitmap mask(width, height, pf24bit);
  mask.Fill(clBlack);
  if (width <= 0 || height <= 0) return mask;
  Canvas& canvas = mask.Canvas();
  canvas.Pen() = Pen{clRed, 1, psSolid, pmCopy};
  canvas.Brush() = Brush{clRed, bsSolid};
  canvas.Ellipse(0, 0, width, height);
  return mask;
}

void MaskOval(Bitmap& bitmap, Color color) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  const int width = bitmap.Width();
  const Bitmap mask = OvalMask(width, bitmap.Height());
  const std::uint8_t b = static_cast<std::uint8_t>(GetBValue(color));
  const std::uint8_t g = static_cast<std::uint8_t>(GetGValue(color));
  const std::uint8_t r = static_cast<std::uint8_t>(GetRValue(color));
  ForRowBands(bitmap.Height(), 6LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      const std::uint8_t* m = mask.ScanLine(y);
      for (int x = 0; x < width; ++x) {
        if (m[3 * x + 2] != 0) continue;
        row[3 * x] = b;
        row[3 * x + 1] = g;
        row[3 * x + 2] = r;
      }
    }
  });
}

}  // namespace pixtrel::fx
