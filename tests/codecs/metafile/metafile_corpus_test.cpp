// The corpus metafiles against their manifest rows and reference renderings.
//
// The references come from other renderers, at other sizes and with
// antialiasing, and the WMF references are cut to the extent of what was
// drawn rather than to the picture frame. So pixels are not compared: both
// pictures are cut to the box of their non-white pixels, reduced to a grid
// of 24 cells across (rows by the reference's aspect), each cell the mean of
// its pixels, and compared by the mean absolute channel difference of the
// cells. A rendering passes when that difference is small in itself and well
// below the difference between a blank picture and the reference: a missing
// or misplaced element (a shape, the bitmap, a text line) moves whole cells,
// antialiasing and font differences move little.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "codecs/metafile/metafile.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

constexpr int kCells = 24;

std::vector<double> Cells(const QImage& source, int columns, int rows) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  std::vector<double> sums(static_cast<std::size_t>(columns * rows * 3), 0.0);
  std::vector<int> counts(static_cast<std::size_t>(columns * rows), 0);
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    const int cy = std::min(rows - 1, y * rows / image.height());
    for (int x = 0; x < image.width(); ++x) {
      const int cx = std::min(columns - 1, x * columns / image.width());
      const std::size_t cell = static_cast<std::size_t>(cy * columns + cx);
      for (int c = 0; c < 3; ++c) sums[cell * 3 + c] += row[3 * x + c];
      ++counts[cell];
    }
  }
  for (std::size_t i = 0; i < sums.size(); ++i) sums[i] /= std::max(1, counts[i / 3]);
  return sums;
}

// The image cut to the box of its pixels that are not (nearly) white.
QImage Inked(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const uchar* row = image.constScanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (std::min({row[3 * x], row[3 * x + 1], row[3 * x + 2]}) < 240) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  if (right < 0) return image;
  return image.copy(left, top, right - left + 1, bottom - top + 1);
}

double CellDifference(const QImage& a, const QImage& b) {
  const int rows = std::max(1, static_cast<int>(std::lround(kCells * double(b.height()) / b.width())));
  const auto ca = Cells(a, kCells, rows), cb = Cells(b, kCells, rows);
  double sum = 0;
  for (std::size_t i = 0; i < ca.size(); ++i) sum += std::abs(ca[i] - cb[i]);
  return sum / static_cast<double>(ca.size());
}

// Renderings of a WMF without placeable header are compared with the
// reference of its placeable twin: same records, and that renderer sized the
// plain files by their drawing, not by their window.
std::string ReferenceFor(const test::CorpusEntry& entry) {
  std::string path = entry.path;
  const auto at = path.find("nonplaceable");
  if (at == std::string::npos) return entry.ref.empty() ? "" : entry.RefPath();
  path.replace(at, 12, "placeable");
  return test::CorpusDir() + "/refs/" + path + ".png";
}

// The rule for references that render the file faithfully.
bool LooksAlike(double difference, double blankDifference) {
  return difference < 15.0 && difference < 0.4 * blankDifference;
}

// References that differ from the files for reasons of their own, and how
// much of the comparison still holds for them.
struct KnownDifference {
  const char* prefix;
  double shareOfBlank;  // our difference must stay below this share of the blank one
  const char* why;
};
const KnownDifference kKnownDifferences[] = {
    {"wmf/own-all-", 0.8, "the reference renderer draws STRETCHDIB at the picture origin, not at its destination"},
    {"wmf/own-bitmap-", 0.8, "the reference renderer draws STRETCHDIB at the picture origin, not at its destination"},
    {"wmf/own-text-", 1.0,
     "text only: the reference renderer sizes the text by its own rules and cuts the picture to it"},
    {"emf/libemf2svg-emf-test-183", 1.0, "text only, a few small lines: font differences dominate"},
    {"emf/gen-pstoedit-", 0.5, "the reference renders the PostScript source, whose bitmap the EMF does not hold"},
};

const KnownDifference* Known(const std::string& path) {
  for (const auto& known : kKnownDifferences)
    if (path.rfind(known.prefix, 0) == 0) return &known;
  return nullptr;
}

TEST(MetafileCorpus, BehavesAsTheManifestExpectsAndLooksLikeTheReferences) {
  int decoded = 0, compared = 0;
  for (const char* format : {"wmf", "emf"}) {
    for (const auto& entry : test::CorpusEntries(format)) {
      SCOPED_TRACE(entry.path);
      Bitmap bitmap;
      Metafile metafile;
      bool loaded = false;
      try {
        metafile.LoadFromFile(entry.FullPath());
        bitmap.Assign(metafile);
        loaded = true;
      } catch (const Exception& e) {
        EXPECT_NE(entry.expected, "decodes") << e.what();
        continue;
      }
      EXPECT_NE(entry.expected, "must-fail");
      ASSERT_TRUE(loaded);
      ++decoded;
      EXPECT_GT(bitmap.Width(), 0);
      const std::string refPath = ReferenceFor(entry);
      if (refPath.empty() || entry.expected != "decodes") continue;
      QImage ref(QString::fromStdString(refPath));
      ASSERT_FALSE(ref.isNull()) << refPath;
      QImage flat(ref.size(), QImage::Format_RGB888);
      flat.fill(Qt::white);
      {
        QPainter p(&flat);
        p.drawImage(0, 0, ref.convertToFormat(QImage::Format_ARGB32));
      }
      // Small pictures are compared drawn larger, so that thin lines and
      // small text weigh in the cells as they do in the reference.
      const int longest = std::max(bitmap.Width(), bitmap.Height());
      const double k = longest < 1000 ? 1000.0 / longest : 1.0;
      Bitmap large(static_cast<int>(bitmap.Width() * k), static_cast<int>(bitmap.Height() * k), pf24bit);
      large.Fill(clWhite);
      metafile.Draw(large.Canvas(), Bounds(large.Width(), large.Height()));
      const QImage ours = Inked(test::ToQImage(large));
      const QImage theirs = Inked(flat);
      QImage blank(ours.size(), QImage::Format_RGB888);
      blank.fill(Qt::white);
      const double ourDiff = CellDifference(ours, theirs);
      const double blankDiff = CellDifference(blank, theirs);
      ++compared;
      RecordProperty(entry.path, std::to_string(ourDiff) + " blank " + std::to_string(blankDiff));
      std::printf("%-60s cells %6.2f, blank %6.2f\n", entry.path.c_str(), ourDiff, blankDiff);
      if (const KnownDifference* known = Known(entry.path)) {
        EXPECT_LT(ourDiff, known->shareOfBlank * blankDiff) << "blank " << blankDiff << "; " << known->why;
      } else {
        EXPECT_TRUE(LooksAlike(ourDiff, blankDiff)) << ourDiff << ", blank " << blankDiff;
      }
    }
  }
  EXPECT_GE(decoded, 20);
  EXPECT_GE(compared, 10);
}

// The tolerance is meant to catch a missing or misplaced element: the same
// comparison fails when a quarter of the picture is wiped or the picture is
// mirrored.
TEST(MetafileCorpus, TheComparisonCatchesAMissingOrMisplacedElement) {
  const std::string name = "emf/libemf2svg-emf-test-179.emf";
  Metafile metafile;
  metafile.LoadFromFile(test::CorpusDir() + "/" + name);
  Bitmap large(metafile.Width() * 8, metafile.Height() * 8, pf24bit);
  large.Fill(clWhite);
  metafile.Draw(large.Canvas(), Bounds(large.Width(), large.Height()));
  QImage ref(QString::fromStdString(test::CorpusDir() + "/refs/" + name + ".png"));
  ASSERT_FALSE(ref.isNull());
  QImage flat(ref.size(), QImage::Format_RGB888);
  flat.fill(Qt::white);
  {
    QPainter p(&flat);
    p.drawImage(0, 0, ref.convertToFormat(QImage::Format_ARGB32));
  }
  const QImage theirs = Inked(flat);
  const QImage ours = Inked(test::ToQImage(large));
  QImage blank(ours.size(), QImage::Format_RGB888);
  blank.fill(Qt::white);
  const double blankDiff = CellDifference(blank, theirs);
  EXPECT_TRUE(LooksAlike(CellDifference(ours, theirs), blankDiff));

  QImage wiped = ours.copy();
  {
    QPainter p(&wiped);
    p.fillRect(0, 0, wiped.width() / 2, wiped.height() / 2, Qt::white);
  }
  EXPECT_FALSE(LooksAlike(CellDifference(wiped, theirs), blankDiff));
  EXPECT_FALSE(LooksAlike(CellDifference(ours.mirrored(true, false), theirs), blankDiff));
}

TEST(MetafileCorpus, OpensThroughLoadImageFileAtItsOwnSize) {
  for (const char* name : {"emf/libemf2svg-emf-test-023.emf", "wmf/own-all-placeable-hopper.wmf"}) {
    SCOPED_TRACE(name);
    Metafile metafile;
    metafile.LoadFromFile(test::CorpusDir() + "/" + name);
    Bitmap target(5, 5, pf24bit);
    LoadImageFile(test::CorpusDir() + "/" + name, target, test::Silent());
    EXPECT_EQ(target.Width(), metafile.Width());
    EXPECT_EQ(target.Height(), metafile.Height());
  }
}

}  // namespace
}  // namespace pixtrel
