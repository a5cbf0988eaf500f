// The corpus metafiles through the program's opening path, one golden line
// each, and the inputs the fuzzer found, each with the outcome it must keep.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "metafile_builders.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

// What opening a ".WMF" or ".EMF" does: load, give the target the
// metafile's size, draw it at the origin.
void LoadDrawn(const std::string& path, Bitmap& target) {
  Metafile metafile;
  metafile.LoadFromFile(path);
  target.SetWidth(metafile.Width());
  target.SetHeight(metafile.Height());
  target.Canvas().Draw(0, 0, metafile);
}

bool IsError(const std::string& outcome) { return outcome.rfind("error ", 0) == 0; }

TEST(MetafileGolden, CorpusThroughTheOpeningPath) {
  std::string table;
  int rows = 0, failed = 0;
  for (const char* format : {"wmf", "emf"}) {
    for (const auto& entry : test::CorpusEntries(format)) {
      SCOPED_TRACE(entry.path);
      const std::string outcome = test::GoldenOutcome([&](Bitmap& b) { LoadDrawn(entry.FullPath(), b); });
      if (entry.expected == "must-fail") {
        EXPECT_TRUE(IsError(outcome)) << outcome;
      } else if (entry.expected == "decodes") {
        EXPECT_FALSE(IsError(outcome)) << outcome;
      }
      table += entry.path + '\t' + outcome + '\n';
      ++rows;
      failed += IsError(outcome);
    }
  }
  EXPECT_GE(rows, 30);
  EXPECT_LT(failed, rows / 2);
  test::CheckGoldenTable("tests/codecs/metafile/metafile_golden.tsv", table);
}

// The record types that no corpus file holds, played in one picture each
// kind, so that what they draw is pinned as the corpus pictures are.
std::vector<std::uint8_t> RegionData(std::initializer_list<std::int64_t> box) {
  std::vector<std::uint8_t> data;
  for (std::int64_t v : {32, 1, 1, 16, 0, 0, 0, 0}) test::Put32(data, v);
  for (std::int64_t v : box) test::Put32(data, v);
  return data;
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<std::uint8_t> Words32(std::initializer_list<std::int64_t> values) {
  std::vector<std::uint8_t> out;
  for (std::int64_t v : values) test::Put32(out, v);
  return out;
}

std::vector<std::uint8_t> EmfWithoutCorpusRecords() {
  test::EmfBuilder b(96, 96);
  b.Record(39, {1, 0, test::ColorRef(0, 0, 255), 0}).Record(37, {1});  // a blue brush
  b.Record(15, {5, 5, test::ColorRef(255, 0, 0)});                     // SetPixelV
  b.Record(33, {});                                                    // SaveDC
  b.Record(17, {8}).Record(9, {96, 96}).Record(11, {96, 96});          // anisotropic, 1:1
  b.Record(31, {1, 2, 1, 2}).Record(32, {2, 1, 1, 1});                 // viewport halved, window x doubled
  b.Record(43, {10, 10, 50, 50});
  b.Record(34, {-1});  // RestoreDC
  std::vector<std::uint8_t> angle = Words32({70, 20, 12});
  test::PutFloat(angle, 30.0f);
  test::PutFloat(angle, 200.0f);
  b.Bytes(41, angle);                  // AngleArc
  b.Record(49, {3, 0x300, 0});         // CreatePalette
  b.Record(99, {4, 0, 0, 0});          // CreateColorSpace
  b.Record(122, {5, 0, 0, 0});         // CreateColorSpaceW
  std::vector<std::uint8_t> draw = Words32({0, 0, 0, 0, 4, 10, 60, 30, 60, 30, 90, 10, 90});
  for (int type : {6, 2, 2, 3}) draw.push_back(static_cast<std::uint8_t>(type));  // move, line, line + close
  b.Bytes(56, draw);                                                             // PolyDraw
  std::vector<std::uint8_t> draw16;
  for (std::int64_t v : {0, 0, 0, 0, 4}) test::Put32(draw16, v);
  for (int v : {40, 60, 50, 60, 60, 90, 40, 90}) test::Put16(draw16, v);
  for (int type : {6, 4, 4, 4}) draw16.push_back(static_cast<std::uint8_t>(type));  // move, one bezier
  b.Bytes(92, draw16);                                                             // PolyDraw16
  const auto region = RegionData({60, 60, 80, 80});
  b.Bytes(71, Concat({Words32({0, 0, 0, 0, static_cast<std::int64_t>(region.size()), 1}), region}));  // FillRgn
  b.Bytes(73, Concat({Words32({0, 0, 0, 0, static_cast<std::int64_t>(region.size())}), RegionData({70, 70, 90, 90})}));
  b.Record(39, {2, 0, test::ColorRef(0, 255, 0), 0}).Record(37, {2});
  b.Bytes(74, Concat({Words32({0, 0, 0, 0, static_cast<std::int64_t>(region.size())}), RegionData({84, 4, 94, 14})}));
  const auto dib = test::Dib24(2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00});
  // SetDIBitsToDevice: the bitmap right after the 68 bytes of parameters.
  b.Bytes(80, Concat({Words32({0, 0, 0, 0, 2, 40, 0, 0, 2, 2, 76, 40, 116, static_cast<std::int64_t>(dib.size() - 40), 0,
                               0, 2}),
                      dib}));
  for (std::uint32_t type : {96u, 97u}) {  // PolyTextOutA, PolyTextOutW: two strings each
    const bool wide = type == 97;
    std::vector<std::uint8_t> text = Words32({0, 0, 0, 0, 1});
    test::PutFloat(text, 1);
    test::PutFloat(text, 1);
    test::Put32(text, 2);
    const std::int64_t strings = 8 + 32 + 80;
    const std::int64_t step = wide ? 4 : 2;
    for (std::int64_t i = 0; i < 2; ++i)
      for (std::int64_t v : {std::int64_t{10} + 40 * i, std::int64_t{wide ? 30 : 5}, std::int64_t{2},
                             strings + i * step, std::int64_t{0}, std::int64_t{0}, std::int64_t{0}, std::int64_t{0},
                             std::int64_t{0}, std::int64_t{0}})
        test::Put32(text, v);
    for (char c : std::string("HIJK")) wide ? test::Put16(text, c) : text.push_back(static_cast<std::uint8_t>(c));
    b.Bytes(type, text);
  }
  return b.Finish();
}

std::vector<std::uint8_t> WmfWithoutCorpusRecords() {
  test::WmfBuilder b(96, 96);
  b.Record(0x0538, {2, 3, 3, 10, 10, 40, 10, 10, 40, 50, 50, 90, 50, 50, 90});  // PolyPolygon
  b.Record(0x01F9, {0, 0, 0, 0}).Record(0x012D, {0});                          // CreatePatternBrush
  b.Record(0x041B, {90, 40, 60, 10});
  return b.Finish();
}

TEST(MetafileGolden, RecordsNoCorpusFileHolds) {
  const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
      {EmfWithoutCorpusRecords(), "96x96\t24bit\t0\topaque\t17cc426e"},
      {WmfWithoutCorpusRecords(), "96x96\t24bit\t0\topaque\tce405c08"},
  };
  for (const auto& [bytes, expected] : cases) {
    const std::string outcome = test::GoldenOutcome([&](Bitmap& b) {
      Metafile metafile;
      metafile.LoadFromBytes(bytes);
      b.Assign(metafile);
    });
    EXPECT_EQ(outcome, expected);
  }
}

// A 32-bit picture is drawn on where it lies: the colours are those drawn on
// a 24-bit copy, and the fourth bytes stay as they were, uniform or not.
TEST(MetafileDrawing, OnA32BitPictureInPlaceAsOnACopy) {
  for (const auto& bytes : {EmfWithoutCorpusRecords(), WmfWithoutCorpusRecords()}) {
    Metafile metafile;
    metafile.LoadFromBytes(bytes);
    for (const bool uniform : {true, false}) {
      Bitmap deep(120, 80, pf32bit);
      Bitmap copy(120, 80, pf24bit);
      for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
          const Color c = RGB(x * 2, y * 3, (x ^ y) & 0xFF);
          deep.SetPixel(x, y, c);
          copy.SetPixel(x, y, c);
          deep.ScanLine(y)[4 * x + 3] = uniform ? 7 : static_cast<std::uint8_t>(x + y);
        }
      const Rect rect{10, 5, 110, 75};
      deep.Canvas().StretchDraw(rect, metafile);
      copy.Canvas().StretchDraw(rect, metafile);
      bool sameColours = true, fourthKept = true;
      for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
          sameColours &= deep.Pixel(x, y) == copy.Pixel(x, y);
          fourthKept &= deep.ScanLine(y)[4 * x + 3] == (uniform ? 7 : static_cast<std::uint8_t>(x + y));
        }
      EXPECT_TRUE(sameColours);
      EXPECT_TRUE(fourthKept);
    }
  }
}

// The crash files: each once brought the reader down. A test per file pins
// what opening it gives: the error's code and the record it names, or the
// picture it draws, at its own size and onto a small bitmap partly off its
// edge.
std::string CrasherOutcome(const std::string& name) {
  const std::string path = std::string(PIXTREL_SOURCE_DIR) + "/tests/crashers/metafile/" + name;
  try {
    Metafile metafile;
    metafile.LoadFromFile(path);
  } catch (const Exception& e) {
    return "error " + e.Code() + " (" + e.Context() + ")";
  }
  const std::string own = test::GoldenOutcome([&](Bitmap& b) { LoadDrawn(path, b); });
  const std::string small = test::GoldenOutcome([&](Bitmap& b) {
    Metafile metafile;
    metafile.LoadFromFile(path);
    b = Bitmap(32, 32, pf24bit);
    b.Fill(clWhite);
    metafile.Draw(b.Canvas(), Rect{-3, 2, 29, 34});
  });
  return own + " / " + small;
}

TEST(MetafileCrashers, ClipRegionBeyondIntRange) {
  // The region record that overflowed is checked before the load stops at a
  // damaged record further on.
  EXPECT_EQ(CrasherOutcome("clip-region-beyond-int-range.emf"),
            "error metafile.RecordOutsideFile (record 8448 at offset 2672)");
}

TEST(MetafileCrashers, ClipPathFarBeyondPicture) {
  // A clip path 60000 pixels across around a picture 50 wide: its region
  // once cost a rectangle per row of the path, long enough for a timeout.
  EXPECT_EQ(CrasherOutcome("clip-path-far-beyond-picture.emf"),
            "50x1000\t32bit\t0\topaque\t54bdeb0b / 32x32\t24bit\t0\topaque\tbd8538d6");
}

TEST(MetafileCrashers, DibWithNoPixels) {
  // A device-independent bitmap of no pixels, however wide it claims to be,
  // draws nothing; it once ended the drawing with "out of memory".
  EXPECT_EQ(CrasherOutcome("dib-with-no-pixels.emf"),
            "1122x794\t32bit\t0\topaque\t4b2dcfb5 / 32x32\t24bit\t0\topaque\te10d7317");
}

}  // namespace
}  // namespace pixtrel
