// The seven readers on small files built byte by byte from the published
// layouts, for the variants and faults the corpus does not hold.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/legacy/legacy_formats.h"
#include "core/errors.h"
#include "core/stream.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16LE(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void Put32LE(Bytes& b, unsigned v) {
  b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
}
void Put16BE(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)}); }
void Put32BE(Bytes& b, unsigned v) {
  b.insert(b.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}
void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

template <typename G>
G Load(const Bytes& bytes, std::int64_t pixelLimit = kDefaultMaxPixels) {
  G graphic;
  graphic.SetPixelLimit(pixelLimit);
  graphic.LoadFromBytes(bytes);
  return graphic;
}

// The message a load raises, empty when it succeeds.
template <typename G>
std::string LoadError(const Bytes& bytes, std::int64_t pixelLimit = kDefaultMaxPixels) {
  try {
    Load<G>(bytes, pixelLimit);
  } catch (const Exception& e) {
    return e.Message();
  }
  return {};
}

// ---- PCX ----

Bytes PCXHeader(int version, int bits, int planes, int width, int height, int bytesPerLine, int paletteInfo = 1) {
  Bytes b(128, 0);
  b[0] = 10;
  b[1] = static_cast<std::uint8_t>(version);
  b[2] = 1;
  b[3] = static_cast<std::uint8_t>(bits);
  b[8] = static_cast<std::uint8_t>(width - 1);
  b[10] = static_cast<std::uint8_t>(height - 1);
  for (int i = 0; i < 16; ++i) {  // header palette: entry i = (i, 2i, 3i)
    b[16 + 3 * i] = static_cast<std::uint8_t>(i);
    b[17 + 3 * i] = static_cast<std::uint8_t>(2 * i);
    b[18 + 3 * i] = static_cast<std::uint8_t>(3 * i);
  }
  b[65] = static_cast<std::uint8_t>(planes);
  b[66] = static_cast<std::uint8_t>(bytesPerLine);
  b[68] = static_cast<std::uint8_t>(paletteInfo);
  return b;
}

Bytes EightBitPCX(std::uint8_t marker) {
  // 4 x 2, rows of 4 bytes: a run of 6 crossing the first row end, then 2
  // literals.
  Bytes b = PCXHeader(5, 8, 1, 4, 2, 4);
  b.insert(b.end(), {0xC6, 3, 1, 2});
  b.push_back(marker);
  for (int i = 0; i < 256; ++i) b.insert(b.end(), {std::uint8_t(i), std::uint8_t(255 - i), 7});
  return b;
}

TEST(PCXGraphic, TrailingPaletteOnlyWithItsMarker) {
  PCXGraphic with = Load<PCXGraphic>(EightBitPCX(12));
  ASSERT_EQ(with.PixelFormat(), pf8bit);
  EXPECT_EQ(with.Palette()[3], RGB(3, 252, 7));
  // Runs cross row ends: row 1 starts with the last two bytes of the run.
  EXPECT_EQ(with.PixelIndex(0, 1), 3);
  EXPECT_EQ(with.PixelIndex(1, 1), 3);
  EXPECT_EQ(with.PixelIndex(2, 1), 1);
  EXPECT_EQ(with.PixelIndex(3, 1), 2);
  PCXGraphic without = Load<PCXGraphic>(EightBitPCX(11));
  EXPECT_EQ(without.Palette(), HalftonePalette256());
  EXPECT_EQ(without.PixelIndex(3, 1), 2);
  // Palette info 2 without the marker: a grey ramp.
  Bytes grey = EightBitPCX(11);
  grey[68] = 2;
  EXPECT_EQ(Load<PCXGraphic>(grey).Palette()[200], RGB(200, 200, 200));
}

TEST(PCXGraphic, FourOneBitPlanesMakeSixteenColours) {
  // 8 x 1, raw: plane k has bit k of each pixel's index; pixel x has index x
  // (and pixel 7 index 15).
  Bytes b = PCXHeader(5, 1, 4, 8, 1, 1);
  b[2] = 0;
  b.insert(b.end(), {0b01010101, 0b00110011, 0b00001111, 0b00000001});
  PCXGraphic g = Load<PCXGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf4bit);
  EXPECT_EQ(g.Palette()[5], RGB(5, 10, 15));
  const int expected[8] = {0, 1, 2, 3, 4, 5, 6, 15};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(g.PixelIndex(x, 0), expected[x]) << x;
  // Version 3: the standard 16-colour palette instead of the header's.
  b[1] = 3;
  EXPECT_EQ(Load<PCXGraphic>(b).Palette(), StandardPalette16());
}

TEST(PCXGraphic, ThreeEightBitPlanesMakeTrueColour) {
  Bytes b = PCXHeader(5, 8, 3, 2, 1, 2);
  b[2] = 0;
  b.insert(b.end(), {10, 11, 20, 21, 30, 31});
  PCXGraphic g = Load<PCXGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf24bit);
  EXPECT_EQ(g.Pixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(g.Pixel(1, 0), RGB(11, 21, 31));
}

TEST(PCXGraphic, TwoBitPixelsKeepTheirHeaderColours) {
  Bytes b = PCXHeader(5, 2, 1, 4, 1, 1);
  b[2] = 0;
  b.push_back(0b00011011);  // indices 0, 1, 2, 3
  PCXGraphic g = Load<PCXGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf4bit);
  EXPECT_EQ(g.PixelIndex(1, 0), 5);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(g.Pixel(x, 0), RGB(x, 2 * x, 3 * x)) << x;
}

TEST(PCXGraphic, UnknownHeadersAndCombinations) {
  Bytes b = EightBitPCX(12);
  b[0] = 11;
  PCXGraphic empty = Load<PCXGraphic>(b);
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(LoadError<PCXGraphic>(PCXHeader(5, 1, 2, 8, 1, 1)), "Invalid color format in PCX file.");
  EXPECT_EQ(LoadError<PCXGraphic>(PCXHeader(5, 8, 4, 8, 1, 8)), "Invalid color format in PCX file.");
  EXPECT_EQ(LoadError<PCXGraphic>(Bytes(100, 10)), "Stream read error");
  // Bytes per line shorter than the width needs.
  EXPECT_FALSE(LoadError<PCXGraphic>(PCXHeader(5, 8, 1, 8, 1, 4)).empty());
  // Data shorter than the picture: what is there, then black.
  Bytes shortData = PCXHeader(5, 8, 3, 2, 2, 2);
  shortData[2] = 0;
  shortData.insert(shortData.end(), {200, 200});
  PCXGraphic partial = Load<PCXGraphic>(shortData);
  EXPECT_EQ(partial.Pixel(0, 0), RGB(200, 0, 0));
  EXPECT_EQ(partial.Pixel(1, 1), clBlack);
}

// ---- PCD ----

// An image pack with a Base image whose luma is lumaOf(x, y) and whose
// chroma samples are chromaOf(x, y) (both planes).
template <typename Luma, typename Chroma>
Bytes PCDFile(int rotation, Luma lumaOf, Chroma chromaOf) {
  Bytes b(96 * 2048, 0xFF);
  std::memcpy(b.data() + 2048, "PCD_IPI", 7);
  b[3586] = static_cast<std::uint8_t>(rotation | 8);
  for (int pair = 0; pair < 256; ++pair) {
    for (int r = 0; r < 2; ++r) {
      for (int x = 0; x < 768; ++x) b.push_back(lumaOf(x, 2 * pair + r));
    }
    for (int plane = 0; plane < 2; ++plane) {
      for (int x = 0; x < 384; ++x) b.push_back(chromaOf(x, pair));
    }
  }
  return b;
}

TEST(PCDGraphic, DecodesTheBaseImageInPhotoYCC) {
  // Neutral chroma (C1 156, C2 137): the picture is its luma.
  const Bytes file = PCDFile(
      0, [](int x, int y) { return std::uint8_t((x + y) & 0xFF); }, [](int, int) { return std::uint8_t(0); });
  Bytes neutral = file;
  for (int pair = 0; pair < 256; ++pair) {
    std::uint8_t* c = neutral.data() + 96 * 2048 + pair * 2304 + 1536;
    std::memset(c, 156, 384);
    std::memset(c + 384, 137, 384);
  }
  PCDGraphic g = Load<PCDGraphic>(neutral);
  ASSERT_EQ(g.Width(), 768);
  ASSERT_EQ(g.Height(), 512);
  EXPECT_EQ(g.PixelFormat(), pf24bit);
  EXPECT_EQ(g.Pixel(10, 20), RGB(30, 30, 30));
  EXPECT_EQ(g.Pixel(767, 511), RGB((767 + 511) & 0xFF, (767 + 511) & 0xFF, (767 + 511) & 0xFF));
}

TEST(PCDGraphic, UpsamplesChromaByNeighbourMeans) {
  // Luma 100; C2 (red difference) varies: source sample (x, y) = 137 + 2x + 4y
  // for x, y small. Red = 100 + round(1.575 * (C2 - 137)).
  Bytes b = PCDFile(
      0, [](int, int) { return std::uint8_t(100); }, [](int, int) { return std::uint8_t(0); });
  for (int pair = 0; pair < 256; ++pair) {
    std::uint8_t* c = b.data() + 96 * 2048 + pair * 2304 + 1536;
    for (int x = 0; x < 384; ++x) {
      c[x] = 156;
      c[384 + x] = static_cast<std::uint8_t>(std::min(137 + 2 * x + 4 * pair, 255));
    }
  }
  PCDGraphic g = Load<PCDGraphic>(b);
  auto red = [&](int x, int y) { return GetRValue(g.Pixel(x, y)); };
  auto expect = [](double chroma) { return 100 + static_cast<int>(std::nearbyint(1.575 * (chroma - 137))); };
  EXPECT_EQ(red(2, 0), expect(139));                  // source sample (1, 0)
  EXPECT_EQ(red(3, 0), expect((139 + 141 + 1) / 2));  // mean of (1, 0) and (2, 0)
  EXPECT_EQ(red(2, 1), expect((139 + 143 + 1) / 2));  // between rows 0 and 2
  EXPECT_EQ(red(3, 1), expect((139 + 141 + 143 + 145 + 2) / 4));
  EXPECT_EQ(red(2, 511), red(2, 510));  // the last row repeats the one above
}

TEST(PCDGraphic, RotationAttributes) {
  auto luma = [](int x, int y) { return std::uint8_t((x / 3 + y / 2) & 0xFF); };
  Bytes b = PCDFile(1, luma, [](int, int) { return std::uint8_t(0); });
  for (int pair = 0; pair < 256; ++pair) {
    std::uint8_t* c = b.data() + 96 * 2048 + pair * 2304 + 1536;
    std::memset(c, 156, 384);
    std::memset(c + 384, 137, 384);
  }
  PCDGraphic left = Load<PCDGraphic>(b);
  ASSERT_EQ(left.Width(), 512);
  ASSERT_EQ(left.Height(), 768);
  // Source (x, y) at column y, row 767 - x.
  EXPECT_EQ(GetRValue(left.Pixel(20, 767 - 300)), luma(300, 20));
  b[3586] = 3;
  PCDGraphic right = Load<PCDGraphic>(b);
  ASSERT_EQ(right.Width(), 512);
  // Source (x, y) at column 511 - y, row x.
  EXPECT_EQ(GetRValue(right.Pixel(511 - 20, 300)), luma(300, 20));
  b[3586] = 2;
  EXPECT_EQ(Load<PCDGraphic>(b).Width(), 768);
}

TEST(PCDGraphic, UnrecognisedOverviewAndShortFiles) {
  Bytes none(4000, 0);
  EXPECT_TRUE(Load<PCDGraphic>(none).Empty());
  Bytes overview(4000, 0);
  std::memcpy(overview.data(), "PCD_OPA", 7);
  EXPECT_EQ(LoadError<PCDGraphic>(overview), "Cannot load image. Overview packs are not supported for PCD files.");
  Bytes cut(200000, 0);
  std::memcpy(cut.data() + 2048, "PCD_IPI", 7);
  EXPECT_EQ(LoadError<PCDGraphic>(cut), "Stream read error");
}

// ---- PSD ----

Bytes PSDHeader(int channels, int width, int height, int depth, int mode) {
  Bytes b;
  PutText(b, "8BPS");
  Put16BE(b, 1);
  b.insert(b.end(), 6, 0);
  Put16BE(b, static_cast<unsigned>(channels));
  Put32BE(b, static_cast<unsigned>(height));
  Put32BE(b, static_cast<unsigned>(width));
  Put16BE(b, static_cast<unsigned>(depth));
  Put16BE(b, static_cast<unsigned>(mode));
  return b;
}

void PSDSections(Bytes& b, const Bytes& modeData, int compression) {
  Put32BE(b, static_cast<unsigned>(modeData.size()));
  b.insert(b.end(), modeData.begin(), modeData.end());
  Put32BE(b, 4);
  PutText(b, "junk");
  Put32BE(b, 0);
  Put16BE(b, static_cast<unsigned>(compression));
}

TEST(PSDGraphic, SixteenBitRGBKeepsTheHighBytes) {
  Bytes b = PSDHeader(3, 2, 1, 16, 3);
  PSDSections(b, {}, 0);
  // Planes R, G, B of 2 pixels, big-endian words.
  for (unsigned v : {0xFFFFu, 0x8000u, 0x0100u, 0x1234u, 0xABCDu, 0x0000u}) Put16BE(b, v);
  PSDGraphic g = Load<PSDGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf24bit);
  EXPECT_EQ(g.Pixel(0, 0), RGB(255, 0x0100 * 255 / 65535, 0xABCD * 255 / 65535));
  EXPECT_EQ(g.Pixel(1, 0), RGB(127, 0x1234 * 255 / 65535, 0));
}

TEST(PSDGraphic, CmykIsStoredInverted) {
  Bytes b = PSDHeader(4, 1, 1, 8, 4);
  PSDSections(b, {}, 0);
  b.insert(b.end(), {0, 255, 255, 255});  // C = 255 after inversion, M = Y = K = 0
  PSDGraphic g = Load<PSDGraphic>(b);
  EXPECT_EQ(g.Pixel(0, 0), RGB(0, 255, 255));
}

TEST(PSDGraphic, RunLengthRowsOfIndexedAndColourImages) {
  // Indexed 3 x 2, PackBits with a 0x80 no-op; palette planar.
  Bytes palette(768, 0);
  palette[1] = 50;        // red of entry 1
  palette[256 + 1] = 60;  // green
  palette[512 + 1] = 70;  // blue
  Bytes b = PSDHeader(1, 3, 2, 8, 2);
  PSDSections(b, palette, 1);
  Put16BE(b, 3);
  Put16BE(b, 4);
  b.insert(b.end(), {0xFE, 1, 0x80});     // row 0: 1 1 1
  b.insert(b.end(), {0x80, 0x01, 0, 1});  // row 1: skipped 0x80, then 0 1
  PSDGraphic g = Load<PSDGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf8bit);
  EXPECT_EQ(g.Pixel(2, 0), RGB(50, 60, 70));
  EXPECT_EQ(g.PixelIndex(0, 1), 0);
  EXPECT_EQ(g.PixelIndex(1, 1), 1);

  // RGB 2 x 1, RLE: one count per row of each channel, unpacked as a block.
  Bytes c = PSDHeader(3, 2, 1, 8, 3);
  PSDSections(c, {}, 1);
  Put16BE(c, 2);
  Put16BE(c, 3);
  Put16BE(c, 2);
  c.insert(c.end(), {0xFF, 10, 0x01, 20, 21, 0xFF, 30});
  PSDGraphic rgb = Load<PSDGraphic>(c);
  EXPECT_EQ(rgb.Pixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(rgb.Pixel(1, 0), RGB(10, 21, 30));
}

TEST(PSDGraphic, BitmapModeAndSixteenBitGrey) {
  Bytes b = PSDHeader(1, 10, 1, 1, 0);
  PSDSections(b, {}, 0);
  b.insert(b.end(), {0b10000000, 0b01000000});  // black at 0 and 9
  PSDGraphic bitmap = Load<PSDGraphic>(b);
  ASSERT_EQ(bitmap.PixelFormat(), pf1bit);
  EXPECT_EQ(bitmap.Pixel(0, 0), clBlack);
  EXPECT_EQ(bitmap.Pixel(1, 0), clWhite);
  EXPECT_EQ(bitmap.Pixel(9, 0), clBlack);

  Bytes g16 = PSDHeader(1, 2, 1, 16, 1);
  PSDSections(g16, {}, 0);
  Put16BE(g16, 0xFFFF);
  Put16BE(g16, 0x8000);
  PSDGraphic grey = Load<PSDGraphic>(g16);
  ASSERT_EQ(grey.PixelFormat(), pf8bit);
  EXPECT_EQ(grey.Pixel(1, 0), RGB(127, 127, 127));
}

// Fuzz finding: empty sections were read into an empty buffer through a
// null pointer.
TEST(PSDGraphic, EmptySectionsReadNothing) {
  Bytes b = PSDHeader(1, 1, 1, 8, 1);
  PSDSections(b, {}, 0);
  b.push_back(42);
  EXPECT_EQ(Load<PSDGraphic>(b).Pixel(0, 0), RGB(42, 42, 42));
}

TEST(PSDGraphic, HeaderFaults) {
  Bytes bad = PSDHeader(3, 1, 1, 8, 3);
  bad[0] = '7';
  EXPECT_EQ(LoadError<PSDGraphic>(bad), "Cannot load image. Invalid or unexpected PSD or PDD image format.");
  Bytes zip = PSDHeader(3, 1, 1, 8, 3);
  PSDSections(zip, {}, 2);
  EXPECT_EQ(LoadError<PSDGraphic>(zip),
            "Cannot load image. The compression scheme is not supported for PSD or PDD files.");
  // A huge picture with no data behind it fails before allocating: over the
  // pixel limit, and without one for want of data.
  Bytes huge = PSDHeader(3, 16000, 16000, 8, 3);
  PSDSections(huge, {}, 0);
  EXPECT_EQ(LoadError<PSDGraphic>(huge), "Image is too large");
  EXPECT_EQ(LoadError<PSDGraphic>(huge, 0), "Stream read error");
  Bytes cmyk3 = PSDHeader(3, 1, 1, 8, 4);
  PSDSections(cmyk3, {}, 0);
  EXPECT_FALSE(LoadError<PSDGraphic>(cmyk3).empty());
}

// ---- PSP ----

struct PSPChannel {
  int type;
  Bytes plain;  // uncompressed rows
};

Bytes PSPBlock(int version, int id, const Bytes& body, std::size_t initial = 0) {
  Bytes b;
  PutText(b, std::string("~BK\0", 4));
  Put16LE(b, static_cast<unsigned>(id));
  if (version == 3) Put32LE(b, static_cast<unsigned>(initial));
  Put32LE(b, static_cast<unsigned>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes PSPPack(int compression, const Bytes& plain) {
  if (compression == 1) {
    Bytes out;
    for (std::size_t i = 0; i < plain.size(); i += 100) {
      const std::size_t n = std::min<std::size_t>(100, plain.size() - i);
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), plain.begin() + static_cast<std::ptrdiff_t>(i),
                 plain.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    return out;
  }
  if (compression == 2) {
    uLongf size = compressBound(plain.size());
    Bytes out(size);
    compress(out.data(), &size, plain.data(), plain.size());
    out.resize(size);
    return out;
  }
  return plain;
}

Bytes PSPFile(int version, int compression, int depth, bool greyscale, int width, int height,
              const std::vector<PSPChannel>& channels, const Bytes& paletteBGR0 = {}) {
  Bytes b;
  PutText(b, "Paint Shop Pro Image File\n\x1a");
  b.resize(32, 0);
  Put16LE(b, static_cast<unsigned>(version));
  Put16LE(b, 0);
  Bytes attributes;
  if (version >= 4) Put32LE(attributes, 46);
  Put32LE(attributes, static_cast<unsigned>(width));
  Put32LE(attributes, static_cast<unsigned>(height));
  attributes.insert(attributes.end(), {0, 0, 0, 0, 0, 0, 0x52, 0x40});  // 72.0
  attributes.push_back(1);
  Put16LE(attributes, static_cast<unsigned>(compression));
  Put16LE(attributes, static_cast<unsigned>(depth));
  Put16LE(attributes, 1);
  Put32LE(attributes, depth == 24 ? 0 : (1u << depth));
  attributes.push_back(greyscale ? 1 : 0);
  Put32LE(attributes, 0);
  Put32LE(attributes, 0);
  Put16LE(attributes, 1);
  if (version >= 4) Put32LE(attributes, 1);
  b = [&] {
    Bytes all = b;
    Bytes block = PSPBlock(version, 0, attributes, attributes.size());
    all.insert(all.end(), block.begin(), block.end());
    return all;
  }();
  if (!paletteBGR0.empty()) {
    Bytes body;
    if (version >= 4) Put32LE(body, 8);
    Put32LE(body, static_cast<unsigned>(paletteBGR0.size() / 4));
    body.insert(body.end(), paletteBGR0.begin(), paletteBGR0.end());
    Bytes block = PSPBlock(version, 2, body, 4);
    b.insert(b.end(), block.begin(), block.end());
  }
  Bytes layer;
  const std::string name = "Layer";
  if (version == 3) {
    Bytes padded(256, 0);
    std::memcpy(padded.data(), name.data(), name.size());
    layer.insert(layer.end(), padded.begin(), padded.end());
    layer.insert(layer.end(), 115, 0);  // layer type 0
    Put16LE(layer, 1);
    Put16LE(layer, static_cast<unsigned>(channels.size()));
  } else {
    Put32LE(layer, static_cast<unsigned>(4 + 2 + name.size() + 115));
    Put16LE(layer, static_cast<unsigned>(name.size()));
    PutText(layer, name);
    layer.push_back(1);  // raster layer
    layer.insert(layer.end(), 114, 0);
    Put32LE(layer, 8);
    Put16LE(layer, 1);
    Put16LE(layer, static_cast<unsigned>(channels.size()));
  }
  const std::size_t layerInitial = layer.size();
  for (const PSPChannel& c : channels) {
    const Bytes packed = PSPPack(compression, c.plain);
    Bytes body;
    if (version >= 4) Put32LE(body, 16);
    Put32LE(body, static_cast<unsigned>(packed.size()));
    Put32LE(body, static_cast<unsigned>(c.plain.size()));
    Put16LE(body, c.type == 0 && depth == 24 ? 1 : 0);
    Put16LE(body, static_cast<unsigned>(c.type));
    body.insert(body.end(), packed.begin(), packed.end());
    Bytes block = PSPBlock(version, 5, body, 12);
    layer.insert(layer.end(), block.begin(), block.end());
  }
  const Bytes layerBlock = PSPBlock(version, 4, layer, layerInitial);
  const Bytes start = PSPBlock(version, 3, layerBlock, 0);
  b.insert(b.end(), start.begin(), start.end());
  return b;
}

TEST(PSPGraphic, TrueColourInEveryVersionAndCompression) {
  for (int version : {3, 4, 5}) {
    for (int compression : {0, 1, 2}) {
      SCOPED_TRACE("version " + std::to_string(version) + ", compression " + std::to_string(compression));
      const Bytes red = {10, 11, 12, 13, 14, 15}, green = {20, 21, 22, 23, 24, 25}, blue = {30, 31, 32, 33, 34, 35};
      PSPGraphic g =
          Load<PSPGraphic>(PSPFile(version, compression, 24, false, 3, 2, {{1, red}, {2, green}, {3, blue}}));
      ASSERT_EQ(g.PixelFormat(), pf24bit);
      EXPECT_EQ(g.Pixel(0, 0), RGB(10, 20, 30));
      EXPECT_EQ(g.Pixel(2, 1), RGB(15, 25, 35));
    }
  }
}

TEST(PSPGraphic, IndexedGreyAndAlphaChannels) {
  Bytes palette;
  for (int i = 0; i < 4; ++i) palette.insert(palette.end(), {std::uint8_t(i), 0, std::uint8_t(100 + i), 0});
  PSPGraphic indexed = Load<PSPGraphic>(PSPFile(4, 1, 8, false, 2, 1, {{0, {3, 1}}}, palette));
  ASSERT_EQ(indexed.PixelFormat(), pf8bit);
  EXPECT_EQ(indexed.Pixel(0, 0), RGB(103, 0, 3));  // entries are blue, green, red
  PSPGraphic grey = Load<PSPGraphic>(PSPFile(3, 0, 8, true, 2, 1, {{0, {3, 200}}}));
  EXPECT_EQ(grey.Pixel(1, 0), RGB(200, 200, 200));
  // A fourth channel makes the picture pf32bit with the mask as alpha.
  PSPGraphic alpha = Load<PSPGraphic>(PSPFile(4, 2, 24, false, 1, 1, {{1, {1}}, {2, {2}}, {3, {3}}, {0, {99}}}));
  ASSERT_EQ(alpha.PixelFormat(), pf32bit);
  EXPECT_EQ(alpha.ScanLine(0)[3], 99);
  EXPECT_EQ(alpha.Pixel(0, 0), RGB(1, 2, 3));
  // 4-bit rows of width / 2 + 1 bytes.
  PSPGraphic nibbles = Load<PSPGraphic>(PSPFile(4, 0, 4, false, 4, 2, {{0, {0x12, 0x34, 0, 0x56, 0x78, 0}}}));
  ASSERT_EQ(nibbles.PixelFormat(), pf4bit);
  EXPECT_EQ(nibbles.PixelIndex(3, 0), 4);
  EXPECT_EQ(nibbles.PixelIndex(0, 1), 5);
}

TEST(PSPGraphic, HeaderFaultsAndJpeg) {
  Bytes bad = PSPFile(4, 0, 8, true, 1, 1, {{0, {1}}});
  bad[3] = 'X';
  EXPECT_EQ(LoadError<PSPGraphic>(bad), "Cannot load image. Invalid or unexpected PSP image format.");
  Bytes upper = PSPFile(4, 0, 8, true, 1, 1, {{0, {1}}});
  for (int i = 0; i < 25; ++i)
    upper[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::toupper(upper[static_cast<std::size_t>(i)]));
  EXPECT_EQ(LoadError<PSPGraphic>(upper), "");
  EXPECT_FALSE(LoadError<PSPGraphic>(PSPFile(2, 0, 8, true, 1, 1, {{0, {1}}})).empty());
  EXPECT_EQ(LoadError<PSPGraphic>(PSPFile(4, 3, 24, false, 1, 1, {{1, {1}}})),
            "Cannot load image. The compression scheme is not supported for PSP files.");
  EXPECT_EQ(LoadError<PSPGraphic>(PSPFile(4, 0, 16, false, 1, 1, {{0, {1, 1}}})), "Invalid color format in PSP file.");
  Bytes cut = PSPFile(4, 0, 24, false, 40, 40, {{1, Bytes(1600, 1)}});
  cut.resize(cut.size() - 100);
  EXPECT_EQ(LoadError<PSPGraphic>(cut), "Stream read error");
}

// ---- PPM ----

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(PPMGraphic, PlainBitmapsAndGreymaps) {
  PPMGraphic bits = Load<PPMGraphic>(Text("P1\n# four\n4 1\n0 1 1 0\n"));
  ASSERT_EQ(bits.PixelFormat(), pf1bit);
  EXPECT_EQ(bits.Pixel(0, 0), clWhite);
  EXPECT_EQ(bits.Pixel(1, 0), clBlack);
  EXPECT_EQ(bits.Pixel(2, 0), clBlack);
  EXPECT_EQ(bits.Pixel(3, 0), clWhite);
  // Maximum 15: values stay raw.
  PPMGraphic grey = Load<PPMGraphic>(Text("P2 3 1 15\n0 7 15"));
  ASSERT_EQ(grey.PixelFormat(), pf8bit);
  EXPECT_EQ(grey.Pixel(2, 0), RGB(15, 15, 15));
  PPMGraphic colour = Load<PPMGraphic>(Text("P3\n1 1\n255\n1 2 3\n"));
  EXPECT_EQ(colour.Pixel(0, 0), RGB(1, 2, 3));
}

TEST(PPMGraphic, RawKindsAndTheBufferBoundary) {
  // A P6 picture larger than the input buffer, with its header comment.
  Bytes p6 = Text("P6 # comment\n100 20\n255\n");
  for (int i = 0; i < 100 * 20; ++i) p6.insert(p6.end(), {std::uint8_t(i), std::uint8_t(i >> 8), 9});
  PPMGraphic colour = Load<PPMGraphic>(p6);
  ASSERT_EQ(colour.PixelFormat(), pf24bit);
  EXPECT_EQ(colour.Pixel(99, 19), RGB((1999) & 0xFF, 1999 >> 8, 9));
  Bytes p4 = Text("P4\n9 1\n");
  p4.insert(p4.end(), {0x80, 0x80});
  PPMGraphic bits = Load<PPMGraphic>(p4);
  EXPECT_EQ(bits.Pixel(0, 0), clBlack);
  EXPECT_EQ(bits.Pixel(8, 0), clBlack);
  EXPECT_EQ(bits.Pixel(1, 0), clWhite);
  Bytes p5 = Text("P5\r\n2 1\r\n255\r");
  p5.insert(p5.end(), {13, 10});
  EXPECT_EQ(Load<PPMGraphic>(p5).Pixel(1, 0), RGB(10, 10, 10));
}

TEST(PPMGraphic, FormatAndReadErrors) {
  EXPECT_EQ(LoadError<PPMGraphic>(Text("P7\n1 1\n")),
            "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.");
  EXPECT_FALSE(LoadError<PPMGraphic>(Text("Q6\n1 1 255\n   ")).empty());
  EXPECT_FALSE(LoadError<PPMGraphic>(Text("P61 1 255\n   ")).empty());
  EXPECT_FALSE(LoadError<PPMGraphic>(Text("")).empty());
  Bytes cut = Text("P6\n10 10\n255\n");
  cut.insert(cut.end(), 200, 1);
  EXPECT_EQ(LoadError<PPMGraphic>(cut), "Stream read error in PPM file.");
  EXPECT_EQ(LoadError<PPMGraphic>(Text("P2\n3 1\n255\n1 2")), "Stream read error in PPM file.");
  EXPECT_EQ(LoadError<PPMGraphic>(Text("P3\n5000 5000\n")), "Stream read error in PPM file.");
}

// ---- CUT ----

TEST(CUTGraphic, RunLengthRowsInGreys) {
  Bytes b;
  Put16LE(b, 3);
  Put16LE(b, 2);
  Put16LE(b, 0);
  b.insert(b.end(), {5, 0, 0x83, 40, 0});             // row 0: 40 40 40
  b.insert(b.end(), {6, 0, 0x02, 7, 8, 0x81, 9, 0});  // row 1: 7 8 9
  CUTGraphic g = Load<CUTGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf8bit);
  EXPECT_EQ(g.Pixel(2, 0), RGB(40, 40, 40));
  EXPECT_EQ(g.Pixel(0, 1), RGB(7, 7, 7));
  EXPECT_EQ(g.Pixel(2, 1), RGB(9, 9, 9));
  // Cut short: the missing row stays black.
  b.resize(11);
  CUTGraphic partial = Load<CUTGraphic>(b);
  EXPECT_EQ(partial.Pixel(2, 0), RGB(40, 40, 40));
  EXPECT_EQ(partial.Pixel(2, 1), clBlack);
  EXPECT_EQ(LoadError<CUTGraphic>({1, 0}), "Stream read error");
}

// ---- SGI ----

Bytes SGIHeader(int storage, int bpc, int width, int height, int channels) {
  Bytes b;
  Put16BE(b, 474);
  b.push_back(static_cast<std::uint8_t>(storage));
  b.push_back(static_cast<std::uint8_t>(bpc));
  Put16BE(b, channels == 1 ? 2 : 3);
  Put16BE(b, static_cast<unsigned>(width));
  Put16BE(b, static_cast<unsigned>(height));
  Put16BE(b, static_cast<unsigned>(channels));
  b.resize(512, 0);
  return b;
}

TEST(SGIGraphic, FirstStoredRowIsAtTheBottom) {
  Bytes b = SGIHeader(0, 1, 2, 2, 1);
  b.insert(b.end(), {1, 2, 3, 4});
  SGIGraphic g = Load<SGIGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf8bit);
  EXPECT_EQ(g.Pixel(0, 1), RGB(1, 1, 1));
  EXPECT_EQ(g.Pixel(1, 0), RGB(4, 4, 4));
}

TEST(SGIGraphic, RunLengthColourAndSixteenBit) {
  // RGB 2 x 1, RLE: one row per channel.
  Bytes b = SGIHeader(1, 1, 2, 1, 3);
  const unsigned tables = 512 + 3 * 8;
  for (unsigned k = 0; k < 3; ++k) Put32BE(b, tables + 3 * k);
  for (int k = 0; k < 3; ++k) Put32BE(b, 3);
  b.insert(b.end(), {0x02, 10, 0x00, 0x02, 20, 0x00, 0x82, 30, 31});
  SGIGraphic g = Load<SGIGraphic>(b);
  ASSERT_EQ(g.PixelFormat(), pf24bit);
  EXPECT_EQ(g.Pixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(g.Pixel(1, 0), RGB(10, 20, 31));
  // Raw 16-bit grey.
  Bytes w = SGIHeader(0, 2, 2, 1, 1);
  Put16BE(w, 0xFFFF);
  Put16BE(w, 0x8000);
  SGIGraphic grey = Load<SGIGraphic>(w);
  EXPECT_EQ(grey.Pixel(1, 0), RGB(127, 127, 127));
}

TEST(SGIGraphic, RowsSharingOneRunLengthRowMakeALargePictureFromASmallFile) {
  // 2000 x 2000 grey, every row pointing at the same 33 bytes: about 16 KB of
  // file for 4 MB of picture.
  const unsigned side = 2000;
  Bytes b = SGIHeader(1, 1, side, side, 1);
  const unsigned row = 512 + 2 * 4 * side;
  Bytes runs;
  for (unsigned left = side; left > 0;) {
    const unsigned n = std::min(left, 127u);
    runs.push_back(static_cast<std::uint8_t>(n));
    runs.push_back(0x40);
    left -= n;
  }
  runs.push_back(0);
  for (unsigned y = 0; y < side; ++y) Put32BE(b, row);
  for (unsigned y = 0; y < side; ++y) Put32BE(b, static_cast<unsigned>(runs.size()));
  b.insert(b.end(), runs.begin(), runs.end());
  SGIGraphic g = Load<SGIGraphic>(b);
  ASSERT_EQ(g.Width(), 2000);
  ASSERT_EQ(g.Height(), 2000);
  EXPECT_EQ(g.Pixel(0, 0), RGB(0x40, 0x40, 0x40));
  EXPECT_EQ(g.Pixel(1999, 1999), RGB(0x40, 0x40, 0x40));
  EXPECT_EQ(g.Pixel(1000, 777), RGB(0x40, 0x40, 0x40));
}

TEST(SGIGraphic, HeaderAndTableFaults) {
  Bytes bad = SGIHeader(0, 1, 1, 1, 1);
  bad[1] = 0;
  bad.push_back(0);
  EXPECT_EQ(LoadError<SGIGraphic>(bad), "Cannot load image. Invalid or unexpected sgi, bw or rgb(a) image format.");
  Bytes outside = SGIHeader(1, 1, 2, 1, 1);
  Put32BE(outside, 100000);
  Put32BE(outside, 3);
  EXPECT_EQ(LoadError<SGIGraphic>(outside), "Stream read error");
  Bytes raw = SGIHeader(0, 1, 100, 100, 3);
  EXPECT_EQ(LoadError<SGIGraphic>(raw), "Stream read error");
  EXPECT_EQ(LoadError<SGIGraphic>(SGIHeader(0, 3, 1, 1, 1)), "Invalid color format in sgi, bw or rgb(a) file.");
}

// ---- Dispatch ----

TEST(LegacyDispatch, OpensEveryExtensionThroughTheStreamPath) {
  const std::string dir = test::TempDir();
  Bytes sgi = SGIHeader(0, 1, 1, 1, 1);
  sgi.push_back(77);
  WriteFileBytes(dir + "/a.sgi", sgi);
  Bitmap target(5, 5, pf24bit);
  LoadImageFile(dir + "/a.sgi", target, test::Silent());
  EXPECT_EQ(target.Width(), 1);
  EXPECT_EQ(target.Pixel(0, 0), RGB(77, 77, 77));
  // A failing reader leaves the target as it was.
  WriteFileBytes(dir + "/b.PPM", Text("P9\n"));
  EXPECT_THROW(LoadImageFile(dir + "/b.PPM", target, test::Silent()), EInvalidGraphic);
  EXPECT_EQ(target.Width(), 1);
  // An unrecognised PCX assigns the empty picture.
  Bytes pcx = EightBitPCX(12);
  pcx[0] = 0;
  WriteFileBytes(dir + "/c.pcx", pcx);
  LoadImageFile(dir + "/c.pcx", target, test::Silent());
  EXPECT_TRUE(target.Empty());
}

}  // namespace
}  // namespace pixtrel
