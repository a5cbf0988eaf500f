// The EPS files of the shared corpus through the load dispatch, and the TIFF
// files of the corpus through the TIFF decoder directly (wrapped in nothing:
// the decoder is the same one the previews use). Every file's outcome is
// pinned in a table: decoded files match their reference (lossy ones within a
// tolerance), refused ones fail with the message given.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "codecs/eps/eps_graphic.h"
#include "codecs/eps/tiff_graphic.h"
#include "core/errors.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

using test::CorpusEntries;
using test::CorpusEntry;

constexpr const char* kNotSupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
constexpr const char* kBadTiff = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
constexpr const char* kBadEps = "Cannot load image. Invalid or unexpected EPS image format.";
constexpr const char* kOutside = "Stream read error in TIF/TIFF file.";

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// References keep alpha, the screen shows colour only: pixels the reference
// does not show opaque are taken from the picture itself, so they always
// match.
QImage Reference(const CorpusEntry& e, const Bitmap& picture) {
  QImage ref = QImage(QString::fromStdString(e.RefPath())).convertToFormat(QImage::Format_ARGB32);
  QImage flat(ref.size(), QImage::Format_RGB888);
  for (int y = 0; y < ref.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(ref.constScanLine(y));
    uchar* out = flat.scanLine(y);
    for (int x = 0; x < ref.width(); ++x) {
      const Color c = picture.Pixel(x, y);
      const bool opaque = qAlpha(in[x]) == 255;
      out[3 * x] = static_cast<uchar>(opaque ? qRed(in[x]) : GetRValue(c));
      out[3 * x + 1] = static_cast<uchar>(opaque ? qGreen(in[x]) : GetGValue(c));
      out[3 * x + 2] = static_cast<uchar>(opaque ? qBlue(in[x]) : GetBValue(c));
    }
  }
  return flat;
}

// Channel tolerance and share of channels allowed beyond it.
struct Tolerance {
  // 16-bit samples and palettes are reduced by truncation (v * 255 / 65535),
  // the peer rounds: one step off is the same picture.
  int channel = 1;
  double fractionOver = 0.0;
};

// Outcomes that are not "matches its reference exactly".
struct Expectation {
  std::string error;  // message of the failure; empty when it decodes
  Tolerance tolerance;
  bool empty = false;  // decodes to an empty picture (tiled)
};
Expectation Fails(std::string message) { return {std::move(message), Tolerance{}, false}; }
Expectation Within(int channel, double fractionOver) { return {"", Tolerance{channel, fractionOver}, false}; }
Expectation Empty() { return {"", Tolerance{}, true}; }

const std::map<std::string, Expectation>& EpsExpectations() {
  static const std::map<std::string, Expectation> table = {
      {"own-bad-magic.eps", Fails(kBadEps)},
      {"pillow-reqd_showpage.eps", Fails(kBadEps)},
      {"own-no-preview.eps", Fails(kBadTiff)},
      {"own-wmf-only.eps", Fails(kBadTiff)},
      {"own-tiff-version43.eps", Fails(kBadTiff)},
      {"own-tiff-bilevel-g4.eps", Fails(kNotSupported)},
      {"own-tiff-rgb8-lzma.eps", Fails(kNotSupported)},
      {"own-tiff-rgb8-lzw.eps", Fails(kNotSupported)},
      {"own-tiff-rgb8-lzw-pred2.eps", Fails(kNotSupported)},
      {"own-tiff-bilevel-g3-2d.eps",
       Fails("Cannot load image. Two-dimensional CCITT Group 3 coding is not supported for TIF/TIFF files.")},
      {"own-tiff-rgb8-planar2-none.eps",
       Fails("Cannot load image. Separate sample planes are not supported for TIF/TIFF files.")},
      {"own-truncated-in-tiff.eps", Fails(kOutside)},
      {"own-tiff-rgb8-tiled16-none.eps", Empty()},
      {"own-tiff-grey8-jpeg.eps", Within(6, 0.01)},
      {"own-tiff-rgb8-jpeg.eps", Within(6, 0.01)},
      {"own-tiff-rgb8-jpeg-ycbcr-tiffcp.eps", Within(6, 0.01)},
      // CIE L*a*b* goes through the colour manager's formulas, which give
      // linear rather than gamma-corrected RGB: the same picture, darker.
      {"own-tiff-lab8-none.eps", Within(100, 0.0)},
  };
  return table;
}

void CheckOutcome(const CorpusEntry& e, const Expectation& x, const std::function<Bitmap()>& decode) {
  Bitmap picture;
  try {
    picture = decode();
  } catch (const Exception& error) {
    EXPECT_EQ(x.error, error.Message());
    return;
  }
  ASSERT_EQ(x.error, "") << "decoded, expected the failure";
  if (x.empty) {
    EXPECT_EQ(0, picture.Width());
    EXPECT_EQ(0, picture.Height());
    return;
  }
  ASSERT_EQ(e.width, picture.Width());
  ASSERT_EQ(e.height, picture.Height());
  if (e.ref.empty()) return;
  const QImage ref = Reference(e, picture);
  ASSERT_FALSE(ref.isNull()) << e.RefPath();
  const test::PixelDifference d = test::Compare(picture, ref, x.tolerance.channel);
  EXPECT_TRUE(d.sizeMatches);
  EXPECT_LE(d.fractionOver, x.tolerance.fractionOver) << "max " << d.maxChannelDelta << " mean " << d.meanChannelDelta;
}

TEST(EpsCorpus, EveryFileHasItsPinnedOutcome) {
  const std::vector<CorpusEntry> entries = CorpusEntries("eps");
  ASSERT_GE(entries.size(), 40u);
  for (const CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const std::string name = e.path.substr(e.path.find('/') + 1);
    const auto it = EpsExpectations().find(name);
    const Expectation x = it == EpsExpectations().end() ? Within(1, 0.0) : it->second;
    if (it == EpsExpectations().end()) {
      EXPECT_EQ("decodes", e.expected) << "a file the corpus refuses is not in the table";
    }
    CheckOutcome(e, x, [&] {
      Bitmap target;
      LoadImageFile(e.FullPath(), target, test::Silent());
      return target;
    });
  }
}

// The TIFF corpus is made for the simple reader; the general decoder opens
// more of it. Files not listed decode and match their reference exactly.
const std::map<std::string, Expectation>& TiffExpectations() {
  static const std::map<std::string, Expectation> table = {
      {"gen-bilevel-g3-2d-hopper.tif",
       Fails("Cannot load image. Two-dimensional CCITT Group 3 coding is not supported for TIF/TIFF files.")},
      {"gen-bilevel-g4-castle.tif", Fails(kNotSupported)},
      {"gen-grey8-lzw-castle.tif", Fails(kNotSupported)},
      {"gen-grey8-tiled32-lzw-castle.tif", Empty()},
      {"gen-lab8-none-castle.tif", Within(100, 0.0)},  // linear L*a*b* conversion, see above
      {"gen-rgb8-lzma-logo.tif", Fails(kNotSupported)},
      {"gen-rgb8-lzw-hopper.tif", Fails(kNotSupported)},
      {"gen-rgb8-lzw-pred2-hopper.tif", Fails(kNotSupported)},
      {"gen-rgb8-planar2-none-hopper.tif",
       Fails("Cannot load image. Separate sample planes are not supported for TIF/TIFF files.")},
      {"gen-rgb8-planar2-packbits-hopper.tif",
       Fails("Cannot load image. Separate sample planes are not supported for TIF/TIFF files.")},
      {"gen-rgb8-tiled16-none-hopper.tif", Empty()},
      {"kimg-testcard_cmyk.tif", Fails(kNotSupported)},
      {"libtiff-ojpeg_chewey_subsamp21_multi_strip.tif", Fails(kNotSupported)},
      {"libtiff-quad-lzw-compat.tif", Fails(kNotSupported)},
      {"libtiff-quad-tile.jpg.tif", Empty()},
      {"libtiff-tiff_with_subifd_chain.tif", Empty()},
      {"pillow-16_bit_binary_pgm.tif", Fails("Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.")},
      {"pillow-crash-0da013a13571cc8eb457a39fee8db18f8a3c7127.tif", Fails(kNotSupported)},
      {"pillow-crash-1185209cf7655b5aed8ae5e77784dfdd18ab59e9.tif", Fails("Bogus JPEG tables field.")},
      {"pillow-crash-63b1dffefc8c075ddc606c0a2f5fdc15ece78863.tif", Fails(kOutside)},
      {"pillow-g4_orientation_1.tif", Fails(kNotSupported)},
      {"pillow-hopper_bigtiff.tif", Fails(kBadTiff)},
      {"pillow-hopper_lzma.tif", Fails(kNotSupported)},
      {"pillow-lab-red.tif", Within(100, 0.0)},  // linear L*a*b* conversion, see above
      {"pillow-oom-225817ca0f8c663be7ab4b9e717b02c661e66834.tif", Fails(kOutside)},
      {"pillow-rdf.tif", Fails(kNotSupported)},
      {"pillow-separate_planar_extra_samples.tif",
       Fails("Cannot load image. Separate sample planes are not supported for TIF/TIFF files.")},
      {"pillow-tiff_16bit_RGB.tif", Empty()},
      {"pillow-tiff_strip_planar_16bit_RGB.tif", Fails(kNotSupported)},
      {"pillow-tiff_tiled_cmyk_jpeg.tif", Empty()},
      {"pillow-tiff_tiled_planar_16bit_RGBa.tif", Empty()},
      {"pillow-tiff_tiled_planar_lzw.tif", Empty()},
      {"pillow-tiff_tiled_planar_raw.tif", Empty()},
      {"pillow-tiff_wrong_bits_per_sample_3.tif", Fails(kNotSupported)},
      {"rs-TODO hpredict_cmyk.tif", Fails(kNotSupported)},
      {"rs-rgb32f_bw.tif", Fails("Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.")},
      {"rs-scale.hdr.tif", Fails("Cannot load image. The predictor is not supported for TIF/TIFF files.")},
      {"vips-ojpeg-strip.tif", Fails(kNotSupported)},
      {"vips-subsampled.tif", Fails(kNotSupported)},
  };
  return table;
}

TEST(TiffDecoderCorpus, EveryFileHasItsPinnedOutcome) {
  const std::vector<CorpusEntry> entries = CorpusEntries("tiff");
  ASSERT_GE(entries.size(), 100u);
  for (const CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const std::string name = e.path.substr(e.path.find('/') + 1);
    const auto it = TiffExpectations().find(name);
    const Expectation x = it == TiffExpectations().end() ? Within(1, 0.0) : it->second;
    CheckOutcome(e, x, [&] {
      const std::vector<std::uint8_t> bytes = ReadFile(e.FullPath());
      TIFFGraphic graphic;
      graphic.LoadFromBytes(bytes);
      return Bitmap(graphic);
    });
  }
}

}  // namespace
}  // namespace pixtrel
