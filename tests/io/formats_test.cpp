// The WebP, AVIF and HEIC rows and the opening options, checked against the
// peer tools: ImageMagick, exiftool, cwebp/dwebp, heif-enc and vips.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>

#include <cstdlib>
#include <fstream>

#include "codecs/heif/heif_image.h"
#include "core/stream.h"
#include "io/formats.h"
#include "io/image_io.h"
#include "io/picture_options.h"
#include "support/corpus.h"
#include "support/io_support.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

bool Have(const std::string& tools) { return test::RunCommand("command -v " + tools + " >/dev/null").exitCode == 0; }

void Shell(const std::string& command) {
  const test::CommandResult result = test::RunCommand(command + " 2>&1");
  ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.output;
}

Bitmap Load(const std::string& path, const LoadOptions& options = {}, LoadResult* result = nullptr) {
  Bitmap bitmap;
  LoadResult loaded = LoadImageFile(path, bitmap, test::Silent(), kDefaultMaxPixels, options);
  EXPECT_TRUE(loaded.known) << path;
  if (result) *result = std::move(loaded);
  return bitmap;
}

// Four quadrants of clearly different colours, not square, so that every
// turn and mirror gives a different picture.
std::string MakeQuadrants(const std::string& dir) {
  const std::string png = dir + "/quadrants.png";
  Shell("convert -size 48x32 xc:'#e02020' -fill '#20c020' -draw 'rectangle 24,0 47,15' -fill '#2020e0' -draw "
      "'rectangle 0,16 23,31' -fill '#e0e020' -draw 'rectangle 24,16 47,31' " + png);
  return png;
}

// The colours at the centres of the picture's quadrants agree within tolerance.
void ExpectSameQuadrants(const Bitmap& actual, const Bitmap& expected, const std::string& what) {
  ASSERT_EQ(actual.Width(), expected.Width()) << what;
  ASSERT_EQ(actual.Height(), expected.Height()) << what;
  for (const int qy : {1, 3})
    for (const int qx : {1, 3}) {
      const int x = actual.Width() * qx / 4, y = actual.Height() * qy / 4;
      const Color a = actual.Pixel(x, y), e = expected.Pixel(x, y);
      EXPECT_NEAR(GetRValue(a), GetRValue(e), 24) << what << " at " << x << "," << y;
      EXPECT_NEAR(GetGValue(a), GetGValue(e), 24) << what << " at " << x << "," << y;
      EXPECT_NEAR(GetBValue(a), GetBValue(e), 24) << what << " at " << x << "," << y;
    }
}

// The eight orientation tags, set by exiftool on JPEG and WebP and by
// ImageMagick on TIFF, open as ImageMagick's -auto-orient shows them; off,
// the picture is as stored.
TEST(AutoOrient, EightTagsOpenUprightAsThePeerShowsThem) {
  if (!Have("exiftool")) GTEST_SKIP() << "no exiftool";
  const std::string dir = test::TempDir();
  const std::string png = MakeQuadrants(dir);
  const Bitmap stored = Load(png);
  Shell("convert " + png + " -quality 95 " + dir + "/stored.jpg");
  const Bitmap storedJpeg = Load(dir + "/stored.jpg");
  const char* names[] = {"", "TopLeft", "TopRight", "BottomRight", "BottomLeft",
                         "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
  LoadOptions upright;
  upright.autoOrient = true;
  for (int o = 1; o <= 8; ++o) {
    const std::string base = dir + "/o" + std::to_string(o);
    Shell("cp " + dir + "/stored.jpg " + base + ".jpg && exiftool -q -n -overwrite_original -Orientation=" +
        std::to_string(o) + " " + base + ".jpg");
    Shell("convert " + base + ".jpg -auto-orient " + base + "-ref.png");
    const Bitmap reference = Load(base + "-ref.png");
    ExpectSameQuadrants(Load(base + ".jpg", upright), reference, "JPEG " + std::to_string(o));
    ExpectSameQuadrants(Load(base + ".jpg"), storedJpeg, "JPEG as stored " + std::to_string(o));

    Shell("convert " + png + " -orient " + names[o] + " -compress none " + base + ".tif");
    ExpectSameQuadrants(Load(base + ".tif", upright), reference, "TIFF " + std::to_string(o));
    ExpectSameQuadrants(Load(base + ".tif"), stored, "TIFF as stored " + std::to_string(o));

    if (Have("cwebp")) {
      Shell("cwebp -quiet -lossless " + png + " -o " + base + ".webp && exiftool -q -n -overwrite_original -Orientation=" +
          std::to_string(o) + " " + base + ".webp");
      ExpectSameQuadrants(Load(base + ".webp", upright), reference, "WebP " + std::to_string(o));
      ExpectSameQuadrants(Load(base + ".webp"), stored, "WebP as stored " + std::to_string(o));
    }
  }
  // Kept metadata says the turned picture is upright now.
  LoadOptions keep = upright;
  keep.keepMetadata = true;
  LoadResult result;
  Load(dir + "/o6.jpg", keep, &result);
  EXPECT_EQ(TiffOrientation(result.metadata.exif), 1);
  keep.autoOrient = false;
  Load(dir + "/o6.jpg", keep, &result);
  EXPECT_EQ(TiffOrientation(result.metadata.exif), 6);
}

// A HEIF file turned by its rotation property (written with libheif's AV1
// encoder, whose files are laid out as phones lay out HEIC; its HEVC encoder
// leaks under the leak checker), and one whose turn is only in its EXIF orientation (as
// heif-enc writes a tagged JPEG): both open upright, neither is turned twice.
TEST(AutoOrient, HeifByItsRotationPropertyOrItsExif) {
  const std::string dir = test::TempDir();
  const std::string png = MakeQuadrants(dir);
  const Bitmap stored = Load(png);
  Bitmap expected = stored;
  ApplyOrientation(expected, 6);

  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  ASSERT_EQ(heif_context_get_encoder_for_format(context, heif_compression_AV1, &encoder).code, heif_error_Ok);
  heif_encoder_set_lossy_quality(encoder, 95);
  heif_image* image = nullptr;
  heif_image_create(stored.Width(), stored.Height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
  heif_image_add_plane(image, heif_channel_interleaved, stored.Width(), stored.Height(), 8);
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < stored.Height(); ++y)
    for (int x = 0; x < stored.Width(); ++x) {
      const Color c = stored.Pixel(x, y);
      std::uint8_t* p = plane + y * stride + 3 * x;
      p[0] = static_cast<std::uint8_t>(GetRValue(c));
      p[1] = static_cast<std::uint8_t>(GetGValue(c));
      p[2] = static_cast<std::uint8_t>(GetBValue(c));
    }
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = heif_orientation_rotate_90_cw;
  ASSERT_EQ(heif_context_encode_image(context, image, encoder, options, nullptr).code, heif_error_Ok);
  ASSERT_EQ(heif_context_write_to_file(context, (dir + "/rotated.avif").c_str()).code, heif_error_Ok);
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(context);

  LoadOptions upright;
  upright.autoOrient = true;
  EXPECT_TRUE(HeifHasTransformations(ReadFileBytes(dir + "/rotated.avif")));
  ExpectSameQuadrants(Load(dir + "/rotated.avif", upright), expected, "HEIF rotation property");
  ExpectSameQuadrants(Load(dir + "/rotated.avif"), stored, "HEIF as stored");

  if (Have("exiftool") && Have("heif-enc")) {
    Shell("convert " + png + " -quality 95 " + dir + "/tagged.jpg && exiftool -q -n -overwrite_original "
          "-Orientation=6 " + dir + "/tagged.jpg && heif-enc -q 95 " + dir + "/tagged.jpg -o " + dir + "/tagged.heic");
    EXPECT_FALSE(HeifHasTransformations(ReadFileBytes(dir + "/tagged.heic")));
    ExpectSameQuadrants(Load(dir + "/tagged.heic", upright), expected, "HEIF EXIF orientation");
    ExpectSameQuadrants(Load(dir + "/tagged.heic"), stored, "HEIF EXIF as stored");
  }
}

TEST(AutoOrient, IndexedAndDeepFormatsTurnToo) {
  Bitmap indexed(3, 2, pf4bit);
  indexed.SetPalette(StandardPalette16());
  for (int i = 0; i < 6; ++i) indexed.SetPixelIndex(i % 3, i / 3, i + 1);
  Bitmap turned = indexed;
  ApplyOrientation(turned, 6);  // a quarter clockwise: the bottom-left pixel comes top-left
  ASSERT_EQ(turned.Width(), 2);
  ASSERT_EQ(turned.Height(), 3);
  EXPECT_EQ(turned.PixelFormat(), pf4bit);
  EXPECT_EQ(turned.PixelIndex(0, 0), 4);
  EXPECT_EQ(turned.PixelIndex(1, 0), 1);
  EXPECT_EQ(turned.PixelIndex(1, 2), 3);
  Bitmap wide(3, 2, pf32bit);
  wide.SetPixel(2, 0, clRed);
  ApplyOrientation(wide, 8);  // a quarter anticlockwise: top-right comes top-left
  EXPECT_EQ(wide.Pixel(0, 0), clRed);
  for (const int o : {0, 1, 9}) {
    Bitmap same = indexed;
    ApplyOrientation(same, o);
    EXPECT_EQ(same.Width(), 3);
  }
}

// A wide-gamut profile made with LittleCMS (the P3 primaries, sRGB's curve).
std::vector<std::uint8_t> WideGamutProfile() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
  const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, parameters);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<std::uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(curve);
  return bytes;
}

std::vector<std::uint8_t> SrgbProfile() {
  cmsHPROFILE profile = cmsCreate_sRGBProfile();
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<std::uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

// A camera-like JPEG: EXIF fields and the orientation written by exiftool,
// the wide-gamut profile embedded by it.
std::string MakeCameraJpeg(const std::string& dir) {
  WriteFileBytes(dir + "/wide.icc", WideGamutProfile());
  const std::string jpeg = dir + "/camera.jpg";
  Shell("convert -size 40x30 xc:'rgb(150,90,60)' -quality 95 " + jpeg);
  Shell("exiftool -q -overwrite_original -Make=Pixcam -Model='P 1' -DateTimeOriginal='2026:05:01 10:00:00' "
      "'-ICC_Profile<=" + dir + "/wide.icc' " + jpeg);
  return jpeg;
}

std::string ExifTool(const std::string& arguments) { return test::RunCommand("exiftool " + arguments).output; }

// Keep Metadata: the camera's EXIF fields and its profile, byte for byte, in
// the JPEG, PNG, WebP and AVIF it converts to, as exiftool reads them.
TEST(KeepMetadata, ExifAndProfileSurviveConversionAsThePeerReadsThem) {
  if (!Have("exiftool")) GTEST_SKIP() << "no exiftool";
  const std::string dir = test::TempDir();
  const std::string camera = MakeCameraJpeg(dir);
  LoadOptions keep;
  keep.keepMetadata = true;
  LoadResult loaded;
  const Bitmap picture = Load(camera, keep, &loaded);
  ASSERT_FALSE(loaded.metadata.exif.empty());
  ASSERT_EQ(loaded.metadata.icc, ReadFileBytes(dir + "/wide.icc"));
  SaveOptions options;
  options.jpegQuality = 90;
  options.metadata = loaded.metadata;
  const std::string sourceFields = ExifTool("-s -s -s -Make -Model -DateTimeOriginal " + camera);
  for (const std::string ext : {".JPG", ".PNG", ".WEBP", ".AVIF"}) {
    SCOPED_TRACE(ext);
    const std::string target = dir + "/kept" + ext;
    ASSERT_EQ(SaveImageFile(target, picture, ext, options), SaveOutcome::Written);
    EXPECT_EQ(ExifTool("-s -s -s -Make -Model -DateTimeOriginal " + target), sourceFields);
    Shell("exiftool -b -ICC_Profile " + target + " > " + target + ".icc");
    EXPECT_EQ(ReadFileBytes(target + ".icc"), loaded.metadata.icc);
    // And the program reads back what it wrote.
    LoadResult again;
    Load(target, keep, &again);
    EXPECT_EQ(again.metadata.icc, loaded.metadata.icc);
    EXPECT_EQ(TiffOrientation(again.metadata.exif), TiffOrientation(loaded.metadata.exif));
  }
  // The formats that cannot hold it get none, and without the option
  // nothing is carried.
  for (const std::string ext : {".BMP", ".GIF", ".TGA"}) {
    const std::string target = dir + "/none" + ext;
    SaveImageFile(target, picture, ext, options);
    EXPECT_EQ(ExifTool("-s -s -s -Make " + target), "") << ext;
  }
  LoadResult plain;
  Load(camera, {}, &plain);
  EXPECT_TRUE(plain.metadata.Empty());
}

// Without metadata a JPEG and PNG are written exactly as before.
TEST(KeepMetadata, WithoutMetadataTheBytesAreThoseOfTheFirstWriters) {
  const std::string dir = test::TempDir();
  Bitmap picture(33, 17, pf24bit);
  for (int x = 0; x < 33; ++x) picture.SetPixel(x, x % 17, RGB(x * 7, 255 - x, 90));
  SaveOptions options;
  for (const std::string ext : {".JPG", ".PNG"}) {
    SaveImageFile(dir + "/a" + ext, picture, ext, options);
    options.metadata = ImageMetadata();
    SaveImageFile(dir + "/b" + ext, picture, ext, options);
    EXPECT_EQ(ReadFileBytes(dir + "/a" + ext), ReadFileBytes(dir + "/b" + ext));
  }
}

// Convert to sRGB: a wide-gamut picture's colours as ImageMagick converts
// them to the same sRGB profile; a picture without a profile as stored.
TEST(ToSrgb, WideGamutColoursConvertAsThePeerConvertsThem) {
  if (!Have("exiftool")) GTEST_SKIP() << "no exiftool";
  const std::string dir = test::TempDir();
  const std::string camera = MakeCameraJpeg(dir);
  WriteFileBytes(dir + "/srgb.icc", SrgbProfile());
  Shell("convert " + camera + " -intent Perceptual -profile " + dir + "/srgb.icc " + dir + "/ref.png");
  LoadOptions srgb;
  srgb.toSrgb = true;
  srgb.keepMetadata = true;
  LoadResult result;
  const Color converted = Load(camera, srgb, &result).Pixel(20, 15);
  const Color reference = Load(dir + "/ref.png").Pixel(20, 15);
  const Color stored = Load(camera).Pixel(20, 15);
  EXPECT_NEAR(GetRValue(converted), GetRValue(reference), 2);
  EXPECT_NEAR(GetGValue(converted), GetGValue(reference), 2);
  EXPECT_NEAR(GetBValue(converted), GetBValue(reference), 2);
  EXPECT_GT(std::abs(GetRValue(converted) - GetRValue(stored)) + std::abs(GetGValue(converted) - GetGValue(stored)), 10);
  // The pixels are sRGB now: the old profile is not carried on.
  EXPECT_TRUE(result.metadata.icc.empty());
  EXPECT_FALSE(result.metadata.exif.empty());

  // An indexed picture converts its palette.
  Bitmap indexed(2, 1, pf8bit);
  Palette palette(256, RGB(150, 90, 60));
  indexed.SetPalette(palette);
  EXPECT_TRUE(ConvertToSrgb(indexed, WideGamutProfile()));
  EXPECT_EQ(indexed.PixelFormat(), pf8bit);
  EXPECT_NEAR(GetRValue(indexed.Palette()[0]), GetRValue(converted), 2);
  // Profiles that are not RGB or not profiles change nothing.
  EXPECT_FALSE(ConvertToSrgb(indexed, std::vector<std::uint8_t>(200, 1)));
}

// The new rows: WebP lossless from a BMP decodes with dwebp to exactly its
// pixels; lossy WebP and AVIF decode with vips close to the source.
TEST(NewFormats, WrittenFilesDecodeWithThePeers) {
  if (!Have("dwebp") || !Have("vips")) GTEST_SKIP() << "no dwebp or vips";
  const std::string dir = test::TempDir();
  Shell("convert -size 120x80 plasma:fractal -seed 7 " + dir + "/source.bmp");
  const Bitmap source = Load(dir + "/source.bmp");
  SaveOptions options;
  options.webpLossless = true;
  ASSERT_EQ(SaveImageFile(dir + "/lossless.webp", source, ".WEBP", options), SaveOutcome::Written);
  Shell("dwebp -quiet " + dir + "/lossless.webp -ppm -o " + dir + "/lossless.ppm");
  EXPECT_EQ(test::RunCommand("compare -metric AE " + dir + "/source.bmp " + dir + "/lossless.ppm null: 2>&1").output,
            "0");
  options.webpLossless = false;
  options.jpegQuality = 75;
  ASSERT_EQ(SaveImageFile(dir + "/lossy.webp", source, ".WEBP", options), SaveOutcome::Written);
  ASSERT_EQ(SaveImageFile(dir + "/photo.avif", source, ".AVIF", options), SaveOutcome::Written);
  for (const char* name : {"lossy.webp", "photo.avif"}) {
    Shell("vips copy " + dir + "/" + name + " " + dir + "/" + name + ".png");
    const test::CommandResult mae =
        test::RunCommand("compare -metric MAE " + dir + "/source.bmp " + dir + "/" + name + ".png null: 2>&1");
    // "N (fraction)": the mean difference as a fraction of the range.
    const double fraction = std::atof(mae.output.substr(mae.output.find('(') + 1).c_str());
    std::cout << name << " at quality 75: mean difference " << fraction * 255 << " of 255\n";
    EXPECT_LT(fraction * 255, 8.0) << name;
  }
}

TEST(NewFormats, OpenThroughTheTableAndTheirErrorsNameTheFile) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/bad.webp";
  WriteFileBytes(path, std::vector<std::uint8_t>(64, 'x'));
  Bitmap target(7, 5, pf24bit);
  target.Fill(clRed);
  try {
    LoadImageFile(path, target, test::Silent());
    ADD_FAILURE() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Code(), "webp.InvalidFile");
    EXPECT_EQ(error.File(), path);
  }
  EXPECT_EQ(target.Pixel(3, 3), clRed);
  for (const char* ext : {".avif", ".HEIC", ".heif"}) {
    WriteFileBytes(dir + "/bad" + ext, std::vector<std::uint8_t>(64, 'x'));
    EXPECT_THROW(LoadImageFile(dir + "/bad" + ext, target, test::Silent()), Exception) << ext;
    EXPECT_EQ(target.Width(), 7);
  }
  EXPECT_FALSE(CanSaveExtension(".HEIC"));
  EXPECT_TRUE(CanSaveExtension(".webp"));
  EXPECT_TRUE(CanSaveExtension(".avif"));
}

}  // namespace
}  // namespace pixtrel
