// The pixel conversion engine of the legacy readers: it turns the samples a
// file stores (any of the colour schemes below, 1 to 16 bits per sample,
// interleaved or one plane per sample) into the rows and palettes of a
// Bitmap.
//
// Use: set the source and target settings, call PrepareConversion() (it
// raises EColorConversionError when no conversion exists, so a reader fails
// before it allocates anything), ask TargetPixelFormat() for the bitmap's
// format, then ConvertPixelRow() once per row. Every setting change makes the
// conversion be chosen again before the next row.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "codecs/legacy/legacy_errors.h"
#include "core/bitmap.h"
#include "core/errors.h"

namespace pixtrel {

// The colour-scheme numbering shared by every legacy format.
enum ColorScheme {
  csUnknown = 0,  // nothing can be converted
  csIndexed = 1,  // palette indices
  csG = 2,        // grey levels
  csGA = 3,       // grey levels, alpha ignored
  csRGB = 4,
  csRGBA = 5,
  csBGR = 6,  // the Bitmap's own order
  csBGRA = 7,
  csCMY = 8,  // not convertible
  csCMYK = 9,
  csCIELab = 10,
  csYCbCr = 11,
  csPhotoYCC = 12,
};

// Conversion options (a set: combine with |).
enum ConversionOption : unsigned {
  coAlpha = 1u << 0,            // the source carries alpha (set for csGA, csRGBA, csBGRA)
  coNeedByteSwap = 1u << 1,     // 16-bit samples (and 16-bit palettes) are stored big-endian
  coLabByteRange = 1u << 2,     // Lab lightness stored as 0..255 for 0..100
  coLabChromaOffset = 1u << 3,  // Lab a and b stored with 128 added
};
using ConversionOptions = unsigned;

// How raw palette data lies in a file. Interleaved entries hold red, green,
// blue (blue, green, red with bgr) and, with fourPerEntry, a spare fourth
// value; planar data holds all reds, then all greens, then all blues. Sixteen
// bit values are little-endian unless the byte-swap option is set.
struct PaletteLayout {
  bool planar = false;
  int bits = 8;  // 8 or 16
  bool fourPerEntry = false;
  bool bgr = false;
};

class ColorManager {
 public:
  ColorManager();

  int SourceBitsPerSample() const { return sourceBits_; }
  int SourceSamplesPerPixel() const { return sourceSamples_; }
  ColorScheme SourceColorScheme() const { return sourceScheme_; }
  int TargetBitsPerSample() const { return targetBits_; }
  int TargetSamplesPerPixel() const { return targetSamples_; }
  ColorScheme TargetColorScheme() const { return targetScheme_; }
  ConversionOptions SourceOptions() const { return options_; }

  // Bits 1 to 16 (else "Color depth is invalid..."), samples 1 to 4 (else
  // "Sample count per pixel does not correspond...").
  void SetSourceBitsPerSample(int bits);
  void SetSourceSamplesPerPixel(int samples);
  // csGA, csRGBA and csBGRA add coAlpha to the options.
  void SetSourceColorScheme(ColorScheme scheme);
  void SetTargetBitsPerSample(int bits);
  void SetTargetSamplesPerPixel(int samples);
  void SetTargetColorScheme(ColorScheme scheme);
  void SetSourceOptions(ConversionOptions options);

  // Luma coefficients of YCbCr and PhotoYCC sources (0.299, 0.587, 0.114 by
  // default).
  void SetYCbCrParameters(double red, double green, double blue);
  // Chroma subsampling of YCbCr data: 1, 2 or 4 each, vertical at most
  // horizontal. Recorded for readers that lay out subsampled blocks; rows
  // handed to ConvertPixelRow are full resolution.
  void SetYCbCrSubsampling(int horizontal, int vertical);
  int HorizontalSubsampling() const { return subsampleH_; }
  int VerticalSubsampling() const { return subsampleV_; }

  // The Bitmap format the target settings give: 1 sample: 1 bit pf1bit, 2 to
  // 4 bits pf4bit, 8 to 16 bits pf8bit; 3 samples: up to 5 bits pf15bit,
  // otherwise pf24bit; 4 samples of at least 8 bits pf32bit. pfDevice when
  // there is none.
  pixtrel::PixelFormat TargetPixelFormat() const;

  // Chooses the conversion for the current settings; throws
  // EColorConversionError when there is none.
  void PrepareConversion();

  // Converts width pixels into target (a Bitmap row of TargetPixelFormat()).
  // With planeCount 1, sources[0] holds interleaved samples; otherwise
  // sources holds one row per sample plane (planeCount of them). Bit k of
  // mask (from the highest) selects pixel k of every group of 8 to be
  // written; 0xFF writes all.
  void ConvertPixelRow(const std::uint8_t* const* sources, int planeCount, std::uint8_t mask, int width,
                       std::uint8_t* target);
  void ConvertPixelRow(const std::uint8_t* source, int width, std::uint8_t* target) {
    ConvertPixelRow(&source, 1, 0xFF, width, target);
  }

  // At most 256 entries, and no more than data holds.
  pixtrel::Palette BuildPalette(std::span<const std::uint8_t> data, PaletteLayout layout, int entries) const;
  // 2^n grey entries, n = target bits x target samples (at most 8); entry i
  // is i * (255 / (entries - 1)); whiteFirst reverses the order.
  pixtrel::Palette BuildGreyPalette(bool whiteFirst) const;

 private:
  enum class Method { None, Indexed, Colour };
  void Invalidate() { prepared_ = false; }
  void ConvertIndexedRow(const std::uint8_t* const* sources, int planeCount, int width, std::uint8_t* target) const;
  void ConvertColourRow(const std::uint8_t* const* sources, int planeCount, int width, std::uint8_t* target) const;
  void BuildYCbCrTables();

  int sourceBits_ = 8;
  int sourceSamples_ = 3;
  ColorScheme sourceScheme_ = csRGB;
  int targetBits_ = 8;
  int targetSamples_ = 3;
  ColorScheme targetScheme_ = csBGR;
  ConversionOptions options_ = 0;
  double lumaRed_ = 0.299;
  double lumaGreen_ = 0.587;
  double lumaBlue_ = 0.114;
  int subsampleH_ = 1;
  int subsampleV_ = 1;

  bool prepared_ = false;
  Method method_ = Method::None;
  pixtrel::PixelFormat targetFormat_ = pfDevice;
  std::array<int, 256> crToRed_{};
  std::array<int, 256> cbToBlue_{};
  std::array<int, 256> crToGreen_{};
  std::array<int, 256> cbToGreen_{};
};

}  // namespace pixtrel
