// Colour reduction for GIF: the reduction methods with their palettes, the
// colour lookups that map a 24-bit colour to a palette index, and the
// process-wide defaults every new GIF image starts from.
#pragma once

#include <array>
#include <cstdint>

#include "core/bitmap.h"

namespace pixtrel::gif {

enum ReductionMode : std::uint8_t {
  NoReduction = 0,
  WindowsSystem20 = 1,
  WindowsHalftone256 = 2,
  WindowsGray4 = 3,
  Monochrome = 4,
  Grayscale256 = 5,
  Netscape216 = 6,
  Optimized = 7,
  OptimizedWindows256 = 8,
  CustomPalette = 9,
};

enum DitherMode : std::uint8_t {
  Nearest = 0,
  FloydSteinberg = 1,
  Stucki = 2,
  Sierra = 3,
  JaJuNi = 4,
  SteveArche = 5,
  Burkes = 6,
};

enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest };

struct DrawOptions {
  bool transparent = true;
  bool tile = false;
};

// What a new GIF image copies when it is created. The program's GIF
// defaults are one value of this kind, kept by the run's session; its start
// values are these (reduction Netscape216, 8 bits, nearest colour).
struct GifSettings {
  ReductionMode reductionMode = Netscape216;
  int reductionBits = 8;
  DitherMode ditherMode = Nearest;
  int compression = 0;  // LZW
  int animationSpeed = 100;
  ThreadPriority threadPriority = ThreadPriority::Normal;
  DrawOptions drawOptions;
};

// The palettes of modes 3 to 6, new on every call.
Palette WindowsGray4Palette();         // 0, 128, 192, 255
Palette MonochromeReductionPalette();  // black, white
Palette Grayscale256Palette();         // entry i = (i, i, i)
Palette Netscape216Palette();          // entry 36r + 6g + b = (51r, 51g, 51b)

// The optimized palettes of modes 7 and 8, from the octree quantizer over
// every pixel of a pf24bit image. Without system colours the palette has
// `colors` entries; with them it has 256: the first ten static system colours,
// up to 236 quantizer colours, the last ten system colours. Entries beyond the
// colours the quantizer produced repeat the palette's first colour, so they
// never win a lookup (the lowest index wins among equals).
Palette BuildOptimizedPalette(const Bitmap& image, int colors, bool withSystemColors);

// Maps a colour to a palette index and the palette colour it stands for.
class ColorLookup {
 public:
  explicit ColorLookup(int entryCount) : entryCount_(entryCount) {}
  virtual ~ColorLookup() = default;
  int EntryCount() const { return entryCount_; }
  // Returns the index and writes the chosen palette colour.
  virtual int MapColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                       std::uint8_t& outGreen, std::uint8_t& outBlue) = 0;

 private:
  int entryCount_;
};

// Nearest entry by the sum of absolute channel differences, cached per
// 15-bit colour cell: the first colour seen in a cell decides the index for
// every later colour of that cell. Among entries sharing a cell the lowest
// index owns it from the start.
class FastColorLookup final : public ColorLookup {
 public:
  explicit FastColorLookup(const Palette& palette);

  static int Cell(int red, int green, int blue) { return ((blue >> 3) << 10) + ((green >> 3) << 5) + (red >> 3); }

  int Map(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
          std::uint8_t& outBlue) {
    const int cell = Cell(red, green, blue);
    int index = cache_[cell];
    if (index < 0) index = cache_[cell] = Search(red, green, blue);
    const std::uint8_t* entry = &entries_[3 * static_cast<std::size_t>(index)];
    outRed = entry[0];
    outGreen = entry[1];
    outBlue = entry[2];
    return index;
  }
  int MapColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
               std::uint8_t& outBlue) override {
    return Map(red, green, blue, outRed, outGreen, outBlue);
  }

 private:
  std::int16_t Search(int red, int green, int blue) const;

  std::array<std::uint8_t, 3 * 256> entries_{};  // red, green, blue
  std::array<std::int16_t, 32768> cache_;
};

// The 6 x 6 x 6 web cube; each channel level is (value + 3) div 51.
class NetscapeColorLookup final : public ColorLookup {
 public:
  NetscapeColorLookup() : ColorLookup(216) {}
  static int Level(int value) { return (value + 3) / 51; }
  int Map(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
          std::uint8_t& outBlue) {
    const int r = kLevels[red], g = kLevels[green], b = kLevels[blue];
    outRed = static_cast<std::uint8_t>(51 * r);
    outGreen = static_cast<std::uint8_t>(51 * g);
    outBlue = static_cast<std::uint8_t>(51 * b);
    return 36 * r + 6 * g + b;
  }
  int MapColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
               std::uint8_t& outBlue) override {
    return Map(red, green, blue, outRed, outGreen, outBlue);
  }

 private:
  static const std::array<std::uint8_t, 256> kLevels;
};

// Luminance (77 R + 150 G + 29 B) shr 8 as the grey index.
class GrayScaleLookup final : public ColorLookup {
 public:
  GrayScaleLookup() : ColorLookup(256) {}
  int Map(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
          std::uint8_t& outBlue) {
    const int v = (77 * red + 150 * green + 29 * blue) >> 8;
    outRed = outGreen = outBlue = static_cast<std::uint8_t>(v);
    return v;
  }
  int MapColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
               std::uint8_t& outBlue) override {
    return Map(red, green, blue, outRed, outGreen, outBlue);
  }
};

// White when 77 R + 150 G + 29 B exceeds 32512, else black.
class MonochromeLookup final : public ColorLookup {
 public:
  MonochromeLookup() : ColorLookup(2) {}
  int Map(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
          std::uint8_t& outBlue) {
    const bool white = 77 * red + 150 * green + 29 * blue > 32512;
    outRed = outGreen = outBlue = white ? 255 : 0;
    return white ? 1 : 0;
  }
  int MapColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed, std::uint8_t& outGreen,
               std::uint8_t& outBlue) override {
    return Map(red, green, blue, outRed, outGreen, outBlue);
  }
};

}  // namespace pixtrel::gif
