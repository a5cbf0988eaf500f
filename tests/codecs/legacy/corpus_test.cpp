// Every legacy file of the shared corpus through the load dispatch: files
// that must decode open and match their reference within the differences
// the manifest notes, must-fail files raise a system error, partial files do
// either but never crash; the golden tables pin what each gives.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/errors.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

using test::CorpusEntries;
using test::CorpusEntry;

// References keep alpha; our readers put colour only on screen, so pictures
// with alpha compare with the reference's colour channels.
QImage ColourOfReference(const CorpusEntry& entry) {
  QImage ref(QString::fromStdString(entry.RefPath()));
  if (ref.isNull()) return ref;
  return ref.convertToFormat(QImage::Format_ARGB32).convertToFormat(QImage::Format_RGB888);
}

// The peer un-mattes the merged image of a Photoshop file with alpha (it
// is stored blended with white), in 8-bit arithmetic that wraps; a pf32bit
// picture with its fourth byte as alpha is treated the same way to compare.
QImage UnmattedLikePeer(const Bitmap& picture) {
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB888);
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* in = picture.ScanLine(y);
    uchar* out = image.scanLine(y);
    for (int x = 0; x < picture.Width(); ++x) {
      const int a = in[4 * x + 3];
      for (int k = 0; k < 3; ++k) {
        const int c = in[4 * x + 2 - k];
        const long v = a == 0 ? c : std::lround((c - (255.0 - a)) * 255.0 / a);
        out[3 * x + k] = static_cast<uchar>(v & 0xFF);
      }
    }
  }
  return image;
}

struct Tolerance {
  int channel;          // a channel counts as off beyond this
  double fractionOver;  // share of channels allowed off
};

int Maxval(const std::string& depth) {
  const auto at = depth.find("maxval ");
  return at == std::string::npos ? -1 : std::atoi(depth.c_str() + at + 7);
}

// Where the manifest says our reader legitimately differs, the comparison
// is reported only (nullopt); otherwise the tolerance of the format.
std::optional<Tolerance> ToleranceFor(const CorpusEntry& e) {
  const std::string name = e.path.substr(e.path.find('/') + 1);
  if (e.format == "pnm") {
    // maxval is ignored: only bitmaps and files with maxval 255 look like
    // the reference.
    const bool bitmap = e.depth.rfind("P1", 0) == 0 || e.depth.rfind("P4", 0) == 0;
    if (!bitmap && Maxval(e.depth) != 255) return std::nullopt;
    return Tolerance{0, 0.0};
  }
  if (e.format == "pcx") {
    if (e.depth.find("version 3") != std::string::npos || name.find("marker-broken") != std::string::npos) {
      return std::nullopt;
    }
    return Tolerance{0, 0.0};
  }
  // Our PhotoYCC coefficients and chroma up-sampling are our own.
  if (e.format == "pcd") return std::nullopt;
  if (e.format == "psd") {
    // Our Lab formula has no white point or gamma step: colours are close
    // in hue only.
    if (e.depth.find("Lab") != std::string::npos) return std::nullopt;
    // The peer rendered the layers; the merged image stored in the file is
    // plain white.
    if (name == "psdtools-layer-name-emoji.psd") return std::nullopt;
    // Four multichannel planes are RGBA here; the peer takes them as CMYK.
    if (e.depth.find("multichannel, 4") != std::string::npos) return std::nullopt;
    if (e.depth.find("CMYK") != std::string::npos) return Tolerance{2, 0.0};
    return Tolerance{2, 0.0};
  }
  // The 1-bit references are all black: the writer stored the indices 0 and
  // 1 as colours.
  if (e.format == "psp" && e.depth == "1-bit") return std::nullopt;
  if (e.format == "sgi") return Tolerance{1, 0.0};
  return Tolerance{0, 0.0};
}

// Partial entries our readers decode correctly: 16-bit grey and bitmap-mode
// Photoshop files, Paint Shop Pro rows laid out as the writer stored them,
// Dr. Halo rows without terminators.
bool IsDecodedInFull(const CorpusEntry& e) {
  static const char* const kNames[] = {
      "psd/kimg-16bit_grayscale-psd.psd",
      "psd/kimg-testcard_graya16-psd.psd",
      "psd/psdtools-colormodes-4x4_1bit_bitmap.psd",
      "psp/own-v3-rle-4bit-hopper.psp",
      "psp/own-v4-rle-4bit-hopper.psp",
      "psp/own-v4-none-odd-width-castle.psp",
      "cut/own-no-row-terminator-rose.cut",
  };
  for (const char* name : kNames) {
    if (e.path == name) return true;
  }
  return false;
}

void RunFamily(const std::string& format) {
  const auto entries = CorpusEntries(format);
  ASSERT_FALSE(entries.empty()) << format;
  for (const CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    Bitmap picture;
    std::string error;
    try {
      LoadImageFile(e.FullPath(), picture, test::Silent());
    } catch (const Exception& ex) {
      error = ex.Message();
    }
    if (e.expected == "must-fail") {
      EXPECT_FALSE(error.empty()) << "opened as " << picture.Width() << "x" << picture.Height();
      continue;
    }
    if (e.expected == "partial" && !IsDecodedInFull(e)) {
      // The manifest leaves these open; what each gives (the error's code,
      // or the picture's size and pixels) is pinned by the golden tables.
      // A picture is never of another size than the header's.
      if (error.empty() && !picture.Empty()) {
        EXPECT_EQ(picture.Width(), e.width);
        EXPECT_EQ(picture.Height(), e.height);
      }
      continue;
    }
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(picture.Width(), e.width);
    EXPECT_EQ(picture.Height(), e.height);
    if (e.ref.empty()) continue;
    QImage ref = ColourOfReference(e);
    ASSERT_FALSE(ref.isNull());
    const auto tolerance = ToleranceFor(e);
    Bitmap compared = picture;
    if (e.format == "psd" && picture.PixelFormat() == pf32bit) compared = test::FromQImage(UnmattedLikePeer(picture));
    // Some references are thumbnails of the picture: compare at their size.
    if (ref.size() != QSize(picture.Width(), picture.Height()) &&
        ref.width() * picture.Height() == ref.height() * picture.Width()) {
      compared = test::FromQImage(
          test::ToQImage(compared).scaled(ref.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    const test::PixelDifference d = test::Compare(compared, ref, tolerance ? tolerance->channel : 0);
    std::printf("  %-60s max %3d mean %6.2f over %.4f%s\n", e.path.c_str(), d.maxChannelDelta, d.meanChannelDelta,
                d.fractionOver, tolerance ? "" : " (differs by design)");
    ASSERT_TRUE(d.sizeMatches);
    if (tolerance) {
      EXPECT_LE(d.fractionOver, tolerance->fractionOver);
    }
    // Photo CD colours differ by the conversion, not by the picture.
    if (e.format == "pcd") {
      EXPECT_LT(d.meanChannelDelta, 32.0);
    }
  }
}

TEST(LegacyCorpus, PCX) { RunFamily("pcx"); }
TEST(LegacyCorpus, PCD) { RunFamily("pcd"); }
TEST(LegacyCorpus, PSD) { RunFamily("psd"); }
TEST(LegacyCorpus, PSP) { RunFamily("psp"); }
TEST(LegacyCorpus, PNM) { RunFamily("pnm"); }
TEST(LegacyCorpus, CUT) { RunFamily("cut"); }
TEST(LegacyCorpus, SGI) { RunFamily("sgi"); }

}  // namespace
}  // namespace pixtrel
