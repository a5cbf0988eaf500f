// The EPS header and the TIFF decoder on files built here, for what no peer
// tool writes: hand-coded CCITT and ThunderScan strips, predictors, odd strip
// tables, subsampled YCbCr blocks, and broken files.
#include <gtest/gtest.h>

#include <string>

#include "codecs/eps/eps_graphic.h"
#include "codecs/eps/tiff_decoders.h"
#include "core/errors.h"
#include "eps_test_support.h"

namespace pixtrel {
namespace {

using test::Bytes;
using test::TiffBuilder;

constexpr const char* kNotSupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
constexpr const char* kBadTiff = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
constexpr const char* kBadEps = "Cannot load image. Invalid or unexpected EPS image format.";
constexpr const char* kOutside = "Stream read error in TIF/TIFF file.";

Bitmap Decode(const Bytes& tiff) {
  TIFFGraphic graphic;
  graphic.LoadFromBytes(tiff);
  return Bitmap(graphic);
}

template <class G = TIFFGraphic>
std::string Error(const Bytes& bytes) {
  try {
    G graphic;
    graphic.LoadFromBytes(bytes);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

template <class G = TIFFGraphic>
std::string ErrorCode(const Bytes& bytes) {
  try {
    G graphic;
    graphic.LoadFromBytes(bytes);
  } catch (const Exception& e) {
    return e.Code();
  }
  return "";
}

// 5 x 3 RGB bytes, a different value in every byte.
Bytes RgbRows() {
  Bytes b;
  for (int i = 0; i < 5 * 3 * 3; ++i) b.push_back(static_cast<std::uint8_t>(i * 5 + 3));
  return b;
}

Bytes SmallRgbTiff(bool bigEndian = false) {
  return TiffBuilder(bigEndian).Image(5, 3, 8, 3, 2).Strips({RgbRows()}).Build();
}

void ExpectRgbRows(const Bitmap& picture, const Bytes& rgb, int width, int height) {
  ASSERT_EQ(width, picture.Width());
  ASSERT_EQ(height, picture.Height());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
      EXPECT_EQ(RGB(rgb[at], rgb[at + 1], rgb[at + 2]), picture.Pixel(x, y)) << x << "," << y;
    }
  }
}

TEST(EpsHeader, PreviewRightAfterTheHeaderOrAfterThePostScriptOpensLikeTheTiff) {
  for (bool postScriptFirst : {false, true}) {
    EPSGraphic eps;
    eps.LoadFromBytes(test::WrapInEps(SmallRgbTiff(), postScriptFirst));
    ExpectRgbRows(eps, RgbRows(), 5, 3);
  }
}

TEST(EpsHeader, WrongMagicMissingPreviewAndShortFilesFail) {
  Bytes eps = test::WrapInEps(SmallRgbTiff());
  Bytes wrong = eps;
  wrong[3] = 0xC7;
  EXPECT_EQ(kBadEps, Error<EPSGraphic>(wrong));
  EXPECT_EQ(kBadEps, Error<EPSGraphic>(Bytes(eps.begin(), eps.begin() + 29)));
  EXPECT_EQ(kBadEps, Error<EPSGraphic>(SmallRgbTiff()));  // a bare TIFF is no EPS
  Bytes noPreview = eps;
  std::fill(noPreview.begin() + 20, noPreview.begin() + 28, 0);
  EXPECT_EQ(kBadTiff, Error<EPSGraphic>(noPreview));
  Bytes pastEnd = eps;
  pastEnd[23] = 0x7F;  // the TIFF offset far beyond the file
  EXPECT_EQ(kBadTiff, Error<EPSGraphic>(pastEnd));
  // A TIFF cut short inside its strip.
  EXPECT_EQ(kOutside, Error<EPSGraphic>(Bytes(eps.begin(), eps.begin() + 30 + 8 + 20)));
  // The EPS reader's own failures carry its codes, the preview's the
  // decoder's.
  EXPECT_EQ("eps.BadMagic", ErrorCode<EPSGraphic>(wrong));
  EXPECT_EQ("eps.NoPreview", ErrorCode<EPSGraphic>(noPreview));
  EXPECT_EQ("legacy.StreamRead", ErrorCode<EPSGraphic>(Bytes(eps.begin(), eps.begin() + 30 + 8 + 20)));
  EXPECT_EQ("legacy.InvalidFormat", ErrorCode<TIFFGraphic>(Bytes(eps.begin() + 30, eps.begin() + 34)));
}

TEST(TiffHeader, BadHeadersAndDirectoriesFail) {
  const Bytes good = SmallRgbTiff();
  Bytes version = good;
  version[2] = 43;
  EXPECT_EQ(kBadTiff, Error(version));
  Bytes order = good;
  order[0] = order[1] = 'X';
  EXPECT_EQ(kBadTiff, Error(order));
  EXPECT_EQ(kBadTiff, Error(Bytes(good.begin(), good.begin() + 7)));
  EXPECT_EQ(kBadTiff, Error(TiffBuilder().Image(0, 3, 8, 3, 2).Strips({RgbRows()}).Build()));
  EXPECT_EQ(kBadTiff, Error(TiffBuilder().Image(5, 0, 8, 3, 2).Strips({RgbRows()}).Build()));
  EXPECT_EQ(kBadTiff, Error(TiffBuilder().Image(5, 3, 8, 3, 2).Build()));  // no strips
  Bytes directory = good;
  directory[7] = 0x40;  // directory offset past the end
  EXPECT_EQ(kOutside, Error(directory));
  Bytes entries = good;
  entries.resize(entries.size() - 30);  // the directory's entries cut off
  EXPECT_EQ(kOutside, Error(entries));
}

TEST(TiffHeader, EntriesInAnyOrderAndBothByteOrdersAreRead) {
  const Bytes reversed = TiffBuilder()
                             .Set(277, 3, {3})
                             .Set(262, 3, {2})
                             .Set(259, 3, {1})
                             .Set(258, 3, {8, 8, 8})
                             .Set(257, 4, {3})  // LONG sizes as well as SHORT
                             .Set(256, 4, {5})
                             .Strips({RgbRows()})
                             .Build();
  ExpectRgbRows(Decode(reversed), RgbRows(), 5, 3);
  ExpectRgbRows(Decode(SmallRgbTiff(true)), RgbRows(), 5, 3);
  // A file without a Compression tag is uncompressed.
  ExpectRgbRows(Decode(TiffBuilder()
                           .Set(256, 3, {5})
                           .Set(257, 3, {3})
                           .Set(258, 3, {8, 8, 8})
                           .Set(262, 3, {2})
                           .Set(277, 3, {3})
                           .Strips({RgbRows()})
                           .Build()),
                RgbRows(), 5, 3);
}

TEST(TiffHeader, UnsupportedCompressionsFailWithTheMessage) {
  for (int compression : {4, 5, 6, 32766, 32895, 32908, 32947, 34661, 50000}) {
    SCOPED_TRACE(compression);
    EXPECT_EQ(kNotSupported, Error(TiffBuilder().Image(5, 3, 8, 3, 2, compression).Strips({RgbRows()}).Build()));
  }
}

TEST(TiffHeader, ResolutionInCentimetresIsGivenPerInch) {
  TIFFGraphic graphic;
  graphic.LoadFromBytes(TiffBuilder()
                            .Image(5, 3, 8, 3, 2)
                            .Set(282, 5, {100, 1})
                            .Set(283, 5, {50, 1})
                            .Set(296, 3, {3})
                            .Strips({RgbRows()})
                            .Build());
  EXPECT_DOUBLE_EQ(254.0, graphic.ImageProperties().xResolution);
  EXPECT_DOUBLE_EQ(127.0, graphic.ImageProperties().yResolution);
}

TEST(TiffStrips, RowsPerStripRules) {
  const Bytes rows = RgbRows();
  auto part = [&](int first, int count) {
    return Bytes(rows.begin() + first * 15, rows.begin() + (first + count) * 15);
  };
  // Missing and 2^32 - 1 both mean one strip for the whole picture.
  ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2).Set(278, 4, {0xFFFFFFFF}).Strips({rows}).Build()), rows, 5,
                3);
  // Several values: strips past the list take the last one.
  ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2).Set(278, 3, {1, 2}).Strips({part(0, 1), part(1, 2)}).Build()),
                rows, 5, 3);
  ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2, 1, 1).Strips({part(0, 1), part(1, 1), part(2, 1)}).Build()),
                rows, 5, 3);
  // A last strip holding only the rows left.
  ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2, 1, 2).Strips({part(0, 2), part(2, 1)}).Build()), rows, 5, 3);
}

TEST(TiffStrips, StripsOutsideTheFileFail) {
  Bytes tiff = SmallRgbTiff();
  tiff.resize(8 + 20);  // the strip cut short, the directory gone with it
  EXPECT_EQ(kOutside, Error(tiff));
  Bytes offset = TiffBuilder().Image(5, 3, 8, 3, 2).Set(273, 4, {100000}).Build();
  EXPECT_EQ(kOutside, Error(offset));
  const Bytes packed = test::PackBits(RgbRows());
  Bytes counts = TiffBuilder().Image(5, 3, 8, 3, 2, 32773).Strips({packed}).Build();
  ASSERT_TRUE(test::PatchTag(counts, 279, {100000}));
  EXPECT_EQ(kOutside, Error(counts));
}

TEST(TiffStrips, DeflateStripsWithAndWithoutByteCounts) {
  const Bytes rows = RgbRows();
  for (int compression : {8, 32946}) {
    ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2, compression).Strips({test::Deflate(rows)}).Build()), rows,
                  5, 3);
  }
  ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2, 8).Strips({test::Deflate(rows)}, false).Build()), rows, 5, 3);
}

TEST(TiffStrips, DamagedDeflateDataIsReported) {
  Bytes big;
  for (int i = 0; i < 64 * 64 * 3; ++i) big.push_back(static_cast<std::uint8_t>((i * 7) ^ (i >> 5)));
  const Bytes packed = test::Deflate(big);
  Bytes damaged = packed;
  for (std::size_t i = 10; i < 40; ++i) damaged[i] ^= 0x5A;
  EXPECT_EQ("LZ77 decompression error.", Error(TiffBuilder().Image(64, 64, 8, 3, 2, 8).Strips({damaged}).Build()));
  const Bytes truncated(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
  EXPECT_EQ("LZ77 decompression error.", Error(TiffBuilder().Image(64, 64, 8, 3, 2, 8).Strips({truncated}).Build()));
}

// Horizontal differencing of rows of samplesPerPixel bytes per pixel.
Bytes Differenced(const Bytes& rows, std::size_t rowSize, std::size_t stride) {
  Bytes out = rows;
  for (std::size_t r = 0; r < rows.size() / rowSize; ++r) {
    for (std::size_t i = rowSize - 1; i >= stride; --i) {
      out[r * rowSize + i] = static_cast<std::uint8_t>(rows[r * rowSize + i] - rows[r * rowSize + i - stride]);
    }
  }
  return out;
}

TEST(TiffStrips, PredictorAppliesToCompressedDataOnly) {
  const Bytes rows = RgbRows();
  const Bytes diff = Differenced(rows, 15, 3);
  // PackBits with predictor 2: un-differenced on every row.
  ExpectRgbRows(
      Decode(TiffBuilder().Image(5, 3, 8, 3, 2, 32773).Set(317, 3, {2}).Strips({test::PackBits(diff)}).Build()), rows,
      5, 3);
  // Uncompressed with predictor 2: taken as stored.
  ExpectRgbRows(Decode(TiffBuilder().Image(5, 3, 8, 3, 2).Set(317, 3, {2}).Strips({diff}).Build()), diff, 5, 3);
  // Grey with alpha: pixels two bytes apart.
  Bytes greyAlpha;
  for (int i = 0; i < 5 * 3; ++i) {
    greyAlpha.push_back(static_cast<std::uint8_t>(i * 17));
    greyAlpha.push_back(static_cast<std::uint8_t>(255 - i));
  }
  const Bitmap ga = Decode(TiffBuilder()
                               .Image(5, 3, 8, 2, 1, 8)
                               .Set(317, 3, {2})
                               .Set(338, 3, {2})
                               .Strips({test::Deflate(Differenced(greyAlpha, 10, 2))})
                               .Build());
  ASSERT_EQ(pf8bit, ga.PixelFormat());
  for (int i = 0; i < 15; ++i) EXPECT_EQ(i * 17, ga.PixelIndex(i % 5, i / 5));
}

TEST(TiffStrips, WhatWouldDecodeWrongIsRefused) {
  Bytes rows16(5 * 3 * 6, 0x11);
  EXPECT_EQ("Cannot load image. Horizontal differencing of 16-bit samples is not supported for TIF/TIFF files.",
            Error(TiffBuilder().Image(5, 3, 16, 3, 2, 8).Set(317, 3, {2}).Strips({test::Deflate(rows16)}).Build()));
  // Uncompressed 16-bit data with the tag is taken as stored.
  EXPECT_EQ("", Error(TiffBuilder().Image(5, 3, 16, 3, 2).Set(317, 3, {2}).Strips({rows16}).Build()));
  EXPECT_EQ("Cannot load image. Separate sample planes are not supported for TIF/TIFF files.",
            Error(TiffBuilder().Image(5, 3, 8, 3, 2).Set(284, 3, {2}).Strips({RgbRows()}).Build()));
  // One sample a pixel: the planes are the pixels.
  EXPECT_EQ("", Error(TiffBuilder().Image(5, 3, 8, 1, 1).Set(284, 3, {2}).Strips({Bytes(15, 7)}).Build()));
  EXPECT_EQ("Cannot load image. Uncompressed CCITT Group 3 mode is not supported for TIF/TIFF files.",
            Error(TiffBuilder().Image(8, 1, 1, 1, 0, 3).Set(292, 4, {2}).Strips({Bytes(4, 0)}).Build()));
}

TEST(TiffStrips, TiledImagesOpenEmpty) {
  const Bitmap picture = Decode(
      TiffBuilder().Image(5, 3, 8, 3, 2).Set(322, 3, {16}).Set(323, 3, {16}).Strips({Bytes(16 * 16 * 3, 1)}).Build());
  EXPECT_EQ(0, picture.Width());
  EXPECT_EQ(0, picture.Height());
  // One of the two tags alone is not a tiled image.
  EXPECT_EQ(5, Decode(TiffBuilder().Image(5, 3, 8, 3, 2).Set(322, 3, {16}).Strips({RgbRows()}).Build()).Width());
}

TEST(TiffColour, GreyRampsPalettesAndAlpha) {
  // WhiteIsZero: the ramp is reversed.
  const Bitmap white = Decode(TiffBuilder().Image(4, 1, 8, 1, 0).Strips({Bytes{0, 1, 254, 255}}).Build());
  ASSERT_EQ(pf8bit, white.PixelFormat());
  EXPECT_EQ(RGB(255, 255, 255), white.Pixel(0, 0));
  EXPECT_EQ(RGB(0, 0, 0), white.Pixel(3, 0));
  // A 4-bit palette: 16-bit values, all reds, then greens, then blues.
  std::vector<std::uint32_t> map(48, 0);
  for (int i = 0; i < 16; ++i) {
    map[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(i * 4096);
    map[static_cast<std::size_t>(16 + i)] = 0xFFFF;
    map[static_cast<std::size_t>(32 + i)] = static_cast<std::uint32_t>(0xFFFF - i * 4096);
  }
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian);
    const Bitmap palette =
        Decode(TiffBuilder(bigEndian).Image(4, 1, 4, 1, 3).Set(320, 3, map).Strips({Bytes{0x01, 0xEF}}).Build());
    ASSERT_EQ(pf4bit, palette.PixelFormat());
    EXPECT_EQ(15, palette.PixelIndex(3, 0));
    EXPECT_EQ(RGB(4096 * 255 / 65535, 255, (65535 - 4096) * 255 / 65535), palette.Pixel(1, 0));
  }
  // A palette with alpha keeps its indices and its colours.
  const Bitmap indexedAlpha = Decode(TiffBuilder()
                                         .Image(2, 1, 8, 2, 3)
                                         .Set(338, 3, {2})
                                         .Set(320, 3, std::vector<std::uint32_t>(768, 0x8080))
                                         .Strips({Bytes{5, 255, 7, 0}})
                                         .Build());
  ASSERT_EQ(pf8bit, indexedAlpha.PixelFormat());
  EXPECT_EQ(7, indexedAlpha.PixelIndex(1, 0));
  EXPECT_EQ(RGB(128, 128, 128), indexedAlpha.Pixel(1, 0));
  // RGBA keeps its alpha in the fourth byte.
  const Bitmap rgba =
      Decode(TiffBuilder().Image(1, 1, 8, 4, 2).Set(338, 3, {2}).Strips({Bytes{10, 20, 30, 40}}).Build());
  ASSERT_EQ(pf32bit, rgba.PixelFormat());
  const std::uint8_t* px = rgba.ScanLine(0);
  EXPECT_EQ((Bytes{30, 20, 10, 40}), Bytes(px, px + 4));
}

TEST(TiffColour, SubsampledYCbCrBlocksAreExpanded) {
  // 5 x 3 pixels in 2 x 2 blocks: three blocks a block row, two block rows
  // (one strip each), the last blocks partly outside the picture. Neutral
  // chroma makes every pixel the grey of its luma.
  auto luma = [](int x, int y) { return static_cast<std::uint8_t>(20 + 40 * x + 10 * y); };
  std::vector<Bytes> strips;
  for (int by = 0; by < 2; ++by) {
    Bytes strip;
    for (int bx = 0; bx < 3; ++bx) {
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) strip.push_back(luma(2 * bx + dx, 2 * by + dy));
      }
      strip.push_back(128);
      strip.push_back(128);
    }
    strips.push_back(strip);
  }
  const Bitmap picture = Decode(TiffBuilder().Image(5, 3, 8, 3, 6, 1, 2).Set(530, 3, {2, 2}).Strips(strips).Build());
  ASSERT_EQ(5, picture.Width());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(RGB(luma(x, y), luma(x, y), luma(x, y)), picture.Pixel(x, y)) << x << y;
  }
  EXPECT_EQ("Subsampling value is invalid. Allowed are 1, 2 and 4.",
            Error(TiffBuilder().Image(5, 3, 8, 3, 6, 1, 2).Set(530, 3, {3, 1}).Strips(strips).Build()));
}

// Bits written as text, packed most significant bit first.
Bytes Bits(const std::string& bits) {
  Bytes out((bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  return out;
}

Bytes Reversed(Bytes bytes) {
  for (auto& b : bytes) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r |= static_cast<std::uint8_t>(((b >> i) & 1) << (7 - i));
    b = r;
  }
  return bytes;
}

// Rows of 8 pixels: all white; white 2, black 3, white 3; white 0, black 8.
const std::string kRowA = "10011";
const std::string kRowB =
    "0111"
    "10"
    "1000";
const std::string kRowC =
    "00110101"
    "000101";
const std::string kEol = "000000000001";
constexpr std::uint8_t kExpected[3] = {0x00, 0x38, 0xFF};

Bytes CcittRows(const Bitmap& picture) {
  Bytes rows;
  for (int y = 0; y < picture.Height(); ++y) rows.push_back(picture.ScanLine(y)[0]);
  return rows;
}

TEST(TiffCcitt, ModifiedHuffmanRowsAreByteOrWordAligned) {
  const Bytes aligned = Bits(kRowA + "000" + kRowB + "000000" + kRowC + "00");
  const Bytes words = Bits(kRowA + "00000000000" + kRowB + "000000" + kRowC + "00");
  const Bytes expected(kExpected, kExpected + 3);
  for (int fillOrder : {1, 2}) {
    SCOPED_TRACE(fillOrder);
    auto build = [&](int compression, const Bytes& data) {
      return TiffBuilder()
          .Image(8, 3, 1, 1, 0, compression)
          .Set(266, 3, {static_cast<std::uint32_t>(fillOrder)})
          .Strips({fillOrder == 2 ? Reversed(data) : data})
          .Build();
    };
    const Bitmap mh = Decode(build(2, aligned));
    ASSERT_EQ(pf1bit, mh.PixelFormat());
    EXPECT_EQ(expected, CcittRows(mh));
    EXPECT_EQ(RGB(0, 0, 0), mh.Pixel(2, 1));  // WhiteIsZero: a 1 bit is black
    EXPECT_EQ(RGB(255, 255, 255), mh.Pixel(0, 1));
    EXPECT_EQ(expected, CcittRows(Decode(build(32771, words))));
  }
}

TEST(TiffCcitt, Group3FindsItsEndOfLineCodes) {
  const Bytes expected(kExpected, kExpected + 3);
  auto decode = [](const std::string& bits) {
    return CcittRows(Decode(TiffBuilder().Image(8, 3, 1, 1, 0, 3).Strips({Bits(bits)}).Build()));
  };
  EXPECT_EQ(expected, decode(kEol + kRowA + kEol + kRowB + kEol + kRowC + kEol + kEol));
  // Fill bits before each end-of-line code, so that rows start on bytes.
  EXPECT_EQ(expected, decode("0000" + kEol + kRowA + "000" + "00000000" + kEol + kRowB + "000000" + kEol + kRowC));
  // A first row without its code.
  EXPECT_EQ(expected, decode(kRowA + kEol + kRowB + kEol + kRowC));
  // A row that fits no code is left white; the next starts at the next code.
  EXPECT_EQ((Bytes{0x00, 0x00, 0xFF}), decode(kEol + kRowA + kEol + "00000000" + kEol + kRowC));
}

TEST(TiffCcitt, LongRunsUseMakeUpCodes) {
  // 2000 pixels: white 1792 (extended make-up) + 8, then black 200: make-up
  // 192 + terminating 8.
  const std::string row = std::string("00000001000") + "10011" + "000011001001" + "000101";
  const Bitmap picture = Decode(TiffBuilder().Image(2000, 1, 1, 1, 0, 2).Strips({Bits(row)}).Build());
  EXPECT_EQ(RGB(255, 255, 255), picture.Pixel(1799, 0));
  EXPECT_EQ(RGB(0, 0, 0), picture.Pixel(1800, 0));
  EXPECT_EQ(RGB(0, 0, 0), picture.Pixel(1999, 0));
}

TEST(TiffThunderScan, RunsDeltasAndRawPixels) {
  // Row 1: raw 5, deltas +1 +1 -1, repeat 2 -> 5 6 7 6 6 6.
  // Row 2: 3-bit deltas +3 (skip), -3 -1, raw 9, 1, 2 -> 3 0 15 9 1 2.
  const Bytes packed = {0xC5, 0x57, 0x02, 0x9C, 0xAF, 0xC9, 0xC1, 0xC2};
  const Bitmap picture = Decode(TiffBuilder().Image(6, 2, 4, 1, 1, 32809).Strips({packed}).Build());
  ASSERT_EQ(pf4bit, picture.PixelFormat());
  const int expected[2][6] = {{5, 6, 7, 6, 6, 6}, {3, 0, 15, 9, 1, 2}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(expected[y][x], picture.PixelIndex(x, y)) << x << "," << y;
  }
}

TEST(TiffDecoders, StopAtTheirBuffers) {
  // A white run far wider than the row, and rows that the data never
  // reaches: no write past the output.
  CCITTMHDecoder mh(8, false, false);
  Bytes out(3, 0xAA);
  const Bytes longRun = Bits(std::string("00000001000") + "00110101");
  mh.Unpack(longRun.data(), out.data(), longRun.size(), 2);
  EXPECT_EQ((Bytes{0, 0, 0xAA}), out);
  ThunderDecoder thunder(3);
  Bytes four(3, 0xAA);
  const Bytes runs = {0x3F, 0x3F, 0x3F};
  thunder.Unpack(runs.data(), four.data(), runs.size(), 2);
  EXPECT_EQ(0xAA, four[2]);
}

}  // namespace
}  // namespace pixtrel

namespace pixtrel {
namespace {

// Found by fuzzing: luma weights far outside 0..1 overflowed the YCbCr
// tables before the strips were even looked at. Such weights are ignored.
TEST(TiffRegressions, AbsurdYCbCrCoefficientsKeepTheStandardWeights) {
  const Bytes crash =
      test::ReadBytes(std::string(PIXTREL_SOURCE_DIR) + "/tests/crashers/tiff/crash-ycbcr-coefficients.tif");
  // Its strip runs past the end: refused as such, no longer a crash.
  try {
    Decode(crash);
    ADD_FAILURE() << "decoded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ("legacy.StreamRead", e.Code());
    EXPECT_EQ(kOutside, e.Message());
  }
  const Bytes pixels = {200, 60, 190, 30, 128, 128};
  auto build = [&](std::vector<std::uint32_t> coefficients) {
    TiffBuilder b;
    b.Image(2, 1, 8, 3, 6, 1).Set(530, 3, {1, 1});
    if (!coefficients.empty()) b.Set(529, 5, coefficients);
    return Decode(b.Strips({pixels}).Build());
  };
  const Bitmap standard = build({});
  for (const auto& weights : std::vector<std::vector<std::uint32_t>>{
           {855187, 1000000, 1, 1, 262417, 1}, {0, 1, 0, 1, 0, 1}, {299, 1000, 587, 0, 114, 1000}}) {
    const Bitmap odd = build(weights);
    EXPECT_EQ(standard.Pixel(0, 0), odd.Pixel(0, 0));
    EXPECT_EQ(standard.Pixel(1, 0), odd.Pixel(1, 0));
  }
}

}  // namespace
}  // namespace pixtrel
