#include "gif/color_reduction.h"

#include <algorithm>
#include <cstdlib>

#include "gif/color_quantizer.h"

namespace pixtrel::gif {

Palette WindowsGray4Palette() { return {RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192), RGB(255, 255, 255)}; }

Palette MonochromeReductionPalette() { return {RGB(0, 0, 0), RGB(255, 255, 255)}; }

Palette Grayscale256Palette() {
  Palette palette(256);
  for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = RGB(i, i, i);
  return palette;
}

Palette Netscape216Palette() {
  Palette palette;
  palette.reserve(216);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) palette.push_back(RGB(51 * r, 51 * g, 51 * b));
  return palette;
}

Palette BuildOptimizedPalette(const Bitmap& image, int colors, bool withSystemColors) {
  const int quantized = withSystemColors ? 236 : colors;
  ColorQuantizer quantizer(quantized, 8);
  quantizer.QuantizeImage(image);
  Palette found = quantizer.ExtractPalette();
  Palette palette;
  if (!withSystemColors) {
    palette = std::move(found);
    const Color filler = palette.empty() ? clBlack : palette.front();
    palette.resize(static_cast<std::size_t>(std::max(colors, 0)), filler);
    return palette;
  }
  const Palette& system = DefaultPalette20();
  palette.assign(system.begin(), system.begin() + 10);
  palette.insert(palette.end(), found.begin(), found.end());
  palette.resize(246, palette.front());
  palette.insert(palette.end(), system.begin() + 10, system.end());
  return palette;
}

FastColorLookup::FastColorLookup(const Palette& palette)
    : ColorLookup(static_cast<int>(std::min<std::size_t>(palette.size(), 256))) {
  cache_.fill(-1);
  for (int i = 0; i < EntryCount(); ++i) {
    const Color c = palette[static_cast<std::size_t>(i)];
    entries_[3 * static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(GetRValue(c));
    entries_[3 * static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(GetGValue(c));
    entries_[3 * static_cast<std::size_t>(i) + 2] = static_cast<std::uint8_t>(GetBValue(c));
    std::int16_t& slot = cache_[static_cast<std::size_t>(Cell(GetRValue(c), GetGValue(c), GetBValue(c)))];
    if (slot < 0) slot = static_cast<std::int16_t>(i);
  }
}

std::int16_t FastColorLookup::Search(int red, int green, int blue) const {
  int best = 0;
  int bestDistance = 196608;
  for (int i = 0; i < EntryCount(); ++i) {
    const std::uint8_t* e = &entries_[3 * static_cast<std::size_t>(i)];
    const int distance = std::abs(e[0] - red) + std::abs(e[1] - green) + std::abs(e[2] - blue);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return static_cast<std::int16_t>(best);
}

const std::array<std::uint8_t, 256> NetscapeColorLookup::kLevels = [] {
  std::array<std::uint8_t, 256> levels{};
  for (int v = 0; v < 256; ++v) levels[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(Level(v));
  return levels;
}();

}  // namespace pixtrel::gif
