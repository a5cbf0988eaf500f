#include "codecs/legacy/color_manager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace pixtrel {

namespace {

bool IsIndexedLike(ColorScheme scheme) { return scheme == csIndexed || scheme == csG || scheme == csGA; }
bool IsIndexedTarget(ColorScheme scheme) { return scheme == csIndexed || scheme == csG; }
bool IsRGBTarget(ColorScheme scheme) {
  return scheme == csRGB || scheme == csRGBA || scheme == csBGR || scheme == csBGRA;
}

// Samples a colour source needs per pixel.
int RequiredSamples(ColorScheme scheme) {
  switch (scheme) {
    case csRGBA:
    case csBGRA:
    case csCMYK:
      return 4;
    case csRGB:
    case csBGR:
    case csCIELab:
    case csYCbCr:
    case csPhotoYCC:
      return 3;
    default:
      return 1;
  }
}

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

// A 16-bit sample reduced to 8 bits: v * 255 / 65535, integer division.
inline std::uint8_t Reduce16(unsigned v) { return static_cast<std::uint8_t>(v * 255u / 65535u); }

template <bool Swap>
inline unsigned Word(const std::uint8_t* b) {
  return Swap ? (static_cast<unsigned>(b[0]) << 8) | b[1] : (static_cast<unsigned>(b[1]) << 8) | b[0];
}

// Sample fetchers: sample k of pixel x as an 8-bit value.
struct Planar8 {
  const std::uint8_t* const* planes;
  std::uint8_t operator()(int k, int x) const { return planes[k][x]; }
};
struct Interleaved8 {
  const std::uint8_t* row;
  int samples;
  std::uint8_t operator()(int k, int x) const { return row[static_cast<std::size_t>(x) * samples + k]; }
};
template <bool Swap>
struct Planar16 {
  const std::uint8_t* const* planes;
  std::uint8_t operator()(int k, int x) const {
    return Reduce16(Word<Swap>(planes[k] + 2 * static_cast<std::size_t>(x)));
  }
};
template <bool Swap>
struct Interleaved16 {
  const std::uint8_t* row;
  int samples;
  std::uint8_t operator()(int k, int x) const {
    return Reduce16(Word<Swap>(row + 2 * (static_cast<std::size_t>(x) * samples + k)));
  }
};

// Calls op with the fetcher for the source layout.
template <class Op>
void WithFetcher(const std::uint8_t* const* sources, int planeCount, int samples, int bits, bool swap, Op&& op) {
  const bool planar = planeCount > 1;
  if (bits == 16) {
    if (planar) {
      if (swap)
        op(Planar16<true>{sources});
      else
        op(Planar16<false>{sources});
    } else {
      if (swap)
        op(Interleaved16<true>{sources[0], samples});
      else
        op(Interleaved16<false>{sources[0], samples});
    }
  } else if (planar) {
    op(Planar8{sources});
  } else {
    op(Interleaved8{sources[0], samples});
  }
}

// Writes red, green, blue (and alpha for 4-byte targets) per pixel.
template <int Step, bool RGBOrder, class Get>
void StoreRow(int width, std::uint8_t* out, Get get) {
  for (int x = 0; x < width; ++x, out += Step) {
    int r, g, b, a;
    get(x, r, g, b, a);
    if constexpr (RGBOrder) {
      out[0] = static_cast<std::uint8_t>(r);
      out[2] = static_cast<std::uint8_t>(b);
    } else {
      out[0] = static_cast<std::uint8_t>(b);
      out[2] = static_cast<std::uint8_t>(r);
    }
    out[1] = static_cast<std::uint8_t>(g);
    if constexpr (Step == 4) out[3] = static_cast<std::uint8_t>(a);
  }
}

template <class Get>
void StoreAny(int step, bool rgbOrder, int width, std::uint8_t* out, Get get) {
  if (step == 4) {
    if (rgbOrder)
      StoreRow<4, true>(width, out, get);
    else
      StoreRow<4, false>(width, out, get);
  } else {
    if (rgbOrder)
      StoreRow<3, true>(width, out, get);
    else
      StoreRow<3, false>(width, out, get);
  }
}

// Reads n bits (n <= 16) from bit position pos, most significant bit first.
inline unsigned ReadBits(const std::uint8_t* row, std::size_t pos, int n) {
  unsigned value = 0;
  int left = n;
  while (left > 0) {
    const std::size_t byte = pos >> 3;
    const int offset = static_cast<int>(pos & 7);
    const int take = std::min(8 - offset, left);
    const unsigned bits = (row[byte] >> (8 - offset - take)) & ((1u << take) - 1);
    value = (value << take) | bits;
    left -= take;
    pos += static_cast<std::size_t>(take);
  }
  return value;
}

}  // namespace

ColorManager::ColorManager() = default;

void ColorManager::SetSourceBitsPerSample(int bits) {
  if (bits < 1 || bits > 16) throw EColorConversionError(EColorConversionError::InvalidBitsPerSample);
  sourceBits_ = bits;
  Invalidate();
}

void ColorManager::SetSourceSamplesPerPixel(int samples) {
  if (samples < 1 || samples > 4) throw EColorConversionError(EColorConversionError::InvalidSampleCount);
  sourceSamples_ = samples;
  Invalidate();
}

void ColorManager::SetSourceColorScheme(ColorScheme scheme) {
  sourceScheme_ = scheme;
  if (scheme == csGA || scheme == csRGBA || scheme == csBGRA) options_ |= coAlpha;
  Invalidate();
}

void ColorManager::SetTargetBitsPerSample(int bits) {
  if (bits < 1 || bits > 16) throw EColorConversionError(EColorConversionError::InvalidBitsPerSample);
  targetBits_ = bits;
  Invalidate();
}

void ColorManager::SetTargetSamplesPerPixel(int samples) {
  if (samples < 1 || samples > 4) throw EColorConversionError(EColorConversionError::InvalidSampleCount);
  targetSamples_ = samples;
  Invalidate();
}

void ColorManager::SetTargetColorScheme(ColorScheme scheme) {
  targetScheme_ = scheme;
  Invalidate();
}

void ColorManager::SetSourceOptions(ConversionOptions options) {
  options_ = options;
  if (sourceScheme_ == csGA || sourceScheme_ == csRGBA || sourceScheme_ == csBGRA) options_ |= coAlpha;
  Invalidate();
}

void ColorManager::SetYCbCrParameters(double red, double green, double blue) {
  lumaRed_ = red;
  lumaGreen_ = green;
  lumaBlue_ = blue;
  Invalidate();
}

void ColorManager::SetYCbCrSubsampling(int horizontal, int vertical) {
  auto valid = [](int v) { return v == 1 || v == 2 || v == 4; };
  if (!valid(horizontal) || !valid(vertical)) throw EColorConversionError(EColorConversionError::InvalidSubsampling);
  if (vertical > horizontal) throw EColorConversionError(EColorConversionError::VerticalSubsampling);
  subsampleH_ = horizontal;
  subsampleV_ = vertical;
  Invalidate();
}

PixelFormat ColorManager::TargetPixelFormat() const {
  const int bits = targetBits_;
  switch (targetSamples_) {
    case 1:
      if (bits == 1) return pf1bit;
      if (bits >= 2 && bits <= 4) return pf4bit;
      if (bits >= 8 && bits <= 16) return pf8bit;
      return pfDevice;
    case 3:
      return bits <= 5 ? pf15bit : pf24bit;
    case 4:
      return bits >= 8 ? pf32bit : pfDevice;
    default:
      return pfDevice;
  }
}

void ColorManager::BuildYCbCrTables() {
  const bool photo = sourceScheme_ == csPhotoYCC;
  const int k1 = photo ? 137 : 128;  // Cr offset
  const int k2 = photo ? 156 : 128;  // Cb offset
  const double c = 2 - 2 * lumaRed_;
  const double d = 2 - 2 * lumaBlue_;
  for (int i = 0; i < 256; ++i) {
    crToRed_[i] = Round(c * (i - k1));
    cbToBlue_[i] = Round(d * (i - k2));
    crToGreen_[i] = -Round(lumaRed_ * c / lumaGreen_ * (i - k1));
    cbToGreen_[i] = -Round(lumaBlue_ * d / lumaGreen_ * (i - k2));
  }
}

void ColorManager::PrepareConversion() {
  if (prepared_) return;
  method_ = Method::None;
  targetFormat_ = TargetPixelFormat();
  const bool sourceIndexed = IsIndexedLike(sourceScheme_);
  const bool targetIndexed = IsIndexedTarget(targetScheme_);
  if (sourceScheme_ == csUnknown || sourceScheme_ == csCMY) {
    throw EColorConversionError(EColorConversionError::NoConversion);
  }
  if (sourceIndexed != targetIndexed) throw EColorConversionError(EColorConversionError::IndexedConversion);
  if (sourceIndexed) {
    if (targetFormat_ != pf1bit && targetFormat_ != pf4bit && targetFormat_ != pf8bit) {
      throw EColorConversionError(EColorConversionError::NoConversion);
    }
    if (sourceScheme_ == csGA && sourceSamples_ < 2) {
      throw EColorConversionError(EColorConversionError::InvalidSampleCount);
    }
    method_ = Method::Indexed;
  } else {
    if (!IsRGBTarget(targetScheme_)) throw EColorConversionError(EColorConversionError::NoConversion);
    if (sourceBits_ != 8 && sourceBits_ != 16) throw EColorConversionError(EColorConversionError::NoConversion);
    if (targetFormat_ != pf24bit && targetFormat_ != pf32bit && targetFormat_ != pf15bit) {
      throw EColorConversionError(EColorConversionError::NoConversion);
    }
    if (sourceSamples_ < RequiredSamples(sourceScheme_)) {
      throw EColorConversionError(EColorConversionError::InvalidSampleCount);
    }
    if (sourceScheme_ == csYCbCr || sourceScheme_ == csPhotoYCC) BuildYCbCrTables();
    method_ = Method::Colour;
  }
  prepared_ = true;
}

void ColorManager::ConvertIndexedRow(const std::uint8_t* const* sources, int planeCount, int width,
                                     std::uint8_t* target) const {
  const std::uint8_t* in = sources[0];
  const int samples = planeCount > 1 ? 1 : sourceSamples_;
  const int s = sourceBits_;
  const int storeBits = targetFormat_ == pf1bit ? 1 : (targetFormat_ == pf4bit ? 4 : 8);
  const int t = std::min(targetBits_, 8);
  const bool swap = (options_ & coNeedByteSwap) != 0;

  if (samples == 1 && s == t && s == storeBits) {
    std::memcpy(target, in, (static_cast<std::size_t>(width) * s + 7) / 8);
    return;
  }
  if (s == 8 && t == 8) {
    for (int x = 0; x < width; ++x) target[x] = in[static_cast<std::size_t>(x) * samples];
    return;
  }
  const unsigned targetMax = (1u << t) - 1;
  const unsigned sourceMax = s == 16 ? 65535u : (1u << s) - 1;
  for (int x = 0; x < width; ++x) {
    const std::size_t index = static_cast<std::size_t>(x) * samples;
    unsigned v;
    if (s == 8) {
      v = in[index];
    } else if (s == 16) {
      v = swap ? Word<true>(in + 2 * index) : Word<false>(in + 2 * index);
    } else {
      v = ReadBits(in, index * s, s);
    }
    if (s != t) v = static_cast<unsigned>(static_cast<std::uint64_t>(v) * targetMax / sourceMax);
    switch (storeBits) {
      case 1: {
        const int bit = 7 - (x & 7);
        std::uint8_t& b = target[x >> 3];
        b = static_cast<std::uint8_t>((b & ~(1 << bit)) | ((v & 1) << bit));
        break;
      }
      case 4: {
        std::uint8_t& b = target[x >> 1];
        b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (v & 0x0F))
                    : static_cast<std::uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
        break;
      }
      default:
        target[x] = static_cast<std::uint8_t>(v);
        break;
    }
  }
}

void ColorManager::ConvertColourRow(const std::uint8_t* const* sources, int planeCount, int width,
                                    std::uint8_t* target) const {
  const bool toRGBOrder = targetScheme_ == csRGB || targetScheme_ == csRGBA;
  const bool alphaIn = (options_ & coAlpha) != 0 && sourceSamples_ >= 4;
  const int step = targetFormat_ == pf32bit ? 4 : 3;
  const bool alphaOut = step == 4;
  int needed = RequiredSamples(sourceScheme_);
  if (alphaIn && alphaOut) needed = 4;
  if (planeCount > 1 && planeCount < needed) throw EColorConversionError(EColorConversionError::InvalidSampleCount);

  // pf15bit targets are converted through blue-green-red bytes.
  std::vector<std::uint8_t> packed;
  std::uint8_t* out = target;
  if (targetFormat_ == pf15bit) {
    packed.resize(static_cast<std::size_t>(width) * 3);
    out = packed.data();
  }
  const bool storeRGB = targetFormat_ == pf15bit ? false : toRGBOrder;
  const bool swap = (options_ & coNeedByteSwap) != 0;

  WithFetcher(sources, planeCount, sourceSamples_, sourceBits_, swap, [&](auto f) {
    switch (sourceScheme_) {
      case csRGB:
      case csRGBA:
        StoreAny(step, storeRGB, width, out, [&](int x, int& r, int& g, int& b, int& a) {
          r = f(0, x);
          g = f(1, x);
          b = f(2, x);
          a = alphaIn && alphaOut ? f(3, x) : 255;
        });
        break;
      case csBGR:
      case csBGRA:
        StoreAny(step, storeRGB, width, out, [&](int x, int& r, int& g, int& b, int& a) {
          b = f(0, x);
          g = f(1, x);
          r = f(2, x);
          a = alphaIn && alphaOut ? f(3, x) : 255;
        });
        break;
      case csCMYK:
        StoreAny(step, storeRGB, width, out, [&](int x, int& r, int& g, int& b, int& a) {
          const int c = f(0, x), m = f(1, x), y = f(2, x), k = f(3, x);
          r = Clamp255(255 - c - k + c * k / 255);
          g = Clamp255(255 - m - k + m * k / 255);
          b = Clamp255(255 - y - k + y * k / 255);
          a = 255;
        });
        break;
      case csCIELab: {
        const bool byteRange = (options_ & coLabByteRange) != 0;
        const bool offset = (options_ & coLabChromaOffset) != 0;
        StoreAny(step, storeRGB, width, out, [&](int x, int& r, int& g, int& b, int& a) {
          double L = f(0, x);
          if (byteRange) L /= 2.55;
          const int sa = f(1, x), sb = f(2, x);
          const double ca = offset ? sa - 128 : static_cast<std::int8_t>(sa);
          const double cb = offset ? sb - 128 : static_cast<std::int8_t>(sb);
          double X, Y, Z;
          if (L < 7.9996) {
            Y = L / 903.3;
            X = Y + ca / 3893.5;
            Z = Y - cb / 1557.4;
          } else {
            const double fy = (L + 16) / 116;
            const double fx = fy + ca / 500;
            const double fz = fy - cb / 200;
            X = fx * fx * fx;
            Y = fy * fy * fy;
            Z = fz * fz * fz;
          }
          b = Clamp255(Round((0.099 * X - 0.198 * Y + 1.099 * Z) * 255));
          g = Clamp255(Round((-0.952 * X + 1.893 * Y + 0.059 * Z) * 255));
          r = Clamp255(Round((2.998 * X - 1.458 * Y - 0.541 * Z) * 255));
          a = 255;
        });
        break;
      }
      case csYCbCr:
      case csPhotoYCC:
        StoreAny(step, storeRGB, width, out, [&](int x, int& r, int& g, int& b, int& a) {
          const int y = f(0, x), cb = f(1, x), cr = f(2, x);
          r = Clamp255(y + crToRed_[cr]);
          g = Clamp255(y + cbToGreen_[cb] + crToGreen_[cr]);
          b = Clamp255(y + cbToBlue_[cb]);
          a = 255;
        });
        break;
      default:
        break;
    }
  });

  if (targetFormat_ == pf15bit) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = out + 3 * static_cast<std::size_t>(x);
      const int w = (p[0] >> 3) | ((p[1] >> 3) << 5) | ((p[2] >> 3) << 10);
      target[2 * x] = static_cast<std::uint8_t>(w);
      target[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
    }
  }
}

void ColorManager::ConvertPixelRow(const std::uint8_t* const* sources, int planeCount, std::uint8_t mask, int width,
                                   std::uint8_t* target) {
  PrepareConversion();
  if (width <= 0) return;
  planeCount = std::max(planeCount, 1);
  auto convert = [&](std::uint8_t* into) {
    if (method_ == Method::Indexed)
      ConvertIndexedRow(sources, planeCount, width, into);
    else
      ConvertColourRow(sources, planeCount, width, into);
  };
  if (mask == 0xFF) {
    convert(target);
    return;
  }
  // Only some pixels of each group of 8: convert the whole row aside and
  // take the selected pixels from it.
  const int bits = BitsPerPixel(targetFormat_);
  std::vector<std::uint8_t> row(RowBytes(width, bits));
  if (bits < 8) std::memcpy(row.data(), target, (static_cast<std::size_t>(width) * bits + 7) / 8);
  convert(row.data());
  for (int x = 0; x < width; ++x) {
    if (!(mask & (0x80 >> (x & 7)))) continue;
    if (bits >= 8) {
      const std::size_t size = static_cast<std::size_t>(bits / 8);
      std::memcpy(target + x * size, row.data() + x * size, size);
    } else {
      const std::size_t bit = static_cast<std::size_t>(x) * bits;
      const std::uint8_t m = static_cast<std::uint8_t>(((1 << bits) - 1) << (8 - bits - (bit & 7)));
      target[bit >> 3] = static_cast<std::uint8_t>((target[bit >> 3] & ~m) | (row[bit >> 3] & m));
    }
  }
}

Palette ColorManager::BuildPalette(std::span<const std::uint8_t> data, PaletteLayout layout, int entries) const {
  const int valueSize = layout.bits == 16 ? 2 : 1;
  const bool swap = (options_ & coNeedByteSwap) != 0;
  const std::size_t perEntry = layout.planar ? 3 : (layout.fourPerEntry ? 4 : 3);
  const std::size_t available = data.size() / (perEntry * static_cast<std::size_t>(valueSize));
  // Planar data keeps its full plane length even when only 256 entries are used.
  const std::size_t planeLength = std::min<std::size_t>(static_cast<std::size_t>(std::max(entries, 0)), available);
  entries = static_cast<int>(std::min<std::size_t>(planeLength, 256));
  auto value = [&](std::size_t index) -> int {
    if (valueSize == 1) return data[index];
    const std::uint8_t* b = data.data() + 2 * index;
    return Reduce16(swap ? Word<true>(b) : Word<false>(b));
  };
  Palette palette(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    int r, g, b;
    if (layout.planar) {
      r = value(static_cast<std::size_t>(i));
      g = value(planeLength + static_cast<std::size_t>(i));
      b = value(2 * planeLength + static_cast<std::size_t>(i));
    } else {
      const std::size_t base = static_cast<std::size_t>(i) * perEntry;
      r = value(base);
      g = value(base + 1);
      b = value(base + 2);
      if (layout.bgr) std::swap(r, b);
    }
    palette[static_cast<std::size_t>(i)] = RGB(r, g, b);
  }
  return palette;
}

Palette ColorManager::BuildGreyPalette(bool whiteFirst) const {
  const int n = std::min(targetBits_ * targetSamples_, 8);
  const int entries = 1 << n;
  const int step = 255 / (entries - 1);
  Palette palette(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const int grey = i * step;
    palette[static_cast<std::size_t>(whiteFirst ? entries - 1 - i : i)] = RGB(grey, grey, grey);
  }
  return palette;
}

}  // namespace pixtrel
