#include "codecs/tiff/read_tiff.h"

#include <gtest/gtest.h>

#include <set>

#include "codecs/tiff/tiff_errors.h"
#include "codecs/tiff/tiff_tags.h"
#include "core/scripted_interaction.h"
#include "tiff_builder.h"

namespace pixtrel {
namespace {

using test::StripImageEntries;
using test::TiffBuilder;
using test::TiffTestEntry;

// A marker picture the reader must leave alone when nothing decodes.
Bitmap Marker() {
  Bitmap b(2, 3, pf24bit);
  b.Fill(clRed);
  return b;
}

struct Outcome {
  Bitmap bitmap = Marker();
  std::vector<std::string> messages;
  bool Untouched() const { return bitmap.Width() == 2 && bitmap.Height() == 3 && bitmap.Pixel(1, 2) == clRed; }
};

Outcome Read(const std::vector<std::uint8_t>& bytes, std::int64_t pixelLimit = kDefaultMaxPixels) {
  ScriptedInteraction script;
  Outcome outcome;
  ReadTiffBytes(bytes, "x.tif", outcome.bitmap, script, pixelLimit);
  outcome.messages = script.messages;
  return outcome;
}

// An 8-bit greyscale image of width x height whose pixel (x, y) is seed + x + 16y.
std::vector<std::uint8_t> GreyFile(bool bigEndian, int width, int height, int seed,
                                   std::vector<TiffTestEntry> extra = {}) {
  TiffBuilder b(bigEndian);
  std::vector<std::uint8_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(static_cast<std::uint8_t>(seed + x + 16 * y));
  const auto at = b.Append(pixels);
  auto entries = StripImageEntries(width, height, 8, 1, at, static_cast<std::uint32_t>(pixels.size()));
  entries.insert(entries.end(), extra.begin(), extra.end());
  b.AddDirectory(entries);
  return b.bytes;
}

// Replaces (or drops, when values is empty) an entry of a list.
std::vector<TiffTestEntry> With(std::vector<TiffTestEntry> entries, std::uint16_t tag, std::uint16_t type,
                                std::vector<std::uint32_t> values) {
  std::erase_if(entries, [&](const TiffTestEntry& e) { return e.tag == tag; });
  if (!values.empty()) entries.push_back({tag, type, std::move(values)});
  return entries;
}

std::vector<std::uint8_t> Single(std::vector<TiffTestEntry> entries, const std::vector<std::uint8_t>& data,
                                 bool bigEndian = false) {
  TiffBuilder b(bigEndian);
  const auto at = b.Append(data);
  for (auto& e : entries)
    if (e.tag == 273 && e.values.size() == 1 && e.values[0] == 0) e.values[0] = at;
  b.AddDirectory(entries);
  return b.bytes;
}

TEST(TiffReader, DecodesGreyscaleWithItsRamp) {
  const Outcome o = Read(GreyFile(false, 5, 3, 10));
  EXPECT_TRUE(o.messages.empty());
  ASSERT_EQ(o.bitmap.Width(), 5);
  ASSERT_EQ(o.bitmap.Height(), 3);
  EXPECT_EQ(o.bitmap.PixelFormat(), pf8bit);
  EXPECT_EQ(o.bitmap.PixelIndex(4, 2), 10 + 4 + 32);
  EXPECT_EQ(o.bitmap.Pixel(4, 2), RGB(46, 46, 46));
}

TEST(TiffReader, BigEndianDecodesLikeLittleEndian) {
  const Outcome le = Read(GreyFile(false, 7, 4, 3));
  const Outcome be = Read(GreyFile(true, 7, 4, 3));
  ASSERT_EQ(be.bitmap.Width(), 7);
  EXPECT_TRUE(be.messages.empty());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(be.bitmap.Pixel(x, y), le.bitmap.Pixel(x, y));
}

TEST(TiffReader, FourBitWhiteIsZeroShowsZeroWhiteAndFifteenBlack) {
  // Two pixels per byte, 0 then 15; width 3 leaves a padding nibble.
  const std::vector<std::uint8_t> rows = {0x0F, 0x70, 0xF0, 0x00};
  auto entries = StripImageEntries(3, 2, 4, 0, 0, 4);
  const Outcome o = Read(Single(entries, rows));
  ASSERT_EQ(o.bitmap.PixelFormat(), pf4bit);
  EXPECT_EQ(o.bitmap.Pixel(0, 0), clWhite);
  EXPECT_EQ(o.bitmap.Pixel(1, 0), clBlack);
  EXPECT_EQ(o.bitmap.Pixel(2, 0), RGB(136, 136, 136));  // sample 7: grey of 15 - 7
  EXPECT_EQ(o.bitmap.Pixel(0, 1), clBlack);
}

TEST(TiffReader, BilevelFollowsPhotometricAndBitsPerSampleMayBeMissing) {
  const std::vector<std::uint8_t> rows = {0xA0, 0x50};
  for (std::uint32_t photometric : {0u, 1u}) {
    SCOPED_TRACE(photometric);
    auto entries = With(StripImageEntries(3, 2, 1, photometric, 0, 2), 258, 3, {});
    const Outcome o = Read(Single(entries, rows));
    ASSERT_EQ(o.bitmap.PixelFormat(), pf1bit);
    const Color one = photometric == 0 ? clBlack : clWhite;
    const Color zero = photometric == 0 ? clWhite : clBlack;
    EXPECT_EQ(o.bitmap.Pixel(0, 0), one);
    EXPECT_EQ(o.bitmap.Pixel(1, 0), zero);
    EXPECT_EQ(o.bitmap.Pixel(1, 1), one);
  }
}

TEST(TiffReader, PaletteTakesHighBytesOfTheColorMap) {
  TiffBuilder b;
  const auto at = b.Append({0, 1, 1, 0});
  auto entries = StripImageEntries(2, 2, 8, 3, at, 4);
  entries.push_back({320, 3, {0x1234, 0xFF00, 0x0000, 0xAB00, 0x00FF, 0x8080}});  // R R G G B B
  b.AddDirectory(entries);
  const Outcome o = Read(b.bytes);
  EXPECT_TRUE(o.messages.empty());
  ASSERT_EQ(o.bitmap.PixelFormat(), pf8bit);
  EXPECT_EQ(o.bitmap.Pixel(0, 0), RGB(0x12, 0x00, 0x00));
  EXPECT_EQ(o.bitmap.Pixel(1, 0), RGB(0xFF, 0xAB, 0x80));
}

TEST(TiffReader, RgbSwapsToBlueGreenRedAcrossStripsAndShortArrays) {
  // 3 x 5 RGB in strips of 2 rows (the last strip holds one), row length 9.
  TiffBuilder b;
  std::vector<std::uint32_t> offsets, counts;
  for (int strip = 0; strip < 3; ++strip) {
    std::vector<std::uint8_t> data;
    for (int y = 2 * strip; y < std::min(5, 2 * strip + 2); ++y)
      for (int x = 0; x < 3; ++x) data.insert(data.end(), {std::uint8_t(10 * y), std::uint8_t(x), 200});
    offsets.push_back(b.Append(data));
    counts.push_back(static_cast<std::uint32_t>(data.size()));
  }
  b.AddDirectory({{256, 3, {3}},
                  {257, 3, {5}},
                  {258, 3, {8, 8, 8}},
                  {259, 3, {1}},
                  {262, 3, {2}},
                  {273, 4, offsets},
                  {278, 3, {2}},
                  {279, 3, counts}});  // SHORT counts
  const Outcome o = Read(b.bytes);
  EXPECT_TRUE(o.messages.empty());
  ASSERT_EQ(o.bitmap.PixelFormat(), pf24bit);
  ASSERT_EQ(o.bitmap.Height(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(o.bitmap.Pixel(x, y), RGB(10 * y, x, 200));
}

TEST(TiffReader, RowsPerStripBeyondTheImageMeansOneStrip) {
  auto entries = With(StripImageEntries(4, 3, 8, 1, 0, 12), 278, 4, {0xFFFFFFFF});
  const Outcome big = Read(Single(entries, std::vector<std::uint8_t>(12, 77)));
  EXPECT_TRUE(big.messages.empty());
  EXPECT_EQ(big.bitmap.Pixel(3, 2), RGB(77, 77, 77));
}

TEST(TiffReader, SeveralDirectoriesLeaveTheLastDecodable) {
  TiffBuilder b;
  for (int page = 0; page < 3; ++page) {
    const auto at = b.Append(std::vector<std::uint8_t>(4, static_cast<std::uint8_t>(50 * page)));
    b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  }
  // A fourth page of 16-bit grey is skipped without a message.
  const auto at = b.Append(std::vector<std::uint8_t>(8, 0));
  b.AddDirectory(StripImageEntries(2, 2, 16, 1, at, 8));
  const Outcome o = Read(b.bytes);
  EXPECT_TRUE(o.messages.empty());
  EXPECT_EQ(o.bitmap.Pixel(1, 1), RGB(100, 100, 100));
}

TEST(TiffReader, MissingPhotometricInTheFirstDirectoryStopsEverything) {
  TiffBuilder b;
  auto at = b.Append({1, 2, 3, 4});
  b.AddDirectory(With(StripImageEntries(2, 2, 8, 1, at, 4), 262, 3, {}));
  at = b.Append({1, 2, 3, 4});
  b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  const Outcome o = Read(b.bytes);
  EXPECT_EQ(o.messages, std::vector<std::string>{"Error reading tag Photometric interpretation"});
  EXPECT_TRUE(o.Untouched());
}

TEST(TiffReader, UnknownPhotometricShowsItsValueAndStops) {
  TiffBuilder b;
  auto at = b.Append({1, 2, 3, 4});
  b.AddDirectory(StripImageEntries(2, 2, 8, 5, at, 4));
  b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  const Outcome o = Read(b.bytes);
  EXPECT_EQ(o.messages, std::vector<std::string>{"Error evaluating Photometric interpretation: 5"});
  EXPECT_TRUE(o.Untouched());
}

TEST(TiffReader, FailingDirectoryShowsItsMessageAndTheNextOneStillDecodes) {
  TiffBuilder b;
  auto at = b.Append({9, 9, 9, 9});
  b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  b.AddDirectory(With(StripImageEntries(2, 2, 8, 1, at, 4), 259, 3, {5}));
  const Outcome o = Read(b.bytes);
  EXPECT_EQ(o.messages, std::vector<std::string>{"Cant read compressed Gray Scale Image"});
  EXPECT_EQ(o.bitmap.Pixel(0, 0), RGB(9, 9, 9));
}

TEST(TiffReader, ChecksEachDecoderInOrder) {
  struct Case {
    const char* name;
    std::uint32_t photometric, bits;
    std::uint16_t tag;                  // entry changed
    std::vector<std::uint32_t> values;  // empty: entry removed
    const char* message;
  };
  const Case cases[] = {
      {"bilevel width", 1, 1, 256, {}, "Error reading tag Image Width"},
      {"bilevel height", 1, 1, 257, {}, "Error reading tag Image Height"},
      {"bilevel compression", 1, 1, 259, {}, "Error reading tag Compression"},
      {"bilevel compressed", 0, 1, 259, {4}, "Cant read compressed bilevel image"},
      {"grey compressed", 1, 8, 259, {32773}, "Cant read compressed Gray Scale Image"},
      {"palette compressed", 3, 8, 259, {5}, "Cant read compressed ColorPaletImage"},
      {"palette bits", 3, 8, 258, {}, "Error reading tag Bits Per Sample"},
      {"palette map", 3, 8, 320, {}, "Error reading tag Color Table Offset"},
      {"palette 2-bit", 3, 2, 258, {2}, "Error: Bits Per Sample (Palette) not 1, 4 or 8"},
      {"rgb compressed", 2, 8, 259, {5}, "Cant read compressed RGB Full Color Image"},
      {"rgb bits", 2, 8, 258, {}, "Error reading tag Bits Per Sample"},
      {"rgb 16", 2, 8, 258, {16, 16, 16}, "Error: Bits Per Sample (RGB) not 8"},
      {"rgb one 16", 2, 8, 258, {16}, "Error: Bits Per Sample (RGB) not 8"},
      {"no rows per strip", 1, 8, 278, {}, "Error reading image data"},
      {"zero rows per strip", 1, 8, 278, {0}, "Error reading image data"},
      {"no strips", 1, 8, 273, {}, "Error reading image data"},
      {"strip counts differ", 1, 8, 279, {40, 40}, "Error reading image data"},
      {"strip too short", 1, 8, 279, {10}, "Error reading image data"},
      {"strip past the file", 1, 8, 279, {100000}, "Error reading image data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto entries = StripImageEntries(4, 3, c.bits, c.photometric, 0, 12);
    if (c.photometric == 3) entries.push_back({320, 3, std::vector<std::uint32_t>(3 << c.bits, 0)});
    if (c.photometric == 2) entries = With(entries, 279, 4, {36});
    const std::uint16_t type = c.tag == 279 || c.tag == 278 ? 4 : 3;
    entries = With(entries, c.tag, type, c.values);
    const Outcome o = Read(Single(entries, std::vector<std::uint8_t>(36, 1)));
    EXPECT_EQ(o.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(o.Untouched());
  }
}

TEST(TiffReader, InvalidHeaderNamesTheFile) {
  for (const std::vector<std::uint8_t>& bytes :
       {std::vector<std::uint8_t>{'I', 'I', 42}, std::vector<std::uint8_t>{'I', 'M', 42, 0, 8, 0, 0, 0},
        std::vector<std::uint8_t>{'I', 'I', 43, 0, 8, 0, 0, 0}}) {
    const Outcome o = Read(bytes);
    EXPECT_EQ(o.messages, std::vector<std::string>{"<x.tif> is not a valid TIFF file"});
    EXPECT_TRUE(o.Untouched());
  }
  ScriptedInteraction script;
  Bitmap target = Marker();
  ReadTiffFile("/nonexistent/missing.tif", target, script);
  EXPECT_EQ(script.messages, std::vector<std::string>{"</nonexistent/missing.tif> is not a valid TIFF file"});
}

// The messages go to the interaction passed in.
TEST(TiffReader, ShowsThroughTheInteractionGiven) {
  ScriptedInteraction given;
  Bitmap target = Marker();
  ReadTiffBytes(std::vector<std::uint8_t>{'I', 'I'}, "y.tif", target, given);
  EXPECT_EQ(given.messages, std::vector<std::string>{"<y.tif> is not a valid TIFF file"});
}

TEST(TiffReader, EveryMessageHasItsOwnCode) {
  std::set<std::string> codes;
  for (int i = 0; i <= static_cast<int>(TiffMessage::TooManyDirectories); ++i) {
    const std::string code = TiffMessageCode(static_cast<TiffMessage>(i));
    EXPECT_TRUE(code.starts_with("tiff.")) << code;
    EXPECT_TRUE(codes.insert(code).second) << code;
  }
  EXPECT_EQ("Error evaluating Photometric interpretation: 32844",
            TiffMessageText(TiffMessage::EvaluatingPhotometric, "32844"));
  EXPECT_EQ("<a{}b.tif> is not a valid TIFF file", TiffMessageText(TiffMessage::NotValidTiff, "a{}b.tif"));
  EXPECT_EQ("tiff.TooManyDirectories", ETiffTooManyDirectories().Code());
  EXPECT_EQ("TIFF file has too many image file directories", ETiffTooManyDirectories().Message());
}

TEST(TiffReader, DirectoryChainThatLoopsEnds) {
  TiffBuilder b;
  const auto at = b.Append({5, 6, 7, 8});
  const auto first = b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  b.SetLastNext(first);
  FileTiff file;
  file.SetBytes(b.bytes);
  EXPECT_EQ(file.Directories().size(), 2u);
  const Outcome o = Read(b.bytes);
  EXPECT_EQ(o.bitmap.Pixel(1, 1), RGB(8, 8, 8));
}

TEST(TiffReader, RaisesOnlyForHugeImagesAndTooManyDirectories) {
  auto entries = With(StripImageEntries(4, 3, 8, 1, 0, 12), 256, 4, {65536});
  const auto wide = Single(entries, std::vector<std::uint8_t>(12, 0));
  Bitmap target = Marker();
  ScriptedInteraction script;
  EXPECT_THROW(ReadTiffBytes(wide, "x.tif", target, script), EImageTooLarge);

  TiffBuilder b;
  const auto at = b.Append({1, 2, 3, 4});
  for (int i = 0; i < 257; ++i) b.AddDirectory(StripImageEntries(2, 2, 8, 1, at, 4));
  EXPECT_THROW(ReadTiffBytes(b.bytes, "x.tif", target, script), ETiffTooManyDirectories);
  EXPECT_EQ(target.Pixel(0, 0), clRed);
}

TEST(TiffReader, PictureTooLargeForMemoryShowsOutOfMemory) {
  // 65535 x 65535 1-bit rows, all strips pointing at the same bytes.
  TiffBuilder b;
  const std::uint32_t rowBytes = 8192;
  const auto at = b.Append(std::vector<std::uint8_t>(rowBytes * 16, 0));
  std::vector<std::uint32_t> offsets(4096, at), counts(4096, rowBytes * 16);
  b.AddDirectory({{256, 3, {65535}},
                  {257, 3, {65535}},
                  {259, 3, {1}},
                  {262, 3, {1}},
                  {273, 4, offsets},
                  {278, 4, {16}},
                  {279, 4, counts}});
  // Past what a bitmap holds the reader says so itself and goes on...
  const Outcome o = Read(b.bytes, 0);
  EXPECT_EQ(o.messages, std::vector<std::string>{"Out Of Memory "});
  EXPECT_TRUE(o.Untouched());
  // ...while the limit the user set fails the read, naming both figures.
  try {
    Read(b.bytes);
    ADD_FAILURE() << "read over the limit";
  } catch (const EImageTooLarge& e) {
    EXPECT_EQ(e.Code(), "core.OverPixelLimit");
    EXPECT_EQ(e.Context(), "65535 x 65535 = 4294836225 pixels, over the limit of 178956970 pixels");
  }
}

}  // namespace
}  // namespace pixtrel
