#include "codecs/png/png_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

#include "codecs/png/png_object.h"
#include "core/stream.h"
#include "png_builder.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

using test::Bytes;

// Text-like data: runs, repeats at every distance and some noise, so that
// matches cross the pieces' borders.
Bytes Sample(std::size_t size, unsigned seed) {
  Bytes data(size);
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned r = random();
    if (i > 5000 && r % 4 == 0)
      data[i] = data[i - 1 - r % 5000];
    else
      data[i] = static_cast<std::uint8_t>((i / 7) % 50 + r % 8);
  }
  return data;
}

Bytes Deflated(const Bytes& data, int threads) {
  Bytes out;
  DeflatePieces(
      data.size(), [&](std::size_t begin, std::size_t end, std::uint8_t* to) {
        std::memcpy(to, data.data() + begin, end - begin);
      },
      [&](std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); },
      PNGObject::kCompressionLevel, threads);
  return out;
}

Bytes PlainStream(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), PNGObject::kCompressionLevel),
            Z_OK);
  out.resize(size);
  return out;
}

TEST(PngDeflate, PiecesMakeOneStreamWhateverTheThreads) {
  constexpr std::size_t piece = kDeflatePieceSize;
  for (const std::size_t size : {piece + 1, 2 * piece, 3 * piece + 5, 9 * piece + 1000}) {
    SCOPED_TRACE(size);
    const Bytes data = Sample(size, static_cast<unsigned>(size));
    const Bytes one = Deflated(data, 1);
    EXPECT_EQ(Deflated(data, 2), one);
    EXPECT_EQ(Deflated(data, 7), one);
    EXPECT_EQ(test::Inflate(one, size), data);
    // Cutting costs next to nothing beside one stream over the whole data.
    EXPECT_LT(static_cast<double>(one.size()), 1.01 * static_cast<double>(PlainStream(data).size()));
  }
}

TEST(PngDeflate, DataOfOnePieceIsOnePlainStream) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, kDeflatePieceSize}) {
    SCOPED_TRACE(size);
    const Bytes data = Sample(size, 3);
    EXPECT_EQ(Deflated(data, 1), PlainStream(data));
    EXPECT_EQ(Deflated(data, 4), PlainStream(data));
  }
}

TEST(PngDeflate, SourceErrorsReachTheCallerAndNoThreadIsLeft) {
  const std::size_t size = 6 * kDeflatePieceSize;
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    auto source = [&](std::size_t begin, std::size_t end, std::uint8_t* to) {
      if (end > 4 * kDeflatePieceSize) throw std::runtime_error("source");
      std::memset(to, static_cast<int>(begin % 251), end - begin);
    };
    std::size_t written = 0;
    EXPECT_THROW(DeflatePieces(
                     size, source, [&](std::span<const std::uint8_t> bytes) { written += bytes.size(); },
                     PNGObject::kCompressionLevel, threads),
                 std::runtime_error);
    EXPECT_GT(written, 0u);
    // A sink that fails ends the call as well.
    EXPECT_THROW(DeflatePieces(
                     2 * kDeflatePieceSize,
                     [](std::size_t, std::size_t end, std::uint8_t* to) { std::memset(to, 1, end); },
                     [](std::span<const std::uint8_t>) { throw std::runtime_error("sink"); },
                     PNGObject::kCompressionLevel, threads),
                 std::runtime_error);
  }
}

Bitmap Photo(int w, int h, PixelFormat format) {
  Bitmap bitmap(w, h, format);
  std::mt19937 random(11);
  const std::size_t rowBytes = (static_cast<std::size_t>(w) * bitmap.BitCount() + 7) / 8;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < rowBytes; ++i)
      row[i] = static_cast<std::uint8_t>((i * i / 97 + y * 3) / 5 + random() % 6);
  }
  if (format == pf8bit) bitmap.SetPalette(HalftonePalette256());
  return bitmap;
}

Bytes SavePng(const Bitmap& bitmap, int threads, bool alpha) {
  PNGObject png;
  png.Assign(bitmap);
  if (alpha) {
    png.AddAlphaChannel();
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x) png.AlphaRow(y)[x] = static_cast<std::uint8_t>(x ^ y);
  }
  png.SetDeflateThreads(threads);
  return png.SaveToBytes();
}

// Large images of every writer layout: the bytes do not depend on the
// threads, peers accept them and the pixels come back.
TEST(PngDeflate, LargeImagesHaveTheSameBytesOnAnyThreadCount) {
  struct Case {
    PixelFormat format;
    bool alpha;
    int width, height;
  };
  for (const Case& c : {Case{pf24bit, false, 613, 401}, Case{pf24bit, true, 500, 300}, Case{pf8bit, false, 777, 555},
                        Case{pf1bit, false, 4099, 1030}}) {
    SCOPED_TRACE(std::to_string(c.format) + (c.alpha ? " alpha" : ""));
    const Bitmap bitmap = Photo(c.width, c.height, c.format);
    const Bytes one = SavePng(bitmap, 1, c.alpha);
    EXPECT_EQ(SavePng(bitmap, 2, c.alpha), one);
    EXPECT_EQ(SavePng(bitmap, 7, c.alpha), one);
    EXPECT_EQ(SavePng(bitmap, 0, c.alpha), one);

    PNGObject back;
    back.LoadFromBytes(one);
    Bitmap pixels;
    back.AssignTo(pixels);
    ASSERT_EQ(pixels.Width(), c.width);
    ASSERT_EQ(pixels.Height(), c.height);
    const std::size_t rowBytes = (static_cast<std::size_t>(c.width) * bitmap.BitCount() + 7) / 8;
    for (int y = 0; y < c.height; ++y)
      ASSERT_EQ(std::memcmp(pixels.ScanLine(y), bitmap.ScanLine(y), rowBytes), 0) << "row " << y;
    if (c.alpha) {
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) ASSERT_EQ(back.AlphaRow(y)[x], static_cast<std::uint8_t>(x ^ y));
    }

    if (std::system("command -v pngcheck > /dev/null 2>&1") == 0) {
      const std::string path = test::TempDir() + "/deflate-" + std::to_string(c.format) + ".png";
      WriteFileBytes(path, one);
      EXPECT_EQ(std::system(("pngcheck -q '" + path + "' > /dev/null 2>&1").c_str()), 0);
    }
  }
}

}  // namespace
}  // namespace pixtrel
