// The shared corpus: MANIFEST.tsv rows, reference renderings and pixel
// comparison for the reader tests.
#pragma once

#include <QImage>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel::test {

struct CorpusEntry {
  std::string path;    // relative to the corpus folder
  std::string format;  // folder / reader family
  int width = 0;
  int height = 0;
  std::string depth;
  std::string compression;
  std::string expected;  // decodes, must-fail, partial
  std::string notes;
  std::string ref;  // relative reference PNG, may be empty

  std::string FullPath() const;
  std::string RefPath() const;
};

std::string CorpusDir();
// Every row of MANIFEST.tsv of one format family.
std::vector<CorpusEntry> CorpusEntries(const std::string& format);

// Reference rendering composited on white, as 8-bit RGB.
QImage LoadReference(const CorpusEntry& entry);

struct PixelDifference {
  bool sizeMatches = false;
  int maxChannelDelta = 0;
  double meanChannelDelta = 0.0;
  double fractionOver = 0.0;  // share of channels whose delta exceeds the threshold
};
// Compares a bitmap (any format) with a reference image.
PixelDifference Compare(const Bitmap& bitmap, const QImage& reference, int threshold = 0);

// A bitmap as a QImage in RGB888, for comparisons and for writing PNGs in tests.
QImage ToQImage(const Bitmap& bitmap);
// A QImage as a pf24bit bitmap.
Bitmap FromQImage(const QImage& image);

// A fresh, empty folder under the system's temporary folder, removed at exit.
std::string TempDir();

}  // namespace pixtrel::test
