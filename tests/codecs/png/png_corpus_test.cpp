// The PNG corpus (the complete PngSuite and files from other decoders' test
// suites): good files decode to the raster layouts of the codec and match the
// references once the references get the file's own gamma table; corrupt
// files fail with their own error class.
#include <gtest/gtest.h>

#include <zlib.h>

#include <QImage>
#include <map>
#include <string>
#include <typeinfo>

#include "codecs/png/png_object.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

using test::CorpusEntries;
using test::CorpusEntry;

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The raster bit count the codec makes of a colour type and bit depth.
int ExpectedBits(int colorType, int depth) {
  if (colorType == 2 || colorType == 6) return 24;
  if (colorType == 4 || depth >= 8) return 8;
  return depth == 1 ? 1 : 4;
}

// The reference's colour channels (alpha dropped, not composited), each
// passed through the file's decoding gamma table.
QImage GammaReference(const CorpusEntry& entry, const std::array<std::uint8_t, 256>& gamma) {
  QImage ref(QString::fromStdString(entry.RefPath()));
  if (ref.isNull()) return ref;
  ref = ref.convertToFormat(QImage::Format_ARGB32).convertToFormat(QImage::Format_RGB888);
  for (int y = 0; y < ref.height(); ++y) {
    uchar* row = ref.scanLine(y);
    for (int x = 0; x < ref.width() * 3; ++x) row[x] = gamma[row[x]];
  }
  return ref;
}

TEST(PngCorpus, GoodFilesDecodeAndMatchReferences) {
  int checked = 0;
  for (const CorpusEntry& entry : CorpusEntries("png")) {
    if (entry.expected != "decodes") continue;
    SCOPED_TRACE(entry.path);
    PNGObject png;
    ASSERT_NO_THROW(png.LoadFromBytes(ReadFileBytes(entry.FullPath())));
    const ChunkIHDR* header = png.Header();
    ASSERT_NE(header, nullptr);
    Bitmap bitmap;
    bitmap.Assign(png);
    EXPECT_EQ(bitmap.Width(), entry.width);
    EXPECT_EQ(bitmap.Height(), entry.height);
    EXPECT_EQ(bitmap.BitCount(), ExpectedBits(header->colorType, header->bitDepth));
    for (const auto& chunk : png.Chunks()) EXPECT_NE(chunk->Type(), "cHRM");
    if (entry.ref.empty()) continue;
    const QImage ref = GammaReference(entry, png.GammaTable());
    ASSERT_FALSE(ref.isNull());
    // 16-bit references are rounded where the codec keeps the high byte,
    // which a steep gamma curve can widen.
    const bool deep = header->bitDepth == 16;
    const test::PixelDifference d = test::Compare(bitmap, ref, deep ? 12 : 0);
    ASSERT_TRUE(d.sizeMatches);
    EXPECT_LE(d.fractionOver, deep ? 0.01 : 0.0) << "max delta " << d.maxChannelDelta;
    ++checked;
  }
  EXPECT_GE(checked, 190);
}

TEST(PngCorpus, CorruptFilesFailWithTheirClass) {
  // PngSuite's corrupt files and the class each must raise.
  const std::map<std::string, const std::type_info*> expected = {
      {"pngsuite-xs1n0g01.png", &typeid(EPNGInvalidFileHeader)},
      {"pngsuite-xs2n0g01.png", &typeid(EPNGInvalidFileHeader)},
      {"pngsuite-xs4n0g01.png", &typeid(EPNGInvalidFileHeader)},
      {"pngsuite-xs7n0g01.png", &typeid(EPNGInvalidFileHeader)},
      {"pngsuite-xcrn0g04.png", &typeid(EPNGInvalidFileHeader)},
      {"pngsuite-xlfn0g04.png", &typeid(EPNGInvalidFileHeader)},
      {"pngsuite-xhdn0g08.png", &typeid(EPngInvalidCRC)},
      {"pngsuite-xcsn0g01.png", &typeid(EPngInvalidCRC)},
      {"pngsuite-xc1n0g08.png", &typeid(EPngInvalidIHDR)},
      {"pngsuite-xc9n2c08.png", &typeid(EPngInvalidIHDR)},
      {"pngsuite-xd0n2c08.png", &typeid(EPngInvalidIHDR)},
      {"pngsuite-xd3n2c08.png", &typeid(EPngInvalidIHDR)},
      {"pngsuite-xd9n2c08.png", &typeid(EPngInvalidIHDR)},
      {"pngsuite-xdtn0g01.png", &typeid(EPNGNoImageData)},
      {"libpng-testpngs-crashers-badadler.png", &typeid(EPNGZLIBError)},
      {"spng-crashers-missing_plte.png", &typeid(EPngError)},
      {"stb-iphone_basi3p02.png", &typeid(EPNGIHDRNotFirst)},
  };
  int failed = 0;
  for (const CorpusEntry& entry : CorpusEntries("png")) {
    if (entry.expected == "decodes") continue;
    SCOPED_TRACE(entry.path);
    PNGObject png;
    bool threw = false;
    try {
      png.LoadFromBytes(ReadFileBytes(entry.FullPath()));
    } catch (const Exception& e) {
      threw = true;
      const auto it = expected.find(BaseName(entry.path));
      if (it != expected.end()) {
        EXPECT_EQ(typeid(e), *it->second) << e.what();
      }
    }
    if (entry.expected == "must-fail") {
      EXPECT_TRUE(threw);
      ++failed;
    }
  }
  EXPECT_GE(failed, 26);
}

TEST(PngCorpus, CodesOfCorruptFiles) {
  auto codeOf = [](const std::string& name) {
    PNGObject png;
    try {
      png.LoadFromBytes(ReadFileBytes(test::CorpusDir() + "/png/" + name));
    } catch (const EPNGZLIBError& e) {
      return e.Code() + " " + std::to_string(e.ZlibCode());
    } catch (const Exception& e) {
      return e.Code();
    }
    return std::string();
  };
  EXPECT_EQ(codeOf("libpng-testpngs-crashers-badadler.png"), "png.EPNGZLIBError " + std::to_string(Z_DATA_ERROR));
  EXPECT_EQ(codeOf("pngsuite-xdtn0g01.png"), "png.EPNGNoImageData");
  EXPECT_EQ(codeOf("spng-crashers-missing_plte.png"), "png.NoPaletteEntry");
}

// One line per corpus file: what the codec makes of it as the program opens
// it (the PNG assigned to a bitmap), or the code of its error.
TEST(PngCorpus, GoldenTable) {
  std::string actual;
  for (const CorpusEntry& entry : CorpusEntries("png")) {
    actual += test::GoldenLine(BaseName(entry.path),
                               [&](Bitmap& bitmap) {
                                 PNGObject png;
                                 png.LoadFromBytes(ReadFileBytes(entry.FullPath()));
                                 bitmap.Assign(png);
                               }) +
              "\n";
  }
  test::CheckGoldenTable("tests/codecs/png/png_golden.tsv", actual);
}

}  // namespace
}  // namespace pixtrel
