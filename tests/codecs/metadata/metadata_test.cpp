#include <gtest/gtest.h>

#include "codecs/jpeg/jpeg_image.h"
#include "codecs/metadata/metadata_io.h"
#include "codecs/png/png_object.h"
#include "core/image_metadata.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

// EXIF data with one directory holding an Orientation entry, in either byte
// order.
std::vector<std::uint8_t> ExifWithOrientation(bool big, int orientation) {
  if (big) return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, std::uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0, 0};
  return {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, std::uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

TEST(ExifOrientation, ReadAndResetInBothByteOrders) {
  for (const bool big : {false, true}) {
    std::vector<std::uint8_t> exif = ExifWithOrientation(big, 6);
    EXPECT_EQ(TiffOrientation(exif), 6);
    EXPECT_TRUE(SetTiffOrientation(exif, 1));
    EXPECT_EQ(TiffOrientation(exif), 1);
  }
  // Out of range, cut short, wrong header: no orientation, nothing read
  // outside the bytes.
  EXPECT_EQ(TiffOrientation(ExifWithOrientation(false, 9)), 0);
  std::vector<std::uint8_t> exif = ExifWithOrientation(false, 3);
  for (std::size_t size = 0; size < 20; ++size)
    EXPECT_EQ(TiffOrientation(std::span(exif).first(size)), 0) << size;
  exif[4] = 0xF0;  // directory beyond the end
  EXPECT_EQ(TiffOrientation(exif), 0);
  EXPECT_FALSE(SetTiffOrientation(exif, 1));
  // "Exif\0\0" and HEIF's offset before the header are passed over.
  std::vector<std::uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
  const std::vector<std::uint8_t> plain = ExifWithOrientation(true, 8);
  block.insert(block.end(), plain.begin(), plain.end());
  EXPECT_EQ(ExifFromTiffHeader(block), plain);
  EXPECT_TRUE(ExifFromTiffHeader(std::vector<std::uint8_t>(30, 0)).empty());
}

ImageMetadata Sample(std::size_t iccSize) {
  ImageMetadata metadata;
  metadata.exif = ExifWithOrientation(false, 6);
  metadata.xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF/></x:xmpmeta>";
  metadata.icc.resize(iccSize);
  for (std::size_t i = 0; i < iccSize; ++i) metadata.icc[i] = static_cast<std::uint8_t>(i * 31 + i / 256);
  return metadata;
}

void ExpectSame(const ImageMetadata& a, const ImageMetadata& b) {
  EXPECT_EQ(a.exif, b.exif);
  EXPECT_EQ(a.xmp, b.xmp);
  EXPECT_EQ(a.icc, b.icc);
}

// A profile larger than one segment goes into numbered APP2 pieces; the
// picture decodes as before.
TEST(JpegMetadata, EmbeddedSegmentsReadBackAndThePictureIsUntouched) {
  Bitmap picture(30, 20, pf24bit);
  picture.Fill(RGB(10, 200, 30));
  const std::vector<std::uint8_t> plain = CompressJPEG(picture, 80, false);
  for (const std::size_t iccSize : {std::size_t{500}, std::size_t{150000}}) {
    const ImageMetadata metadata = Sample(iccSize);
    const std::vector<std::uint8_t> file = EmbedJpegMetadata(plain, metadata);
    ExpectSame(ReadJpegMetadata(file), metadata);
    JPEGImage image;
    image.LoadFromBytes(file);
    JPEGImage original;
    original.LoadFromBytes(plain);
    EXPECT_EQ(image.Picture().Pixel(5, 5), original.Picture().Pixel(5, 5));
    EXPECT_TRUE(image.Warnings().empty());
  }
  EXPECT_TRUE(ReadJpegMetadata(plain).Empty());
  // Every cut of the file reads without leaving it.
  const std::vector<std::uint8_t> file = EmbedJpegMetadata(plain, Sample(70000));
  for (std::size_t cut = 0; cut < file.size(); cut += 997) ReadJpegMetadata(std::span(file).first(cut));
}

TEST(PngMetadata, ChunksAfterTheHeaderReadBackAndPassPngcheck) {
  Bitmap picture(9, 7, pf24bit);
  picture.Fill(clBlue);
  PNGObject png;
  png.Assign(picture);
  MemoryStream stream;
  png.SaveToStream(stream);
  const ImageMetadata metadata = Sample(3000);
  const std::vector<std::uint8_t> file = EmbedPngMetadata(stream.Bytes(), metadata);
  ExpectSame(ReadPngMetadata(file), metadata);
  PNGObject back;
  MemoryStream in(file);
  back.LoadFromStream(in);
  EXPECT_EQ(back.Width(), 9);
  const std::string dir = test::TempDir();
  WriteFileBytes(dir + "/meta.png", file);
  if (test::RunCommand("command -v pngcheck >/dev/null").exitCode == 0) {
    const test::CommandResult check = test::RunCommand("pngcheck -v " + dir + "/meta.png 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_NE(check.output.find("iCCP"), std::string::npos);
    EXPECT_NE(check.output.find("eXIf"), std::string::npos);
  }
  for (std::size_t cut = 0; cut < file.size(); cut += 101) ReadPngMetadata(std::span(file).first(cut));
}

// A camera-like JPEG from the corpus: its orientation tag is found.
TEST(JpegMetadata, CorpusOrientation) {
  const ImageMetadata six =
      ReadJpegMetadata(ReadFileBytes(test::CorpusDir() + "/jpeg/gen-exif-orientation6-hopper.jpg"));
  EXPECT_EQ(TiffOrientation(six.exif), 6);
  const ImageMetadata seven =
      ReadJpegMetadata(ReadFileBytes(test::CorpusDir() + "/jpeg/pillow-hopper_orientation_7.jpg"));
  EXPECT_EQ(TiffOrientation(seven.exif), 7);
}

}  // namespace
}  // namespace pixtrel
