// Strokes whose work grows with the length of a path instead of with the
// picture, and allocation failures while drawing.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/metafile/path_cutting.h"
#include "codecs/metafile/metafile.h"
#include "core/bitmap.h"
#include "metafile_builders.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

using metafile::CutToBox;
using metafile::DashedRuns;
using test::EmfBuilder;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr std::uint32_t kDashedGeometric = 0x10001;  // PS_GEOMETRIC | PS_DASH, round caps and joins
constexpr std::int64_t kFar = 2147483647;

EmfBuilder& Words(EmfBuilder& b, std::uint32_t type, const std::vector<std::int64_t>& words) {
  std::vector<std::uint8_t> params;
  for (const std::int64_t w : words)
    for (int i = 0; i < 4; ++i) params.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  return b.Bytes(type, params);
}

// EMR_EXTCREATEPEN in slot 1, selected.
EmfBuilder& Pen(EmfBuilder& b, std::uint32_t style, int width) {
  return b.Record(95, {1, 0, 0, 0, 0, style, width, 0, 0, 0}).Record(37, {1});
}

Bitmap Render(const std::vector<std::uint8_t>& bytes) {
  Metafile metafile;
  metafile.LoadFromBytes(bytes);
  Bitmap bitmap;
  bitmap.Assign(metafile);
  return bitmap;
}

// A 3000-unit dashed pen along one Bezier of 5000 pieces whose control
// points sit at the far corners of the coordinate space: about 120 KB.
std::vector<std::uint8_t> DashedBezierBomb() {
  EmfBuilder b(1000, 1000);
  Pen(b, kDashedGeometric, 3000);
  std::mt19937 random(1);
  std::vector<std::int64_t> words = {0, 0, 0, 0, 3 * 5000 + 1, 0, 0};
  for (int i = 0; i < 3 * 5000; ++i) {
    words.push_back(random() & 1 ? kFar : -kFar);
    words.push_back(random() & 1 ? kFar : -kFar);
  }
  return Words(b, 2, words).Finish();  // EMR_POLYBEZIER
}

// A world transform of 1000 and a dashed pen of one unit (1000 pixels)
// along a Bezier of 16-bit points, 12 KB: the points land up to 3e7 pixels
// away.
std::vector<std::uint8_t> MagnifiedBezierBomb() {
  EmfBuilder b(1000, 1000);
  std::vector<std::uint8_t> xform;
  for (float f : {1000.0f, 0.0f, 0.0f, 1000.0f, 500.0f, 500.0f}) test::PutFloat(xform, f);
  b.Bytes(35, xform);  // EMR_SETWORLDTRANSFORM
  Pen(b, kDashedGeometric, 1);
  std::vector<std::uint8_t> points;
  for (std::int64_t v : {0, 0, 0, 0, 3 * 990 + 1}) test::Put32(points, v);
  test::Put32(points, 0);
  std::mt19937 random(3);
  for (int i = 0; i < 3 * 990; ++i) {
    test::Put16(points, random() & 1 ? 32767 : -32767);
    test::Put16(points, random() & 1 ? 32767 : -32767);
  }
  return b.Bytes(85, points).Finish();  // EMR_POLYBEZIER16
}

std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const auto path = std::filesystem::temp_directory_path() / ("pixtrel-bounds-" + name);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

// pixtrel-cli info under a ceiling on its address space, as "exit: errors"
// (Qt's notes about its runtime folder left out).
std::string InfoWithin(const std::string& path, int megabytes) {
  const std::string errors = path + ".err";
  const auto result = test::RunCommand("ulimit -v " + std::to_string(megabytes * 1024) + "; " + PIXTREL_CLI_PATH +
                                       " info " + path + " >/dev/null 2>" + errors);
  std::ifstream in(errors);
  std::string text;
  for (std::string line; std::getline(in, line);)
    if (line.find("XDG_RUNTIME_DIR") == std::string::npos) text += line + "\n";
  return std::to_string(result.exitCode) + ": " + text;
}

TEST(DashedStroke, KeepsOnlyThePartInTheBoxWithItsDistanceAlongThePath) {
  QPainterPath path(QPointF(-1e9, 50));
  path.lineTo(1e9, 50);
  path.lineTo(1e9, 60);
  path.lineTo(100, 60);  // back into the box
  const DashedRuns cut = CutToBox(path, QRectF(0, 0, 200, 100), 1000);
  ASSERT_TRUE(cut.complete);
  ASSERT_EQ(cut.runs.size(), 2u);
  // Measured on lines of 2e9 pixels: a millionth of a pixel is exact here.
  const auto near = [](QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()) < 1e-6; };
  ASSERT_EQ(cut.runs[0].points.size(), 2);
  EXPECT_TRUE(near(cut.runs[0].points[0], QPointF(0, 50)));
  EXPECT_TRUE(near(cut.runs[0].points[1], QPointF(200, 50)));
  EXPECT_NEAR(cut.runs[0].startLength, 1e9, 1e-6);
  ASSERT_EQ(cut.runs[1].points.size(), 2);
  EXPECT_TRUE(near(cut.runs[1].points[0], QPointF(200, 60)));
  EXPECT_TRUE(near(cut.runs[1].points[1], QPointF(100, 60)));
  EXPECT_NEAR(cut.runs[1].startLength, 2e9 + 10 + (1e9 - 200), 1e-6);
  EXPECT_NEAR(cut.visibleLength, 300, 1e-6);
  EXPECT_EQ(cut.points, 4u);

  // Each subpath starts its own count.
  QPainterPath two(QPointF(-50, 10));
  two.lineTo(50, 10);
  two.moveTo(-30, 20);
  two.lineTo(50, 20);
  const DashedRuns twoCut = CutToBox(two, QRectF(0, 0, 100, 100), 1000);
  ASSERT_EQ(twoCut.runs.size(), 2u);
  EXPECT_DOUBLE_EQ(twoCut.runs[0].startLength, 50);
  EXPECT_DOUBLE_EQ(twoCut.runs[1].startLength, 30);
}

TEST(DashedStroke, CurvesCostPointsOnlyWhereTheyAreSeen) {
  // A curve far away counts only its length, estimated as the mean of its
  // chord (here 100) and control polygon (300).
  QPainterPath away(QPointF(1e6, 1e6));
  away.cubicTo(QPointF(1e6 + 100, 1e6), QPointF(1e6 + 100, 1e6 + 100), QPointF(1e6, 1e6 + 100));
  away.lineTo(1e6, 1e6);
  away.lineTo(50, 50);
  const DashedRuns awayCut = CutToBox(away, QRectF(0, 0, 100, 100), 1000);
  ASSERT_EQ(awayCut.runs.size(), 1u);
  EXPECT_EQ(awayCut.points, 2u);
  EXPECT_NEAR(awayCut.runs[0].startLength, 200 + 100 + std::hypot(1e6 - 100, 1e6 - 100), 1e-6);

  // Curves across the whole coordinate space flatten to a few points each.
  QPainterPath huge(QPointF(-2e9, -2e9));
  for (int i = 0; i < 100; ++i) {
    const double end = i % 2 ? -2e9 : 2e9;  // each one through the middle
    huge.cubicTo(QPointF(2e9, -2e9), QPointF(-2e9, 2e9), QPointF(end, end));
  }
  const QRectF box(-500, -500, 1000, 1000);
  const DashedRuns hugeCut = CutToBox(huge, box, 1 << 18);
  EXPECT_TRUE(hugeCut.complete);
  EXPECT_GE(hugeCut.runs.size(), 100u);
  EXPECT_LT(hugeCut.points, 100u * 50);

  // Past the allowance nothing is kept.
  const DashedRuns capped = CutToBox(huge, box, hugeCut.points - 1);
  EXPECT_FALSE(capped.complete);
  EXPECT_TRUE(capped.runs.empty());
}

TEST(DashedStroke, TooManyDashesOrPointsAreDrawnSolid) {
  QPainterPath path(QPointF(0, 10));
  for (int i = 0; i < 1000; ++i) path.lineTo(i % 2 ? 0 : 1000, 10 + i % 7);
  const DashedRuns cut = CutToBox(path, QRectF(0, 0, 1000, 100));
  ASSERT_TRUE(cut.complete);
  EXPECT_NEAR(cut.visibleLength, 1e6, 100);
  EXPECT_EQ(metafile::PlanDashedStroke(cut, 6), metafile::DashedStrokePlan::Dashed);
  EXPECT_EQ(metafile::PlanDashedStroke(cut, 3), metafile::DashedStrokePlan::SolidRuns);
  EXPECT_EQ(metafile::PlanDashedStroke(CutToBox(path, QRectF(0, 0, 1000, 100), 999), 6),
            metafile::DashedStrokePlan::SolidWhole);
}

// A wide dashed line that runs far past the picture draws in the picture
// exactly as Qt draws the whole line.
TEST(DashedStroke, CutLineLooksAsTheWholeLine) {
  for (int width : {3, 6, 11}) {
    SCOPED_TRACE(width);
    EmfBuilder b(192, 96);
    b.Record(18, {1});  // SetBkMode transparent
    Pen(b, kDashedGeometric, width);
    b.Record(27, {-3001, 40}).Record(54, {3000, 60});  // MoveToEx, LineTo
    b.Record(27, {100, -5000}).Record(54, {120, 5000});
    const Bitmap drawn = Render(b.Finish());

    QImage expected(192, 96, QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
      QPainter painter(&expected);
      painter.setPen(QPen(Qt::black, width, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
      painter.drawLine(QPointF(-3001, 40), QPointF(3000, 60));
      painter.drawLine(QPointF(100, -5000), QPointF(120, 5000));
    }
    int differing = 0, black = 0;
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 192; ++x) {
        const QRgb e = expected.pixel(x, y);
        const Color c = drawn.Pixel(x, y);
        differing += RGB(qRed(e), qGreen(e), qBlue(e)) != c;
        black += c == clBlack;
      }
    }
    EXPECT_GT(black, 192 * width / 3);
    // Rounding in the two ways of measuring along the line may move a dash
    // end by a pixel, no more.
    EXPECT_LE(differing, 2 * width);
  }
}

TEST(DashedStroke, FloodOfDashesBeyondThePictureIsDrawnQuickly) {
  for (const auto& [name, bytes] : {std::pair{"bezier", DashedBezierBomb()}, {"magnified", MagnifiedBezierBomb()}}) {
    SCOPED_TRACE(name);
    const Bitmap drawn = Render(bytes);
    EXPECT_EQ(drawn.Width(), 1000);
    int black = 0;
    for (int y = 0; y < 1000; y += 10)
      for (int x = 0; x < 1000; x += 10) black += drawn.Pixel(x, y) == clBlack;
    EXPECT_GT(black, 0);
  }
}

TEST(ClipPolygon, CutToTheBoxFillsAsTheWholePolygonThere) {
  // A star that crosses itself, much larger than the box, under both rules.
  QPolygonF star;
  for (int i = 0; i < 5; ++i) {
    const double angle = 3.14159265358979 / 2 + i * 4 * 3.14159265358979 / 5;
    star.append(QPointF(100 + 5000 * std::cos(angle), 60 + 5000 * std::sin(angle)));
  }
  const QRectF box(-20, -30, 240, 180);
  const QPolygonF cut = metafile::CutPolygonToBox(star, box);
  for (const QPointF& p : cut) EXPECT_TRUE(box.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(p)) << p.x() << "," << p.y();
  const QRegion inBox(box.toRect());
  for (Qt::FillRule rule : {Qt::OddEvenFill, Qt::WindingFill}) {
    SCOPED_TRACE(rule);
    EXPECT_EQ(QRegion(star.toPolygon(), rule).intersected(inBox), QRegion(cut.toPolygon(), rule).intersected(inBox));
  }
  EXPECT_TRUE(metafile::CutPolygonToBox(QPolygonF({{500, 500}, {600, 500}, {550, 600}}), box).isEmpty());
}

// Clip paths 60000 pixels tall, over and over: each clips as it should and
// costs rows of the picture only.
TEST(ClipPolygon, HugeClipPathsCostThePictureNotTheirSize) {
  EmfBuilder b(192, 96);
  for (int i = 0; i < 200; ++i) {
    b.Record(59, {});                                    // BeginPath
    b.Record(42, {50, 48 - 30000, 60050, 48 + 30000});  // Ellipse, its left end at x = 50
    b.Record(60, {});                                    // EndPath
    b.Record(67, {5});                                   // SelectClipPath, RGN_COPY
  }
  b.Record(39, {1, 0, test::ColorRef(255, 0, 0), 0}).Record(37, {1});  // a red brush
  b.Record(37, {0x80000008});                                          // no pen
  b.Record(43, {0, 0, 192, 96});                                       // Rectangle
  const Bitmap drawn = Render(b.Finish());
  EXPECT_EQ(drawn.Pixel(20, 48), clWhite);
  EXPECT_EQ(drawn.Pixel(52, 48), RGB(255, 0, 0));
  EXPECT_EQ(drawn.Pixel(150, 5), RGB(255, 0, 0));
}

// The same files through the command line under a ceiling of 1 GB of
// address space (Qt and the picture take about 300 MB of it).
TEST(DashedStroke, FloodOfDashesStaysInBoundedMemory) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers reserve more address space than the ceiling";
  EXPECT_EQ(InfoWithin(WriteTemp("bezier.emf", DashedBezierBomb()), 1024), "0: ");
  EXPECT_EQ(InfoWithin(WriteTemp("magnified.emf", MagnifiedBezierBomb()), 1024), "0: ");
}

// A memory ceiling that cuts the drawing short at one allocation or another
// gives the program's own out-of-memory error, never a crash or another
// message.
TEST(MetafileDrawing, AllocationFailureIsTheCleanOutOfMemoryError) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers reserve more address space than any ceiling here";
  EmfBuilder b(6000, 6000);
  Pen(b, kDashedGeometric, 20);
  b.Record(42, {100, 100, 5900, 5900});  // Ellipse
  const std::string path = WriteTemp("large.emf", b.Finish());
  int outOfMemory = 0, drawn = 0;
  for (int megabytes = 200; megabytes <= 740; megabytes += 60) {
    const std::string result = InfoWithin(path, megabytes);
    SCOPED_TRACE(megabytes);
    if (result == "0: ") {
      ++drawn;
    } else {
      EXPECT_EQ(result, "1: error: out of memory\n");
      ++outOfMemory;
    }
  }
  EXPECT_GT(outOfMemory, 0);
  EXPECT_GT(drawn, 0);
}

}  // namespace
}  // namespace pixtrel
