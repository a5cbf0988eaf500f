#include <gtest/gtest.h>

#include <cstdlib>

#include "codecs/avif/avif_writer.h"
#include "codecs/heif/heif_image.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

Bitmap Photo(int width, int height) {
  Bitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, RGB((x * 255) / width, (y * 255) / height, 128 + ((x + y) % 64)));
  return bitmap;
}

double MeanDifference(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x) sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
  return sum / (a.Width() * 3.0 * a.Height());
}

bool HaveTools(const char* tools) {
  return test::RunCommand(std::string("command -v ") + tools + " >/dev/null").exitCode == 0;
}

TEST(Avif, WrittenFilesReadBackCloseWithTheirMetadata) {
  const Bitmap source = Photo(67, 45);
  ImageMetadata metadata;
  metadata.exif = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0};
  metadata.xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
  const std::vector<std::uint8_t> file = EncodeAvif(source, {80, 2, 8}, metadata);
  ImageMetadata back;
  const Bitmap decoded = DecodeHeif(file, 0, false, &back);
  ASSERT_EQ(decoded.Width(), 67);
  ASSERT_EQ(decoded.Height(), 45);
  EXPECT_LT(MeanDifference(source, decoded), 4.0);
  EXPECT_EQ(back.exif, metadata.exif);
  EXPECT_EQ(back.xmp, metadata.xmp);
  // The quality is the quantizer's: 100 best, 1 worst.
  EXPECT_EQ(AvifQuantizer(100), 0);
  EXPECT_EQ(AvifQuantizer(1), 62);
  EXPECT_LT(EncodeAvif(source, {10, 2, 8}).size(), EncodeAvif(source, {95, 2, 8}).size());
}

TEST(Heif, DamagedFilesAndThePixelLimit) {
  const std::vector<std::uint8_t> file = EncodeAvif(Photo(40, 40), {50, 1, 10});
  EXPECT_THROW(DecodeHeif(file, 1599, false), EImageTooLarge);
  EXPECT_NO_THROW(DecodeHeif(file, 1600, false));
  const std::vector<std::uint8_t> garbage(200, 0);
  EXPECT_THROW(DecodeHeif(garbage, 0, false), EHeif);
  const std::vector<std::uint8_t> half(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
  EXPECT_THROW(DecodeHeif(half, 0, false), Exception);
}

// A HEIC photo as a phone's encoder writes it (HEVC), and a file of two
// images, whose primary one opens. (heif-enc mistakes the colours of a
// palette PNG, so its inputs are written as 24-bit PNGs.)
// Found by fuzzing: an overlay whose canvas is far larger than the size its
// item declares made libheif allocate 4.6 GB before failing. The canvas may
// not exceed the declared (and checked) size, so it fails at once.
TEST(Heif, AnOverlayCanvasBeyondItsDeclaredSizeIsRefused) {
  const std::string path =
      std::string(PIXTREL_SOURCE_DIR) + "/tests/crashers/heif/overlay-canvas-beyond-its-declared-size.avif";
  EXPECT_THROW(DecodeHeif(ReadFileBytes(path), kDefaultMaxPixels, false), EHeif);
}

TEST(Heif, HeicFromThePeerEncoderAndThePrimaryImage) {
  if (!HaveTools("heif-enc")) GTEST_SKIP() << "no heif-enc";
  const std::string dir = test::TempDir();
  ASSERT_EQ(test::RunCommand("convert -size 64x48 gradient:'#c02040-#2040c0' PNG24:" + dir + "/a.png && convert -size 32x80 " +
                             "xc:'#30a030' PNG24:" + dir + "/b.png && heif-enc -q 90 " + dir + "/a.png -o " + dir +
                             "/a.heic && heif-enc -q 90 " + dir + "/b.png " + dir + "/a.png -o " + dir + "/two.heic")
                .exitCode,
            0);
  const Bitmap photo = DecodeHeif(ReadFileBytes(dir + "/a.heic"), 0, false);
  ASSERT_EQ(photo.Width(), 64);
  ASSERT_EQ(photo.Height(), 48);
  EXPECT_NEAR(GetRValue(photo.Pixel(32, 1)), 0xc0, 10);
  EXPECT_NEAR(GetBValue(photo.Pixel(32, 46)), 0xc0, 10);
  const Bitmap primary = DecodeHeif(ReadFileBytes(dir + "/two.heic"), 0, false);
  EXPECT_EQ(primary.Width(), 32);
  EXPECT_EQ(primary.Height(), 80);
  EXPECT_NEAR(GetGValue(primary.Pixel(10, 10)), 0xa0, 10);
}

// 10- and 12-bit AVIF: each sample's high 8 bits.
TEST(Heif, DeepSamplesKeepTheirHighBits) {
  if (!HaveTools("avifenc")) GTEST_SKIP() << "no avifenc";
  const std::string dir = test::TempDir();
  ASSERT_EQ(test::RunCommand("convert -size 4x256 gradient:black-white -depth 16 -type TrueColor " + dir +
                             "/ramp.png && avifenc -l -d 10 " + dir + "/ramp.png " + dir +
                             "/ten.avif >/dev/null && avifenc -l -d 12 " + dir + "/ramp.png " + dir +
                             "/twelve.avif >/dev/null")
                .exitCode,
            0);
  for (const char* name : {"ten.avif", "twelve.avif"}) {
    SCOPED_TRACE(name);
    const Bitmap ramp = DecodeHeif(ReadFileBytes(dir + "/" + name), 0, false);
    ASSERT_EQ(ramp.Height(), 256);
    // The 16-bit ramp's samples reduced to the file's depth, then to their
    // high 8 bits: the ramp's own high bytes, give or take one.
    for (int y = 0; y < 256; y += 15) EXPECT_NEAR(GetGValue(ramp.Pixel(1, y)), y, 1) << y;
  }
}

}  // namespace
}  // namespace pixtrel
