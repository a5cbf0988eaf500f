// EPS files wrapping TIFFs that peer tools wrote (libtiff's ppm2tiff and
// tiffcp, ImageMagick): each decodes to the pixels the TIFF was made from, or
// fails with the message for what the decoder refuses.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "codecs/eps/eps_graphic.h"
#include "codecs/eps/tiff_jpeg.h"
#include "core/errors.h"
#include "eps_test_support.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

using test::Bytes;
using test::Rgb;

constexpr const char* kNotSupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";

Bitmap DecodeEps(const Bytes& eps) {
  EPSGraphic graphic;
  graphic.LoadFromBytes(eps);
  return Bitmap(graphic);
}

Bitmap DecodeTiffFile(const std::string& path) { return DecodeEps(test::WrapInEps(test::ReadBytes(path))); }

std::string Message(const std::string& tiffPath) {
  try {
    DecodeTiffFile(tiffPath);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

// Sources in a temporary folder: a 67 x 45 colour picture (odd sizes, so
// rows are not multiples of anything), its grey and bilevel versions.
class PeerTiff : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(test::TempDir());
    picture_ = new Rgb(test::TestPicture(67, 45));
    test::WritePpm(Path("src.ppm"), *picture_);
    test::WritePgm(Path("src.pgm"), *picture_);
    test::WritePbm(Path("src.pbm"), *picture_);
    ASSERT_TRUE(test::Run("ppm2tiff " + Path("src.ppm") + " " + Path("rgb.tif")));
    ASSERT_TRUE(test::Run("ppm2tiff " + Path("src.pgm") + " " + Path("grey.tif")));
    ASSERT_TRUE(test::Run("ppm2tiff " + Path("src.pbm") + " " + Path("bilevel.tif")));
  }
  static std::string Path(const std::string& name) { return *dir_ + "/" + name; }
  // tiffcp options applied to a source TIFF; the result's path.
  static std::string Tiffcp(const std::string& source, const std::string& options, const std::string& name) {
    EXPECT_TRUE(test::Run("tiffcp " + options + " " + Path(source) + " " + Path(name))) << options;
    return Path(name);
  }
  static Rgb Grey() {
    Rgb g = *picture_;
    for (std::size_t i = 0; i < g.pixels.size(); i += 3) g.pixels[i] = g.pixels[i + 2] = g.pixels[i + 1];
    return g;
  }
  static Rgb Bilevel() {
    Rgb b = *picture_;
    for (std::size_t i = 0; i < b.pixels.size(); i += 3) {
      const std::uint8_t v = b.pixels[i + 1] < 128 ? 0 : 255;
      b.pixels[i] = b.pixels[i + 1] = b.pixels[i + 2] = v;
    }
    return b;
  }

  static std::string* dir_;
  static Rgb* picture_;
};

std::string* PeerTiff::dir_ = nullptr;
Rgb* PeerTiff::picture_ = nullptr;

TEST_F(PeerTiff, LosslessCompressionsGiveTheSourcePixels) {
  const std::map<std::string, std::string> variants = {
      {"none", "-c none"},
      {"packbits", "-c packbits"},
      {"zip", "-c zip"},
      {"zip-predictor", "-c zip:2"},
      {"zip-7-row-strips", "-c zip:2 -r 7"},
      {"one-row-strips", "-c none -r 1"},
      {"big-endian", "-B -c zip:2 -r 5"},
  };
  for (const auto& [name, options] : variants) {
    SCOPED_TRACE(name);
    for (const char* source : {"rgb.tif", "grey.tif"}) {
      SCOPED_TRACE(source);
      const Bitmap picture = DecodeTiffFile(Tiffcp(source, options, name + "-" + source));
      const Rgb expected = std::string(source) == "rgb.tif" ? *picture_ : Grey();
      const test::Difference d = test::CompareRgb(picture, expected);
      EXPECT_EQ(0, d.max);
      EXPECT_EQ(std::string(source) == "rgb.tif" ? pf24bit : pf8bit, picture.PixelFormat());
    }
  }
}

// JPEG strips lose what chroma subsampling loses; the decoded pixels are
// those ImageMagick decodes from the same TIFF, and near the source.
TEST_F(PeerTiff, JpegStripsDecodeLikeThePeer) {
  for (const char* options : {"-c jpeg:95", "-c jpeg:r:95", "-c jpeg:95 -r 16", "-c jpeg:r:95 -r 8"}) {
    SCOPED_TRACE(options);
    for (const char* source : {"rgb.tif", "grey.tif"}) {
      SCOPED_TRACE(source);
      const std::string tif = Tiffcp(source, options, "jpeg.tif");
      ASSERT_TRUE(test::Run("convert " + tif + " -depth 8 -type TrueColor " + Path("jpeg.ppm")));
      const Bitmap picture = DecodeTiffFile(tif);
      const bool grey = std::string(source) == "grey.tif";
      EXPECT_EQ(grey ? pf8bit : pf24bit, picture.PixelFormat());
      const test::Difference peer = test::CompareRgb(picture, test::ReadPpm(Path("jpeg.ppm")), 2);
      EXPECT_LT(peer.fractionOver, 0.001) << "max " << peer.max;
      const test::Difference source_ = test::CompareRgb(picture, grey ? Grey() : *picture_, 48);
      EXPECT_LT(source_.mean, 10.0);
      EXPECT_LT(source_.fractionOver, 0.05);
    }
  }
}

TEST_F(PeerTiff, BigEndianPreviewEqualsItsLittleEndianTwin) {
  for (const char* options : {"-c none", "-c packbits", "-c zip:2", "-c jpeg"}) {
    SCOPED_TRACE(options);
    const Bitmap little = DecodeTiffFile(Tiffcp("rgb.tif", std::string(options) + " -L", "le.tif"));
    const Bitmap big = DecodeTiffFile(Tiffcp("rgb.tif", std::string(options) + " -B", "be.tif"));
    ASSERT_EQ(little.Width(), big.Width());
    EXPECT_TRUE(std::equal(little.Bits().begin(), little.Bits().end(), big.Bits().begin(), big.Bits().end()));
  }
}

TEST_F(PeerTiff, BilevelGroup3AndUncompressedGiveTheSourcePixels) {
  for (const char* options :
       {"-c none", "-c g3", "-c g3:1d:fill", "-c g3 -f lsb2msb", "-c g3:fill -r 9 -B", "-c packbits -f lsb2msb"}) {
    SCOPED_TRACE(options);
    const Bitmap picture = DecodeTiffFile(Tiffcp("bilevel.tif", options, "bilevel-out.tif"));
    EXPECT_EQ(pf1bit, picture.PixelFormat());
    EXPECT_EQ(0, test::CompareRgb(picture, Bilevel()).max);
  }
}

TEST_F(PeerTiff, RefusedCodingsFailWithTheirMessages) {
  EXPECT_EQ(kNotSupported, Message(Tiffcp("rgb.tif", "-c lzw", "lzw.tif")));
  EXPECT_EQ(kNotSupported, Message(Tiffcp("rgb.tif", "-c lzw:2", "lzw2.tif")));
  EXPECT_EQ(kNotSupported, Message(Tiffcp("bilevel.tif", "-c g4", "g4.tif")));
  EXPECT_EQ("Cannot load image. Two-dimensional CCITT Group 3 coding is not supported for TIF/TIFF files.",
            Message(Tiffcp("bilevel.tif", "-c g3:2d", "g3-2d.tif")));
  // ImageMagick differences 16-bit deflate data.
  const std::string rgb16 = Path("im-rgb16-zip.tif");
  ASSERT_TRUE(test::Run("convert " + Path("src.ppm") + " -depth 16 -compress zip -define tiff:predictor=2 " + rgb16));
  EXPECT_EQ("Cannot load image. Horizontal differencing of 16-bit samples is not supported for TIF/TIFF files.",
            Message(rgb16));
  EXPECT_EQ("Cannot load image. Separate sample planes are not supported for TIF/TIFF files.",
            Message(Tiffcp("rgb.tif", "-p separate", "planar.tif")));
}

TEST_F(PeerTiff, TiledPreviewOpensEmpty) {
  const Bitmap picture = DecodeTiffFile(Tiffcp("rgb.tif", "-t -w 16 -l 16", "tiled.tif"));
  EXPECT_EQ(0, picture.Width());
  EXPECT_EQ(0, picture.Height());
}

// The per-strip checks of JPEG data against the directory, provoked by
// patching one field of a tiffcp JPEG TIFF at a time.
TEST_F(PeerTiff, JpegStripsThatDoNotMatchTheDirectoryFail) {
  const Bytes ycbcr = test::ReadBytes(Tiffcp("rgb.tif", "-L -c jpeg -r 16", "check-ycbcr.tif"));
  const Bytes grey = test::ReadBytes(Tiffcp("grey.tif", "-L -c jpeg -r 16", "check-grey.tif"));
  using Patch = std::pair<std::uint16_t, std::vector<std::uint32_t>>;
  auto failure = [](Bytes tiff, const std::vector<Patch>& patches) {
    for (const auto& [tag, values] : patches) EXPECT_TRUE(test::PatchTag(tiff, tag, values)) << tag;
    try {
      DecodeEps(test::WrapInEps(tiff));
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::string();
  };
  EXPECT_EQ("", failure(ycbcr, {{256, {67}}}));  // unchanged: decodes
  EXPECT_EQ("Improper JPEG strip/tile size.", failure(ycbcr, {{256, {66}}}));
  EXPECT_EQ("Improper JPEG strip/tile size.", failure(ycbcr, {{257, {60}}}));  // the last strip is short
  EXPECT_EQ("Improper JPEG sampling factors.", failure(ycbcr, {{262, {2}}}));  // subsampled chroma as RGB
  EXPECT_EQ("Fractional JPEG scanline unsupported.", failure(ycbcr, {{278, {15}}}));
  EXPECT_EQ("Improper JPEG component count.", failure(ycbcr, {{262, {1}}, {277, {1}}}));
  EXPECT_EQ("Improper JPEG data precision.", failure(grey, {{258, {16}}}));

  Bytes bogus = grey;
  const std::size_t tables = test::TagValueOffset(bogus, 347);
  ASSERT_GT(tables, 0u);
  bogus[tables] = 0;  // no start-of-image marker
  EXPECT_THROW(DecodeEps(test::WrapInEps(bogus)), ETIFFJPEGError);
  try {
    DecodeEps(test::WrapInEps(bogus));
  } catch (const Exception& e) {
    EXPECT_STREQ("Bogus JPEG tables field.", e.what());
    EXPECT_EQ("eps.JpegBogusTables", e.Code());
  }
}

// A YCbCr JPEG TIFF without its YCbCrSubSampling field takes the sampling
// of its JPEG stream rather than the 2 x 2 default; a strip may be a whole
// JPEG file with its own tables.
TEST_F(PeerTiff, JpegWithoutSubsamplingFieldTakesTheStreamsSampling) {
  for (const char* sampling : {"1x1", "2x1", "2x2"}) {
    SCOPED_TRACE(sampling);
    const std::string jpg = Path("strip.jpg");
    ASSERT_TRUE(test::Run("convert " + Path("src.ppm") + " -quality 95 -sampling-factor " + sampling + " " + jpg));
    const Bytes tiff = test::TiffBuilder().Image(67, 45, 8, 3, 6, 7).Strips({test::ReadBytes(jpg)}).Build();
    ASSERT_TRUE(test::Run("convert " + jpg + " " + Path("strip.ppm")));
    const Bitmap picture = DecodeEps(test::WrapInEps(tiff));
    EXPECT_LT(test::CompareRgb(picture, test::ReadPpm(Path("strip.ppm")), 2).fractionOver, 0.001);
  }
}

// ImageMagick's writer, with ImageMagick's own decoding of the same TIFF as
// the reference.
TEST_F(PeerTiff, ImageMagickTiffsMatchImageMagicksDecoding) {
  const std::map<std::string, std::string> variants = {
      {"zip", "-compress zip"},
      {"packbits", "-compress RLE"},
      {"palette", "-type Palette -compress none"},
      {"palette-zip", "-type Palette -compress zip"},
      {"cmyk", "-colorspace CMYK -compress none"},
      {"grey4", "-colorspace Gray -depth 4 -compress none"},
      {"grey16-msb", "-colorspace Gray -depth 16 -endian MSB -compress none"},
      {"rgb16", "-depth 16 -compress none"},
      {"rgba", "-alpha set -channel A -evaluate set 100% +channel -compress zip"},
      {"jpeg", "-compress jpeg -quality 95"},
  };
  for (const auto& [name, options] : variants) {
    SCOPED_TRACE(name);
    const std::string tif = Path("im-" + name + ".tif");
    ASSERT_TRUE(test::Run("convert " + Path("src.ppm") + " " + options + " " + tif));
    ASSERT_TRUE(test::Run("convert " + tif + " -depth 8 -colorspace sRGB " + Path("im-" + name + ".ppm")));
    const Rgb reference = test::ReadPpm(Path("im-" + name + ".ppm"));
    const Bitmap picture = DecodeTiffFile(tif);
    const bool lossy = name == "jpeg";
    // The peer rounds 16-bit samples and converts CMYK and palettes its own
    // way; ours truncates: one step.
    const test::Difference d = test::CompareRgb(picture, reference, lossy ? 24 : 1);
    EXPECT_LE(d.fractionOver, lossy ? 0.01 : 0.0) << "max " << d.max;
  }
}

}  // namespace
}  // namespace pixtrel
