#include <algorithm>
#include <cmath>
#include <cstring>

#include "codecs/eps/tiff_decode.h"
#include "codecs/eps/tiff_graphic.h"

namespace pixtrel::tiffdecode {

namespace {

// Horizontal differencing undone on one row: every byte gets the byte one
// pixel to its left added.
void UndoDifferencing(std::uint8_t* row, std::size_t size, std::size_t stride) {
  for (std::size_t i = stride; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
}

// One row of 8-bit red, green, blue into blue, green, red, with horizontal
// differencing undone when differenced (the same pixels as undoing it first
// and converting after).
void RgbToBgr(const std::uint8_t* in, std::size_t width, bool differenced, std::uint8_t* out) {
  if (differenced) {
    std::uint8_t r = 0, g = 0, b = 0;
    for (std::size_t x = 0; x < width; ++x, in += 3, out += 3) {
      r = static_cast<std::uint8_t>(r + in[0]);
      g = static_cast<std::uint8_t>(g + in[1]);
      b = static_cast<std::uint8_t>(b + in[2]);
      out[0] = b;
      out[1] = g;
      out[2] = r;
    }
    return;
  }
  for (std::size_t x = 0; x < width; ++x, in += 3, out += 3) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
  }
}

}  // namespace

void SetUpColorManager(const Directory& dir, DecodePlan& plan, ImageProperties& p, ColorManager& cm) {
  const ColorScheme scheme = plan.scheme;
  const int bps = plan.bps;
  const int spp = plan.spp;
  ConversionOptions options = 0;
  if (dir.BigEndian()) options |= coNeedByteSwap;
  if (scheme == csCIELab) options |= coLabByteRange;
  {
    const std::vector<std::uint32_t> extra = dir.Values(kExtraSamples);
    if (!extra.empty() && std::all_of(extra.begin(), extra.end(), [](std::uint32_t v) { return v <= 2; })) {
      options |= coAlpha;
    }
  }
  p.colorScheme = scheme;
  cm.SetSourceBitsPerSample(bps);
  cm.SetSourceSamplesPerPixel(spp);
  cm.SetSourceColorScheme(scheme);
  cm.SetSourceOptions(options);
  ColorScheme target = scheme;
  switch (scheme) {
    case csRGB:
    case csCMY:
    case csCMYK:
    case csCIELab:
    case csYCbCr:
      target = csBGR;
      break;
    case csRGBA:
      target = csBGRA;
      break;
    case csGA:
      target = plan.fromIndexed ? csIndexed : csG;
      break;
    default:
      break;
  }
  cm.SetTargetColorScheme(target);
  cm.SetTargetBitsPerSample(bps == 16 ? 8 : bps);
  cm.SetTargetSamplesPerPixel(scheme == csCMYK ? 3 : (scheme == csGA ? 1 : spp));

  if (plan.photometric == 6) {
    const std::vector<double> coefficients = dir.Reals(kYCbCrCoefficients);
    // Luma weights are fractions of one; anything else (zeros written by
    // careless writers, or garbage) keeps the standard weights, which also
    // keeps the conversion tables within range.
    auto weight = [](double v) { return std::isfinite(v) && v > 0.001 && v < 1.0; };
    if (coefficients.size() >= 3 && weight(coefficients[0]) && weight(coefficients[1]) && weight(coefficients[2])) {
      cm.SetYCbCrParameters(coefficients[0], coefficients[1], coefficients[2]);
    }
    const std::vector<std::uint32_t> sub = dir.Values(kYCbCrSubSampling);
    plan.subH = sub.size() >= 1 ? static_cast<int>(std::min<std::uint32_t>(sub[0], 16)) : 2;
    plan.subV = sub.size() >= 2 ? static_cast<int>(std::min<std::uint32_t>(sub[1], 16)) : 2;
    cm.SetYCbCrSubsampling(plan.subH, plan.subV);
    (void)dir.Single(kYCbCrPositioning, 1);  // chroma siting: not used for display
  }
  // Uncompressed-style YCbCr data with subsampled chroma comes in blocks of
  // subH x subV luma samples followed by Cb and Cr; it is expanded to full
  // resolution on conversion (JPEG strips are expanded by libjpeg).
  plan.blocks = scheme == csYCbCr && (plan.subH > 1 || plan.subV > 1);
}

PixelFormat PrepareTarget(ColorManager& cm) {
  cm.PrepareConversion();
  const PixelFormat format = cm.TargetPixelFormat();
  if (format == pfDevice) ThrowLegacyError(LegacyError::InvalidColorFormat, kTIFFFormat);
  return format;
}

Palette PicturePalette(const Directory& dir, const DecodePlan& plan, ColorManager& cm) {
  Palette palette;
  if (plan.photometric == 3) {
    const Entry* e = dir.Find(kColorMap);
    if (e && e->type == kShort) {
      palette = cm.BuildPalette(dir.Bytes(*e), PaletteLayout{true, 16, false, false}, static_cast<int>(e->count / 3));
    }
  }
  if (palette.empty()) palette = cm.BuildGreyPalette(plan.photometric == 0);
  return palette;
}

RowConverter::RowConverter(const DecodePlan& plan, ColorManager& cm, std::size_t width, std::size_t rowSize,
                           PixelFormat format)
    : plan_(plan),
      cm_(cm),
      width_(width),
      rowSize_(rowSize),
      // The common cases in one pass each: blue-green-red rows as they are,
      // and red-green-blue rows reordered with any differencing undone on
      // the way.
      copyRows_(plan.scheme == csBGR && plan.bps == 8 && plan.spp == 3 && format == pf24bit),
      rgbRows_(plan.scheme == csRGB && plan.bps == 8 && plan.spp == 3 && format == pf24bit),
      expanded_(plan.blocks ? width * 3 : 0) {}

void RowConverter::ConvertRow(const std::uint8_t* source, std::uint8_t* own, std::uint8_t* target) {
  if (rgbRows_) {
    RgbToBgr(source, width_, plan_.predictor == 2, target);
    return;
  }
  if (plan_.predictor == 2 && own) {  // only ever set for compressed, unpacked strips
    UndoDifferencing(own, rowSize_, static_cast<std::size_t>(plan_.spp));
    source = own;
  }
  if (copyRows_) {
    std::memcpy(target, source, rowSize_);
  } else {
    cm_.ConvertPixelRow(source, static_cast<int>(width_), target);
  }
}

void RowConverter::ConvertBlockRow(const std::uint8_t* blockRow, int dy, std::uint8_t* target) {
  const int subH = plan_.subH, subV = plan_.subV;
  const std::size_t blockSize = static_cast<std::size_t>(subH * subV + 2);
  for (std::size_t x = 0; x < width_; ++x) {
    const std::uint8_t* block = blockRow + (x / subH) * blockSize;
    std::uint8_t* out = expanded_.data() + 3 * x;
    out[0] = block[dy * subH + x % subH];
    out[1] = block[subH * subV];
    out[2] = block[subH * subV + 1];
  }
  cm_.ConvertPixelRow(expanded_.data(), static_cast<int>(width_), target);
}

}  // namespace pixtrel::tiffdecode
