#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codecs/legacy/color_manager.h"

namespace pixtrel {
namespace {

ColorManager Manager(ColorScheme source, int bits, int samples, ColorScheme target, int targetBits, int targetSamples,
                     ConversionOptions options = 0) {
  ColorManager m;
  m.SetSourceColorScheme(source);
  m.SetSourceBitsPerSample(bits);
  m.SetSourceSamplesPerPixel(samples);
  m.SetSourceOptions(options);
  m.SetTargetColorScheme(target);
  m.SetTargetBitsPerSample(targetBits);
  m.SetTargetSamplesPerPixel(targetSamples);
  return m;
}

std::vector<std::uint8_t> Convert(ColorManager& m, const std::vector<std::uint8_t>& row, int width, std::size_t out) {
  std::vector<std::uint8_t> target(out, 0);
  m.ConvertPixelRow(row.data(), width, target.data());
  return target;
}

TEST(ColorManager, ReducesSixteenBitSamplesByTheSixteenBitRule) {
  // Grey 16-bit, stored little-endian and big-endian.
  auto little = Manager(csG, 16, 1, csG, 8, 1);
  EXPECT_EQ(Convert(little, {0xFF, 0xFF, 0x00, 0x80, 0x00, 0x01}, 3, 3), (std::vector<std::uint8_t>{255, 127, 0}));
  auto big = Manager(csG, 16, 1, csG, 8, 1, coNeedByteSwap);
  EXPECT_EQ(Convert(big, {0xFF, 0xFF, 0x80, 0x00, 0x01, 0x00}, 3, 3), (std::vector<std::uint8_t>{255, 127, 0}));
  // The same rule for colour samples, alpha dropped for a BGR target.
  auto rgb = Manager(csRGBA, 16, 4, csBGR, 8, 3, coNeedByteSwap);
  EXPECT_EQ(Convert(rgb, {0xFF, 0xFF, 0x80, 0x00, 0x01, 0x00, 0x12, 0x34}, 1, 3),
            (std::vector<std::uint8_t>{0, 127, 255}));
}

TEST(ColorManager, ScalesSmallIndicesAndGreys) {
  auto grey = Manager(csG, 2, 1, csG, 4, 1);
  EXPECT_EQ(grey.TargetPixelFormat(), pf4bit);
  // Samples 3, 1, 0, 2 (2 bits each) become 15, 5, 0, 10 in nibbles.
  EXPECT_EQ(Convert(grey, {0b11010010}, 4, 2), (std::vector<std::uint8_t>{0xF5, 0x0A}));
  auto indexed = Manager(csIndexed, 2, 1, csIndexed, 4, 1);
  EXPECT_EQ(Convert(indexed, {0b01000000}, 1, 1)[0] >> 4, 5);
  // Equal depths are copied; 8-bit grey with alpha keeps the grey.
  auto one = Manager(csIndexed, 1, 1, csIndexed, 1, 1);
  EXPECT_EQ(Convert(one, {0xA5, 0x80}, 9, 2), (std::vector<std::uint8_t>{0xA5, 0x80}));
  auto ga = Manager(csGA, 8, 2, csG, 8, 1);
  EXPECT_EQ(Convert(ga, {10, 255, 20, 0, 30, 7}, 3, 3), (std::vector<std::uint8_t>{10, 20, 30}));
}

TEST(ColorManager, ConvertsCmykLabAndYCbCr) {
  auto cmyk = Manager(csCMYK, 8, 4, csBGR, 8, 3);
  EXPECT_EQ(Convert(cmyk, {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 255}, 3, 9),
            (std::vector<std::uint8_t>{255, 255, 255, /* cyan */ 255, 255, 0, 0, 0, 0}));
  // Lab white and black in the byte-range, chroma-offset storage.
  auto lab = Manager(csCIELab, 8, 3, csBGR, 8, 3, coLabByteRange | coLabChromaOffset);
  EXPECT_EQ(Convert(lab, {255, 128, 128, 0, 128, 128}, 2, 6), (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 0}));
  // Lab a, b as signed bytes without the offset: strong +a is reddish.
  auto labSigned = Manager(csCIELab, 8, 3, csBGR, 8, 3);
  auto red = Convert(labSigned, {50, 80, 0}, 1, 3);
  EXPECT_GT(red[2], red[1]);
  // Neutral YCbCr is its luma; PhotoYCC is neutral at Cb 156, Cr 137.
  auto ycc = Manager(csYCbCr, 8, 3, csBGR, 8, 3);
  EXPECT_EQ(Convert(ycc, {90, 128, 128}, 1, 3), (std::vector<std::uint8_t>{90, 90, 90}));
  auto photo = Manager(csPhotoYCC, 8, 3, csBGR, 8, 3);
  photo.SetYCbCrParameters(0.2125, 0.7154, 0.0721);
  EXPECT_EQ(Convert(photo, {90, 156, 137}, 1, 3), (std::vector<std::uint8_t>{90, 90, 90}));
  // Cr above neutral raises red: c = 2 - 2 * 0.2125 = 1.575; 10 * c = 15.75 -> 16.
  auto warm = Convert(photo, {90, 156, 147}, 1, 3);
  EXPECT_EQ(warm[2], 106);
  EXPECT_EQ(warm[0], 90);
}

TEST(ColorManager, RaisesEveryConversionError) {
  ColorManager m;
  auto kind = [](auto&& f) {
    try {
      f();
    } catch (const EColorConversionError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(kind([&] { m.SetSourceBitsPerSample(0); }),
            "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
  EXPECT_FALSE(kind([&] { m.SetTargetBitsPerSample(17); }).empty());
  EXPECT_EQ(kind([&] { m.SetSourceSamplesPerPixel(5); }),
            "Sample count per pixel does not correspond to the given color scheme.");
  EXPECT_FALSE(kind([&] { m.SetTargetSamplesPerPixel(0); }).empty());
  EXPECT_EQ(kind([&] { m.SetYCbCrSubsampling(3, 1); }), "Subsampling value is invalid. Allowed are 1, 2 and 4.");
  EXPECT_EQ(kind([&] { m.SetYCbCrSubsampling(2, 4); }),
            "Vertical subsampling value must be <= horizontal subsampling value.");
  EXPECT_NO_THROW(m.SetYCbCrSubsampling(4, 2));
  auto indexedToRGB = Manager(csIndexed, 8, 1, csBGR, 8, 3);
  EXPECT_EQ(kind([&] { indexedToRGB.PrepareConversion(); }),
            "Conversion between indexed and non-indexed pixel formats is not supported.");
  auto rgbToGrey = Manager(csRGB, 8, 3, csG, 8, 1);
  EXPECT_FALSE(kind([&] { rgbToGrey.PrepareConversion(); }).empty());
  auto cmy = Manager(csCMY, 8, 3, csBGR, 8, 3);
  EXPECT_EQ(kind([&] { cmy.PrepareConversion(); }), "Color conversion failed. Could not find a proper method.");
  auto unknown = Manager(csUnknown, 8, 3, csBGR, 8, 3);
  EXPECT_FALSE(kind([&] { unknown.PrepareConversion(); }).empty());
  auto fewSamples = Manager(csCMYK, 8, 3, csBGR, 8, 3);
  EXPECT_FALSE(kind([&] { fewSamples.PrepareConversion(); }).empty());
}

TEST(ColorManager, GivesThePixelFormatOfTheTarget) {
  struct Case {
    int bits, samples;
    PixelFormat format;
  } cases[] = {{1, 1, pf1bit},  {2, 1, pf4bit},  {4, 1, pf4bit},  {8, 1, pf8bit},   {16, 1, pf8bit}, {5, 1, pfDevice},
               {5, 3, pf15bit}, {8, 3, pf24bit}, {8, 4, pf32bit}, {4, 4, pfDevice}, {8, 2, pfDevice}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits x " + std::to_string(c.samples));
    ColorManager m;
    m.SetTargetBitsPerSample(c.bits);
    m.SetTargetSamplesPerPixel(c.samples);
    EXPECT_EQ(m.TargetPixelFormat(), c.format);
  }
}

// A plain per-pixel reference for RGB(A) to BGR(A).
std::vector<std::uint8_t> ReferenceRGB(const std::vector<std::vector<std::uint8_t>>& planes, int bits, bool swap,
                                       int width, int outSamples) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * outSamples);
  auto sample = [&](int k, int x) -> int {
    if (bits == 8) return planes[k][x];
    const int hi = swap ? planes[k][2 * x] : planes[k][2 * x + 1];
    const int lo = swap ? planes[k][2 * x + 1] : planes[k][2 * x];
    return (hi * 256 + lo) * 255 / 65535;
  };
  for (int x = 0; x < width; ++x) {
    out[outSamples * x] = static_cast<std::uint8_t>(sample(2, x));
    out[outSamples * x + 1] = static_cast<std::uint8_t>(sample(1, x));
    out[outSamples * x + 2] = static_cast<std::uint8_t>(sample(0, x));
    if (outSamples == 4) out[4 * x + 3] = static_cast<std::uint8_t>(sample(3, x));
  }
  return out;
}

TEST(ColorManager, PlanarAndInterleavedRowsMatchAPlainReference) {
  std::mt19937 random(7);
  for (int bits : {8, 16}) {
    for (bool swap : {false, true}) {
      for (int samples : {3, 4}) {
        for (int width : {1, 7, 33}) {
          SCOPED_TRACE(std::to_string(bits) + " bits, swap " + std::to_string(swap) + ", " + std::to_string(samples) +
                       " samples, width " + std::to_string(width));
          const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
          std::vector<std::vector<std::uint8_t>> planes(static_cast<std::size_t>(samples));
          for (auto& plane : planes) {
            plane.resize(width * sampleBytes);
            for (auto& b : plane) b = static_cast<std::uint8_t>(random());
          }
          std::vector<std::uint8_t> interleaved;
          for (int x = 0; x < width; ++x) {
            for (int k = 0; k < samples; ++k) {
              for (std::size_t b = 0; b < sampleBytes; ++b) interleaved.push_back(planes[k][x * sampleBytes + b]);
            }
          }
          const auto expected = ReferenceRGB(planes, bits, swap, width, samples);
          auto m = Manager(samples == 4 ? csRGBA : csRGB, bits, samples, samples == 4 ? csBGRA : csBGR, 8, samples,
                           swap ? ConversionOptions{coNeedByteSwap} : ConversionOptions{0});
          EXPECT_EQ(Convert(m, interleaved, width, expected.size()), expected);
          const std::uint8_t* rows[4] = {};
          for (int k = 0; k < samples; ++k) rows[k] = planes[k].data();
          std::vector<std::uint8_t> planar(expected.size());
          m.ConvertPixelRow(rows, samples, 0xFF, width, planar.data());
          EXPECT_EQ(planar, expected);
        }
      }
    }
  }
}

TEST(ColorManager, PixelMaskWritesOnlyTheSelectedPixels) {
  auto m = Manager(csBGR, 8, 3, csBGR, 8, 3);
  const std::vector<std::uint8_t> row(30, 9);
  std::vector<std::uint8_t> target(30, 0);
  const std::uint8_t* source = row.data();
  m.ConvertPixelRow(&source, 1, 0xAA, 10, target.data());
  for (int x = 0; x < 10; ++x) EXPECT_EQ(target[3 * x], (x % 2 == 0) ? 9 : 0) << x;
  auto bits = Manager(csIndexed, 1, 1, csIndexed, 1, 1);
  std::vector<std::uint8_t> packed = {0xFF};
  std::vector<std::uint8_t> out = {0x00};
  const std::uint8_t* p = packed.data();
  bits.ConvertPixelRow(&p, 1, 0x0F, 8, out.data());
  EXPECT_EQ(out[0], 0x0F);
}

TEST(ColorManager, ConvertsToFifteenBitTargets) {
  auto m = Manager(csRGB, 8, 3, csBGR, 5, 3);
  ASSERT_EQ(m.TargetPixelFormat(), pf15bit);
  auto out = Convert(m, {255, 0, 8}, 1, 2);
  EXPECT_EQ(out[0] | (out[1] << 8), (31 << 10) | 1);
}

TEST(ColorManager, BuildsPalettesInEveryLayout) {
  ColorManager m;
  const std::vector<std::uint8_t> triples = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(m.BuildPalette(triples, {}, 2), (Palette{RGB(1, 2, 3), RGB(4, 5, 6)}));
  // More entries asked than the data holds: only what is there.
  EXPECT_EQ(m.BuildPalette(triples, {}, 5).size(), 2u);
  const std::vector<std::uint8_t> quads = {3, 2, 1, 0, 6, 5, 4, 0};
  EXPECT_EQ(m.BuildPalette(quads, PaletteLayout{.fourPerEntry = true, .bgr = true}, 2),
            (Palette{RGB(1, 2, 3), RGB(4, 5, 6)}));
  const std::vector<std::uint8_t> planar = {1, 4, 2, 5, 3, 6};
  EXPECT_EQ(m.BuildPalette(planar, PaletteLayout{.planar = true}, 2), (Palette{RGB(1, 2, 3), RGB(4, 5, 6)}));
  // 16-bit planar (a TIFF colour map), big-endian, reduced by the 16-bit rule.
  m.SetSourceOptions(coNeedByteSwap);
  const std::vector<std::uint8_t> wide = {0xFF, 0xFF, 0x80, 0x00, 0x01, 0x00};
  EXPECT_EQ(m.BuildPalette(wide, PaletteLayout{.planar = true, .bits = 16}, 1), (Palette{RGB(255, 127, 0)}));
  // A planar table longer than 256 entries keeps its plane length.
  std::vector<std::uint8_t> big(300 * 3, 0);
  big[300] = 77;  // green of entry 0
  EXPECT_EQ(m.BuildPalette(big, PaletteLayout{.planar = true}, 300)[0], RGB(0, 77, 0));
}

TEST(ColorManager, BuildsGreyRamps) {
  ColorManager m;
  m.SetTargetSamplesPerPixel(1);
  m.SetTargetBitsPerSample(8);
  Palette ramp = m.BuildGreyPalette(false);
  ASSERT_EQ(ramp.size(), 256u);
  EXPECT_EQ(ramp[0], RGB(0, 0, 0));
  EXPECT_EQ(ramp[200], RGB(200, 200, 200));
  m.SetTargetBitsPerSample(4);
  ramp = m.BuildGreyPalette(false);
  ASSERT_EQ(ramp.size(), 16u);
  EXPECT_EQ(ramp[1], RGB(17, 17, 17));
  EXPECT_EQ(ramp[15], RGB(255, 255, 255));
  ramp = m.BuildGreyPalette(true);
  EXPECT_EQ(ramp[0], RGB(255, 255, 255));
  EXPECT_EQ(ramp[14], RGB(17, 17, 17));
  m.SetTargetBitsPerSample(1);
  EXPECT_EQ(m.BuildGreyPalette(true), (Palette{clWhite, clBlack}));
}

}  // namespace
}  // namespace pixtrel
