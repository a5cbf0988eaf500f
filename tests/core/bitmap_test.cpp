#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/bitmap.h"
#include "core/canvas.h"
#include "core/errors.h"

namespace pixtrel {
namespace {

const PixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

Bitmap RandomBitmap(int width, int height, unsigned seed) {
  Bitmap b(width, height, pf24bit);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < width * 3; ++x) row[x] = static_cast<std::uint8_t>(rng());
  }
  return b;
}

TEST(BitmapFormats, ColoursOfEveryPaletteSurviveEveryFormat) {
  // Black and white are in every palette and exact in every encoding.
  for (PixelFormat format : kAllFormats) {
    SCOPED_TRACE(format);
    Bitmap b(5, 3, pf24bit);
    b.Fill(clBlack);
    b.SetPixel(1, 1, clWhite);
    b.SetPixel(4, 2, clWhite);
    b.SetPixelFormat(format);
    EXPECT_EQ(b.PixelFormat(), format);
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.Pixel(1, 1), clWhite);
    EXPECT_EQ(b.Pixel(4, 2), clWhite);
    EXPECT_EQ(b.Pixel(0, 0), clBlack);
  }
}

TEST(BitmapFormats, StandardColoursSurviveFourAndEightBits) {
  const Palette& standard = StandardPalette16();
  Bitmap b(16, 1, pf24bit);
  for (int i = 0; i < 16; ++i) b.SetPixel(i, 0, standard[i]);
  for (PixelFormat format : {pf4bit, pf8bit}) {
    SCOPED_TRACE(format);
    Bitmap c(b);
    c.SetPixelFormat(format);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(c.Pixel(i, 0), standard[i]) << i;
  }
}

TEST(BitmapFormats, IndexedConversionPicksNearestEntry) {
  Bitmap b(3, 1, pf24bit);
  b.SetPixel(0, 0, RGB(250, 5, 5));
  b.SetPixel(1, 0, RGB(100, 100, 100));
  b.SetPixel(2, 0, RGB(20, 20, 140));
  b.SetPixelFormat(pf4bit);
  EXPECT_EQ(b.PixelIndex(0, 0), 9);  // red
  EXPECT_EQ(b.PixelIndex(1, 0), 8);  // grey 128
  EXPECT_EQ(b.PixelIndex(2, 0), 4);  // navy
  b.SetPixelFormat(pf1bit);
  EXPECT_EQ(b.Pixel(0, 0), clBlack);  // red is nearer black than white
  EXPECT_EQ(b.Pixel(1, 0), clWhite);  // grey 128 is just nearer white
}

TEST(BitmapFormats, HalftoneTableLayout) {
  const Palette& p = HalftonePalette256();
  ASSERT_EQ(p.size(), 256u);
  EXPECT_EQ(p[0], clBlack);
  EXPECT_EQ(p[255], clWhite);
  EXPECT_EQ(p[10 + 36 * 5 + 6 * 0 + 3], RGB(255, 0, 153));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(p[i], DefaultPalette20()[i]);
    EXPECT_EQ(p[246 + i], DefaultPalette20()[10 + i]);
  }
  // Every cube colour maps to itself.
  Bitmap b(216, 1, pf24bit);
  for (int i = 0; i < 216; ++i) b.SetPixel(i, 0, p[10 + i]);
  b.SetPixelFormat(pf8bit);
  for (int i = 0; i < 216; ++i) EXPECT_EQ(b.Pixel(i, 0), p[10 + i]);
}

TEST(BitmapFormats, SixteenBitEncodingsTruncateAndExpand) {
  Bitmap b(2, 1, pf24bit);
  b.SetPixel(0, 0, RGB(255, 255, 255));
  b.SetPixel(1, 0, RGB(0x87, 0x43, 0x0C));
  Bitmap c15(b), c16(b);
  c15.SetPixelFormat(pf15bit);
  c16.SetPixelFormat(pf16bit);
  const std::uint8_t* w15 = c15.ScanLine(0);
  const std::uint8_t* w16 = c16.ScanLine(0);
  EXPECT_EQ(w15[0] | (w15[1] << 8), 0x7FFF);
  EXPECT_EQ(w16[0] | (w16[1] << 8), 0xFFFF);
  EXPECT_EQ(w16[2] | (w16[3] << 8), ((0x87 >> 3) << 11) | ((0x43 >> 2) << 5) | (0x0C >> 3));
  EXPECT_EQ(c15.Pixel(0, 0), clWhite);
  EXPECT_EQ(c16.Pixel(0, 0), clWhite);
}

TEST(BitmapFormats, ConversionIsIdempotentOnAwkwardWidths) {
  // Converting away and back settles after one round: the second round
  // changes nothing, at widths where row padding and partial bytes matter.
  for (PixelFormat format : kAllFormats) {
    for (int width : {1, 3, 7, 9, 33}) {
      SCOPED_TRACE(testing::Message() << "format " << format << " width " << width);
      Bitmap b = RandomBitmap(width, 4, static_cast<unsigned>(width * 31 + format));
      b.SetPixelFormat(format);
      b.SetPixelFormat(pf24bit);
      Bitmap once(b);
      b.SetPixelFormat(format);
      b.SetPixelFormat(pf24bit);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < width; ++x) ASSERT_EQ(b.Pixel(x, y), once.Pixel(x, y));
    }
  }
}

TEST(BitmapFormats, TrueColourRoundTripsAreExact) {
  Bitmap b = RandomBitmap(13, 5, 1);
  Bitmap c(b);
  c.SetPixelFormat(pf32bit);
  c.SetPixelFormat(pf24bit);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(0, std::memcmp(b.ScanLine(y), c.ScanLine(y), 13 * 3));
}

TEST(BitmapFormats, DeviceFormatIsThirtyTwoBits) {
  Bitmap b(4, 4, pfDevice);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  Bitmap c;
  EXPECT_EQ(c.PixelFormat(), pf32bit);
  Bitmap d(2, 2, pf24bit);
  d.SetPixelFormat(pfDevice);
  EXPECT_EQ(d.PixelFormat(), pf32bit);
}

TEST(BitmapFormats, RowsArePaddedToFourBytes) {
  EXPECT_EQ(Bitmap(1, 1, pf1bit).RowStride(), 4u);
  EXPECT_EQ(Bitmap(33, 1, pf1bit).RowStride(), 8u);
  EXPECT_EQ(Bitmap(9, 1, pf4bit).RowStride(), 8u);
  EXPECT_EQ(Bitmap(5, 1, pf24bit).RowStride(), 16u);
  EXPECT_EQ(Bitmap(3, 1, pf16bit).RowStride(), 8u);
}

TEST(BitmapSize, KeepsTopLeftAndFillsWithBrushColour) {
  for (PixelFormat format : kAllFormats) {
    SCOPED_TRACE(format);
    Bitmap b(5, 3, format);
    b.Fill(clBlack);
    b.Canvas().Brush().color = clWhite;
    b.SetSize(11, 6);
    EXPECT_EQ(b.Width(), 11);
    EXPECT_EQ(b.Height(), 6);
    EXPECT_EQ(b.Pixel(4, 2), clBlack);
    EXPECT_EQ(b.Pixel(5, 2), clWhite);
    EXPECT_EQ(b.Pixel(4, 3), clWhite);
    EXPECT_EQ(b.Pixel(10, 5), clWhite);
    b.SetWidth(2);
    EXPECT_EQ(b.Pixel(1, 1), clBlack);
    b.SetHeight(0);
    EXPECT_TRUE(b.Empty());
  }
}

TEST(BitmapSize, ZeroWidthOrHeightIsAnEmptyBitmap) {
  for (PixelFormat format : kAllFormats) {
    SCOPED_TRACE(format);
    Bitmap b(0, 5, format);
    EXPECT_TRUE(b.Empty());
    b.SetSize(3, 0);
    b.SetSize(0, 3);
    EXPECT_TRUE(b.Empty());
    b.SetSize(2, 2);
    EXPECT_EQ(b.Pixel(1, 1), clWhite);
  }
}

TEST(BitmapSize, NewBitmapIsWhiteAndHeaderLimitsHold) {
  Bitmap b(3, 2, pf24bit);
  EXPECT_EQ(b.Pixel(2, 1), clWhite);
  EXPECT_THROW(Bitmap(1 << 21, 1, pf24bit), EImageTooLarge);
  EXPECT_THROW(Bitmap(20000, 20000, pf24bit), EImageTooLarge);
}

TEST(BitmapTransparency, DefaultsToBottomLeftPixel) {
  Bitmap b(4, 4, pf24bit);
  b.Fill(clRed);
  b.SetPixel(0, 3, clLime);
  EXPECT_EQ(b.TransparentColor(), clLime);
  b.SetTransparentColor(clBlue);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clBlue);
}

TEST(BitmapCopy, AssignIsIndependentAndKeepsEverything) {
  Bitmap b(6, 2, pf8bit);
  b.SetTransparent(true);
  b.SetPixel(1, 1, clRed);
  Bitmap c;
  c.Assign(b);
  EXPECT_EQ(c.PixelFormat(), pf8bit);
  EXPECT_TRUE(c.Transparent());
  EXPECT_EQ(c.Palette(), b.Palette());
  c.SetPixel(1, 1, clBlue);
  EXPECT_EQ(b.Pixel(1, 1), clRed);
  Bitmap moved(std::move(c));
  EXPECT_EQ(moved.Pixel(1, 1), clBlue);
  moved.Canvas().Brush().color = clRed;  // the moved-to bitmap has a canvas of its own
  moved.SetWidth(7);
  EXPECT_EQ(moved.Pixel(6, 0), clRed);
}

TEST(BitmapPixels, OutOfRangeAccessIsHarmless) {
  Bitmap b(2, 2, pf4bit);
  EXPECT_EQ(b.Pixel(-1, 0), clBlack);
  EXPECT_EQ(b.Pixel(2, 0), clBlack);
  b.SetPixel(5, 5, clRed);
  EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
}

}  // namespace
}  // namespace pixtrel
