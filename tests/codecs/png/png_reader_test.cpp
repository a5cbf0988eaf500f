#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "codecs/png/png_object.h"
#include "core/stream.h"
#include "png_builder.h"

namespace pixtrel {
namespace {

using test::Bytes;
using test::Chunk;
using test::Deflate;
using test::Header;
using test::Png;

// Rows with a leading filter byte 0.
Bytes Unfiltered(const std::vector<Bytes>& rows) {
  Bytes raw;
  for (const Bytes& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  return raw;
}

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(random());
  return out;
}

// An RGB 8-bit image of w x h random pixels; rows as stored in the file.
std::vector<Bytes> RandomRows(int w, int h, int bytesPerPixel, unsigned seed) {
  std::vector<Bytes> rows;
  for (int y = 0; y < h; ++y) rows.push_back(RandomBytes(static_cast<std::size_t>(w) * bytesPerPixel, seed + y));
  return rows;
}

Bitmap Decode(const Bytes& file) {
  PNGObject png;
  png.LoadFromBytes(file);
  Bitmap bitmap;
  bitmap.Assign(png);
  return bitmap;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

// Filters a row the way an encoder does, for the decoder to undo.
Bytes FilterRow(int type, const Bytes& row, const Bytes& previous, std::size_t bpp) {
  Bytes out(row.size());
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = previous[i];
    const int c = i >= bpp ? previous[i - bpp] : 0;
    int predictor = 0;
    switch (type) {
      case 1:
        predictor = a;
        break;
      case 2:
        predictor = b;
        break;
      case 3:
        predictor = (a + b) / 2;
        break;
      case 4: {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        break;
      }
      default:
        break;
    }
    out[i] = static_cast<std::uint8_t>(row[i] - predictor);
  }
  return out;
}

// Packs samples of a bit depth into a row.
Bytes Pack(const std::vector<int>& samples, int depth) {
  Bytes row((samples.size() * depth + 7) / 8);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const std::size_t bit = i * depth;
    row[bit / 8] |= static_cast<std::uint8_t>(samples[i] << (8 - depth - bit % 8));
  }
  return row;
}

// An image of samples (channels per pixel, one int per sample, 8-bit or
// less) as an Adam7-interlaced file body, each row with a rotating filter.
Bytes InterlacedData(const std::vector<std::vector<int>>& pixels, int w, int h, int channels, int depth) {
  static const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
  static const int dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
  const std::size_t bpp = std::max<std::size_t>(1, channels * depth / 8);
  Bytes raw;
  int filter = 0;
  for (int p = 0; p < 7; ++p) {
    Bytes previous;
    for (int y = y0[p]; y < h; y += dy[p]) {
      std::vector<int> samples;
      for (int x = x0[p]; x < w; x += dx[p])
        for (int c = 0; c < channels; ++c) samples.push_back(pixels[y][x * channels + c]);
      if (samples.empty()) break;
      const Bytes row = Pack(samples, depth);
      if (previous.empty()) previous.assign(row.size(), 0);
      raw.push_back(static_cast<std::uint8_t>(filter));
      const Bytes filtered = FilterRow(filter, row, previous, bpp);
      raw.insert(raw.end(), filtered.begin(), filtered.end());
      previous = row;
      filter = (filter + 1) % 5;
    }
  }
  return raw;
}

Bytes FlatData(const std::vector<std::vector<int>>& pixels, int depth) {
  std::vector<Bytes> rows;
  for (const auto& line : pixels) rows.push_back(Pack(line, depth));
  return Unfiltered(rows);
}

std::vector<std::vector<int>> RandomSamples(int w, int h, int channels, int depth, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::vector<int>> pixels(h, std::vector<int>(static_cast<std::size_t>(w) * channels));
  for (auto& line : pixels)
    for (int& s : line) s = static_cast<int>(random() % (1u << depth));
  return pixels;
}

Bytes GreyPalette(int entries) {
  Bytes plte;
  for (int i = 0; i < entries; ++i)
    for (int k = 0; k < 3; ++k) plte.push_back(static_cast<std::uint8_t>(i * 255 / std::max(1, entries - 1)));
  return plte;
}

template <typename Error>
void ExpectLoadFails(const Bytes& file) {
  PNGObject png;
  EXPECT_THROW(png.LoadFromBytes(file), Error);
}

TEST(PngReader, SizeLimits) {
  const Bytes wideRow(8192, 0xAA);  // 65535 1-bit samples and a spare bit
  const Bytes wide = Png({Header(65535, 1, 1, 0), Chunk("IDAT", Deflate(Unfiltered({wideRow}))), Chunk("IEND", {})});
  const Bitmap bitmap = Decode(wide);
  EXPECT_EQ(bitmap.Width(), 65535);
  EXPECT_EQ(bitmap.PixelFormat(), pf1bit);
  EXPECT_EQ(bitmap.Pixel(65534, 0), clWhite);
  EXPECT_EQ(bitmap.Pixel(65533, 0), clBlack);

  ExpectLoadFails<EPNGSizeExceeds>(Png({Header(65536, 1, 8, 0), Chunk("IEND", {})}));
  ExpectLoadFails<EPNGSizeExceeds>(Png({Header(1, 65536, 8, 0), Chunk("IEND", {})}));
  // A header no machine can hold fails before anything is allocated.
  ExpectLoadFails<EImageTooLarge>(Png({Header(65535, 65535, 8, 2), Chunk("IEND", {})}));
  ExpectLoadFails<EPngInvalidIHDR>(Png({Header(0, 5, 8, 0), Chunk("IEND", {})}));
}

TEST(PngReader, ImageDataSplitOverManyChunksDecodesTheSame) {
  const int w = 37, h = 23;
  const Bytes compressed = Deflate(Unfiltered(RandomRows(w, h, 3, 7)));
  const Bitmap single = Decode(Png({Header(w, h, 8, 2), Chunk("IDAT", compressed), Chunk("IEND", {})}));
  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{100}}) {
    SCOPED_TRACE(piece);
    std::vector<Bytes> chunks = {Header(w, h, 8, 2)};
    for (Bytes& c : test::SplitIDAT(compressed, piece)) chunks.push_back(std::move(c));
    chunks.push_back(Chunk("IDAT", {}));  // a trailing empty IDAT is skipped
    chunks.push_back(Chunk("IEND", {}));
    EXPECT_TRUE(SamePixels(Decode(Png(chunks)), single));
  }
  // An empty IDAT before the data is just another piece.
  EXPECT_TRUE(SamePixels(
      Decode(Png({Header(w, h, 8, 2), Chunk("IDAT", {}), Chunk("IDAT", compressed), Chunk("IEND", {})})), single));
}

TEST(PngReader, ImageDataThatStopsEarlyFails) {
  const int w = 40, h = 40;
  const Bytes compressed = Deflate(Unfiltered(RandomRows(w, h, 3, 3)));
  const Bytes half(compressed.begin(), compressed.begin() + static_cast<std::ptrdiff_t>(compressed.size() / 2));
  ExpectLoadFails<EPNGMissingMultipleIDAT>(
      Png({Header(w, h, 8, 2), Chunk("IDAT", half), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IEND", {})}));
  // A complete zlib stream with too few rows.
  const Bytes shortStream = Deflate(Unfiltered(RandomRows(w, h - 1, 3, 3)));
  PNGObject png;
  try {
    png.LoadFromBytes(Png({Header(w, h, 8, 2), Chunk("IDAT", shortStream), Chunk("IEND", {})}));
    ADD_FAILURE() << "loaded";
  } catch (const EPNGZLIBError& e) {
    EXPECT_EQ(e.ZlibCode(), Z_STREAM_END);
  }
  // Garbage instead of zlib data.
  try {
    png.LoadFromBytes(Png({Header(w, h, 8, 2), Chunk("IDAT", Bytes(64, 0xFF)), Chunk("IEND", {})}));
    ADD_FAILURE() << "loaded";
  } catch (const EPNGZLIBError& e) {
    EXPECT_EQ(e.Code(), "png.EPNGZLIBError");
    EXPECT_EQ(e.ZlibCode(), Z_DATA_ERROR);
  }
}

TEST(PngReader, PaletteTransparency) {
  const Bytes plte = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  const Bytes data = Deflate(Unfiltered({{0x01, 0x23}}));  // 4 pixels of 4 bits
  auto file = [&](const Bytes& trns) {
    return Png({Header(4, 1, 4, 3), Chunk("PLTE", plte), Chunk("tRNS", trns), Chunk("IDAT", data), Chunk("IEND", {})});
  };
  Bitmap one = Decode(file({255, 0, 255}));
  EXPECT_EQ(one.PixelFormat(), pf4bit);
  EXPECT_TRUE(one.Transparent());
  EXPECT_EQ(one.TransparentColor(), RGB(40, 50, 60));

  Bitmap two = Decode(file({0, 255, 0}));
  EXPECT_FALSE(two.Transparent());
  PNGObject png;
  png.LoadFromBytes(file({0, 255, 0}));
  EXPECT_EQ(png.TransparencyMode(), ptmPartial);

  // One entry differs from 255 without being 0: single colour, black.
  Bitmap half = Decode(file({255, 128}));
  EXPECT_TRUE(half.Transparent());
  EXPECT_EQ(half.TransparentColor(), clBlack);
  EXPECT_EQ(half.Pixel(1, 0), RGB(40, 50, 60));  // the colour itself is kept
}

TEST(PngReader, TwoBitGreyBecomesFourBitIndices) {
  const Bytes data = Deflate(Unfiltered({{0x1B}}));  // samples 0 1 2 3
  PNGObject png;
  png.LoadFromBytes(Png({Header(4, 1, 2, 0), Chunk("IDAT", data), Chunk("IEND", {})}));
  Bitmap bitmap;
  bitmap.Assign(png);
  EXPECT_EQ(bitmap.PixelFormat(), pf4bit);
  EXPECT_EQ(bitmap.Palette().size(), 16u);
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(bitmap.PixelIndex(s, 0), 5 * s);
    EXPECT_EQ(bitmap.Pixel(s, 0), RGB(85 * s, 85 * s, 85 * s));
  }
}

TEST(PngReader, AlphaIsKeptApartAndNotApplied) {
  // Two RGBA pixels: an opaque red and a fully transparent green.
  const Bytes data = Deflate(Unfiltered({{255, 0, 0, 255, 0, 255, 0, 0}}));
  PNGObject png;
  png.LoadFromBytes(Png({Header(2, 1, 8, 6), Chunk("IDAT", data), Chunk("IEND", {})}));
  EXPECT_EQ(png.TransparencyMode(), ptmPartial);
  Bitmap bitmap;
  bitmap.Assign(png);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_FALSE(bitmap.Transparent());
  EXPECT_EQ(bitmap.Pixel(0, 0), clRed);
  EXPECT_EQ(bitmap.Pixel(1, 0), clLime);
  ASSERT_NE(png.AlphaRow(0), nullptr);
  EXPECT_EQ(png.AlphaRow(0)[0], 255);
  EXPECT_EQ(png.AlphaRow(0)[1], 0);
}

TEST(PngReader, SixteenBitSamplesKeepTheirHighByte) {
  const Bytes rgb = Deflate(Unfiltered({{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}}));
  PNGObject png;
  png.LoadFromBytes(Png({Header(1, 1, 16, 2), Chunk("tRNS", {0x12, 0x99, 0x56, 0x00, 0x9A, 0x01}), Chunk("IDAT", rgb),
                         Chunk("IEND", {})}));
  Bitmap bitmap;
  bitmap.Assign(png);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(0x12, 0x56, 0x9A));
  EXPECT_TRUE(bitmap.Transparent());
  EXPECT_EQ(bitmap.TransparentColor(), RGB(0x12, 0x56, 0x9A));

  const Bytes greyAlpha = Deflate(Unfiltered({{0xC8, 0x01, 0x40, 0x02}}));
  png.LoadFromBytes(Png({Header(1, 1, 16, 4), Chunk("IDAT", greyAlpha), Chunk("IEND", {})}));
  bitmap.Assign(png);
  EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(0xC8, 0xC8, 0xC8));
  EXPECT_EQ(png.AlphaRow(0)[0], 0x40);
}

TEST(PngReader, GreyTransparencyOfEightBitImagesUsesTheLowByte) {
  const Bytes data = Deflate(Unfiltered({{7, 9}}));
  const Bitmap bitmap =
      Decode(Png({Header(2, 1, 8, 0), Chunk("tRNS", {0x01, 0x09}), Chunk("IDAT", data), Chunk("IEND", {})}));
  EXPECT_TRUE(bitmap.Transparent());
  EXPECT_EQ(bitmap.TransparentColor(), RGB(9, 9, 9));
}

TEST(PngReader, InterlacedImagesMatchTheirFlatTwins) {
  struct Case {
    int colorType, depth, channels;
  };
  for (const Case c : {Case{2, 8, 3}, Case{0, 1, 1}, Case{0, 2, 1}, Case{3, 4, 1}, Case{6, 8, 4}, Case{0, 8, 1}}) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{13, 11}, std::pair{33, 17}}) {
      SCOPED_TRACE(testing::Message() << "type " << c.colorType << " depth " << c.depth << " " << w << "x" << h);
      const auto pixels = RandomSamples(w, h, c.channels, c.depth, static_cast<unsigned>(w * 31 + c.colorType));
      std::vector<Bytes> extra;
      if (c.colorType == 3) extra.push_back(Chunk("PLTE", GreyPalette(1 << c.depth)));
      auto file = [&](const Bytes& raw, int interlace) {
        std::vector<Bytes> chunks = {Header(w, h, c.depth, c.colorType, interlace)};
        chunks.insert(chunks.end(), extra.begin(), extra.end());
        chunks.push_back(Chunk("IDAT", Deflate(raw)));
        chunks.push_back(Chunk("IEND", {}));
        return Png(chunks);
      };
      const Bitmap flat = Decode(file(FlatData(pixels, c.depth), 0));
      const Bitmap interlaced = Decode(file(InterlacedData(pixels, w, h, c.channels, c.depth), 1));
      EXPECT_TRUE(SamePixels(flat, interlaced));
      // The flat decode holds the samples themselves.
      if (c.colorType == 2) {
        const auto& last = pixels[h - 1];
        EXPECT_EQ(flat.Pixel(w - 1, h - 1), RGB(last[3 * (w - 1)], last[3 * (w - 1) + 1], last[3 * (w - 1) + 2]));
      }
    }
  }
}

TEST(PngReader, EveryFilterTypeIsUndone) {
  const int w = 19, h = 10;
  const auto rows = RandomRows(w, h, 3, 11);
  Bytes raw;
  Bytes previous(static_cast<std::size_t>(w) * 3, 0);
  for (int y = 0; y < h; ++y) {
    const int type = y % 5;
    raw.push_back(static_cast<std::uint8_t>(type));
    const Bytes filtered = FilterRow(type, rows[y], previous, 3);
    raw.insert(raw.end(), filtered.begin(), filtered.end());
    previous = rows[y];
  }
  const Bitmap filtered = Decode(Png({Header(w, h, 8, 2), Chunk("IDAT", Deflate(raw)), Chunk("IEND", {})}));
  const Bitmap plain = Decode(Png({Header(w, h, 8, 2), Chunk("IDAT", Deflate(Unfiltered(rows))), Chunk("IEND", {})}));
  EXPECT_TRUE(SamePixels(filtered, plain));
}

TEST(PngReader, GammaCorrectsColoursButNotAlpha) {
  const Bytes gama = {0x00, 0x01, 0x86, 0xA0};  // 1.0
  const Bytes data = Deflate(Unfiltered({{64, 64, 64, 64}}));
  PNGObject png;
  png.LoadFromBytes(Png({Header(1, 1, 8, 6), Chunk("gAMA", gama), Chunk("IDAT", data), Chunk("IEND", {})}));
  const int corrected = static_cast<int>(std::nearbyint(255.0 * std::pow(64 / 255.0, 1 / 2.2)));
  Bitmap bitmap;
  bitmap.Assign(png);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(corrected, corrected, corrected));
  EXPECT_EQ(png.AlphaRow(0)[0], 64);
  EXPECT_EQ(png.InverseGammaTable()[corrected], 64);
  // The next load starts from the identity.
  png.LoadFromBytes(Png({Header(1, 1, 8, 6), Chunk("IDAT", data), Chunk("IEND", {})}));
  bitmap.Assign(png);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGB(64, 64, 64));
}

TEST(PngReader, ChunkList) {
  const Bytes data = Deflate(Unfiltered({{1}}));
  PNGObject png;
  png.LoadFromBytes(
      Png({Header(1, 1, 8, 0), Chunk("cHRM", Bytes(32, 1)), Chunk("tEXt", {'T', 'i', 't', 0, 'o', 'n', 'e'}),
           Chunk("prVt", {1, 2, 3}), Chunk("tEXt", {'C', 0, 't', 'w', 'o'}), Chunk("IDAT", data),
           Chunk("tIME", {7, 230, 1, 2, 3, 4, 5}), Chunk("IEND", {})}));
  std::vector<std::string> types;
  for (const auto& c : png.Chunks()) types.push_back(c->Type());
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "tEXt", "prVt", "tEXt", "IDAT", "tIME", "IEND"}));
  ASSERT_NE(png.FirstTextChunk(), nullptr);
  EXPECT_EQ(png.FirstTextChunk()->keyword, "Tit");
  EXPECT_EQ(png.FirstTextChunk()->text, "one");
  EXPECT_EQ(png.Chunks()[2]->Data(), (Bytes{1, 2, 3}));

  // A saved copy keeps the unknown ancillary chunk and the texts.
  const auto written = test::ParseChunks(png.SaveToBytes());
  ASSERT_EQ(written.size(), 7u);
  EXPECT_EQ(written[2].type, "prVt");
  EXPECT_EQ(written[3].data, (Bytes{'C', 0, 't', 'w', 'o'}));
}

TEST(PngReader, FailuresRaiseTheirOwnClass) {
  const Bytes data = Deflate(Unfiltered({{1}}));
  const Bytes ihdr = Header(1, 1, 8, 0);
  const Bytes idat = Chunk("IDAT", data);
  const Bytes iend = Chunk("IEND", {});
  Bytes badSignature = Png({ihdr, idat, iend});
  badSignature[3] = 'g';
  ExpectLoadFails<EPNGInvalidFileHeader>(badSignature);
  ExpectLoadFails<EPNGInvalidFileHeader>(Bytes{137, 80, 78});
  ExpectLoadFails<EPNGIHDRNotFirst>(Png({Chunk("tEXt", {'a', 0, 'b'}), ihdr, idat, iend}));
  Bytes badCrc = Png({ihdr, idat, iend});
  badCrc[8 + 8 + 13] ^= 1;
  ExpectLoadFails<EPngInvalidCRC>(badCrc);
  ExpectLoadFails<EPngInvalidIHDR>(Png({Chunk("IHDR", Bytes(12, 0)), idat, iend}));
  ExpectLoadFails<EPngInvalidIHDR>(Png({Header(1, 1, 4, 2), idat, iend}));  // RGB at 4 bits
  ExpectLoadFails<EPngInvalidIHDR>(Png({Header(1, 1, 16, 3), idat, iend}));
  Bytes compression = Header(1, 1, 8, 0);
  {
    Bytes body(compression.begin() + 8, compression.begin() + 21);
    body[10] = 1;
    compression = Chunk("IHDR", body);
  }
  ExpectLoadFails<EPNGUnknownCompression>(Png({compression, idat, iend}));
  ExpectLoadFails<EPNGUnknownInterlace>(Png({Header(1, 1, 8, 0, 2), idat, iend}));
  ExpectLoadFails<EPNGUnknownCriticalChunk>(Png({ihdr, Chunk("CRIT", {}), idat, iend}));
  ExpectLoadFails<EPNGInvalidPalette>(Png({Header(1, 1, 8, 3), Chunk("PLTE", Bytes(10, 0)), idat, iend}));
  ExpectLoadFails<EPNGInvalidPalette>(Png({Header(1, 1, 8, 3), Chunk("PLTE", Bytes(771, 0)), idat, iend}));
  ExpectLoadFails<EPNGInvalidPalette>(
      Png({Header(1, 1, 8, 3), Chunk("PLTE", Bytes(6, 0)), Chunk("tRNS", Bytes(257, 0)), idat, iend}));
  ExpectLoadFails<EPNGNoImageData>(Png({ihdr, iend}));
  ExpectLoadFails<EPngUnexpectedEnd>(Png({ihdr, idat}));
  Bytes cut = Png({ihdr, idat, iend});
  cut.resize(cut.size() - 6);
  ExpectLoadFails<EPngUnexpectedEnd>(cut);
  // An index past a two-entry palette.
  ExpectLoadFails<EPngError>(
      Png({Header(1, 1, 8, 3), Chunk("PLTE", Bytes(6, 0)), Chunk("IDAT", Deflate(Unfiltered({{2}}))), iend}));
}

TEST(PngReader, FailureKeepsTheChunksReadSoFar) {
  PNGObject png;
  EXPECT_THROW(png.LoadFromBytes(Png({Header(2, 2, 8, 0), Chunk("tEXt", {'k', 0, 'v'}), Chunk("CRIT", {})})),
               EPNGUnknownCriticalChunk);
  ASSERT_EQ(png.Chunks().size(), 2u);
  EXPECT_EQ(png.Chunks()[1]->Type(), "tEXt");
}

TEST(PngReader, StreamStopsAfterIEND) {
  Bytes file = Png({Header(1, 1, 8, 0), Chunk("IDAT", Deflate(Unfiltered({{1}}))), Chunk("IEND", {})});
  const std::size_t length = file.size();
  file.insert(file.begin(), {'x', 'y'});
  file.insert(file.end(), {'t', 'a', 'i', 'l'});
  MemoryStream stream(file);
  stream.Seek(2);
  PNGObject png;
  png.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(2 + length));
}

TEST(PngObject, MisuseErrors) {
  PNGObject png;
  EXPECT_THROW(png.SaveToBytes(), EPNGHeaderNotPresent);
  EXPECT_THROW(png.AddAlphaChannel(), EPNGHeaderNotPresent);
  try {
    png.AddTextChunk("a", "b");
    ADD_FAILURE();
  } catch (const EPngError& e) {
    EXPECT_EQ(e.Code(), "png.InvalidImage");
  }
  png.Assign(Bitmap(2, 2, pf24bit));
  try {
    png.SetWidth(3);
    ADD_FAILURE();
  } catch (const EPngError& e) {
    EXPECT_EQ(e.Code(), "png.CannotResize");
  }
  auto codeOf = [&](std::unique_ptr<pixtrel::Chunk> chunk) {
    try {
      png.AddChunk(std::move(chunk));
    } catch (const EPngError& e) {
      return e.Code();
    }
    return std::string("added");
  };
  EXPECT_EQ(codeOf(std::make_unique<ChunkIDAT>()), "png.ExistentChunk");
  EXPECT_EQ(codeOf(std::make_unique<ChunkgAMA>()), "added");
  EXPECT_EQ(codeOf(std::make_unique<ChunkgAMA>()), "png.ExistentChunk");
}

// The one table of the codec's texts, as the users see them.
TEST(PngErrors, EveryCodeKeepsItsFixedText) {
  const std::string kPng = "\"Portable Network Graphics\"";
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"png.EPNGInvalidFileHeader", "The file being readed is not a valid " + kPng +
                                        " image because it contains an invalid header. This file may be corruped, "
                                        "try obtaining it again."},
      {"png.EPngUnexpectedEnd",
       "This " + kPng + " image is invalid because the decoder found an unexpected end of the file."},
      {"png.EPNGIHDRNotFirst",
       "This " + kPng + " image is not supported or it might be invalid.\r\n(IHDR chunk is not the first)"},
      {"png.EPngInvalidCRC",
       "This " + kPng + " image is not valid because it contains invalid pieces of data (crc error)"},
      {"png.EPngInvalidIHDR", "The " + kPng +
                                  " image could not be loaded because one of its main piece of data (ihdr) might be "
                                  "corrupted"},
      {"png.EPNGSizeExceeds", "This " + kPng +
                                  " image is not supported because either it's width or height exceeds the maximum "
                                  "size, which is 65535 pixels length."},
      {"png.EPNGUnknownCompression",
       "This " + kPng + " image is encoded with an unknown compression scheme which could not be decoded."},
      {"png.EPNGUnknownInterlace",
       "This " + kPng + " image uses an unknown interlace scheme which could not be decoded."},
      {"png.EPNGUnknownCriticalChunk",
       "This " + kPng + " image contains an unknown critical part which could not be decoded."},
      {"png.EPNGInvalidPalette", "The " + kPng + " image contains an invalid palette."},
      {"png.EPNGMissingMultipleIDAT", "This " + kPng + " image is invalid because it has missing image parts."},
      {"png.EPNGNoImageData", "This " + kPng + " image contains no data."},
      {"png.EPNGHeaderNotPresent", "This operation is not valid because the current image contains no valid header."},
      {"png.EPNGZLIBError",
       "Could not decompress the image because it contains invalid compressed data.\r\n Description: "},
      {"png.CannotResize", "The " + kPng +
                               " image can not be resize by changing width and height properties. Try assigning the "
                               "image from a bitmap."},
      {"png.NoPaletteEntry", "There is no such palette entry."},
      {"png.ExistentChunk",
       "The program tried to add a existent critical chunk to the current image which is not allowed."},
      {"png.InvalidImage", "It's not allowed to add a new chunk because the current image is invalid."},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto error = static_cast<PngError>(i);
    EXPECT_EQ(ErrorCode(error), expected[i].first);
    EXPECT_EQ(ErrorText(error), expected[i].second) << expected[i].first;
  }
  // The classes raise their own row; the decompressor's text follows its row.
  EXPECT_EQ(EPngInvalidCRC().Code(), "png.EPngInvalidCRC");
  EXPECT_EQ(EPngInvalidCRC().Message(), expected[3].second);
  const std::vector<std::pair<int, std::string>> zlib = {
      {Z_OK, "(0)"},
      {Z_STREAM_END, "stream end (1)"},
      {Z_NEED_DICT, "need dictionary (2)"},
      {Z_ERRNO, "file error (-1)"},
      {Z_STREAM_ERROR, "stream error (-2)"},
      {Z_DATA_ERROR, "data error (-3)"},
      {Z_MEM_ERROR, "insufficient memory (-4)"},
      {Z_BUF_ERROR, "buffer error (-5)"},
      {Z_VERSION_ERROR, "incompatible version (-6)"},
  };
  for (const auto& [code, text] : zlib) {
    const EPNGZLIBError e(code);
    EXPECT_EQ(e.Message(), expected[13].second + text);
    EXPECT_EQ(e.Code(), "png.EPNGZLIBError");
    EXPECT_EQ(e.ZlibCode(), code);
  }
}

}  // namespace
}  // namespace pixtrel
