// Golden contact sheets: every kind plain and with a gradient, every pattern,
// and the caption placements, rendered once, looked at, and kept. Any change
// of the canvas or of the shapes that moves a pixel shows here. Set
// PIXTREL_UPDATE_GOLDEN=1 to write new sheets after a deliberate change
// (and look at them before keeping them).
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <string>

#include "core/bitmap.h"
#include "shapes/zep_shape.h"
#include "support/corpus.h"

namespace pixtrel::shapes {
namespace {

constexpr int kCell = 64;
constexpr int kColumns = 10;

std::string GoldenPath(const std::string& name) {
  return std::string(PIXTREL_SOURCE_DIR) + "/tests/shapes/golden/" + name;
}

// Cell n of a sheet with the shape at its place inside.
void Stamp(Bitmap& sheet, ZepShape& shape, int cell, int firstRow) {
  const int x = (cell % kColumns) * kCell + 2, y = (firstRow + cell / kColumns) * kCell + 2;
  shape.PaintTo(sheet.Canvas(), x, y, 1.0, 1.0);
}

// 76 kinds plain (rows 0-7), 76 kinds with a gradient cycling through the
// patterns (rows 8-15), the 26 patterns on rectangles (rows 16-18).
Bitmap ShapesSheet() {
  Bitmap sheet(kColumns * kCell, 19 * kCell, pf24bit);
  sheet.Fill(RGB(224, 232, 240));
  for (int i = 0; i < kShapeTypeCount; ++i) {
    ZepShape s;
    s.SetBounds(0, 0, 60, i % 3 == 1 ? 44 : 60);
    s.SetShape(static_cast<ZepShapeType>(i));
    s.SetUserVectorString("star=0.5,0,0.62,0.38,1,0.38,0.69,0.62,0.81,1,0.5,0.76,0.19,1,0.31,0.62,0,0.38,0.38,0.38");
    s.SetBrush({i % 2 ? RGB(255, 220, 64) : RGB(120, 200, 255), bsSolid});
    s.SetPen({clBlack, i % 5 == 4 ? 3 : 1, psSolid, pmCopy});
    Stamp(sheet, s, i, 0);
    s.SetGradient(true);
    s.SetFillDirection(static_cast<ZepFillDirection>(i % kFillDirectionCount));
    s.SetBrush({clRed, bsSolid});
    s.SetGradientColor(clBlue);
    Stamp(sheet, s, i, 8);
  }
  for (int i = 0; i < kFillDirectionCount; ++i) {
    ZepShape s;
    s.SetBounds(0, 0, 60, 60);
    s.SetGradient(true);
    s.SetFillDirection(static_cast<ZepFillDirection>(i));
    s.SetBrush({RGB(255, 255, 0), bsSolid});
    s.SetGradientColor(RGB(0, 64, 128));
    Stamp(sheet, s, i, 16);
  }
  return sheet;
}

// Caption placements: centred, long and wrapped, left, rotated and centred,
// rotated at a place, font styles, a white caption, and hatch brushes and
// pen styles.
Bitmap CaptionSheet() {
  Bitmap sheet(kColumns * kCell, 2 * kCell, pf24bit);
  sheet.Fill(clWhite);
  auto shape = [](const std::string& caption) {
    ZepShape s;
    s.SetBounds(0, 0, 60, 60);
    s.SetBrush({RGB(200, 255, 200), bsSolid});
    s.SetCaption(caption);
    pixtrel::Font f = s.Font();
    f.name = "DejaVu Sans";
    f.color = clNavy;
    s.SetFont(f);
    return s;
  };
  int cell = 0;
  {
    ZepShape s = shape("Hi");
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("a caption wrapped");
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("left text");
    s.SetCaptionCentered(false);
    s.SetCaptionX(30);
    s.SetCaptionY(30);
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("Tilt");
    s.SetCaptionAngle(45);
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("Up");
    s.SetCaptionCentered(false);
    s.SetCaptionAngle(90);
    s.SetCaptionX(20);
    s.SetCaptionY(50);
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("BIU");
    pixtrel::Font f = s.Font();
    f.bold = f.italic = f.underline = true;
    f.SetSize(14);
    s.SetFont(f);
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("white");
    pixtrel::Font f = s.Font();
    f.color = clWhite;
    s.SetFont(f);
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s = shape("grad");
    s.SetShape(zstEllipse);
    s.SetGradient(true);
    s.SetFillDirection(zgdCircIn);
    Stamp(sheet, s, cell++, 0);
  }
  for (int style = bsHorizontal; style <= bsDiagCross; ++style) {
    ZepShape s;
    s.SetBounds(0, 0, 60, 60);
    s.SetShape(zstEllipse);
    s.SetBrush({clPurple, static_cast<BrushStyle>(style)});
    s.SetPen({clBlack, 1, static_cast<PenStyle>((style - bsHorizontal) % 5), pmCopy});
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s;
    s.SetBounds(0, 0, 60, 60);
    s.SetShape(zstUser);
    s.SetUserVectorString("zig=0,0,0.3,1,0.6,0,1,1");
    s.SetPolyLineMode(true);
    s.SetPen({clRed, 2, psSolid, pmCopy});
    Stamp(sheet, s, cell++, 0);
  }
  {
    ZepShape s;
    s.SetBounds(0, 0, 60, 60);
    s.SetShape(zstTorus);
    s.SetPen({clBlack, 4, psInsideFrame, pmCopy});
    s.SetBrush({clTeal, bsSolid});
    Stamp(sheet, s, cell++, 0);
  }
  return sheet;
}

void CompareWithGolden(const Bitmap& sheet, const std::string& name) {
  const QImage actual = pixtrel::test::ToQImage(sheet);
  const std::string path = GoldenPath(name);
  if (std::getenv("PIXTREL_UPDATE_GOLDEN")) {
    ASSERT_TRUE(actual.save(QString::fromStdString(path), "PNG"));
    GTEST_SKIP() << "wrote " << path;
  }
  QImage golden(QString::fromStdString(path));
  ASSERT_FALSE(golden.isNull()) << "missing " << path;
  golden = golden.convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(golden.size(), actual.size());
  int differing = 0, firstX = -1, firstY = -1;
  for (int y = 0; y < golden.height(); ++y) {
    const uchar* a = actual.constScanLine(y);
    const uchar* g = golden.constScanLine(y);
    for (int x = 0; x < golden.width(); ++x)
      if (a[3 * x] != g[3 * x] || a[3 * x + 1] != g[3 * x + 1] || a[3 * x + 2] != g[3 * x + 2]) {
        if (differing++ == 0) firstX = x, firstY = y;
      }
  }
  EXPECT_EQ(differing, 0) << "first at (" << firstX << ", " << firstY << ") in cell "
                          << (firstY / kCell) * kColumns + firstX / kCell;
}

TEST(ShapeContactSheet, EveryKindAndPatternMatchesTheGolden) { CompareWithGolden(ShapesSheet(), "shapes.png"); }

TEST(ShapeContactSheet, CaptionsAndStylesMatchTheGolden) { CompareWithGolden(CaptionSheet(), "captions.png"); }

}  // namespace
}  // namespace pixtrel::shapes
