// Palettes, lookups, the octree quantizer and the dither engines.
#include <gtest/gtest.h>

#include <random>

#include "gif/color_quantizer.h"
#include "gif/color_reduction.h"
#include "gif/dither.h"

namespace pixtrel::gif {
namespace {

struct Mapped {
  int index;
  int r, g, b;
};

Mapped Map(ColorLookup& lookup, int r, int g, int b) {
  std::uint8_t pr, pg, pb;
  const int index = lookup.MapColor(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                    static_cast<std::uint8_t>(b), pr, pg, pb);
  return {index, pr, pg, pb};
}

Bitmap Flat(int width, int height, Color color) {
  Bitmap bitmap(width, height, pf24bit);
  bitmap.Fill(color);
  return bitmap;
}

Bitmap RandomPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < 3 * width; ++x) row[x] = static_cast<std::uint8_t>(random());
  }
  return bitmap;
}

TEST(ColorLookups, NetscapeLevelsUseTheOffsetThree) {
  NetscapeColorLookup lookup;
  EXPECT_EQ(lookup.EntryCount(), 216);
  EXPECT_EQ(Map(lookup, 47, 0, 0).r, 0);
  EXPECT_EQ(Map(lookup, 48, 0, 0).r, 51);
  EXPECT_EQ(Map(lookup, 48, 0, 0).index, 36);
  EXPECT_EQ(Map(lookup, 98, 99, 149).index, 36 * 1 + 6 * 2 + 2);
  EXPECT_EQ(Map(lookup, 150, 200, 201).index, 36 * 3 + 6 * 3 + 4);
  EXPECT_EQ(Map(lookup, 251, 252, 0).index, 36 * 4 + 6 * 5);
  EXPECT_EQ(Map(lookup, 255, 255, 255).index, 215);
  EXPECT_EQ(Map(lookup, 0, 0, 0).index, 0);
  const Palette palette = Netscape216Palette();
  for (int i = 0; i < 216; i += 7) {
    const Color c = palette[static_cast<std::size_t>(i)];
    EXPECT_EQ(Map(lookup, GetRValue(c), GetGValue(c), GetBValue(c)).index, i);
  }
}

TEST(ColorLookups, MonochromeAndGreyThresholds) {
  MonochromeLookup mono;
  EXPECT_EQ(Map(mono, 128, 128, 128).index, 1);
  EXPECT_EQ(Map(mono, 128, 128, 128).g, 255);
  EXPECT_EQ(Map(mono, 127, 127, 127).index, 0);
  EXPECT_EQ(Map(mono, 127, 127, 127).g, 0);
  GrayScaleLookup grey;
  EXPECT_EQ(Map(grey, 255, 0, 0).index, 76);
  EXPECT_EQ(Map(grey, 255, 0, 0).b, 76);
  EXPECT_EQ(Map(grey, 255, 255, 255).index, 255);
  EXPECT_EQ(Map(grey, 0, 0, 0).index, 0);
}

TEST(ColorLookups, FastLookupCachesByCell) {
  FastColorLookup bw(Palette{clBlack, clWhite});
  EXPECT_EQ(Map(bw, 200, 200, 200).index, 1);
  EXPECT_EQ(Map(bw, 200, 200, 200).r, 255);
  EXPECT_EQ(Map(bw, 60, 60, 60).index, 0);

  FastColorLookup twins(Palette{RGB(10, 20, 30), RGB(10, 20, 30)});
  EXPECT_EQ(Map(twins, 10, 20, 30).index, 0);
  EXPECT_EQ(Map(twins, 200, 20, 30).index, 0);

  // (8,8,8) is as far from black as from (16,16,16), so the lower index takes
  // the cell; (15,15,15) then gets black too, although 16 is nearer.
  FastColorLookup cells(Palette{clBlack, RGB(16, 16, 16)});
  EXPECT_EQ(Map(cells, 8, 8, 8).index, 0);
  EXPECT_EQ(Map(cells, 15, 15, 15).index, 0);
  EXPECT_EQ(Map(cells, 16, 16, 16).index, 1);
  // Sum of absolute differences, not squares: (0,0,90) is 90 from black and
  // 96 from (32,32,32), but 8100 against 3408 squared.
  FastColorLookup sad(Palette{clBlack, RGB(32, 32, 32)});
  EXPECT_EQ(Map(sad, 0, 0, 90).index, 0);
}

TEST(Palettes, FixedPalettesOfTheModes) {
  EXPECT_EQ(WindowsGray4Palette(), (Palette{RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192), RGB(255, 255, 255)}));
  EXPECT_EQ(MonochromeReductionPalette(), (Palette{clBlack, clWhite}));
  const Palette grey = Grayscale256Palette();
  ASSERT_EQ(grey.size(), 256u);
  EXPECT_EQ(grey[77], RGB(77, 77, 77));
  const Palette web = Netscape216Palette();
  ASSERT_EQ(web.size(), 216u);
  EXPECT_EQ(web[36 * 5 + 6 * 1 + 2], RGB(255, 51, 102));
  const GifSettings defaults;
  EXPECT_EQ(defaults.reductionMode, Netscape216);
  EXPECT_EQ(defaults.reductionBits, 8);
  EXPECT_EQ(defaults.ditherMode, Nearest);
}

TEST(Palettes, OptimizedWithSystemColoursKeepsTheStaticTwenty) {
  const Bitmap picture = RandomPicture(40, 30, 7);
  const Palette palette = BuildOptimizedPalette(picture, 256, true);
  ASSERT_EQ(palette.size(), 256u);
  const Palette& system = DefaultPalette20();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(palette[static_cast<std::size_t>(i)], system[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(palette[246 + static_cast<std::size_t>(i)], system[10 + static_cast<std::size_t>(i)]);
  EXPECT_EQ(BuildOptimizedPalette(picture, 16, false).size(), 16u);
}

TEST(ColorQuantizer, TwoColourExampleFoldsToOneGrey) {
  ColorQuantizer quantizer(2, 8);
  quantizer.AddColor(255, 0, 0);
  quantizer.AddColor(0, 0, 255);
  quantizer.AddColor(0, 255, 0);
  EXPECT_EQ(quantizer.LeafCount(), 1);
  EXPECT_EQ(quantizer.ExtractPalette(), (Palette{RGB(85, 85, 85)}));
}

TEST(ColorQuantizer, BucketsAverageByTruncation) {
  ColorQuantizer quantizer(4, 8);
  quantizer.AddColor(1, 0, 0);
  quantizer.AddColor(2, 0, 0);
  quantizer.AddColor(2, 0, 0);
  quantizer.AddColor(200, 0, 0);
  quantizer.AddColor(0, 0, 200);  // a fifth leaf folds the deepest inner node
  const Palette palette = quantizer.ExtractPalette();
  ASSERT_FALSE(palette.empty());
  EXPECT_EQ(palette.size(), 4u);
  EXPECT_EQ(palette.front(), RGB(1, 0, 0));  // (1 + 2 + 2) div 3, truncated
}

TEST(ColorQuantizer, FewColoursComeOutExactInTreeOrder) {
  Bitmap picture(3, 2, pf24bit);
  const Color colors[] = {RGB(250, 10, 10), RGB(10, 250, 10), RGB(10, 10, 250),
                          RGB(250, 10, 10), RGB(7, 7, 7),     RGB(10, 250, 10)};
  for (int i = 0; i < 6; ++i) picture.SetPixel(i % 3, i / 3, colors[i]);
  ColorQuantizer quantizer(256, 8);
  quantizer.QuantizeImage(picture);
  // Tree order: the red bit counts most at every level.
  EXPECT_EQ(quantizer.ExtractPalette(), (Palette{RGB(7, 7, 7), RGB(10, 10, 250), RGB(10, 250, 10), RGB(250, 10, 10)}));
  ColorQuantizer single(256, 8);
  single.QuantizeImage(Flat(1, 1, RGB(3, 4, 5)));
  EXPECT_EQ(single.ExtractPalette(), (Palette{RGB(3, 4, 5)}));
}

TEST(ColorQuantizer, NeverHoldsMoreThanItsColours) {
  const Bitmap picture = RandomPicture(64, 64, 3);
  for (int n : {2, 8, 64, 236, 256}) {
    ColorQuantizer quantizer(n, 8);
    quantizer.QuantizeImage(picture);
    EXPECT_LE(quantizer.LeafCount(), n);
    EXPECT_EQ(static_cast<int>(quantizer.ExtractPalette().size()), quantizer.LeafCount());
  }
}

constexpr DitherMode kAllDithers[] = {Nearest, FloydSteinberg, Stucki, Sierra, JaJuNi, SteveArche, Burkes};

TEST(ReduceBitmapColors, FloydSteinbergGreyExample) {
  const Bitmap result = ReduceBitmapColors(Flat(2, 1, RGB(100, 100, 100)), Netscape216, FloydSteinberg, nullptr, 8);
  ASSERT_EQ(result.PixelFormat(), pf8bit);
  EXPECT_EQ(result.PixelIndex(0, 0), 36 * 2 + 6 * 2 + 2);
  EXPECT_EQ(result.PixelIndex(1, 0), 36 * 2 + 6 * 2 + 2);
  EXPECT_EQ(result.Pixel(0, 0), RGB(102, 102, 102));
}

TEST(ReduceBitmapColors, ResultTableIsThePaletteThenBlack) {
  const Bitmap result = ReduceBitmapColors(Flat(3, 3, clWhite), WindowsGray4, Nearest, nullptr, 8);
  ASSERT_EQ(result.Palette().size(), 256u);
  EXPECT_EQ(result.Palette()[2], RGB(192, 192, 192));
  EXPECT_EQ(result.Palette()[4], clBlack);
  EXPECT_EQ(result.Palette()[255], clBlack);
  EXPECT_EQ(result.PixelIndex(1, 1), 3);
}

TEST(ReduceBitmapColors, ColoursOfThePaletteStayWithEveryEngine) {
  // Every colour is a web-cube colour, so no engine has an error to spread.
  const Palette web = Netscape216Palette();
  std::mt19937 random(11);
  Bitmap picture(37, 23, pf24bit);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) picture.SetPixel(x, y, web[random() % 216]);
  const Bitmap nearest = ReduceBitmapColors(picture, Netscape216, Nearest, nullptr, 8);
  for (DitherMode mode : kAllDithers) {
    SCOPED_TRACE(static_cast<int>(mode));
    for (ReductionMode reduction : {Netscape216, CustomPalette}) {
      const Bitmap result = ReduceBitmapColors(picture, reduction, mode, &web, 8);
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(result.PixelIndex(x, y), nearest.PixelIndex(x, y));
    }
  }
}

TEST(ReduceBitmapColors, DiffusionKeepsTheMeanOfAFlatArea) {
  // Grey 120 lies between the cube levels 102 and 153: nearest colour gives
  // 102 throughout, error diffusion a mix whose mean stays near 120.
  const Bitmap flat = Flat(64, 64, RGB(120, 120, 120));
  for (DitherMode mode : kAllDithers) {
    SCOPED_TRACE(static_cast<int>(mode));
    const Bitmap result = ReduceBitmapColors(flat, Netscape216, mode, nullptr, 8);
    double sum = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) sum += GetGValue(result.Pixel(x, y));
    const double mean = sum / (64 * 64);
    if (mode == Nearest)
      EXPECT_EQ(mean, 102.0);
    else
      EXPECT_NEAR(mean, 120.0, 2.0);
  }
}

TEST(ReduceBitmapColors, NarrowAndTinyImagesWithEveryEngine) {
  // Sanitizer builds check that no pattern writes outside its buffers.
  for (int width : {1, 2, 3, 5}) {
    const Bitmap picture = RandomPicture(width, 9, static_cast<unsigned>(width));
    for (DitherMode mode : kAllDithers) {
      for (ReductionMode reduction : {WindowsSystem20, Monochrome, Grayscale256, Netscape216, Optimized}) {
        const Bitmap result = ReduceBitmapColors(picture, reduction, mode, nullptr, 3);
        ASSERT_EQ(result.Width(), width);
        ASSERT_EQ(result.Height(), 9);
      }
    }
  }
}

TEST(ReduceBitmapColors, ModesWithoutPaletteAndUnknownModes) {
  const Bitmap picture = RandomPicture(5, 4, 1);
  const Bitmap copy = ReduceBitmapColors(picture, NoReduction, Nearest, nullptr, 8);
  EXPECT_EQ(copy.PixelFormat(), pf24bit);
  EXPECT_EQ(copy.Pixel(3, 2), picture.Pixel(3, 2));
  EXPECT_TRUE(ReduceBitmapColors(picture, Netscape216, static_cast<DitherMode>(7), nullptr, 8).Empty());
  EXPECT_TRUE(ReduceBitmapColors(picture, static_cast<ReductionMode>(10), Nearest, nullptr, 8).Empty());
  EXPECT_TRUE(ReduceBitmapColors(picture, CustomPalette, Nearest, nullptr, 8).Empty());
  const Bitmap optimized = ReduceBitmapColors(picture, Optimized, Nearest, nullptr, 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_LT(optimized.PixelIndex(x, y), 8);
}

}  // namespace
}  // namespace pixtrel::gif
