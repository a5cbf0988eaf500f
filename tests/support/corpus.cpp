#include "support/corpus.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/qimage_bitmap.h"

namespace pixtrel::test {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

}  // namespace

std::string CorpusDir() {
  if (const char* dir = std::getenv("PIXTREL_CORPUS")) return dir;
  return PIXTREL_CORPUS_DIR;
}

std::string CorpusEntry::FullPath() const { return CorpusDir() + "/" + path; }
std::string CorpusEntry::RefPath() const { return ref.empty() ? std::string() : CorpusDir() + "/" + ref; }

std::vector<CorpusEntry> CorpusEntries(const std::string& format) {
  std::vector<CorpusEntry> entries;
  std::ifstream in(CorpusDir() + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    auto f = SplitTabs(line);
    if (f.size() < 11 || f[1] != format) continue;
    CorpusEntry e;
    e.path = f[0];
    e.format = f[1];
    e.width = std::atoi(f[4].c_str());
    e.height = std::atoi(f[5].c_str());
    e.depth = f[6];
    e.compression = f[7];
    e.expected = f[8];
    e.notes = f[9];
    e.ref = f[10];
    entries.push_back(std::move(e));
  }
  return entries;
}

QImage LoadReference(const CorpusEntry& entry) {
  QImage ref(QString::fromStdString(entry.RefPath()));
  if (ref.isNull()) return ref;
  QImage flat(ref.size(), QImage::Format_RGB888);
  flat.fill(Qt::white);
  QPainter p(&flat);
  p.drawImage(0, 0, ref.convertToFormat(QImage::Format_ARGB32));
  p.end();
  return flat;
}

QImage ToQImage(const Bitmap& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB888);
  for (int y = 0; y < bitmap.Height(); ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      Color c = bitmap.Pixel(x, y);
      row[3 * x] = static_cast<uchar>(GetRValue(c));
      row[3 * x + 1] = static_cast<uchar>(GetGValue(c));
      row[3 * x + 2] = static_cast<uchar>(GetBValue(c));
    }
  }
  return image;
}

Bitmap FromQImage(const QImage& source) { return QImageToBitmap(source); }

PixelDifference Compare(const Bitmap& bitmap, const QImage& reference, int threshold) {
  PixelDifference d;
  if (bitmap.Width() != reference.width() || bitmap.Height() != reference.height()) return d;
  d.sizeMatches = true;
  QImage ref = reference.convertToFormat(QImage::Format_RGB888);
  long long sum = 0;
  long long over = 0;
  long long count = 0;
  for (int y = 0; y < ref.height(); ++y) {
    const uchar* r = ref.constScanLine(y);
    for (int x = 0; x < ref.width(); ++x) {
      Color c = bitmap.Pixel(x, y);
      int ours[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
      for (int k = 0; k < 3; ++k) {
        int delta = std::abs(ours[k] - r[3 * x + k]);
        d.maxChannelDelta = std::max(d.maxChannelDelta, delta);
        sum += delta;
        if (delta > threshold) ++over;
        ++count;
      }
    }
  }
  if (count > 0) {
    d.meanChannelDelta = static_cast<double>(sum) / static_cast<double>(count);
    d.fractionOver = static_cast<double>(over) / static_cast<double>(count);
  }
  return d;
}

std::string TempDir() {
  static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
  dirs.push_back(std::make_unique<QTemporaryDir>());
  return dirs.back()->path().toStdString();
}

}  // namespace pixtrel::test
