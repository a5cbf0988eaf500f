#include "codecs/targa/targa_image.h"
#include "support/io_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "core/errors.h"
#include "core/stream.h"
#include "io/image_io.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

std::vector<std::uint8_t> Header(int type, int width, int height, int depth, int descriptor = 0, int mapType = 0,
                                 int mapLength = 0, int mapEntrySize = 0, int idLength = 0) {
  return {static_cast<std::uint8_t>(idLength),
          static_cast<std::uint8_t>(mapType),
          static_cast<std::uint8_t>(type),
          0,
          0,
          static_cast<std::uint8_t>(mapLength),
          static_cast<std::uint8_t>(mapLength >> 8),
          static_cast<std::uint8_t>(mapEntrySize),
          0,
          0,
          0,
          0,
          static_cast<std::uint8_t>(width),
          static_cast<std::uint8_t>(width >> 8),
          static_cast<std::uint8_t>(height),
          static_cast<std::uint8_t>(height >> 8),
          static_cast<std::uint8_t>(depth),
          static_cast<std::uint8_t>(descriptor)};
}

Targa Load(std::vector<std::uint8_t> header, const std::vector<std::uint8_t>& body) {
  header.insert(header.end(), body.begin(), body.end());
  Targa t;
  t.LoadFromBytes(header);
  return t;
}

Color At(const Targa& t, int x, int y) { return t.ColorBitmap().Pixel(x, y); }

TEST(TargaWriter, TwoByTwoIsThirtyBytesBottomLeftFirst) {
  Bitmap source(2, 2, pf24bit);
  source.SetPixel(0, 0, RGB(1, 2, 3));
  source.SetPixel(1, 0, RGB(4, 5, 6));
  source.SetPixel(0, 1, RGB(7, 8, 9));
  source.SetPixel(1, 1, RGB(10, 11, 12));
  for (PixelFormat format : {pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    Bitmap copy(source);
    copy.SetPixelFormat(format);
    Targa targa;
    targa.Assign(copy);
    MemoryStream out;
    targa.SaveToStream(out);
    const std::vector<std::uint8_t> expected = {0, 0,  2, 0, 0, 0, 0,  0,  0,  0, 0, 0, 2, 0, 2,
                                                0, 24, 0, 9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4};
    EXPECT_EQ(out.Bytes(), expected);
  }
}

TEST(TargaWriter, RoundTripsThroughTheReaderAndImageMagick) {
  Bitmap source(37, 5, pf24bit);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 37; ++x) source.SetPixel(x, y, RGB(7 * x, 50 * y, 255 - x));
  const std::string path = test::TempDir() + "/round.tga";
  ASSERT_EQ(SaveImageFile(path, source, ".tga", SaveOptions()), SaveOutcome::Written);
  Bitmap back;
  LoadImageFile(path, back, test::Silent());
  EXPECT_EQ(back.PixelFormat(), pf32bit);
  ASSERT_EQ(back.Width(), 37);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 37; ++x) ASSERT_EQ(back.Pixel(x, y), source.Pixel(x, y));

  // A missing peer is a broken test machine, not a pass.
  ASSERT_EQ(std::system("command -v convert >/dev/null 2>&1"), 0) << "convert (ImageMagick) is not installed";
  const std::string png = path + ".png";
  // ImageMagick keeps bottom-up rows as they are and records the
  // orientation; -auto-orient applies it.
  ASSERT_EQ(std::system(("convert '" + path + "' -auto-orient PNG24:'" + png + "' 2>/dev/null").c_str()), 0);
  const QImage peer = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(peer.width(), 37);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 37; ++x) {
      const QRgb p = peer.pixel(x, y);
      ASSERT_EQ(RGB(qRed(p), qGreen(p), qBlue(p)), source.Pixel(x, y));
    }
}

TEST(TargaReader, DescriptorBit5PutsTheFirstRowAtTheTop) {
  const std::vector<std::uint8_t> rows = {1, 1, 1, 2, 2, 2};  // 1 x 2, grey-free 24-bit
  const Targa bottomUp = Load(Header(2, 1, 2, 24, 0x00), rows);
  const Targa topDown = Load(Header(2, 1, 2, 24, 0x20), rows);
  EXPECT_EQ(At(bottomUp, 0, 1), RGB(1, 1, 1));
  EXPECT_EQ(At(bottomUp, 0, 0), RGB(2, 2, 2));
  EXPECT_EQ(At(topDown, 0, 0), RGB(1, 1, 1));
  EXPECT_EQ(topDown.ColorBitmap().PixelFormat(), pf32bit);
  EXPECT_EQ(topDown.Depth(), cd24bit);
  EXPECT_EQ(topDown.Kind(), ttTrueColorImage);
}

TEST(TargaReader, SixteenBitChannelsAreFiveBitsTimesEight) {
  const Targa t = Load(Header(2, 3, 1, 16), {0xFF, 0x7F, 0x1F, 0x00, 0x00, 0xFC});
  EXPECT_EQ(At(t, 0, 0), RGB(248, 248, 248));
  EXPECT_EQ(At(t, 1, 0), RGB(0, 0, 248));
  EXPECT_EQ(At(t, 2, 0), RGB(248, 0, 0));  // bit 15 ignored
  EXPECT_EQ(t.Depth(), cd16bit);
}

TEST(TargaReader, RunLengthPacketsRepeatOrCopy) {
  // 0x83: one pixel four times; 0x03: four pixels as they are.
  const Targa t = Load(Header(10, 8, 1, 24), {0x83, 10, 20, 30, 0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  for (int x = 0; x < 4; ++x) EXPECT_EQ(At(t, x, 0), RGB(30, 20, 10));
  EXPECT_EQ(At(t, 4, 0), RGB(3, 2, 1));
  EXPECT_EQ(At(t, 7, 0), RGB(12, 11, 10));
  EXPECT_EQ(t.Kind(), ttRLETrueColorImage);
}

TEST(TargaReader, RunLengthPacketAcrossARowGoesOnInTheNextRow) {
  // 3 x 2 top-down grey: a run of 5, then a literal pixel.
  const Targa t = Load(Header(11, 3, 2, 8, 0x20), {0x84, 9, 0x00, 200});
  for (int i = 0; i < 5; ++i) EXPECT_EQ(At(t, i % 3, i / 3), RGB(9, 9, 9));
  EXPECT_EQ(At(t, 2, 1), RGB(200, 200, 200));
  // A packet longer than the whole picture stops at its end.
  const Targa over = Load(Header(11, 2, 2, 8), {0xFF, 1});
  EXPECT_EQ(At(over, 1, 1), RGB(1, 1, 1));
}

TEST(TargaReader, ThirtyTwoBitAlphaGoesToTheAlphaBitmapOnly) {
  const Targa t = Load(Header(2, 2, 1, 32, 0x08), {10, 20, 30, 0, 40, 50, 60, 128});
  EXPECT_EQ(At(t, 0, 0), RGB(30, 20, 10));
  EXPECT_EQ(At(t, 1, 0), RGB(60, 50, 40));
  EXPECT_EQ(t.AlphaBitmap().Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(t.AlphaBitmap().Pixel(1, 0), RGB(128, 128, 128));
  EXPECT_EQ(t.Depth(), cd32bit);
  EXPECT_EQ(t.Header().AlphaBits(), 8);
}

TEST(TargaReader, ColourMapsIndexFromEntryZero) {
  std::vector<std::uint8_t> map;
  // 300 entries of 24 bits; only the first 256 are kept.
  for (int i = 0; i < 300; ++i) map.insert(map.end(), {std::uint8_t(i), std::uint8_t(i / 2), 7});
  map.insert(map.end(), {0, 255, 3});
  const Targa t = Load(Header(1, 3, 1, 8, 0, 1, 300, 24), map);
  EXPECT_EQ(At(t, 0, 0), RGB(7, 0, 0));
  EXPECT_EQ(At(t, 1, 0), RGB(7, 127, 255));
  EXPECT_EQ(At(t, 2, 0), RGB(7, 1, 3));
  EXPECT_EQ(t.Depth(), cd8bit);

  // 16-bit entries, an image ID before the map, RLE indices.
  std::vector<std::uint8_t> body = {'i', 'd', 0x00, 0x7C, 0xE0, 0x03, 0x81, 1};
  const Targa rle = Load(Header(9, 2, 1, 8, 0, 1, 2, 16, 2), body);
  EXPECT_EQ(At(rle, 0, 0), RGB(0, 248, 0));
  EXPECT_EQ(At(rle, 1, 0), RGB(0, 248, 0));
  // An entry size of 8 bits is stepped over, leaving the map black.
  const Targa odd = Load(Header(1, 2, 1, 8, 0, 1, 2, 8), {0xFF, 0xFF, 0, 1});
  EXPECT_EQ(At(odd, 1, 0), clBlack);
}

TEST(TargaReader, UnreadableKindsKeepTheFillAtTheHeaderSize) {
  for (const auto& header : {Header(0, 4, 3, 24), Header(3, 4, 3, 16), Header(11, 4, 3, 32), Header(2, 4, 3, 15)}) {
    const Targa t = Load(header, std::vector<std::uint8_t>(100, 0));
    ASSERT_EQ(t.Width(), 4);
    ASSERT_EQ(t.Height(), 3);
    EXPECT_EQ(At(t, 3, 2), clWhite);
  }
}

TEST(TargaReader, TruncatedFilesKeepWhatArrived) {
  const Targa raw = Load(Header(2, 2, 2, 24), {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(At(raw, 0, 1), RGB(3, 2, 1));
  EXPECT_EQ(At(raw, 1, 1), RGB(6, 5, 4));
  EXPECT_EQ(At(raw, 0, 0), clWhite);
  const Targa rle = Load(Header(10, 2, 2, 24), {0x02, 1, 2, 3, 4, 5});
  EXPECT_EQ(At(rle, 0, 1), RGB(3, 2, 1));
  EXPECT_EQ(At(rle, 1, 1), clWhite);
  EXPECT_THROW(Load({0, 0, 2}, {}), EReadError);
}

// The corpus: decodable files match their reference where it is opaque
// (the reader drops alpha), mirrored when descriptor bit 4 asks for right
// to left, which this reader does not apply.
TEST(TargaCorpus, BehavesAsTheManifestExpects) {
  const auto entries = test::CorpusEntries("tga");
  ASSERT_GT(entries.size(), 30u);
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.path);
    Bitmap target;
    try {
      LoadImageFile(entry.FullPath(), target, test::Silent());
    } catch (const Exception& e) {
      EXPECT_NE(entry.expected, "decodes") << e.Message();
      continue;
    }
    if (entry.expected != "decodes") continue;
    EXPECT_EQ(target.PixelFormat(), pf32bit);
    ASSERT_EQ(target.Width(), entry.width);
    ASSERT_EQ(target.Height(), entry.height);
    QImage ref(QString::fromStdString(entry.RefPath()));
    ASSERT_FALSE(ref.isNull());
    ref = ref.convertToFormat(QImage::Format_ARGB32);
    const auto bytes = ReadFileBytes(entry.FullPath());
    if (bytes[17] & 0x10) ref = ref.mirrored(true, false);
    // 5-bit channels open as c x 8, where the peers scale them to 0..255.
    const bool fiveBit = bytes[16] == 16 || (bytes[1] == 1 && (bytes[7] == 15 || bytes[7] == 16));
    auto expected = [&](int channel) { return fiveBit ? (channel * 31 + 127) / 255 * 8 : channel; };
    int compared = 0, differing = 0;
    for (int y = 0; y < ref.height(); ++y)
      for (int x = 0; x < ref.width(); ++x) {
        const QRgb p = ref.pixel(x, y);
        if (qAlpha(p) != 255) continue;
        ++compared;
        if (target.Pixel(x, y) != RGB(expected(qRed(p)), expected(qGreen(p)), expected(qBlue(p)))) ++differing;
      }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(differing, 0) << "of " << compared;
  }
}

}  // namespace
}  // namespace pixtrel
