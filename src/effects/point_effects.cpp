#include "effects/point_effects.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "effects/fx_support.h"

namespace pixtrel::fx {

namespace {

using Table = std::array<std::uint8_t, 256>;

// Runs a per-channel table over every byte of the picture, rows split across cores.
void ApplyTable(Bitmap& bitmap, const Table& table) {
  const int width = bitmap.Width();
  ForRowBands(bitmap.Height(), 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int i = 0; i < 3 * width; ++i) row[i] = table[row[i]];
    }
  });
}

// Brings a destination to the source's size and format, ready for every pixel to be written.
void PrepareDestination(const Bitmap& source, Bitmap& destination) {
  destination.SetPixelFormat(pf24bit);
  if (destination.Width() != source.Width() || destination.Height() != source.Height())
    destination.SetSize(source.Width(), source.Height());
}

// The source in pf24bit, copied only when it is in another format.
const Bitmap& As24(const Bitmap& source, Bitmap& scratch) {
  if (source.PixelFormat() == pf24bit) return source;
  scratch = source;
  scratch.SetPixelFormat(pf24bit);
  return scratch;
}

// The extended-precision grey value, as the rule states it.
int GrayOf(int r, int g, int b) {
  const long double v = 0.3L * r + 0.59L * g + 0.11L * b;
  return static_cast<int>(RoundEven(v));
}

}  // namespace

void Lighten(Bitmap& bitmap, int amount) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  Table table;
  for (int c = 0; c < 256; ++c) table[c] = static_cast<std::uint8_t>(ClampToByte(c + amount * (255 - c) / 255));
  ApplyTable(bitmap, table);
}

void Darken(Bitmap& bitmap, int amount) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  Table table;
  for (int c = 0; c < 256; ++c) table[c] = static_cast<std::uint8_t>(ClampToByte(c - amount * c / 255));
  ApplyTable(bitmap, table);
}

void AdjustContrast(Bitmap& bitmap, int amount) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  Table table;
  for (int c = 0; c < 256; ++c) {
    const int d = std::abs(127 - c) * amount / 255;
    table[c] = static_cast<std::uint8_t>(ClampToByte(c > 127 ? c + d : c - d));
  }
  ApplyTable(bitmap, table);
}

void AdjustSaturation(Bitmap& bitmap, int amount) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  // (c - g) * amount div 255 for every difference -255..255.
  std::array<int, 511> scaled;
  for (int d = -255; d <= 255; ++d) scaled[d + 255] = d * amount / 255;
  const int width = bitmap.Width();
  ForRowBands(bitmap.Height(), 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* p = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, p += 3) {
        const int g = (p[0] + p[1] + p[2]) / 3;
        for (int i = 0; i < 3; ++i) p[i] = static_cast<std::uint8_t>(ClampToByte(g + scaled[p[i] - g + 255]));
      }
    }
  });
}

void ToGrayscale(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  // 30 R + 59 G + 11 B is a hundred times the exact grey; only exact halves
  // are close enough to the rounding boundary to need the real computation.
  std::array<int, 256> red, green, blue;
  for (int c = 0; c < 256; ++c) {
    red[c] = 30 * c;
    green[c] = 59 * c;
    blue[c] = 11 * c;
  }
  const int width = bitmap.Width();
  ForRowBands(bitmap.Height(), 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* p = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, p += 3) {
        const int n = red[p[2]] + green[p[1]] + blue[p[0]];
        const int whole = n / 100;
        const int rest = n - whole * 100;
        const int v = rest == 50 ? GrayOf(p[2], p[1], p[0]) : whole + (rest > 50 ? 1 : 0);
        p[0] = p[1] = p[2] = static_cast<std::uint8_t>(v);
      }
    }
  });
}

void InvertColors(Bitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  if (!HasPixels(bitmap)) return;
  const int width = bitmap.Width();
  ForRowBands(bitmap.Height(), 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* row = bitmap.ScanLine(y);
      for (int i = 0; i < 3 * width; ++i) row[i] = static_cast<std::uint8_t>(255 - row[i]);
    }
  });
}

void Posterize(const Bitmap& source, Bitmap& destination, int depth) {
  Bitmap scratch;
  const Bitmap& src = As24(source, scratch);
  PrepareDestination(src, destination);
  if (!HasPixels(src)) return;
  Table table;
  for (int c = 0; c < 256; ++c) {
    if (depth < 1) {
      table[c] = static_cast<std::uint8_t>(c);
      continue;
    }
    // The quotient of two small integers is a tie exactly when the real one is.
    const long double level = depth * RoundEven(static_cast<long double>(c) / depth);
    table[c] = static_cast<std::uint8_t>(std::min(level, 255.0L));
  }
  const int width = src.Width();
  ForRowBands(src.Height(), 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const std::uint8_t* in = src.ScanLine(y);
      std::uint8_t* out = destination.ScanLine(y);
      for (int i = 0; i < 3 * width; ++i) out[i] = table[in[i]];
    }
  });
}

void Solarize(const Bitmap& source, Bitmap& destination, int threshold) {
  Bitmap scratch;
  const Bitmap& src = As24(source, scratch);
  PrepareDestination(src, destination);
  if (!HasPixels(src)) return;
  const int width = src.Width();
  ForRowBands(src.Height(), 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const std::uint8_t* in = src.ScanLine(y);
      std::uint8_t* out = destination.ScanLine(y);
      for (int x = 0; x < width; ++x, in += 3, out += 3) {
        const bool invert = (in[0] + in[1] + in[2]) / 3 > threshold;
        for (int i = 0; i < 3; ++i) out[i] = invert ? static_cast<std::uint8_t>(255 - in[i]) : in[i];
      }
    }
  });
}

void Blend(const Bitmap& first, const Bitmap& second, Bitmap& output, double t) {
  Bitmap firstScratch, secondScratch;
  const Bitmap& a = As24(first, firstScratch);
  const Bitmap& b = As24(second, secondScratch);
  // Copies first when output is one of the inputs, so rows are read before they are written.
  Bitmap aCopy, bCopy;
  const Bitmap& aIn = (&a == &output) ? (aCopy = a) : a;
  const Bitmap& bIn = (&b == &output) ? (bCopy = b) : b;
  PrepareDestination(aIn, output);
  if (!HasPixels(aIn)) return;
  // Every (c1, c2) pair has one result: a 64 KiB table built from the real formula.
  const long double tt = t;
  std::vector<std::uint8_t> table(256 * 256);
  for (int c1 = 0; c1 < 256; ++c1)
    for (int c2 = 0; c2 < 256; ++c2) {
      const long double v = RoundEven((1 - tt) * c1 + tt * c2);
      table[c1 * 256 + c2] = static_cast<std::uint8_t>(std::clamp(v, 0.0L, 255.0L));
    }
  const int width = aIn.Width();
  const int shared = std::min(width, bIn.Width());
  ForRowBands(aIn.Height(), 3LL * width, [&](int firstRow, int lastRow) {
    for (int y = firstRow; y < lastRow; ++y) {
      const std::uint8_t* p1 = aIn.ScanLine(y);
      std::uint8_t* out = output.ScanLine(y);
      if (y >= bIn.Height()) {
        std::memcpy(out, p1, 3 * static_cast<std::size_t>(width));
        continue;
      }
      const std::uint8_t* p2 = bIn.ScanLine(y);
      for (int i = 0; i < 3 * shared; ++i) out[i] = table[p1[i] * 256 + p2[i]];
      std::memcpy(out + 3 * shared, p1 + 3 * shared, 3 * static_cast<std::size_t>(width - shared));
    }
  });
}

void MaskedBlend(const Bitmap& background, const Bitmap& overlay, const Bitmap& mask, int offset, double t,
                 Bitmap& output) {
  Bitmap overlayScratch, maskScratch;
  const Bitmap overlayCopy = (&overlay == &output) ? overlay : Bitmap();
  const Bitmap& over = As24(&overlay == &output ? overlayCopy : overlay, overlayScratch);
  const Bitmap* maskIn = &mask;
  if (mask.PixelFormat() != pf8bit || &mask == &output) {
    maskScratch = mask;
    maskScratch.SetPixelFormat(pf8bit);
    maskIn = &maskScratch;
  }
  if (&background != &output) output = background;
  output.SetPixelFormat(pf24bit);
  if (over.Width() != maskIn->Width() || over.Height() != maskIn->Height()) return;
  if (!HasPixels(output)) return;
  std::array<long double, 256> weight;
  for (int m = 0; m < 256; ++m) weight[m] = static_cast<long double>(t) * (offset + m) / 255;
  const int width = std::min(output.Width(), over.Width());
  const int height = std::min(output.Height(), over.Height());
  ForRowBands(height, 3LL * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::uint8_t* out = output.ScanLine(y);
      const std::uint8_t* o = over.ScanLine(y);
      const std::uint8_t* m = maskIn->ScanLine(y);
      for (int x = 0; x < width; ++x) {
        const long double w = weight[m[x]];
        for (int i = 3 * x; i < 3 * x + 3; ++i) {
          const long double v = RoundEven((1 - w) * out[i] + w * o[i]);
          out[i] = static_cast<std::uint8_t>(std::clamp(v, 0.0L, 255.0L));
        }
      }
    }
  });
}

}  // namespace pixtrel::fx
