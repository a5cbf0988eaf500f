#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "codecs/png/png_object.h"
#include "core/stream.h"
#include "png_builder.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

using test::Bytes;
using test::ParseChunks;

Bitmap Noise(int w, int h, pixtrel::PixelFormat format, unsigned seed) {
  Bitmap bitmap(w, h, format);
  std::mt19937 random(seed);
  const std::size_t rowBytes = (static_cast<std::size_t>(w) * bitmap.BitCount() + 7) / 8;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    // Smooth enough to compress, noisy enough to need many IDAT chunks.
    for (std::size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<std::uint8_t>((i + y) / 3 + random() % 16);
  }
  if (format == pf4bit) bitmap.SetPalette(StandardPalette16());
  if (format == pf8bit) bitmap.SetPalette(HalftonePalette256());
  return bitmap;
}

Bytes ImageData(const std::vector<test::ParsedChunk>& chunks) {
  Bytes data;
  for (const auto& c : chunks)
    if (c.type == "IDAT") data.insert(data.end(), c.data.begin(), c.data.end());
  return data;
}

std::vector<std::string> Types(const std::vector<test::ParsedChunk>& chunks) {
  std::vector<std::string> types;
  for (const auto& c : chunks)
    if (types.empty() || types.back() != c.type || c.type != "IDAT") types.push_back(c.type);
  return types;
}

bool ToolExists(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

std::string WriteTemp(const Bytes& bytes, const std::string& name) {
  const std::string path = test::TempDir() + "/" + name;
  WriteFileBytes(path, bytes);
  return path;
}

bool PngcheckPasses(const std::string& path) {
  return std::system(("pngcheck -v '" + path + "' > /dev/null 2>&1").c_str()) == 0;
}

// The pixels ImageMagick reads from a PNG, as RGB bytes.
Bytes PeerPixels(const std::string& path) {
  const std::string out = path + ".rgb";
  if (std::system(("convert '" + path + "' -depth 8 rgb:'" + out + "' 2>/dev/null").c_str()) != 0) return {};
  return ReadFileBytes(out);
}

Bytes RgbOf(const Bitmap& bitmap) {
  Bytes rgb;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const Color c = bitmap.Pixel(x, y);
      rgb.push_back(static_cast<std::uint8_t>(GetRValue(c)));
      rgb.push_back(static_cast<std::uint8_t>(GetGValue(c)));
      rgb.push_back(static_cast<std::uint8_t>(GetBValue(c)));
    }
  return rgb;
}

TEST(PngWriter, LargeRgbImageIsSubFilteredInFullIDATChunks) {
  const int w = 1000, h = 1000;
  const Bitmap bitmap = Noise(w, h, pf24bit, 1);
  PNGObject png;
  png.Assign(bitmap);
  const Bytes file = png.SaveToBytes();
  const auto chunks = ParseChunks(file);
  std::vector<std::size_t> sizes;
  for (const auto& c : chunks)
    if (c.type == "IDAT") sizes.push_back(c.data.size());
  ASSERT_GE(sizes.size(), 3u);
  for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 65535u);
  EXPECT_GT(sizes.back(), 0u);
  EXPECT_LT(sizes.back(), 65535u);
  EXPECT_EQ(Types(chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 3, 0xE8, 0, 0, 3, 0xE8, 8, 2, 0, 0, 0}));

  const std::size_t stride = 1 + 3 * w;
  const Bytes raw = test::Inflate(ImageData(chunks), stride * h);
  ASSERT_EQ(raw.size(), stride * h);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* line = raw.data() + y * stride;
    ASSERT_EQ(line[0], 1) << "row " << y;
    const std::uint8_t* src = bitmap.ScanLine(y);
    std::uint8_t previous[3] = {0, 0, 0};
    for (int x = 0; x < w; ++x) {
      for (int k = 0; k < 3; ++k) {
        const std::uint8_t value = static_cast<std::uint8_t>(line[1 + 3 * x + k] + previous[k]);
        ASSERT_EQ(value, src[3 * x + 2 - k]) << x << "," << y;
        previous[k] = value;
      }
    }
  }
}

TEST(PngWriter, IndexedBitmapsBecomePalettePngs) {
  struct Case {
    pixtrel::PixelFormat format;
    int depth;
    std::size_t entries;
  };
  for (const Case c : {Case{pf1bit, 1, 2}, Case{pf4bit, 4, 16}, Case{pf8bit, 8, 256}}) {
    SCOPED_TRACE(c.depth);
    Bitmap bitmap = Noise(33, 7, c.format, 2);
    PNGObject png;
    png.Assign(bitmap);
    const Bytes file = png.SaveToBytes();
    const auto chunks = ParseChunks(file);
    EXPECT_EQ(Types(chunks), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
    EXPECT_EQ(chunks[0].data[8], c.depth);
    EXPECT_EQ(chunks[0].data[9], 3);
    EXPECT_EQ(chunks[1].data.size(), 3 * c.entries);
    PNGObject back;
    back.LoadFromBytes(file);
    Bitmap decoded;
    decoded.Assign(back);
    EXPECT_EQ(decoded.PixelFormat(), c.format);
    EXPECT_EQ(RgbOf(decoded), RgbOf(bitmap));
  }
}

TEST(PngWriter, DeepBitmapsBecomeEightBitRgb) {
  for (const auto format : {pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    const Bitmap bitmap = Noise(17, 5, format, 3);
    PNGObject png;
    png.Assign(bitmap);
    const auto chunks = ParseChunks(png.SaveToBytes());
    EXPECT_EQ(chunks[0].data[8], 8);
    EXPECT_EQ(chunks[0].data[9], 2);
    PNGObject back;
    back.LoadFromBytes(png.SaveToBytes());
    Bitmap decoded;
    decoded.Assign(back);
    EXPECT_EQ(decoded.PixelFormat(), pf24bit);
    EXPECT_EQ(RgbOf(decoded), RgbOf(bitmap));
  }
}

// Saving without a copy of the picture writes the bytes a copy would, for
// every format, large enough for several deflate pieces, with transparency
// and an alpha channel added afterwards.
TEST(PngWriter, AViewOfTheBitmapWritesWhatACopyWrites) {
  for (const auto format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    Bitmap bitmap = Noise(331, 517, format, 11);
    for (const bool transparent : {false, true}) {
      bitmap.SetTransparent(transparent);
      PNGObject copied, viewed;
      copied.Assign(bitmap);
      viewed.AssignView(bitmap);
      EXPECT_EQ(copied.SaveToBytes(), viewed.SaveToBytes());
      copied.AddAlphaChannel();
      viewed.AddAlphaChannel();
      EXPECT_EQ(copied.SaveToBytes(), viewed.SaveToBytes());
      Bitmap fromCopy, fromView;
      fromCopy.Assign(copied);
      fromView.Assign(viewed);
      EXPECT_EQ(RgbOf(fromCopy), RgbOf(fromView));
      EXPECT_EQ(fromView.PixelFormat(), fromCopy.PixelFormat());
    }
  }
}

TEST(PngWriter, TransparentBitmapsGetTRNS) {
  Bitmap indexed = Noise(8, 8, pf8bit, 4);
  indexed.SetTransparentColor(indexed.Palette()[5]);
  indexed.SetTransparent(true);
  PNGObject png;
  png.Assign(indexed);
  auto chunks = ParseChunks(png.SaveToBytes());
  ASSERT_EQ(chunks[2].type, "tRNS");
  EXPECT_EQ(chunks[2].data, (Bytes{255, 255, 255, 255, 255, 0}));
  Bitmap back;
  back.Assign(png);
  EXPECT_TRUE(back.Transparent());
  EXPECT_EQ(back.TransparentColor(), indexed.Palette()[5]);

  Bitmap rgb(4, 4, pf24bit);
  rgb.Fill(RGB(1, 2, 3));
  rgb.SetTransparent(true);  // the bottom-left pixel's colour
  png.Assign(rgb);
  chunks = ParseChunks(png.SaveToBytes());
  ASSERT_EQ(chunks[1].type, "tRNS");
  EXPECT_EQ(chunks[1].data, (Bytes{0, 1, 0, 2, 0, 3}));
}

TEST(PngWriter, TextGoesBeforeIEND) {
  PNGObject png;
  png.Assign(Noise(5, 5, pf8bit, 5));
  png.AddTextChunk("description", "two\r\nlines");
  const auto chunks = ParseChunks(png.SaveToBytes());
  EXPECT_EQ(Types(chunks), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "tEXt", "IEND"}));
  const std::string expected = std::string("description") + '\0' + "two\r\nlines";
  EXPECT_EQ(chunks[3].data, Bytes(expected.begin(), expected.end()));
}

TEST(PngWriter, AlphaChannelMakesRgbaFiles) {
  const Bitmap bitmap = Noise(20, 9, pf24bit, 6);
  PNGObject png;
  png.Assign(bitmap);
  png.AddAlphaChannel();
  EXPECT_EQ(png.TransparencyMode(), ptmPartial);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 20; ++x) png.AlphaRow(y)[x] = static_cast<std::uint8_t>(x * 12 + y);
  const Bytes file = png.SaveToBytes();
  const auto chunks = ParseChunks(file);
  EXPECT_EQ(chunks[0].data[9], 6);
  PNGObject back;
  back.LoadFromBytes(file);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(back.AlphaRow(y)[x], x * 12 + y);
  Bitmap decoded;
  decoded.Assign(back);
  EXPECT_EQ(RgbOf(decoded), RgbOf(bitmap));
  ASSERT_TRUE(ToolExists("pngcheck")) << "the peer check needs pngcheck";
  EXPECT_TRUE(PngcheckPasses(WriteTemp(file, "rgba.png")));

  // A palette image gets a tRNS of 2^depth entries all 255 instead.
  PNGObject palette;
  palette.Assign(Noise(4, 4, pf4bit, 7));
  palette.AddAlphaChannel();
  EXPECT_EQ(palette.TransparencyMode(), ptmPartial);
  ASSERT_NE(palette.Transparency(), nullptr);
  EXPECT_EQ(palette.Transparency()->bytes, Bytes(16, 255));
  EXPECT_EQ(Types(ParseChunks(palette.SaveToBytes())),
            (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
}

TEST(PngWriter, PeersAcceptWrittenFilesAndReadTheSamePixels) {
  ASSERT_TRUE(ToolExists("pngcheck")) << "the peer check needs pngcheck";
  ASSERT_TRUE(ToolExists("convert")) << "the peer check needs ImageMagick";
  for (const auto format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    Bitmap bitmap = Noise(131, 67, format, 8);
    PNGObject png;
    png.Assign(bitmap);
    png.AddTextChunk("description", "peer check");
    const std::string path = WriteTemp(png.SaveToBytes(), "peer" + std::to_string(format) + ".png");
    EXPECT_TRUE(PngcheckPasses(path));
    EXPECT_EQ(PeerPixels(path), RgbOf(bitmap));
  }
}

TEST(PngWriter, OutputIsPinned) {
  PNGObject png;
  png.Assign(Noise(64, 48, pf24bit, 9));
  const Bytes first = png.SaveToBytes();
  EXPECT_EQ(first, png.SaveToBytes());
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0L, first.data(), static_cast<uInt>(first.size())));
  EXPECT_EQ(first.size(), 5976u);
  EXPECT_EQ(crc, 701649068u);
}

}  // namespace
}  // namespace pixtrel
