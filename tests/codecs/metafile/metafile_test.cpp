#include "codecs/metafile/metafile.h"
#include "codecs/metafile/record_types.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/bitmap.h"
#include "core/canvas.h"
#include "io/image_io.h"
#include "metafile_builders.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

using test::ColorRef;
using test::EmfBuilder;
using test::WmfBuilder;

constexpr std::uint32_t kStockNullPen = 0x80000008;
constexpr std::uint32_t kStockNullBrush = 0x80000005;

Bitmap Render(const std::vector<std::uint8_t>& bytes) {
  Metafile metafile;
  metafile.LoadFromBytes(bytes);
  Bitmap bitmap;
  bitmap.Assign(metafile);
  return bitmap;
}

// EMF helpers: objects are created in slot 1 and 2 and selected.
EmfBuilder& SolidBrush(EmfBuilder& b, std::uint32_t color, int slot = 1) {
  return b.Record(39, {slot, 0, color, 0}).Record(37, {slot});
}
EmfBuilder& NoPen(EmfBuilder& b) { return b.Record(37, {kStockNullPen}); }

// The code of the error loading bytes raises, "" when it loads; the text
// of every metafile error is the one fixed message.
std::string LoadError(const std::vector<std::uint8_t>& bytes) {
  try {
    Metafile metafile;
    metafile.LoadFromBytes(bytes);
  } catch (const EInvalidMetafile& e) {
    EXPECT_STREQ(e.what(), "Metafile is not valid");
    return e.Code();
  }
  return "";
}

int CountColor(const Bitmap& bitmap, Color color, const Rect& area) {
  int n = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) n += bitmap.Pixel(x, y) == color;
  return n;
}

TEST(EmfSize, FrameAtNinetySixDotsPerInch) {
  Metafile metafile;
  metafile.LoadFromBytes(EmfBuilder(192, 96).Finish());
  EXPECT_TRUE(metafile.Enhanced());
  EXPECT_EQ(metafile.Width(), 192);
  EXPECT_EQ(metafile.Height(), 96);
}

TEST(EmfShapes, RectangleWithSolidBrushAndNullPenFillsItsBox) {
  EmfBuilder b(96, 96);
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b).Record(43, {10, 10, 40, 30});
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(bitmap.Pixel(20, 20), clRed);
  EXPECT_EQ(bitmap.Pixel(10, 10), clRed);
  EXPECT_EQ(bitmap.Pixel(5, 5), clWhite);
  EXPECT_EQ(bitmap.Pixel(45, 20), clWhite);
}

TEST(EmfShapes, OutlineTakesThePenAndStaysInsideRightAndBottom) {
  EmfBuilder b(96, 96);
  b.Record(38, {1, 0, 1, 0, ColorRef(0, 0, 255)}).Record(37, {1}).Record(37, {kStockNullBrush});
  b.Record(43, {10, 10, 40, 30});
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(10, 20), clBlue);
  EXPECT_EQ(bitmap.Pixel(39, 20), clBlue);
  EXPECT_EQ(bitmap.Pixel(40, 20), clWhite);
  EXPECT_EQ(bitmap.Pixel(20, 29), clBlue);
  EXPECT_EQ(bitmap.Pixel(20, 20), clWhite);  // hollow brush
}

TEST(EmfShapes, HatchGapsFollowTheBackgroundMode) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    EmfBuilder b(96, 96);
    b.Record(25, {ColorRef(0, 255, 0)}).Record(18, {mode});
    b.Record(39, {1, 2, ColorRef(0, 0, 255), 4}).Record(37, {1});  // HS_CROSS
    NoPen(b).Record(43, {0, 0, 64, 64});
    const Bitmap bitmap = Render(b.Finish());
    const int blue = CountColor(bitmap, clBlue, Rect{8, 8, 56, 56});
    const int gaps = CountColor(bitmap, mode == 2 ? clLime : clWhite, Rect{8, 8, 56, 56});
    EXPECT_GT(blue, 48 * 48 / 8);
    EXPECT_LT(blue, 48 * 48 / 2);
    EXPECT_EQ(blue + gaps, 48 * 48);
  }
}

TEST(EmfShapes, EllipsePieAndPolygonCoverTheirCentres) {
  EmfBuilder b(96, 96);
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b);
  b.Record(42, {0, 0, 40, 40});
  b.Record(47, {50, 0, 90, 40, 90, 20, 70, 0});  // quarter pie: right to top
  std::vector<std::uint8_t> polygon;
  for (auto v : {0, 0, 0, 0, 3, 10, 90, 40, 60, 40, 90}) test::Put32(polygon, v);
  b.Bytes(3, polygon);
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(20, 20), clRed);
  EXPECT_EQ(bitmap.Pixel(2, 2), clWhite);    // outside the ellipse, inside its box
  EXPECT_EQ(bitmap.Pixel(78, 12), clRed);    // inside the quarter
  EXPECT_EQ(bitmap.Pixel(62, 28), clWhite);  // other quarters stay empty
  EXPECT_EQ(bitmap.Pixel(25, 75), clRed);
  EXPECT_EQ(bitmap.Pixel(80, 80), clWhite);
}

TEST(EmfMapping, WorldTransformScalesAndMoves) {
  EmfBuilder b(96, 96);
  std::vector<std::uint8_t> xform;
  for (float f : {2.0f, 0.0f, 0.0f, 2.0f, 10.0f, 0.0f}) test::PutFloat(xform, f);
  b.Bytes(35, xform);
  SolidBrush(b, ColorRef(0, 0, 255));
  NoPen(b).Record(43, {10, 10, 20, 20});  // lands on 30..50, 20..40
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(40, 30), clBlue);
  EXPECT_EQ(bitmap.Pixel(15, 15), clWhite);
  EXPECT_EQ(bitmap.Pixel(55, 30), clWhite);
}

TEST(EmfMapping, AnisotropicWindowOntoViewport) {
  EmfBuilder b(96, 96);
  b.Record(17, {8}).Record(9, {10, 10}).Record(11, {96, 48});  // x by 9.6, y by 4.8
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b).Record(43, {0, 0, 5, 5});
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(40, 20), clRed);
  EXPECT_EQ(bitmap.Pixel(40, 30), clWhite);
  EXPECT_EQ(bitmap.Pixel(55, 20), clWhite);
}

TEST(EmfMapping, MetricModesPutYUpwards) {
  EmfBuilder b(96, 96);
  b.Record(17, {2}).Record(12, {0, 96});  // MM_LOMETRIC, origin at the bottom left
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b).Record(43, {0, 100, 100, 0});  // 10 mm square from the origin upwards
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(10, 90), clRed);  // about 38 pixels up from the bottom
  EXPECT_EQ(bitmap.Pixel(10, 40), clWhite);
}

TEST(EmfClipping, IntersectExcludeAndRestore) {
  EmfBuilder b(96, 96);
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b);
  b.Record(33, {});
  b.Record(30, {0, 0, 48, 96});  // left half
  b.Record(29, {0, 0, 20, 20});  // minus the top-left corner
  b.Record(43, {0, 0, 96, 48});
  b.Record(34, {-1});  // clip gone again
  SolidBrush(b, ColorRef(0, 0, 255), 2);
  b.Record(43, {0, 60, 96, 96});
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(30, 30), clRed);
  EXPECT_EQ(bitmap.Pixel(10, 10), clWhite);
  EXPECT_EQ(bitmap.Pixel(70, 30), clWhite);
  EXPECT_EQ(bitmap.Pixel(70, 80), clBlue);
}

TEST(EmfPaths, FillPathAndClipPath) {
  EmfBuilder b(96, 96);
  SolidBrush(b, ColorRef(0, 0, 255));
  b.Record(59, {}).Record(27, {10, 10}).Record(54, {80, 10}).Record(54, {10, 80}).Record(61, {}).Record(60, {});
  b.Record(62, {0, 0, 96, 96});
  const Bitmap filled = Render(b.Finish());
  EXPECT_EQ(filled.Pixel(25, 25), clBlue);
  EXPECT_EQ(filled.Pixel(70, 70), clWhite);

  EmfBuilder c(96, 96);
  c.Record(59, {}).Record(42, {20, 20, 76, 76}).Record(60, {}).Record(67, {5});
  SolidBrush(c, ColorRef(255, 0, 0));
  NoPen(c).Record(43, {0, 0, 96, 96});
  const Bitmap clipped = Render(c.Finish());
  EXPECT_EQ(clipped.Pixel(48, 48), clRed);
  EXPECT_EQ(clipped.Pixel(22, 22), clWhite);
  EXPECT_EQ(clipped.Pixel(5, 48), clWhite);
}

TEST(EmfShapes, BezierPassesNearItsMidpoint) {
  EmfBuilder b(96, 96);
  b.Record(2, {0, 0, 0, 0, 4, 10, 80, 30, 10, 60, 10, 86, 80});
  const Bitmap bitmap = Render(b.Finish());
  // The curve's midpoint is (45.75, 27.5); the chord below it stays empty.
  EXPECT_GT(CountColor(bitmap, clBlack, Rect{43, 25, 49, 31}), 0);
  EXPECT_EQ(CountColor(bitmap, clBlack, Rect{40, 60, 56, 80}), 0);
}

TEST(EmfText, ExtTextOutWDrawsInTheTextColourAtTheReference) {
  EmfBuilder b(192, 96);
  std::vector<std::uint8_t> font;
  for (auto v : {1, -40, 0, 0, 0, 700}) test::Put32(font, v);
  for (int i = 0; i < 8; ++i) font.push_back(0);
  for (char c : std::string("Sans")) test::Put16(font, c);
  while (font.size() < 4 + 92) font.push_back(0);
  b.Bytes(82, font).Record(37, {1});
  b.Record(24, {ColorRef(255, 0, 0)}).Record(18, {1});
  std::vector<std::uint8_t> text;
  for (auto v : {0, 0, 0, 0, 1}) test::Put32(text, v);
  test::PutFloat(text, 1);
  test::PutFloat(text, 1);
  for (auto v : {100, 20, 3, 76, 0, 0, 0, 0, 0, 0}) test::Put32(text, v);  // offString 76 from record start
  for (char c : std::string("HHH")) test::Put16(text, c);
  test::Put16(text, 0);
  b.Bytes(84, text);
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_GT(CountColor(bitmap, clRed, Rect{100, 20, 192, 70}), 50);
  EXPECT_EQ(CountColor(bitmap, clRed, Rect{0, 0, 98, 96}), 0);
}

std::vector<std::uint8_t> StretchDibitsRecord(const std::vector<std::uint8_t>& dib, int destW, int destH,
                                              std::size_t infoSize) {
  std::vector<std::uint8_t> p;
  for (auto v : {0, 0, 0, 0}) test::Put32(p, v);  // bounds
  const std::int64_t width = dib[4], height = dib[8];
  const std::int64_t offBmi = 8 + 72;
  for (std::int64_t v : {std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, width, height, offBmi,
                         static_cast<std::int64_t>(infoSize), offBmi + static_cast<std::int64_t>(infoSize),
                         static_cast<std::int64_t>(dib.size() - infoSize), std::int64_t{0}, std::int64_t{0x00CC0020},
                         std::int64_t{destW}, std::int64_t{destH}})
    test::Put32(p, v);
  p.insert(p.end(), dib.begin(), dib.end());
  return p;
}

TEST(EmfBitmaps, StretchDibitsStretchesRowsTopDown) {
  const auto dib = test::Dib24(2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00});
  EmfBuilder b(96, 96);
  b.Bytes(81, StretchDibitsRecord(dib, 96, 96, 40));
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(10, 10), clRed);
  EXPECT_EQ(bitmap.Pixel(80, 10), clLime);
  EXPECT_EQ(bitmap.Pixel(10, 80), clBlue);
  EXPECT_EQ(bitmap.Pixel(80, 80), clYellow);
}

TEST(EmfBitmaps, RunLengthEightBitDib) {
  std::vector<std::uint8_t> dib;
  for (auto v : {40, 4, 2}) test::Put32(dib, v);
  test::Put16(dib, 1);
  test::Put16(dib, 8);
  for (auto v : {1, 0, 0, 0, 2, 0}) test::Put32(dib, v);                   // BI_RLE8, two colours
  for (std::uint32_t c : {0x000000FFu, 0x0000FF00u}) test::Put32(dib, c);  // blue, green (BGRX)
  // Bottom row: 4 x index 0; top row: 4 x index 1; end of picture.
  for (int v : {4, 0, 0, 0, 4, 1, 0, 1}) dib.push_back(static_cast<std::uint8_t>(v));
  EmfBuilder b(96, 96);
  b.Bytes(81, StretchDibitsRecord(dib, 96, 96, 48));
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(48, 10), clLime);
  EXPECT_EQ(bitmap.Pixel(48, 80), clBlue);
}

TEST(EmfRasterOps, XorPenInvertsWhatIsThere) {
  EmfBuilder b(96, 96);
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b).Record(43, {0, 0, 96, 96});
  SolidBrush(b, ColorRef(255, 255, 255), 2);
  b.Record(20, {7}).Record(43, {0, 0, 48, 96});
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(20, 20), clAqua);
  EXPECT_EQ(bitmap.Pixel(70, 20), clRed);
}

TEST(EmfRasterOps, PatternBlitsWithoutSource) {
  EmfBuilder b(96, 96);
  SolidBrush(b, ColorRef(0, 0, 255));
  std::vector<std::uint8_t> blt;
  for (std::int64_t v : {0, 0, 0, 0, 10, 10, 30, 30, 0x00F00021, 0, 0}) test::Put32(blt, v);
  for (int i = 0; i < 6; ++i) test::PutFloat(blt, i == 0 || i == 3 ? 1.0f : 0.0f);
  for (int v : {0, 0, 0, 0, 0, 0}) test::Put32(blt, v);
  b.Bytes(76, blt);
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(20, 20), clBlue);
  EXPECT_EQ(bitmap.Pixel(50, 50), clWhite);
}

TEST(EmfRobustness, UnknownRecordsAreSkipped) {
  EmfBuilder b(96, 96);
  b.Record(200, {1, 2, 3});
  SolidBrush(b, ColorRef(255, 0, 0));
  NoPen(b).Record(43, {0, 0, 96, 96});
  EXPECT_EQ(Render(b.Finish()).Pixel(50, 50), clRed);
}

TEST(EmfRobustness, DamagedRecordsFailTheLoad) {
  {
    SCOPED_TRACE("point count beyond the record");
    EmfBuilder b(96, 96);
    b.Record(3, {0, 0, 0, 0, 1000, 1, 1});
    EXPECT_EQ(LoadError(b.Finish()), "metafile.ParametersOutsideRecord");
  }
  {
    SCOPED_TRACE("record size beyond the file");
    EmfBuilder b(96, 96);
    std::vector<std::uint8_t> raw;
    test::Put32(raw, 43);
    test::Put32(raw, 4000);
    b.Raw(raw);
    std::vector<std::uint8_t> bytes = b.Finish();
    bytes.resize(88 + 8);
    EXPECT_EQ(LoadError(bytes), "metafile.RecordOutsideFile");
  }
  {
    SCOPED_TRACE("string offset outside the record");
    EmfBuilder b(96, 96);
    b.Record(84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 5, 5000, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(LoadError(b.Finish()), "metafile.ParametersOutsideRecord");
  }
  {
    SCOPED_TRACE("bad signature");
    std::vector<std::uint8_t> bytes = EmfBuilder(96, 96).Finish();
    bytes[40] = 'X';
    EXPECT_EQ(LoadError(bytes), "metafile.InvalidHeader");
  }
}

TEST(EmfRobustness, AbsurdFrameIsTooLarge) {
  Metafile m;
  EXPECT_THROW(m.LoadFromBytes(EmfBuilder(96, 96).Finish(2000000000)), EImageTooLarge);
}

TEST(WmfSize, PlaceableBoxInUnitsPerInchAndWindowExtentOtherwise) {
  Metafile placeable;
  placeable.LoadFromBytes(WmfBuilder(2880, 1440).Finish(1440));
  EXPECT_FALSE(placeable.Enhanced());
  EXPECT_EQ(placeable.Width(), 192);
  EXPECT_EQ(placeable.Height(), 96);

  Metafile plain;
  plain.LoadFromBytes(WmfBuilder(0, 0, false).Record(0x020C, {70, 100}).Finish());
  EXPECT_EQ(plain.Width(), 100);
  EXPECT_EQ(plain.Height(), 70);

  EXPECT_EQ(LoadError(WmfBuilder(0, 0, false).Finish()), "metafile.NoWindowExtent");
}

TEST(WmfShapes, WindowMapsOntoThePictureAndObjectsReuseFreedSlots) {
  WmfBuilder b(96, 96);
  b.Record(0x0103, {8}).Record(0x020B, {0, 0}).Record(0x020C, {10, 10});  // window 10 x 10
  b.Record(0x02FA, {5, 0, 0, 0, 0});                                      // slot 0: null pen
  b.Record(0x02FC, {0, 0x00FF, 0, 0});                                    // slot 1: red brush
  b.Record(0x012D, {0}).Record(0x01F0, {1});                              // select pen, free the red brush
  b.Record(0x02FC, {0, 0, 0x00FF, 0});                                    // slot 1 again: blue brush
  b.Record(0x012D, {1});
  b.Record(0x041B, {5, 5, 0, 0});  // Rectangle: bottom, right, top, left
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(20, 20), clBlue);
  EXPECT_EQ(bitmap.Pixel(60, 60), clWhite);
}

TEST(WmfShapes, PolygonEllipseAndTextOut) {
  WmfBuilder b(192, 96);
  b.Record(0x02FC, {0, 0x00FF, 0, 0}).Record(0x012D, {0});
  b.Record(0x0324, {3, 10, 10, 60, 10, 10, 60});
  b.Record(0x0418, {90, 190, 50, 150});  // Ellipse: bottom, right, top, left
  b.Record(0x0209, {0, 0x00FF});         // text colour blue
  b.Record(0x0102, {1});
  std::vector<std::uint8_t> font;
  for (int v : {-30, 0, 0, 0, 400}) test::Put16(font, v);
  for (int i = 0; i < 8; ++i) font.push_back(0);
  for (char c : std::string("Sans")) font.push_back(static_cast<std::uint8_t>(c));
  font.push_back(0);
  b.Bytes(0x02FB, font).Record(0x012D, {1});
  std::vector<std::uint8_t> text;
  test::Put16(text, 2);
  text.push_back('H');
  text.push_back('H');
  test::Put16(text, 10);  // y
  test::Put16(text, 80);  // x
  b.Bytes(0x0521, text);
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_EQ(bitmap.Pixel(20, 20), clRed);
  EXPECT_EQ(bitmap.Pixel(50, 50), clWhite);
  EXPECT_EQ(bitmap.Pixel(170, 70), clRed);
  EXPECT_GT(CountColor(bitmap, clBlue, Rect{80, 10, 140, 45}), 20);
}

TEST(WmfRasterOps, PatternBlitsByTheirOperation) {
  WmfBuilder b(96, 16);
  b.Record(0x02FC, {0, 0x00FF, 0, 0}).Record(0x012D, {0});  // red brush
  b.Record(0x02FA, {5, 0, 0, 0, 0}).Record(0x012D, {1});    // null pen
  b.Record(0x041B, {16, 96, 0, 0});
  b.Record(0x02FC, {0, 0, 0x00FF, 0}).Record(0x012D, {2});  // blue brush
  const std::uint32_t rops[] = {0x00550009, 0x00000042, 0x00FF0062, 0x005A0049, 0x00AA0029, 0x00F00021};
  for (int i = 0; i < 6; ++i)
    b.Record(0x061D, {static_cast<int>(rops[i] & 0xFFFF), static_cast<int>(rops[i] >> 16), 16, 16, 0, 16 * i});
  const Bitmap bitmap = Render(b.Finish());
  const Color expected[] = {clAqua, clBlack, clWhite, clFuchsia, clRed, clBlue};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bitmap.Pixel(16 * i + 8, 8), expected[i]);
  }
}

TEST(WmfBitmaps, StretchDibCountsSourceRowsFromTheBottom) {
  const auto dib = test::Dib24(2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00});
  std::vector<std::uint8_t> p;
  // rop, usage, srcH, srcW, ySrc, xSrc, h, w, y, x: the bottom source row only.
  test::Put32(p, 0x00CC0020);
  for (int v : {0, 1, 2, 0, 0, 48, 96, 0, 0}) test::Put16(p, v);
  p.insert(p.end(), dib.begin(), dib.end());
  const Bitmap bitmap = Render(WmfBuilder(96, 96).Bytes(0x0F43, p).Finish());
  EXPECT_EQ(bitmap.Pixel(10, 10), clBlue);
  EXPECT_EQ(bitmap.Pixel(80, 40), clYellow);
  EXPECT_EQ(bitmap.Pixel(50, 70), clWhite);
}

TEST(WmfRobustness, BadHeaderAndTruncatedRecordFail) {
  std::vector<std::uint8_t> bytes = WmfBuilder(96, 96).Finish();
  bytes[22 + 2] = 5;  // header size
  EXPECT_EQ(LoadError(bytes), "metafile.InvalidHeader");

  std::vector<std::uint8_t> cut = WmfBuilder(96, 96).Record(0x0324, {3, 1, 1, 5, 5, 9, 1}).Finish();
  cut.resize(cut.size() - 10);
  EXPECT_EQ(LoadError(cut), "metafile.RecordOutsideFile");

  std::vector<std::uint8_t> shortCount = WmfBuilder(96, 96).Record(0x0324, {30, 1, 1}).Finish();
  EXPECT_EQ(LoadError(shortCount), "metafile.ParametersOutsideRecord");
}

TEST(WmfRobustness, EmptyBoxZeroInchAndUndersizedRecordFail) {
  EXPECT_EQ(LoadError(WmfBuilder(0, 96).Finish()), "metafile.EmptyFrame");
  EXPECT_EQ(LoadError(WmfBuilder(96, 96).Finish(0)), "metafile.InvalidHeader");
  std::vector<std::uint8_t> bytes = WmfBuilder(96, 96).Record(0x041B, {90, 90, 10, 10}).Finish();
  bytes[22 + 18] = 2;  // two words: less than the record's own header
  EXPECT_EQ(LoadError(bytes), "metafile.BadRecordSize");
}

TEST(EmfRobustness, EmptyFrameAndBoundsAndUndersizedRecordFail) {
  std::vector<std::uint8_t> empty = EmfBuilder(0, 0).Finish();
  EXPECT_EQ(LoadError(empty), "metafile.EmptyFrame");
  std::vector<std::uint8_t> bytes = EmfBuilder(96, 96).Record(43, {0, 0, 10, 10}).Finish();
  bytes[88 + 4] = 4;  // a size below the type and size fields
  EXPECT_EQ(LoadError(bytes), "metafile.BadRecordSize");
}

// Records the players skip, known or not, load whatever their parameters;
// a known record that is drawn has its parameters checked.
TEST(MetafileRecords, SkippedRecordsAreNotReadButDrawnOnesAre) {
  WmfBuilder wmf(96, 96);
  wmf.Record(0x0626, {}).Record(0x0922, {1}).Record(0x0B23, {}).Record(0x0777, {});
  EXPECT_EQ(LoadError(wmf.Finish()), "");
  EXPECT_EQ(LoadError(WmfBuilder(96, 96).Record(0x041B, {1}).Finish()), "metafile.ParametersOutsideRecord");

  EmfBuilder emf(96, 96);
  emf.Record(70, {}).Record(1, {}).Record(121, {}).Record(5000, {});
  EXPECT_EQ(LoadError(emf.Finish()), "");
  EXPECT_EQ(LoadError(EmfBuilder(96, 96).Record(43, {1}).Finish()), "metafile.ParametersOutsideRecord");
}

// The failing record, by name and offset, is the error's context, apart from
// the fixed text.
TEST(MetafileRecords, TheFailingRecordIsTheContext) {
  const auto context = [](const std::vector<std::uint8_t>& bytes) -> std::string {
    try {
      Metafile metafile;
      metafile.LoadFromBytes(bytes);
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Metafile is not valid");
      return e.Context();
    }
    return "loaded";
  };
  // The WMF records begin after the placeable header (22) and the header (18).
  EXPECT_EQ(context(WmfBuilder(96, 96).Record(0x0103, {8}).Record(0x0324, {30, 1, 1}).Finish()),
            "record Polygon at offset 48");
  EXPECT_EQ(context(WmfBuilder(96, 96).Record(0x0555, {}).Record(0x0538, {40}).Finish()),
            "record PolyPolygon at offset 46");
  // The EMF records after the 88-byte header.
  EXPECT_EQ(context(EmfBuilder(96, 96).Record(86, {0, 0, 0, 0, 9, 1}).Finish()), "record Polygon16 at offset 88");
  std::vector<std::uint8_t> cut = EmfBuilder(96, 96).Finish();
  cut.resize(cut.size() - 3);
  EXPECT_EQ(context(cut), "record Eof at offset 88");
  EXPECT_EQ(context(WmfBuilder(0, 0, false).Finish()), "");
  EXPECT_EQ(metafile::WmfRecordName(0x0F43), std::string("StretchDib"));
  EXPECT_EQ(metafile::EmfRecordName(122), std::string("CreateColorSpaceW"));
  EXPECT_EQ(metafile::EmfRecordName(123), nullptr);
}

std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = test::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST(MetafileOpening, EmfOverALargerImageKeepsTheOldPixelsWhereNothingIsDrawn) {
  EmfBuilder b(96, 48);
  SolidBrush(b, ColorRef(0, 0, 255));
  NoPen(b).Record(43, {10, 10, 30, 30});
  const std::string path = WriteTemp("over.emf", b.Finish());
  for (PixelFormat format : {pf24bit, pf32bit, pf8bit}) {
    SCOPED_TRACE(format);
    Bitmap target(300, 200, format);
    target.Fill(clRed);
    LoadImageFile(path, target, test::Silent());
    EXPECT_EQ(target.Width(), 96);
    EXPECT_EQ(target.Height(), 48);
    EXPECT_EQ(target.PixelFormat(), format);
    EXPECT_EQ(target.Pixel(20, 20), clBlue);
    EXPECT_EQ(target.Pixel(60, 40), clRed);
  }
}

TEST(MetafileOpening, WmfOverASmallerImageShowsWhiteOnlyWhereTheTargetHadNoPixels) {
  WmfBuilder b(96, 96);
  b.Record(0x02FC, {0, 0, 0x00FF, 0}).Record(0x012D, {0});
  b.Record(0x02FA, {5, 0, 0, 0, 0}).Record(0x012D, {1});
  b.Record(0x041B, {90, 90, 80, 80});
  const std::string path = WriteTemp("over.WMF", b.Finish());
  Bitmap target(50, 50, pf24bit);
  target.Fill(clRed);
  LoadImageFile(path, target, test::Silent());
  ASSERT_EQ(target.Width(), 96);
  EXPECT_EQ(target.Pixel(20, 20), clRed);
  EXPECT_EQ(target.Pixel(70, 70), clWhite);
  EXPECT_EQ(target.Pixel(85, 85), clBlue);
}

TEST(MetafileOpening, AFailedLoadLeavesTheTarget) {
  std::vector<std::uint8_t> bytes = EmfBuilder(96, 96).Finish();
  bytes[40] = 'X';
  const std::string path = WriteTemp("bad.emf", bytes);
  Bitmap target(30, 20, pf24bit);
  target.Fill(clRed);
  EXPECT_THROW(LoadImageFile(path, target, test::Silent()), EInvalidMetafile);
  EXPECT_EQ(target.Width(), 30);
  EXPECT_EQ(target.Pixel(5, 5), clRed);
}

}  // namespace
}  // namespace pixtrel

namespace pixtrel {
namespace {

// A vertex of EMR_GRADIENTFILL: x, y, then red, green, blue and alpha as
// 16-bit intensities, two to a word.
std::vector<std::int64_t> Vertex(int x, int y, int red, int green, int blue) {
  return {x, y, (red << 8) | (green << 24), blue << 8};
}

std::vector<std::int64_t> Joined(std::initializer_list<std::vector<std::int64_t>> parts) {
  std::vector<std::int64_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

EmfBuilder& Words(EmfBuilder& b, std::uint32_t type, const std::vector<std::int64_t>& words) {
  std::vector<std::uint8_t> params;
  for (const std::int64_t w : words)
    for (int i = 0; i < 4; ++i) params.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  return b.Bytes(type, params);
}

TEST(EmfGradientFill, RectanglesRunAcrossOrDownAndTrianglesBlendTheirCorners) {
  EmfBuilder b(96, 96);
  // Horizontal: red at the left of (0,0)-(90,20), blue at its right.
  Words(b, 118, Joined({{0, 0, 95, 95, 2, 1, 0}, Vertex(0, 0, 255, 0, 0), Vertex(90, 20, 0, 0, 255), {0, 1}}));
  // Vertical: black at the top of (0,30)-(40,70), white at the bottom.
  Words(b, 118, Joined({{0, 0, 95, 95, 2, 1, 1}, Vertex(0, 30, 0, 0, 0), Vertex(40, 70, 255, 255, 255), {0, 1}}));
  // A triangle of one colour, and one that blends.
  Words(b, 118,
        Joined({{0, 0, 95, 95, 3, 1, 2}, Vertex(50, 30, 0, 255, 0), Vertex(95, 30, 0, 255, 0), Vertex(50, 75, 0, 255, 0),
                {0, 1, 2}}));
  const Bitmap bitmap = Render(b.Finish());
  const Color left = bitmap.Pixel(1, 10), right = bitmap.Pixel(88, 10), middle = bitmap.Pixel(45, 10);
  EXPECT_GT(GetRValue(left), 240);
  EXPECT_LT(GetBValue(left), 15);
  EXPECT_GT(GetBValue(right), 240);
  EXPECT_NEAR(GetRValue(middle), 128, 12);
  EXPECT_NEAR(GetBValue(middle), 128, 12);
  EXPECT_EQ(bitmap.Pixel(1, 10), bitmap.Pixel(1, 18));  // constant down a column
  EXPECT_LT(GetRValue(bitmap.Pixel(20, 31)), 15);
  EXPECT_GT(GetRValue(bitmap.Pixel(20, 68)), 240);
  EXPECT_EQ(bitmap.Pixel(55, 35), RGB(0, 255, 0));
  EXPECT_EQ(bitmap.Pixel(90, 70), clWhite);  // outside the triangle
  EXPECT_EQ(bitmap.Pixel(93, 60), clWhite);
}

TEST(EmfGradientFill, TriangleColoursFollowTheCorners) {
  EmfBuilder b(64, 64);
  Words(b, 118,
        Joined({{0, 0, 63, 63, 3, 1, 2}, Vertex(0, 0, 255, 0, 0), Vertex(63, 0, 0, 255, 0), Vertex(0, 63, 0, 0, 255),
                {0, 1, 2}}));
  const Bitmap bitmap = Render(b.Finish());
  EXPECT_GT(GetRValue(bitmap.Pixel(0, 0)), 240);
  EXPECT_GT(GetGValue(bitmap.Pixel(61, 0)), 230);
  EXPECT_GT(GetBValue(bitmap.Pixel(0, 61)), 230);
  EXPECT_EQ(bitmap.Pixel(60, 60), clWhite);
  // A vertex index past the list is passed over, not read.
  EmfBuilder bad(16, 16);
  Words(bad, 118, Joined({{0, 0, 15, 15, 2, 1, 0}, Vertex(0, 0, 0, 0, 0), Vertex(15, 15, 0, 0, 0), {0, 7}}));
  EXPECT_EQ(Render(bad.Finish()).Pixel(5, 5), clWhite);
  // Counts beyond the record fail the load.
  EmfBuilder big(16, 16);
  Words(big, 118, {0, 0, 15, 15, 1000000, 1, 0});
  EXPECT_THROW(Render(big.Finish()), EInvalidMetafile);
}

TEST(EmfSmallTextOut, DrawsNarrowAndWideTextWithAndWithoutItsRectangle) {
  const auto inkIn = [](const Bitmap& bitmap) {
    int ink = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x) ink += bitmap.Pixel(x, y) != clWhite;
    return ink;
  };
  // 8-bit characters without the rectangle (ETO_NO_RECT | ETO_SMALL_CHARS).
  EmfBuilder narrow(96, 48);
  std::vector<std::uint8_t> params;
  const auto put = [&](std::int64_t v) {
    for (int i = 0; i < 4; ++i) params.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  for (std::int64_t v : {4, 4, 4, 0x300, 1, 0, 0}) put(v);
  for (char ch : std::string("WMWM")) params.push_back(static_cast<std::uint8_t>(ch));
  narrow.Bytes(108, params);
  const int narrowInk = inkIn(Render(narrow.Finish()));
  EXPECT_GT(narrowInk, 20);
  // 16-bit characters after a rectangle.
  EmfBuilder wide(96, 48);
  params.clear();
  for (std::int64_t v : {4, 4, 4, 0, 1, 0, 0, 0, 0, 95, 47}) put(v);
  for (char ch : std::string("WMWM")) {
    params.push_back(static_cast<std::uint8_t>(ch));
    params.push_back(0);
  }
  wide.Bytes(108, params);
  EXPECT_EQ(inkIn(Render(wide.Finish())), narrowInk);
  // A count past the record fails the load.
  EmfBuilder cut(16, 16);
  cut.Record(108, {0, 0, 50, 0x300, 1, 0, 0});
  EXPECT_THROW(Render(cut.Finish()), EInvalidMetafile);
}

}  // namespace
}  // namespace pixtrel
