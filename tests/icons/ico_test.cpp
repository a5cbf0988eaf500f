// ICO reading and writing, the icon component and the ".ICO" rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <QImage>

#include "core/canvas.h"
#include "core/scripted_interaction.h"
#include "core/stream.h"
#include "icons/icon_image.h"
#include "icons/qx_icon.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/golden.h"
#include "support/io_support.h"
#include "workspace/saving.h"

namespace pixtrel::icons {
namespace {

void Put16(std::vector<std::uint8_t>& v, int x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

// Icon resource bits of a w x h 24-bit image: colour rows of one colour, the
// AND mask transparent where mask(x, y) says.
template <typename Mask>
std::vector<std::uint8_t> Data24(int w, int h, Color color, Mask mask, int doubledHeight = 0) {
  std::vector<std::uint8_t> d;
  Put32(d, 40);
  Put32(d, static_cast<std::uint32_t>(w));
  Put32(d, static_cast<std::uint32_t>(doubledHeight ? doubledHeight : 2 * h));
  Put16(d, 1);
  Put16(d, 24);
  for (int i = 0; i < 6; ++i) Put32(d, 0);
  const std::size_t stride = RowBytes(w, 24);
  const std::size_t maskStride = RowBytes(w, 1);
  for (int row = 0; row < h; ++row) {
    std::vector<std::uint8_t> line(stride, 0);
    for (int x = 0; x < w; ++x) {
      line[3 * x] = static_cast<std::uint8_t>(GetBValue(color));
      line[3 * x + 1] = static_cast<std::uint8_t>(GetGValue(color));
      line[3 * x + 2] = static_cast<std::uint8_t>(GetRValue(color));
      if (mask(x, h - 1 - row)) line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = 0;
    }
    d.insert(d.end(), line.begin(), line.end());
  }
  for (int row = 0; row < h; ++row) {
    std::vector<std::uint8_t> line(maskStride, 0);
    for (int x = 0; x < w; ++x)
      if (mask(x, h - 1 - row)) line[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    d.insert(d.end(), line.begin(), line.end());
  }
  return d;
}

std::unique_ptr<IconImage> MakeImage(int width, int bitCount, std::vector<std::uint8_t> data = {}) {
  IconImage::Entry e{};
  e[0] = e[1] = static_cast<std::uint8_t>(width);
  e[6] = static_cast<std::uint8_t>(bitCount);
  const auto size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) e[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return std::make_unique<IconImage>(e, std::move(data));
}

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  return out;
}

TEST(IconImage, FixSizeTakesTheSmallerSide) {
  auto none = [](int, int) { return false; };
  auto big = MakeImage(0, 24, Data24(48, 48, clRed, none));
  big->FixSize();
  EXPECT_EQ(big->Width(), 48);
  EXPECT_EQ(big->Height(), 48);
  // biWidth 16, biHeight 64: 16 x 16.
  auto tall = MakeImage(0, 24, Data24(16, 32, clRed, none));
  tall->SetHeight(32);
  tall->FixSize();
  EXPECT_EQ(tall->Width(), 16);
  EXPECT_EQ(tall->Height(), 16);
  // Shorter than a BITMAPINFOHEADER: the directory's sizes stay.
  auto stub = MakeImage(20, 8, std::vector<std::uint8_t>(10, 0));
  stub->FixSize();
  EXPECT_EQ(stub->Width(), 20);
}

TEST(IconImageList, SortsBySizeAndByColors) {
  IconImageList list;
  list.Add(MakeImage(32, 8));
  list.Add(MakeImage(16, 8));
  list.Add(MakeImage(32, 4));
  list.Add(MakeImage(16, 4));
  list.Add(MakeImage(48, 0));
  list.SortBySize();
  const int bySize[][2] = {{16, 4}, {16, 8}, {32, 4}, {32, 8}, {48, 0}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list.Get(i)->Width(), bySize[i][0]) << i;
    EXPECT_EQ(list.Get(i)->BitCount(), bySize[i][1]) << i;
  }
  list.SortByColors();
  const int byColors[][2] = {{48, 0}, {16, 4}, {32, 4}, {16, 8}, {32, 8}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list.Get(i)->Width(), byColors[i][0]) << i;
    EXPECT_EQ(list.Get(i)->BitCount(), byColors[i][1]) << i;
  }
  EXPECT_EQ(list.Get(5), nullptr);
  list.SetCapacity(1);
  EXPECT_EQ(list.Capacity(), 5);
}

TEST(AdvancedIcon, WritesOffsetsAndReadsBack) {
  AdvancedIcon icon;
  EXPECT_TRUE(icon.SaveToBytes().empty());
  const std::string empty = test::TempDir() + "/empty.ico";
  icon.SaveToFile(empty);
  EXPECT_FALSE(std::ifstream(empty).good());

  auto none = [](int, int) { return false; };
  icon.Images().Add(MakeImage(16, 24, Data24(16, 16, clRed, none)));
  icon.Images().Add(MakeImage(32, 24, Data24(32, 32, clBlue, none)));
  const std::vector<std::uint8_t> bytes = icon.SaveToBytes();
  const std::uint32_t size0 = icon.Images().Get(0)->BytesInRes();
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (bytes[at + 3] << 24));
  };
  EXPECT_EQ(u32(18), 6u + 32u);
  EXPECT_EQ(u32(34), 6u + 32u + size0);
  EXPECT_EQ(bytes.size(), 38u + size0 + icon.Images().Get(1)->BytesInRes());

  AdvancedIcon back;
  ASSERT_TRUE(back.LoadFromBytes(bytes));
  ASSERT_EQ(back.Images().Count(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(back.Images().Get(i)->DirEntry(), icon.Images().Get(i)->DirEntry());
    EXPECT_EQ(back.Images().Get(i)->Data(), icon.Images().Get(i)->Data());
  }
  // A cursor file (type 2) gives no images.
  std::vector<std::uint8_t> cursor = bytes;
  cursor[2] = 2;
  EXPECT_FALSE(back.LoadFromBytes(cursor));
  EXPECT_EQ(back.Images().Count(), 0);
  // Shorter than the directory promises: a clean error.
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 60);
  EXPECT_THROW(back.LoadFromBytes(cut), Exception);
}

TEST(IconImage, DecodingRefusesBadData) {
  EXPECT_THROW(DecodeIconData(std::vector<std::uint8_t>(39, 0)), EInvalidGraphic);
  auto none = [](int, int) { return false; };
  std::vector<std::uint8_t> data = Data24(8, 8, clRed, none);
  data.resize(60);  // colour rows cut
  EXPECT_THROW(DecodeIconData(data), EInvalidGraphic);
  std::vector<std::uint8_t> huge = Data24(8, 8, clRed, none);
  huge[4] = 0xFF;
  huge[5] = 0xFF;
  huge[6] = 0xFF;
  huge[7] = 0x7F;
  EXPECT_THROW(DecodeIconData(huge), Exception);
}

TEST(IconEntryChoice, PrefersThirtyTwoAndMoreColours) {
  auto entry = [](int w, int colours) {
    std::array<std::uint8_t, 16> e{};
    e[0] = e[1] = static_cast<std::uint8_t>(w);
    e[2] = static_cast<std::uint8_t>(colours);
    return e;
  };
  const std::vector<std::array<std::uint8_t, 16>> entries = {entry(16, 16), entry(32, 16), entry(32, 0), entry(48, 0),
                                                             entry(0, 0)};
  EXPECT_EQ(ChooseIconEntry(entries, 0), 2);
  EXPECT_EQ(ChooseIconEntry(entries, 16), 1);
  const std::vector<std::array<std::uint8_t, 16>> large = {entry(0, 0), entry(48, 0), entry(16, 0)};
  // 16 is as far from 32 as 48 and not larger: it wins.
  EXPECT_EQ(ChooseIconEntry(large, 0), 2);
}

// Single-picture reading of the corpus against the peers' renderings of the
// entry the 32 x 32 rule picks, composited on white.
TEST(IcoCorpus, MatchesReferences) {
  int compared = 0;
  for (const test::CorpusEntry& entry : test::CorpusEntries("ico")) {
    SCOPED_TRACE(entry.path);
    Bitmap image;
    if (entry.expected == "must-fail") {
      EXPECT_THROW(LoadImageFile(entry.FullPath(), image, test::Silent()), Exception);
      continue;
    }
    try {
      LoadImageFile(entry.FullPath(), image, test::Silent());
    } catch (const Exception& e) {
      EXPECT_NE(entry.expected, "decodes") << e.what();
      continue;
    }
    if (entry.ref.empty()) continue;
    // The picture has the chosen entry's size; some references show another
    // entry (the largest) and are then not compared.
    EXPECT_EQ(image.Width(), entry.width);
    EXPECT_EQ(image.Height(), entry.height);
    const QImage reference = test::LoadReference(entry);
    if (reference.width() != entry.width || reference.height() != entry.height) continue;
    const test::PixelDifference diff = test::Compare(image, reference, 2);
    EXPECT_TRUE(diff.sizeMatches) << image.Width() << "x" << image.Height();
    EXPECT_LE(diff.fractionOver, 0.001) << "max " << diff.maxChannelDelta << " mean " << diff.meanChannelDelta;
    ++compared;
  }
  EXPECT_GE(compared, 14);
}

// One line per corpus file: the picture the program opens (the entry the
// 32 x 32 rule picks, drawn), or the code of its error.
TEST(IcoCorpus, GoldenTable) {
  std::string actual;
  for (const test::CorpusEntry& entry : test::CorpusEntries("ico")) {
    actual += test::GoldenLine(entry.path.substr(entry.path.rfind('/') + 1),
                               [&](Bitmap& bitmap) { LoadImageFile(entry.FullPath(), bitmap, test::Silent()); }) +
              "\n";
  }
  test::CheckGoldenTable("tests/icons/ico_golden.tsv", actual);
}

TEST(IcoCorpus, TypeAboveOneIsNotValid) {
  Bitmap image;
  try {
    LoadImageFile(test::CorpusDir() + "/ico/gen-typefield3-hopper.ico", image, test::Silent());
    FAIL();
  } catch (const EIconInvalid& e) {
    EXPECT_EQ(e.Code(), "icon.IconInvalid");
  }
}

TEST(IcoLoad, TransparentPixelsKeepTheTarget) {
  auto corner = [](int x, int y) { return x < 4 && y < 4; };
  AdvancedIcon icon;
  icon.Images().Add(MakeImage(32, 24, Data24(32, 32, clRed, corner)));
  const std::string path = test::TempDir() + "/over.ico";
  icon.SaveToFile(path);
  Bitmap target(64, 48, pf24bit);
  target.Fill(clBlue);
  LoadImageFile(path, target, test::Silent());
  ASSERT_EQ(target.Width(), 32);
  ASSERT_EQ(target.Height(), 32);
  EXPECT_EQ(target.Pixel(1, 1), clBlue);
  EXPECT_EQ(target.Pixel(10, 10), clRed);
}

TEST(QxIcon, BottomLeftColourIsTransparent) {
  QxIcon component;
  Bitmap source(32, 32, pf24bit);
  source.Fill(clWhite);
  source.SetPixel(5, 5, clBlack);
  source.SetPixel(6, 5, kGuardColor);
  source.SetPixel(7, 5, clRed);
  const MaskedIcon icon = component.CreateIconFromGraphic(source);
  EXPECT_EQ(icon.mask.PixelIndex(0, 31), 1);  // white: transparent
  EXPECT_EQ(icon.color.Pixel(0, 31), clBlack);
  EXPECT_EQ(icon.mask.PixelIndex(5, 5), 0);  // real black stays opaque black
  EXPECT_EQ(icon.color.Pixel(5, 5), clBlack);
  EXPECT_EQ(icon.mask.PixelIndex(6, 5), 0);  // the guard colour is written as black
  EXPECT_EQ(icon.color.Pixel(6, 5), clBlack);
  EXPECT_EQ(icon.color.Pixel(7, 5), clRed);

  // A black bottom-left pixel: black is transparent, no guard colour used.
  source.Fill(clBlack);
  source.SetPixel(3, 3, clRed);
  source.SetPixel(4, 3, kGuardColor);
  const MaskedIcon dark = component.CreateIconFromGraphic(source);
  EXPECT_EQ(dark.mask.PixelIndex(0, 0), 1);
  EXPECT_EQ(dark.mask.PixelIndex(3, 3), 0);
  EXPECT_EQ(dark.color.Pixel(3, 3), clRed);
  EXPECT_EQ(dark.mask.PixelIndex(4, 3), 0);
  EXPECT_EQ(dark.color.Pixel(4, 3), clBlack);
}

TEST(QxIcon, WritesTheClassicEntry) {
  QxIcon component;
  Bitmap source(32, 32, pf24bit);
  source.Fill(clWhite);
  for (int colors : {16, 256}) {
    SCOPED_TRACE(colors);
    MemoryStream stream;
    WriteIcon(stream, component.CreateIconFromGraphic(source), colors);
    const auto& b = stream.Bytes();
    ASSERT_EQ(b.size(), colors == 16 ? 766u : 2238u);
    EXPECT_EQ(b[2], 1);
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[6], 32);
    EXPECT_EQ(b[7], 32);
    EXPECT_EQ(b[8], colors == 16 ? 4 : 8);  // the colour depth in the colour-count byte
    EXPECT_EQ(b[9], 0);
    EXPECT_EQ(b[10] | b[11] | b[12] | b[13], 0);  // planes and bit count 0
    EXPECT_EQ(b[14] | (b[15] << 8), colors == 16 ? 744 : 2216);
    EXPECT_EQ(b[18], 22);
    EXPECT_EQ(b[22 + 8], 64);  // biHeight doubled
    AdvancedIcon back;
    ASSERT_TRUE(back.LoadFromBytes(b));
    EXPECT_EQ(back.Images().Get(0)->BitCount(), 0);
  }
}

// The written files as icotool and ImageMagick see them.
TEST(QxIcon, PeersReadWrittenIcons) {
  Bitmap source(32, 32, pf24bit);
  source.Fill(clWhite);
  for (int y = 4; y < 28; ++y)
    for (int x = 8; x < 24; ++x) source.SetPixel(x, y, y < 16 ? clRed : clBlue);
  source.SetPixel(10, 10, clBlack);
  const std::string dir = test::TempDir();
  QxIcon component;
  for (int colors : {16, 256}) {
    SCOPED_TRACE(colors);
    const std::string path = dir + "/peer" + std::to_string(colors) + ".ico";
    if (colors == 16)
      component.SaveIcon16(source, path);
    else
      component.SaveIcon256(source, path);
    const std::string list = Shell("icotool -l '" + path + "' 2>&1");
    EXPECT_NE(list.find("--width=32 --height=32 --bit-depth=" + std::string(colors == 16 ? "4" : "8")),
              std::string::npos)
        << list;
    const std::string png = path + ".png";
    Shell("convert '" + path + "' -background white -alpha remove -alpha off PNG24:'" + png + "' 2>&1");
    QImage peer(QString::fromStdString(png));
    ASSERT_FALSE(peer.isNull());
    peer = peer.convertToFormat(QImage::Format_ARGB32);
    QImage alpha(QString::fromStdString(png));
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const QRgb p = peer.pixel(x, y);
        const Color ours = source.Pixel(x, y);
        // Transparent pixels show the white background.
        EXPECT_EQ(qRed(p), GetRValue(ours)) << x << "," << y;
        EXPECT_EQ(qGreen(p), GetGValue(ours)) << x << "," << y;
        EXPECT_EQ(qBlue(p), GetBValue(ours)) << x << "," << y;
      }
    // The mask: ImageMagick's alpha is 0 exactly where the colour was white.
    Shell("convert '" + path + "' -alpha extract '" + path + ".alpha.png' 2>&1");
    QImage mask(QString::fromStdString(path + ".alpha.png"));
    ASSERT_FALSE(mask.isNull());
    EXPECT_EQ(qGray(mask.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(mask.pixel(10, 10)), 255);
    EXPECT_EQ(qGray(mask.pixel(12, 20)), 255);
  }
}

TEST(IcoSave, AsksForColoursAndSize) {
  ScriptedInteraction script;
  SaveOptions options;
  const std::string dir = test::TempDir();
  Bitmap image(48, 48, pf24bit);
  image.Fill(clRed);

  script.iconChoices = {std::nullopt};
  EXPECT_EQ(SaveDisplayedImage(dir + "/a.ico", image, ".ico", options, script), SaveOutcome::Abandoned);
  EXPECT_TRUE(script.questions.empty());

  script.iconChoices = {IconColors::Colors16};
  script.confirmations = {false};
  EXPECT_EQ(SaveDisplayedImage(dir + "/a.ico", image, ".ICO", options, script), SaveOutcome::Abandoned);
  ASSERT_EQ(script.questions.size(), 1u);
  EXPECT_EQ(script.questions[0], "Icon must be 32x32. Resize now?");
  EXPECT_FALSE(std::ifstream(dir + "/a.ico").good());
  EXPECT_EQ(image.Width(), 48);

  script.iconChoices = {IconColors::Colors16};
  script.confirmations = {true};
  EXPECT_EQ(SaveDisplayedImage(dir + "/a.ico", image, ".ICO", options, script), SaveOutcome::Written);
  EXPECT_EQ(image.Width(), 32);
  EXPECT_EQ(image.Height(), 32);
  EXPECT_EQ(image.PixelFormat(), pf4bit);
  EXPECT_EQ(ReadFileBytes(dir + "/a.ico").size(), 766u);
  // The session keeps the last choice.
  EXPECT_EQ(options.iconColors, IconColors::Colors16);
}

}  // namespace
}  // namespace pixtrel::icons
