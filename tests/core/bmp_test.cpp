#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "core/bitmap.h"
#include "core/bmp_errors.h"
#include "core/errors.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

std::vector<std::uint8_t> Save(const Bitmap& bitmap) {
  MemoryStream stream;
  bitmap.SaveToStream(stream);
  return stream.TakeBytes();
}

Bitmap Load(std::vector<std::uint8_t> bytes) {
  MemoryStream stream(std::move(bytes));
  Bitmap bitmap;
  bitmap.LoadFromStream(stream);
  return bitmap;
}

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A hand-made BMP file.
struct BmpFile {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bits = 24;
  std::uint16_t planes = 1;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;  // 0: the palette's size
  std::uint32_t headerSize = 40;
  std::vector<std::uint32_t> masks;  // after a 40-byte header, inside larger ones
  Palette palette;
  std::vector<std::uint8_t> pixels;
  std::optional<std::uint32_t> offset;

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) {
      out.push_back(static_cast<std::uint8_t>(v));
      out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    u32(0);
    u32(0);
    u32(0);
    u32(headerSize);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    u16(planes);
    u16(bits);
    u32(compression);
    u32(static_cast<std::uint32_t>(pixels.size()));
    u32(0);
    u32(0);
    u32(colorsUsed != 0 ? colorsUsed : static_cast<std::uint32_t>(palette.size()));
    u32(0);
    for (std::uint32_t m : masks) u32(m);
    while (out.size() < 14 + headerSize) out.push_back(0);
    for (Color c : palette) {
      out.push_back(static_cast<std::uint8_t>(GetBValue(c)));
      out.push_back(static_cast<std::uint8_t>(GetGValue(c)));
      out.push_back(static_cast<std::uint8_t>(GetRValue(c)));
      out.push_back(0);
    }
    const std::uint32_t at = offset.value_or(static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), pixels.begin(), pixels.end());
    const std::uint32_t size = static_cast<std::uint32_t>(out.size());
    std::memcpy(out.data() + 2, &size, 4);
    std::memcpy(out.data() + 10, &at, 4);
    return out;
  }
};

Palette Grays(int count) {
  Palette p;
  for (int i = 0; i < count; ++i) p.push_back(RGB(i * 10, i * 10 + 1, i * 10 + 2));
  return p;
}

std::vector<int> Indices(const Bitmap& b, int y) {
  std::vector<int> row;
  for (int x = 0; x < b.Width(); ++x) row.push_back(b.PixelIndex(x, y));
  return row;
}

// Bytes of a row that hold pixels, with the bits past the last pixel cleared.
std::vector<std::uint8_t> UsedBytes(const Bitmap& b, int y) {
  const std::size_t bits = static_cast<std::size_t>(b.Width()) * b.BitCount();
  std::vector<std::uint8_t> row(b.ScanLine(y), b.ScanLine(y) + (bits + 7) / 8);
  if (bits % 8) row.back() &= static_cast<std::uint8_t>(0xFF << (8 - bits % 8));
  return row;
}

TEST(BmpRoundTrip, EveryFormatAndAwkwardWidthSurvivesExactly) {
  std::mt19937 random(7);
  for (PixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    for (int width : {1, 3, 5, 7, 31, 33}) {
      SCOPED_TRACE("format " + std::to_string(format) + " width " + std::to_string(width));
      Bitmap source(width, 3, format);
      if (source.BitCount() <= 8) {
        Palette palette;
        for (int i = 0; i < (1 << source.BitCount()); ++i) palette.push_back(random() & 0xFFFFFF);
        source.SetPalette(palette);
      }
      for (int y = 0; y < 3; ++y)
        for (std::size_t i = 0; i < source.RowStride(); ++i)
          source.ScanLine(y)[i] = static_cast<std::uint8_t>(random());
      const Bitmap copy = Load(Save(source));
      ASSERT_EQ(copy.Width(), width);
      ASSERT_EQ(copy.Height(), 3);
      EXPECT_EQ(copy.PixelFormat(), format);
      EXPECT_EQ(copy.Palette(), source.Palette());
      for (int y = 0; y < 3; ++y) EXPECT_EQ(UsedBytes(copy, y), UsedBytes(source, y)) << "row " << y;
    }
  }
}

TEST(BmpRoundTrip, ShortPaletteKeepsItsLengthAndCoversEveryIndex) {
  Bitmap source(5, 2, pf8bit);
  for (int y = 0; y < 2; ++y) std::memset(source.ScanLine(y), 0, source.RowStride());
  source.SetPalette(Grays(5));
  source.SetPixelIndex(4, 1, 4);
  const auto bytes = Save(source);
  EXPECT_EQ(Read32(bytes, 46), 5u);  // biClrUsed
  Bitmap copy = Load(bytes);
  EXPECT_EQ(copy.Palette(), Grays(5));
  EXPECT_EQ(copy.PixelIndex(4, 1), 4);
  // An index past the palette gets black entries up to it.
  source.SetPixelIndex(0, 0, 9);
  copy = Load(Save(source));
  Palette padded = Grays(5);
  padded.resize(10, clBlack);
  EXPECT_EQ(copy.Palette(), padded);
  EXPECT_EQ(copy.PixelIndex(0, 0), 9);
}

TEST(BmpWriter, WritesExactBytesFor24Bits) {
  Bitmap source(2, 2, pf24bit);
  source.SetPixel(0, 0, RGB(1, 2, 3));
  source.SetPixel(1, 0, RGB(4, 5, 6));
  source.SetPixel(0, 1, RGB(7, 8, 9));
  source.SetPixel(1, 1, RGB(10, 11, 12));
  const std::vector<std::uint8_t> expected = {'B', 'M', 70, 0,  0,  0,  0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                              40,  0,   0,  0,  2,  0,  0, 0, 2, 0, 0,  0, 1, 0,
                                              24,  0,   0,  0,  0,  0,  // size, width, height, planes, bits, BI_RGB
                                              16,  0,   0,  0,  0,  0,  0, 0, 0, 0, 0,  0, 0, 0,
                                              0,   0,   0,  0,  0,  0,         // image size, resolution, colours
                                              9,   8,   7,  12, 11, 10, 0, 0,  // bottom row first, padded
                                              3,   2,   1,  6,  5,  4,  0, 0};
  EXPECT_EQ(Save(source), expected);
}

TEST(BmpWriter, SixteenBitFormatsAndPalettes) {
  const auto pf16 = Save(Bitmap(3, 1, pf16bit));
  EXPECT_EQ(Read32(pf16, 30), 3u);  // BI_BITFIELDS
  EXPECT_EQ(Read32(pf16, 54), 0xF800u);
  EXPECT_EQ(Read32(pf16, 58), 0x07E0u);
  EXPECT_EQ(Read32(pf16, 62), 0x001Fu);
  EXPECT_EQ(Read32(pf16, 10), 66u);
  const auto pf15 = Save(Bitmap(3, 1, pf15bit));
  EXPECT_EQ(Read32(pf15, 30), 0u);  // BI_RGB, 5-5-5 by definition
  EXPECT_EQ(Read32(pf15, 10), 54u);
  const auto pf4 = Save(Bitmap(3, 1, pf4bit));
  EXPECT_EQ(Read32(pf4, 46), 16u);
  EXPECT_EQ(Read32(pf4, 10), 54u + 64u);
}

TEST(BmpWriter, EmptyBitmapRoundTrips) {
  const Bitmap copy = Load(Save(Bitmap(0, 0, pf24bit)));
  EXPECT_TRUE(copy.Empty());
}

// A fuzz finding: a file the reader takes as an 8-bit picture of width 0
// with a short palette; saving it looked for the highest index used in rows
// that have no pixels.
TEST(BmpWriter, ZeroWidthIndexedPictureWithAShortPaletteSaves) {
  const Bitmap loaded =
      Load(ReadFileBytes(std::string(PIXTREL_SOURCE_DIR) + "/tests/crashers/bmp/eight-bit-zero-width-short-palette.bmp"));
  EXPECT_EQ(loaded.Width(), 0);
  EXPECT_EQ(loaded.PixelFormat(), pf8bit);
  const Bitmap copy = Load(Save(loaded));
  EXPECT_EQ(copy.Width(), 0);
  EXPECT_EQ(copy.Height(), loaded.Height());
  for (const PixelFormat format : {pf1bit, pf4bit, pf8bit}) {
    Bitmap narrow(0, 3, format);
    narrow.SetPalette({clRed, clBlue});
    EXPECT_EQ(Load(Save(narrow)).Height(), 3);
  }
}

TEST(BmpWriter, PeerToolReadsWrittenFiles) {
  ASSERT_EQ(std::system("command -v identify >/dev/null 2>&1"), 0) << "ImageMagick's identify is needed";
  for (PixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE("format " + std::to_string(format));
    const std::string path = test::TempDir() + "/peer.bmp";
    Bitmap source(33, 7, format);
    if (source.BitCount() <= 8) {
      source.SetPalette({clBlack, clRed});
      source.SetPixelIndex(2, 3, 1);
    } else {
      source.SetPixel(2, 3, clRed);
    }
    source.SaveToFile(path);
    std::FILE* pipe = popen(("identify -format '%w %h %[pixel:p{2,3}]' '" + path + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char text[256] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, pipe);
    pclose(pipe);
    const std::string out(text, n);
    EXPECT_EQ(out.rfind("33 7 ", 0), 0u) << out;
    EXPECT_TRUE(out.find("(255,0,0)") != std::string::npos || out.find(" red") != std::string::npos) << out;
    EXPECT_EQ(out.find("arning"), std::string::npos) << out;
  }
}

// Reference comparison: refs with an alpha channel are compared on their
// colour channels (the reader keeps alpha out of the colour), the others
// composited on white.
test::PixelDifference CompareWithReference(const Bitmap& bitmap, const test::CorpusEntry& entry) {
  const QImage raw(QString::fromStdString(entry.RefPath()));
  if (!raw.hasAlphaChannel()) return test::Compare(bitmap, test::LoadReference(entry));
  test::PixelDifference d;
  if (raw.width() != bitmap.Width() || raw.height() != bitmap.Height()) return d;
  d.sizeMatches = true;
  const QImage ref = raw.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < ref.height(); ++y)
    for (int x = 0; x < ref.width(); ++x) {
      const QRgb r = ref.pixel(x, y);
      const Color c = bitmap.Pixel(x, y);
      for (int delta :
           {std::abs(GetRValue(c) - qRed(r)), std::abs(GetGValue(c) - qGreen(r)), std::abs(GetBValue(c) - qBlue(r))})
        d.maxChannelDelta = std::max(d.maxChannelDelta, delta);
    }
  return d;
}

// Where a reference differs from a correct decoding, the largest channel
// difference allowed and why.
struct KnownDifference {
  const char* path;
  int tolerance;
};
const KnownDifference kKnownDifferences[] = {
    // Bitmap expands 5- and 6-bit channels by bit replication (26 -> 214),
    // the reference renderer by truncated v * 255 / 31 (26 -> 213).
    {"bmp/bmpsuite-g-rgb16-565pal.bmp", 1},
    {"bmp/gen-16bpp-555-castle.bmp", 1},
    {"bmp/gen-16bpp-565-hopper.bmp", 1},
    // Unusual masks: the reference left-aligns a narrow channel in 8 bits
    // without filling the low bits (4-bit 15 -> 240, 1-bit 1 -> 128); the
    // reader scales each channel to the full range (15 -> 255, 1 -> 255).
    {"bmp/rs-V3_X4_R4_G4_B4.bmp", 15},
    {"bmp/rs-V3_X4_R4_G4_B4_Top_Down.bmp", 15},
    {"bmp/rs-rgba16-1924.bmp", 127},
    {"bmp/rs-rgba32-61754.bmp", 8},
};

int Tolerance(const test::CorpusEntry& entry) {
  for (const auto& known : kKnownDifferences)
    if (entry.path == known.path) return known.tolerance;
  return 0;
}

// ImageMagick's rendering of a corpus file; a null image when it failed.
QImage PeerRendering(const test::CorpusEntry& entry) {
  EXPECT_EQ(std::system("command -v convert >/dev/null 2>&1"), 0) << "ImageMagick's convert is needed";
  const std::string out = test::TempDir() + "/peer.png";
  if (std::system(("convert '" + entry.FullPath() + "' 'PNG24:" + out + "' 2>/dev/null").c_str()) != 0) return {};
  return QImage(QString::fromStdString(out));
}

// The corpus rows of one expectation; fails when there are none, so that a
// missing corpus cannot pass.
std::vector<test::CorpusEntry> BmpEntries(const std::string& expected) {
  std::vector<test::CorpusEntry> entries;
  for (auto& entry : test::CorpusEntries("bmp"))
    if (entry.expected == expected) entries.push_back(std::move(entry));
  EXPECT_FALSE(entries.empty()) << "no \"" << expected << "\" rows for bmp in " << test::CorpusDir();
  return entries;
}

TEST(BmpCorpus, DecodableFilesMatchTheirReferences) {
  int exact = 0;
  int withinKnownDifference = 0;
  const auto entries = BmpEntries("decodes");
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.path);
    Bitmap bitmap;
    try {
      bitmap.LoadFromFile(entry.FullPath());
    } catch (const Exception& e) {
      ADD_FAILURE() << "threw " << e.Message();
      continue;
    }
    EXPECT_EQ(bitmap.Width(), entry.width);
    EXPECT_EQ(bitmap.Height(), entry.height);
    if (entry.path == "bmp/bmpsuite-g-pal4rle.bmp") {
      // The reference drops the last pixel of every odd-length RLE4
      // absolute run, shifting the rest of the row; ImageMagick does not.
      const QImage peer = PeerRendering(entry);
      ASSERT_FALSE(peer.isNull()) << "ImageMagick could not render it";
      const auto d = test::Compare(bitmap, peer);
      EXPECT_TRUE(d.sizeMatches);
      EXPECT_EQ(d.maxChannelDelta, 0) << "against ImageMagick";
      if (d.sizeMatches && d.maxChannelDelta == 0) ++exact;
      continue;
    }
    const auto d = CompareWithReference(bitmap, entry);
    const int tolerance = Tolerance(entry);
    EXPECT_TRUE(d.sizeMatches);
    EXPECT_LE(d.maxChannelDelta, tolerance);
    if (tolerance > 0) {
      EXPECT_GT(d.maxChannelDelta, 0) << "now exact: drop it from kKnownDifferences";
    }
    if (d.sizeMatches && d.maxChannelDelta == 0) ++exact;
    if (d.sizeMatches && d.maxChannelDelta > 0 && d.maxChannelDelta <= tolerance) ++withinKnownDifference;
  }
  std::printf("[ bmp      ] decodable files: %d exact, %d within a known difference\n", exact, withinKnownDifference);
  EXPECT_EQ(exact + withinKnownDifference, static_cast<int>(entries.size()));
  EXPECT_EQ(withinKnownDifference, static_cast<int>(std::size(kKnownDifferences)));
}

TEST(BmpCorpus, BrokenFilesFailCleanlyAndLeaveTargetAlone) {
  for (const auto& entry : BmpEntries("must-fail")) {
    SCOPED_TRACE(entry.path);
    Bitmap target(2, 1, pf24bit);
    target.SetPixel(1, 0, clRed);
    EXPECT_THROW(target.LoadFromFile(entry.FullPath()), Exception);
    EXPECT_EQ(target.Width(), 2);
    EXPECT_EQ(target.PixelFormat(), pf24bit);
    EXPECT_EQ(target.Pixel(1, 0), clRed);
  }
}

// Damaged or unusual files: each gives a picture of its stated width or one
// of the reader's own errors, never anything else. Which of the two, and
// the picture's pixels, the golden table pins.
TEST(BmpCorpus, QuestionableFilesGiveAPictureOrTheReadersOwnError) {
  int pictures = 0;
  int errors = 0;
  const auto entries = BmpEntries("partial");
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.path);
    Bitmap bitmap;
    try {
      bitmap.LoadFromFile(entry.FullPath());
    } catch (const Exception& e) {
      ++errors;
      EXPECT_EQ(e.Code().rfind("bmp.", 0), 0u) << e.Code();
      EXPECT_STREQ(e.what(), kBmpInvalidText);
      continue;
    }
    ++pictures;
    EXPECT_EQ(bitmap.Width(), entry.width);
    EXPECT_EQ(bitmap.Height(), entry.height);
  }
  EXPECT_EQ(pictures + errors, static_cast<int>(entries.size()));
  // Most of these are pictures a lenient reader shows; the few refused are
  // the JPEG payload, the top-down RLE and the file cut short.
  EXPECT_GT(pictures, errors);
}

// Every corpus file through the reader: size, format, palette and a hash of
// the pixels, or the error's code.
TEST(BmpCorpus, GoldenTable) {
  std::string table;
  const auto entries = test::CorpusEntries("bmp");
  ASSERT_FALSE(entries.empty());
  for (const auto& entry : entries)
    table += test::GoldenLine(entry.path, [&](Bitmap& b) { b.LoadFromFile(entry.FullPath()); }) + "\n";
  test::CheckGoldenTable("tests/core/bmp_golden.tsv", table);
}

TEST(BmpReader, HugeHeaderFailsBeforeAllocating) {
  BmpFile file;
  file.width = 100000;
  file.height = 100000;
  file.pixels.assign(16, 0);
  MemoryStream stream(file.Bytes());
  Bitmap target(1, 1, pf24bit);
  EXPECT_THROW(target.LoadFromStream(stream), EImageTooLarge);
  EXPECT_EQ(target.Width(), 1);
}

TEST(BmpReader, ReadsFromTheStreamsPositionAndStopsAfterThePixels) {
  Bitmap source(3, 2, pf24bit);
  source.SetPixel(2, 1, clBlue);
  auto bytes = Save(source);
  const std::size_t fileSize = bytes.size();
  bytes.insert(bytes.begin(), {'j', 'u', 'n', 'k'});
  bytes.insert(bytes.end(), {'t', 'a', 'i', 'l'});
  MemoryStream stream(std::move(bytes));
  stream.Seek(4);
  Bitmap copy;
  copy.LoadFromStream(stream);
  EXPECT_EQ(copy.Pixel(2, 1), clBlue);
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(4 + fileSize));
}

TEST(BmpReader, Rle8RunsEscapesAndClipping) {
  BmpFile file;
  file.width = 4;
  file.height = 3;
  file.bits = 8;
  file.compression = 1;
  file.palette = Grays(8);
  file.pixels = {6, 1, 0, 0,        // bottom row: a run of 6 cut to 4, end of line
                 0, 3, 2, 3, 4, 0,  // absolute run of 3 with its pad byte
                 0, 2, 0, 1,        // delta: up one row
                 1, 5, 0, 1,        // one pixel, end of bitmap
                 9, 9};             // ignored
  const Bitmap b = Load(file.Bytes());
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(Indices(b, 2), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(Indices(b, 1), (std::vector<int>{2, 3, 4, 0}));
  EXPECT_EQ(Indices(b, 0), (std::vector<int>{0, 0, 0, 5}));
}

TEST(BmpReader, Rle4NibblesAndPadding) {
  BmpFile file;
  file.width = 5;
  file.height = 3;
  file.bits = 4;
  file.compression = 2;
  file.palette = Grays(16);
  file.pixels = {5, 0x12, 0,    0,                    // 1 2 1 2 1
                 0, 5,    0x34, 0x56, 0x70, 0, 0, 0,  // absolute 5 nibbles, 3 bytes + pad
                 0, 3,    0x89, 0xA0,                 // absolute 3 nibbles, no pad
                 4, 0xBC, 0,    1};                   // run cut to the 2 pixels left
  const Bitmap b = Load(file.Bytes());
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(Indices(b, 2), (std::vector<int>{1, 2, 1, 2, 1}));
  EXPECT_EQ(Indices(b, 1), (std::vector<int>{3, 4, 5, 6, 7}));
  EXPECT_EQ(Indices(b, 0), (std::vector<int>{8, 9, 10, 11, 12}));
}

TEST(BmpReader, RleEndingEarlyKeepsWhatWasDecoded) {
  BmpFile file;
  file.width = 4;
  file.height = 2;
  file.bits = 8;
  file.compression = 1;
  file.palette = Grays(10);
  file.pixels = {4, 7, 0, 0, 2, 9, 0, 4, 3};  // the absolute run is cut short
  const Bitmap b = Load(file.Bytes());
  EXPECT_EQ(Indices(b, 1), (std::vector<int>{7, 7, 7, 7}));
  EXPECT_EQ(Indices(b, 0), (std::vector<int>{9, 9, 3, 0}));
}

TEST(BmpReader, TruncatedRowsAreKeptAndTheRestIsZero) {
  BmpFile file;
  file.width = 2;
  file.height = 3;
  file.bits = 8;
  file.palette = Grays(4);
  file.pixels = {1, 2, 0, 0, 3, 4, 0, 0, 5};  // two rows and one pixel of the third
  const Bitmap b = Load(file.Bytes());
  EXPECT_EQ(Indices(b, 2), (std::vector<int>{1, 2}));
  EXPECT_EQ(Indices(b, 1), (std::vector<int>{3, 4}));
  EXPECT_EQ(Indices(b, 0), (std::vector<int>{5, 0}));
  // Less than half of the pixel data is not a picture.
  file.pixels.resize(5);
  EXPECT_THROW(Load(file.Bytes()), EInvalidGraphic);
}

TEST(BmpReader, PaletteCountsAndOffsets) {
  BmpFile file;
  file.width = 4;
  file.height = 1;
  file.bits = 8;
  file.colorsUsed = 2;
  file.palette = Grays(2);
  file.pixels = {0, 1, 7, 255};
  {
    SCOPED_TRACE("indices past a short palette read black");
    const Bitmap b = Load(file.Bytes());
    EXPECT_EQ(b.Palette().size(), 2u);
    EXPECT_EQ(b.Pixel(1, 0), Grays(2)[1]);
    EXPECT_EQ(b.Pixel(3, 0), clBlack);
  }
  {
    SCOPED_TRACE("an offset inside the palette falls back to its end");
    BmpFile bad = file;
    bad.offset = 54;
    EXPECT_EQ(Indices(Load(bad.Bytes()), 0), (std::vector<int>{0, 1, 7, 255}));
    bad.offset = 100000;
    EXPECT_EQ(Indices(Load(bad.Bytes()), 0), (std::vector<int>{0, 1, 7, 255}));
  }
  {
    SCOPED_TRACE("an offset past a gap is honoured");
    BmpFile gap = file;
    gap.pixels.insert(gap.pixels.begin(), {0xEE, 0xEE, 0xEE, 0xEE});
    gap.offset = 14 + 40 + 8 + 4;
    EXPECT_EQ(Indices(Load(gap.Bytes()), 0), (std::vector<int>{0, 1, 7, 255}));
  }
  {
    SCOPED_TRACE("more colours than the bit count holds are cut");
    BmpFile big = file;
    big.bits = 1;
    big.colorsUsed = 3;
    big.palette = Grays(3);
    big.pixels = {0x40, 0, 0, 0};
    const Bitmap b = Load(big.Bytes());
    EXPECT_EQ(b.Palette(), Grays(2));
    EXPECT_EQ(Indices(b, 0), (std::vector<int>{0, 1, 0, 0}));
  }
}

TEST(BmpReader, BitfieldMasks) {
  {
    SCOPED_TRACE("4-4-4 becomes pf24bit");
    BmpFile file;
    file.width = 2;
    file.bits = 16;
    file.compression = 3;
    file.masks = {0xF00, 0xF0, 0xF};
    file.pixels = {0x00, 0x0F, 0x23, 0x01};
    const Bitmap b = Load(file.Bytes());
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.Pixel(0, 0), clRed);
    EXPECT_EQ(b.Pixel(1, 0), RGB(17, 34, 51));
  }
  {
    SCOPED_TRACE("5-5-5 and 5-6-5 masks keep their words");
    BmpFile file;
    file.width = 1;
    file.bits = 16;
    file.compression = 3;
    file.masks = {0x7C00, 0x3E0, 0x1F};
    file.pixels = {0x34, 0x92, 0, 0};
    Bitmap b = Load(file.Bytes());
    EXPECT_EQ(b.PixelFormat(), pf15bit);
    EXPECT_EQ(b.ScanLine(0)[1], 0x92);
    file.masks = {0xF800, 0x7E0, 0x1F};
    b = Load(file.Bytes());
    EXPECT_EQ(b.PixelFormat(), pf16bit);
    EXPECT_EQ(b.ScanLine(0)[0], 0x34);
  }
  {
    SCOPED_TRACE("10-10-10-2 in a version 5 header becomes pf32bit with alpha");
    BmpFile file;
    file.headerSize = 124;
    file.width = 1;
    file.bits = 32;
    file.compression = 3;
    file.masks = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000};
    const std::uint32_t v = (2u << 30) | (1023u << 20) | (512u << 10);
    file.pixels = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                   static_cast<std::uint8_t>(v >> 24)};
    const Bitmap b = Load(file.Bytes());
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    const std::uint8_t* p = b.ScanLine(0);
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{0, 128, 255, 170}));
  }
  {
    SCOPED_TRACE("BI_ALPHABITFIELDS after a 40-byte header");
    BmpFile file;
    file.width = 1;
    file.bits = 32;
    file.compression = 6;
    file.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    file.pixels = {1, 2, 3, 4};
    const Bitmap b = Load(file.Bytes());
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_EQ(b.ScanLine(0)[3], 4);
    EXPECT_EQ(b.Pixel(0, 0), RGB(3, 2, 1));
  }
}

TEST(BmpReader, DamagedHeadersFailAndLeaveTargetAlone) {
  BmpFile good;
  good.width = 2;
  good.height = 2;
  good.pixels.assign(16, 0x55);
  ASSERT_NO_THROW(Load(good.Bytes()));
  struct Case {
    const char* name;
    BmpError error;
    void (*damage)(BmpFile&);
  };
  const Case cases[] = {
      {"header size 66", BmpError::BadHeaderSize, [](BmpFile& f) { f.headerSize = 66; }},
      {"two planes", BmpError::BadPlaneCount, [](BmpFile& f) { f.planes = 2; }},
      {"bit count 3", BmpError::BadBitCount, [](BmpFile& f) { f.bits = 3; }},
      {"negative width", BmpError::NegativeWidth, [](BmpFile& f) { f.width = -2; }},
      {"BI_JPEG", BmpError::UnsupportedCompression, [](BmpFile& f) { f.compression = 4; }},
      {"BI_PNG", BmpError::UnsupportedCompression, [](BmpFile& f) { f.compression = 5; }},
      {"RLE8 at 24 bits", BmpError::BadBitCount, [](BmpFile& f) { f.compression = 1; }},
      {"top-down RLE8", BmpError::TopDownRle,
       [](BmpFile& f) {
         f.bits = 8;
         f.compression = 1;
         f.height = -2;
         f.palette = Grays(2);
       }},
      {"OS/2 Huffman", BmpError::UnsupportedCompression,
       [](BmpFile& f) { f.headerSize = 64, f.bits = 1, f.compression = 3; }},
      {"no pixel data", BmpError::NoPixelData, [](BmpFile& f) { f.pixels.clear(); }},
      {"palette past the end", BmpError::PaletteCutOff,
       [](BmpFile& f) {
         f.bits = 8;
         f.colorsUsed = 200;
         f.pixels.clear();
       }},
      {"masks past the end", BmpError::MasksCutOff,
       [](BmpFile& f) {
         f.bits = 16;
         f.compression = 6;
         f.pixels.clear();
         f.masks = {0x7C00, 0x3E0};
       }},
      {"less than half of the pixels", BmpError::PixelDataTooShort, [](BmpFile& f) { f.pixels.resize(7); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpFile file = good;
    c.damage(file);
    Bitmap target(1, 1, pf4bit);
    target.SetPixelIndex(0, 0, 9);
    MemoryStream stream(file.Bytes());
    try {
      target.LoadFromStream(stream);
      ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Code(), BmpErrorInfo(c.error).code);
      EXPECT_STREQ(e.what(), "Bitmap image is not valid");
    }
    EXPECT_EQ(target.PixelFormat(), pf4bit);
    EXPECT_EQ(target.PixelIndex(0, 0), 9);
  }
  auto codeOf = [](std::vector<std::uint8_t> bytes) {
    try {
      Load(std::move(bytes));
    } catch (const EInvalidGraphic& e) {
      return e.Code();
    }
    return std::string("no error");
  };
  auto bytes = good.Bytes();
  bytes[1] = 'A';
  EXPECT_EQ(codeOf(bytes), "bmp.NotABitmap");
  EXPECT_EQ(codeOf({'B', 'M', 0}), "bmp.NotABitmap");
  bytes = good.Bytes();
  bytes.resize(14 + 20);
  EXPECT_EQ(codeOf(bytes), "bmp.HeaderCutOff");
}

TEST(BmpErrors, OneRowPerFailureWithItsOwnCode) {
  std::set<std::string> codes;
  for (std::size_t i = 0; i < std::size(kBmpErrors); ++i) {
    const BmpErrorRow& row = kBmpErrors[i];
    SCOPED_TRACE(row.code);
    EXPECT_EQ(static_cast<std::size_t>(row.error), i) << "rows follow the enum";
    EXPECT_TRUE(codes.insert(row.code).second) << "code used twice";
    EXPECT_EQ(std::string(row.code).rfind("bmp.", 0), 0u);
    try {
      ThrowBmpError(row.error);
    } catch (const Exception& e) {
      EXPECT_EQ(e.Code(), row.code);
      EXPECT_EQ(e.Message(), row.text);
      const bool tooLarge = dynamic_cast<const EImageTooLarge*>(&e) != nullptr;
      EXPECT_EQ(tooLarge, row.error == BmpError::FileTooLarge);
      EXPECT_EQ(dynamic_cast<const EInvalidGraphic*>(&e) != nullptr, !tooLarge);
    }
  }
}

TEST(BmpErrors, FileErrorsKeepThePathInTheTextAndTheContext) {
  const std::string missing = test::TempDir() + "/no such.bmp";
  Bitmap target;
  try {
    target.LoadFromFile(missing);
    ADD_FAILURE() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + missing + "\"");
    EXPECT_EQ(e.Code(), "core.FOpenError");
    EXPECT_EQ(e.Context(), missing);
  }
  const std::string unwritable = test::TempDir() + "/no such folder/out.bmp";
  try {
    Bitmap(1, 1, pf24bit).SaveToFile(unwritable);
    ADD_FAILURE() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + unwritable + "\"");
    EXPECT_EQ(e.Code(), "core.FCreateError");
    EXPECT_EQ(e.Context(), unwritable);
  }
  EXPECT_EQ(EReadError().Code(), "core.ReadError");
  EXPECT_EQ(EWriteError().Code(), "core.WriteError");
  EXPECT_EQ(EInvalidGraphic().Code(), "core.InvalidGraphic");
  EXPECT_EQ(EImageTooLarge().Code(), "core.ImageTooLarge");
}

TEST(BmpReader, TwoBitFilesBecomeFourBit) {
  BmpFile file;
  file.width = 5;
  file.bits = 2;
  file.palette = Grays(4);
  file.pixels = {0b00011011, 0b10000000, 0, 0};
  const Bitmap b = Load(file.Bytes());
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(b.Palette(), Grays(4));
  EXPECT_EQ(Indices(b, 0), (std::vector<int>{0, 1, 2, 3, 2}));
}

}  // namespace
}  // namespace pixtrel
