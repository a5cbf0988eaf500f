#include <gtest/gtest.h>
#include <webp/decode.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "codecs/webp/webp_image.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

// A picture with smooth areas and sharp edges, every channel different.
Bitmap Photo(int width, int height) {
  Bitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, RGB((x * 255) / width, (y * 255) / height, ((x / 8 + y / 8) % 2) * 40 + 100));
  return bitmap;
}

double MeanDifference(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x) sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
  return sum / (a.Width() * 3.0 * a.Height());
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.Width()) * 3) != 0) return false;
  return true;
}

TEST(WebP, LosslessKeepsEveryPixelAndLossyStaysClose) {
  const Bitmap source = Photo(97, 61);  // odd sizes: no block alignment
  const Bitmap lossless = DecodeWebP(EncodeWebP(source, {50, true, 2}), 0);
  EXPECT_TRUE(SamePixels(source, lossless));
  for (const int threads : {1, 2}) {
    const Bitmap lossy = DecodeWebP(EncodeWebP(source, {75, false, threads}), 0);
    ASSERT_EQ(lossy.Width(), 97);
    EXPECT_LT(MeanDifference(source, lossy), 8.0);  // cwebp -q 75 gives the same file
  }
  // The quality decides the size.
  EXPECT_LT(EncodeWebP(source, {10, false, 2}).size(), EncodeWebP(source, {95, false, 2}).size());
}

TEST(WebP, TransparentColourBecomesAlphaZeroAndColoursComeBackAsStored) {
  Bitmap source = Photo(20, 10);
  source.SetPixel(3, 4, clWhite);
  source.SetTransparent(true);
  source.SetTransparentColor(clWhite);
  const std::vector<std::uint8_t> file = EncodeWebP(source, {50, true, 1});
  int width = 0, height = 0;
  std::uint8_t* rgba = WebPDecodeRGBA(file.data(), file.size(), &width, &height);
  ASSERT_NE(rgba, nullptr);
  EXPECT_EQ(rgba[(4 * 20 + 3) * 4 + 3], 0);
  EXPECT_EQ(rgba[(4 * 20 + 4) * 4 + 3], 255);
  WebPFree(rgba);
  // Opening keeps the colour under the transparent pixel, alpha left apart.
  const Bitmap back = DecodeWebP(file, 0);
  EXPECT_EQ(back.Pixel(3, 4), clWhite);
  EXPECT_FALSE(back.Transparent());
  // Without the flag there is no alpha at all.
  source.SetTransparent(false);
  WebPBitstreamFeatures features;
  const std::vector<std::uint8_t> opaque = EncodeWebP(source, {50, true, 1});
  ASSERT_EQ(WebPGetFeatures(opaque.data(), opaque.size(), &features), VP8_STATUS_OK);
  EXPECT_FALSE(features.has_alpha);
}

TEST(WebP, IndexedSourcesAndMetadataChunks) {
  Bitmap indexed(16, 16, pf8bit);
  indexed.Fill(clRed);
  ImageMetadata metadata;
  metadata.exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  metadata.xmp = "<x:xmpmeta/>";
  metadata.icc.assign(300, 7);
  const std::vector<std::uint8_t> file = EncodeWebP(indexed, {50, true, 1}, metadata);
  ImageMetadata back;
  const Bitmap picture = DecodeWebP(file, 0, &back);
  EXPECT_EQ(picture.Pixel(5, 5), clRed);
  EXPECT_EQ(back.exif, metadata.exif);
  EXPECT_EQ(back.xmp, metadata.xmp);
  EXPECT_EQ(back.icc, metadata.icc);
}

TEST(WebP, DamagedFilesAndThePixelLimitFailBeforeDecoding) {
  const std::vector<std::uint8_t> file = EncodeWebP(Photo(100, 100), {50, false, 1});
  EXPECT_THROW(DecodeWebP(file, 9999), EImageTooLarge);
  EXPECT_NO_THROW(DecodeWebP(file, 10000));
  const std::vector<std::uint8_t> garbage(100, 0x55);
  EXPECT_THROW(DecodeWebP(garbage, 0), EWebP);
  for (std::size_t cut : {std::size_t{12}, file.size() / 2, file.size() - 1}) {
    const std::vector<std::uint8_t> shorter(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_THROW(DecodeWebP(shorter, 0), EWebP) << cut;
  }
  try {
    DecodeWebP(garbage, 0);
  } catch (const EWebP& error) {
    EXPECT_EQ(error.Code(), "webp.InvalidFile");
    EXPECT_STREQ(error.what(), "The file is not a valid WebP image");
  }
}

// Peer files: a lossy cwebp picture and an animation from gif2webp, whose
// first frame opens.
TEST(WebP, PeerFilesOpen) {
  if (test::RunCommand("command -v cwebp gif2webp >/dev/null").exitCode != 0) GTEST_SKIP() << "no webp tools";
  const std::string dir = test::TempDir();
  ASSERT_EQ(test::RunCommand("convert -size 40x30 xc:'#2050c0' " + dir + "/a.png && convert -size 40x30 xc:'#c05020' " +
                             dir + "/b.png && convert -delay 10 " + dir + "/a.png " + dir + "/b.png " + dir +
                             "/anim.gif && gif2webp -quiet -lossy " + dir + "/anim.gif -o " + dir +
                             "/anim.webp && cwebp -quiet -q 80 " + dir + "/b.png -o " + dir + "/b.webp")
                .exitCode,
            0);
  const Bitmap first = DecodeWebP(ReadFileBytes(dir + "/anim.webp"), 0);
  ASSERT_EQ(first.Width(), 40);
  ASSERT_EQ(first.Height(), 30);
  const Color c = first.Pixel(20, 15);
  EXPECT_NEAR(GetRValue(c), 0x20, 8);
  EXPECT_NEAR(GetBValue(c), 0xc0, 8);
  const Color b = DecodeWebP(ReadFileBytes(dir + "/b.webp"), 0).Pixel(5, 5);
  EXPECT_NEAR(GetRValue(b), 0xc0, 8);
}

}  // namespace
}  // namespace pixtrel
