// The fixed palettes of the indexed pixel formats.
//
// The 256-colour halftone table, used by every conversion to pf8bit and by the
// colour reduction modes that name the platform's halftone palette:
//   0-9     the first ten static system colours (DefaultPalette20()[0..9])
//   10-225  a 6 x 6 x 6 colour cube, levels 0, 51, 102, 153, 204, 255, with
//           red varying slowest and blue fastest: index 10 + 36r + 6g + b
//   226-245 twenty greys, 255 * i / 21 rounded for i = 1..20 (none of them
//           is a cube level, so no colour appears twice among these)
//   246-255 the last ten static system colours (DefaultPalette20()[10..19])
#include <array>
#include <limits>

#include "core/bitmap.h"

namespace pixtrel {

const Palette& MonochromePalette() {
  static const Palette palette = {clBlack, clWhite};
  return palette;
}

const Palette& StandardPalette16() {
  static const Palette palette = {
      RGB(0, 0, 0),     RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),   RGB(0, 0, 128), RGB(128, 0, 128),
      RGB(0, 128, 128), RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0), RGB(255, 255, 0),
      RGB(0, 0, 255),   RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255),
  };
  return palette;
}

const Palette& DefaultPalette20() {
  static const Palette palette = {
      RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),   RGB(0, 0, 128),
      RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192), RGB(192, 220, 192), RGB(166, 202, 240),
      RGB(255, 251, 240), RGB(160, 160, 164), RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),
      RGB(255, 255, 0),   RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255),
  };
  return palette;
}

const Palette& HalftonePalette256() {
  static const Palette palette = [] {
    Palette p;
    p.reserve(256);
    const Palette& system = DefaultPalette20();
    for (int i = 0; i < 10; ++i) p.push_back(system[i]);
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) p.push_back(RGB(51 * r, 51 * g, 51 * b));
    for (int i = 1; i <= 20; ++i) {
      int level = (255 * i * 2 + 21) / 42;
      p.push_back(RGB(level, level, level));
    }
    for (int i = 10; i < 20; ++i) p.push_back(system[i]);
    return p;
  }();
  return palette;
}

int NearestPaletteIndex(const Palette& palette, Color color) {
  const int r = GetRValue(color);
  const int g = GetGValue(color);
  const int b = GetBValue(color);
  int best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int dr = GetRValue(palette[i]) - r;
    const int dg = GetGValue(palette[i]) - g;
    const int db = GetBValue(palette[i]) - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
      if (distance == 0) break;
    }
  }
  return best;
}

}  // namespace pixtrel
