#include "codecs/tiff/bmp2tiff.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codecs/tiff/read_tiff.h"
#include "core/scripted_interaction.h"
#include "core/stream.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

struct Entry {
  std::uint16_t tag, type;
  std::uint32_t count, value;
  bool operator==(const Entry&) const = default;
};

std::vector<Entry> Directory(const std::vector<std::uint8_t>& bytes) {
  const std::uint32_t at = U32(bytes, 4);
  std::vector<Entry> entries;
  for (int i = 0; i < U16(bytes, at); ++i) {
    const std::size_t e = at + 2 + 12 * i;
    entries.push_back({U16(bytes, e), U16(bytes, e + 2), U32(bytes, e + 4), U32(bytes, e + 8)});
  }
  return entries;
}

Bitmap Read(const std::vector<std::uint8_t>& bytes) {
  ScriptedInteraction script;
  Bitmap b;
  ReadTiffBytes(bytes, "t.tif", b, script);
  EXPECT_TRUE(script.messages.empty());
  return b;
}

Bitmap Pattern(int width, int height, PixelFormat format) {
  Bitmap b(width, height, pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) b.SetPixel(x, y, RGB(37 * x + 3 * y, 11 * y, 255 - 20 * x));
  b.SetPixelFormat(format);
  return b;
}

void ExpectSamePixels(const Bitmap& a, const Bitmap& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << x << "," << y;
}

TEST(TiffWriter, RgbLayoutOfA3x2Picture) {
  const Bitmap source = Pattern(3, 2, pf24bit);
  const auto bytes = TiffBytes(source);
  ASSERT_EQ(bytes.size(), 40u + 18u + 186u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("II\x2A\0", 4));
  EXPECT_EQ(U32(bytes, 4), 58u);
  EXPECT_EQ(U32(bytes, 8), 877u);
  EXPECT_EQ(U32(bytes, 12), 10u);
  EXPECT_EQ(U32(bytes, 16), 877u);
  EXPECT_EQ(U32(bytes, 20), 10u);
  EXPECT_EQ(U16(bytes, 24), 8);
  EXPECT_EQ(U16(bytes, 28), 8);
  EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 40), "Zorbi soft");
  // First pixel red, green, blue.
  const Color c = source.Pixel(0, 0);
  EXPECT_EQ(bytes[40], GetRValue(c));
  EXPECT_EQ(bytes[41], GetGValue(c));
  EXPECT_EQ(bytes[42], GetBValue(c));
  const std::vector<Entry> expected = {
      {254, 4, 1, 0}, {256, 3, 1, 3},  {257, 3, 1, 2}, {258, 3, 3, 24}, {259, 3, 1, 1},
      {262, 3, 1, 2}, {273, 4, 1, 40}, {277, 3, 1, 3}, {278, 4, 1, 2},  {279, 4, 1, 18},
      {282, 5, 1, 8}, {283, 5, 1, 16}, {284, 3, 1, 1}, {296, 3, 1, 2},  {305, 2, 10, 30},
  };
  EXPECT_EQ(Directory(bytes), expected);
  EXPECT_EQ(U32(bytes, 58 + 2 + 180), 0u);
  ExpectSamePixels(Read(bytes), source);
}

TEST(TiffWriter, PaletteLayoutKeeps256ColoursAndPixels) {
  Bitmap source(19, 5, pf8bit);
  Palette palette;
  for (int i = 0; i < 256; ++i) palette.push_back(RGB(i, 255 - i, (i * 7) & 255));
  source.SetPalette(palette);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 19; ++x) source.SetPixelIndex(x, y, (x * 13 + y * 51) & 255);
  const auto bytes = TiffBytes(source);
  const std::size_t image = 8 + 1536 + 26;
  ASSERT_EQ(bytes.size(), image + 19 * 5 + 186);
  EXPECT_EQ(U32(bytes, 4), image + 19 * 5);
  EXPECT_EQ(U16(bytes, 8 + 2 * 200), 200 * 256);       // red of entry 200
  EXPECT_EQ(U16(bytes, 8 + 512 + 2 * 200), 55 * 256);  // its green
  EXPECT_EQ(std::string(bytes.begin() + 8 + 1536 + 16, bytes.begin() + image), "Zorbi soft");
  const std::vector<Entry> dir = Directory(bytes);
  ASSERT_EQ(dir.size(), 15u);
  EXPECT_EQ(dir[3], (Entry{258, 3, 1, 8}));
  EXPECT_EQ(dir[5], (Entry{262, 3, 1, 3}));
  EXPECT_EQ(dir[6], (Entry{273, 4, 1, static_cast<std::uint32_t>(image)}));
  EXPECT_EQ(dir[9], (Entry{279, 4, 1, 19 * 5}));
  EXPECT_EQ(dir[10], (Entry{282, 5, 1, 8 + 1536}));
  EXPECT_EQ(dir[13], (Entry{305, 2, 10, 8 + 1536 + 16}));
  EXPECT_EQ(dir[14], (Entry{320, 3, 768, 8}));

  const Bitmap back = Read(bytes);
  ASSERT_EQ(back.PixelFormat(), pf8bit);
  EXPECT_EQ(back.Palette(), palette);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 19; ++x) ASSERT_EQ(back.PixelIndex(x, y), source.PixelIndex(x, y));
}

TEST(TiffWriter, FourBitDropsColumnsPastAMultipleOfFour) {
  Bitmap source = Pattern(33, 3, pf4bit);
  const auto bytes = TiffBytes(source);
  EXPECT_EQ(Directory(bytes)[1], (Entry{256, 3, 1, 32}));
  EXPECT_EQ(Directory(bytes)[9], (Entry{279, 4, 1, 16 * 3}));
  const Bitmap back = Read(bytes);
  ASSERT_EQ(back.Width(), 32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(back.Pixel(x, y), source.Pixel(x, y));
}

TEST(TiffWriter, OtherFormatsReadBackAsTheirColours) {
  for (PixelFormat format : {pf1bit, pf15bit, pf16bit, pf32bit}) {
    SCOPED_TRACE(format);
    const Bitmap source = Pattern(13, 4, format);
    const Bitmap back = Read(TiffBytes(source));
    ExpectSamePixels(back, source);
  }
  // A 1-bit bitmap with white at index 0 is a WhiteIsZero file; other
  // colours go into a colour map.
  Bitmap white(9, 2, pf1bit);
  white.SetPalette({clWhite, clBlack});
  white.SetPixelIndex(3, 1, 1);
  auto bytes = TiffBytes(white);
  EXPECT_EQ(Directory(bytes).size(), 14u);
  EXPECT_EQ(Directory(bytes)[5], (Entry{262, 3, 1, 0}));
  ExpectSamePixels(Read(bytes), white);
  white.SetPalette({clRed, clNavy});
  bytes = TiffBytes(white);
  EXPECT_EQ(Directory(bytes)[14], (Entry{320, 3, 6, 8}));
  ExpectSamePixels(Read(bytes), white);
}

TEST(TiffWriter, EmptyBitmapGivesAnEmptyFile) { EXPECT_TRUE(TiffBytes(Bitmap()).empty()); }

// The peers: libtiff's tools accept the files and ImageMagick reads the
// pixels this reader reads.
int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}

TEST(TiffWriter, PeersReadTheWrittenFiles) {
  // A missing peer is a broken test machine, not a pass.
  ASSERT_EQ(Shell("command -v tiffinfo"), 0) << "tiffinfo (libtiff-tools) is not installed";
  ASSERT_EQ(Shell("command -v convert"), 0) << "convert (ImageMagick) is not installed";
  const std::string dir = test::TempDir();
  Bitmap palette8 = Pattern(21, 7, pf8bit);
  for (const auto& [name, source] : std::vector<std::pair<std::string, Bitmap>>{
           {"rgb24", Pattern(21, 7, pf24bit)},
           {"rgb32", Pattern(21, 7, pf32bit)},
           {"pal8", palette8},
           {"pal4", Pattern(20, 7, pf4bit)},
           {"bilevel", Pattern(21, 7, pf1bit)},
       }) {
    SCOPED_TRACE(name);
    const std::string tif = dir + "/" + name + ".tif";
    const std::string png = dir + "/" + name + ".png";
    WriteTiffFile(tif, source);
    // The Software text is written without a terminating zero, which
    // libtiff reports as a warning; anything else is a fault.
    std::string info = Output("tiffinfo -D '" + tif + "'");
    const std::string softwareWarning =
        "TIFFFetchNormalTag: Warning, ASCII value for tag \"Software\" does not end in null byte.";
    if (auto at = info.find(softwareWarning); at != std::string::npos) info.erase(at, softwareWarning.size());
    EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    EXPECT_EQ(info.find("arning"), std::string::npos) << info;
    EXPECT_NE(info.find("Software: Zorbi soft"), std::string::npos) << info;
    EXPECT_EQ(Shell("tiffdump '" + tif + "'"), 0);
    ASSERT_EQ(Shell("convert '" + tif + "' -depth 8 PNG24:'" + png + "'"), 0);
    QImage peer(QString::fromStdString(png));
    ASSERT_FALSE(peer.isNull());
    peer = peer.convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(peer.width(), source.Width());
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x) {
        // A colour map holds channel x 256, which the peer scales by
        // 255 / 65535: 255 reads as 254.
        const QRgb p = peer.pixel(x, y);
        const Color c = source.Pixel(x, y);
        ASSERT_LE(std::abs(qRed(p) - GetRValue(c)), 1) << x << "," << y;
        ASSERT_LE(std::abs(qGreen(p) - GetGValue(c)), 1) << x << "," << y;
        ASSERT_LE(std::abs(qBlue(p) - GetBValue(c)), 1) << x << "," << y;
        if (source.PixelFormat() != pf4bit && source.PixelFormat() != pf8bit) {
          ASSERT_EQ(RGB(qRed(p), qGreen(p), qBlue(p)), c) << x << "," << y;
        }
      }
  }
}

}  // namespace
}  // namespace pixtrel
