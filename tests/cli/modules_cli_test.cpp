// pixtrel-cli loads its drawing, cipher and photo format parts only when a
// command needs them: what the dynamic loader opens for each kind of command,
// the results of the loaded parts, and a part that is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/bitmap.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

namespace fs = std::filesystem;

using Result = test::CommandResult;

// The command's output with the loader's list of the files it opened.
Result RunTraced(const std::string& program, const std::string& arguments) {
  return test::RunCommand("LD_DEBUG=files " + program + " " + arguments + " 2>&1");
}

bool Opened(const Result& traced, const std::string& library) {
  return traced.output.find("file=" + library) != std::string::npos;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  const test::PixelDifference d = test::Compare(a, test::ToQImage(b));
  return d.sizeMatches && d.maxChannelDelta == 0;
}

std::string SampleBmp(const std::string& dir) {
  Bitmap b(64, 48, pf24bit);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, RGB(x * 4, y * 5, (x ^ y) * 3));
  const std::string path = dir + "/sample.bmp";
  b.SaveToFile(path);
  return path;
}

std::string PasswordFile(const std::string& dir) {
  const std::string path = dir + "/password.txt";
  std::ofstream(path) << "open sesame\n";
  return path;
}

// The photo formats' libraries and the codecs they bring along.
const char* const kPhotoLibraries[] = {"libwebp", "libheif", "libavif", "liblcms2", "libx265", "libaom", "libdav1d",
                                       "libde265"};

TEST(CliModules, CommandsThatNeitherDrawNorEncipherLoadNeitherPart) {
  const std::string dir = test::TempDir();
  const std::string bmp = SampleBmp(dir);
  const std::string cli = PIXTREL_CLI_PATH;
  for (const std::string& arguments :
       {"info " + bmp, "convert " + bmp + " " + dir + "/out.png", "convert " + bmp + " " + dir + "/out.jpg",
        "batch --to GIF --dest " + dir + " " + bmp, std::string("formats"), std::string("--help"),
        "info " + bmp + " --to-srgb --auto-orient --keep-metadata"}) {
    SCOPED_TRACE(arguments);
    const Result r = RunTraced(cli, arguments);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_FALSE(Opened(r, "libQt6Gui")) << r.output;
    EXPECT_FALSE(Opened(r, "libfontconfig")) << r.output;
    EXPECT_FALSE(Opened(r, "libcrypto++")) << r.output;
    EXPECT_FALSE(Opened(r, fs::path(cli).parent_path().string() + "/pixtrel-draw.so")) << r.output;
    EXPECT_FALSE(Opened(r, fs::path(cli).parent_path().string() + "/pixtrel-photo.so")) << r.output;
    for (const char* library : kPhotoLibraries) EXPECT_FALSE(Opened(r, library)) << library << "\n" << r.output;
  }
}

TEST(CliModules, DrawingAndCipheringLoadTheirPartsAndMatchTheLinkedCode) {
  const std::string dir = test::TempDir();
  const std::string bmp = SampleBmp(dir);
  const std::string cli = PIXTREL_CLI_PATH;
  const std::string folder = fs::path(cli).parent_path().string();

  // A metafile read: the drawing part; the pixels those of this process's
  // own (linked) engine.
  const std::string wmf = test::CorpusDir() + "/wmf/own-all-placeable-hopper.wmf";
  Result r = RunTraced(cli, "convert " + wmf + " " + dir + "/wmf.bmp");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Opened(r, folder + "/pixtrel-draw.so")) << r.output;
  EXPECT_FALSE(Opened(r, "libcrypto++")) << r.output;
  Bitmap drawn, expected;
  LoadImageFile(dir + "/wmf.bmp", drawn, test::Silent());
  LoadImageFile(wmf, expected, test::Silent());
  EXPECT_TRUE(SamePixels(drawn, expected));

  // An encrypted PNG written and read back: the cipher part, and the file
  // the linked cipher reads.
  const std::string password = PasswordFile(dir);
  r = RunTraced(cli, "convert " + bmp + " " + dir + "/sealed.xpng --password-file " + password);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Opened(r, folder + "/pixtrel-crypt.so")) << r.output;
  EXPECT_FALSE(Opened(r, "libQt6Gui")) << r.output;
  r = RunTraced(cli, "convert " + dir + "/sealed.xpng " + dir + "/opened.bmp --password-file " + password);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  Bitmap original, opened;
  LoadImageFile(bmp, original, test::Silent());
  LoadImageFile(dir + "/opened.bmp", opened, test::Silent());
  EXPECT_TRUE(SamePixels(opened, original));
}

TEST(CliModules, PhotoFormatsLoadTheirPartAndMatchTheLinkedCode) {
  const std::string dir = test::TempDir();
  const std::string bmp = SampleBmp(dir);
  const std::string cli = PIXTREL_CLI_PATH;
  const std::string folder = fs::path(cli).parent_path().string();
  Bitmap original;
  LoadImageFile(bmp, original, test::Silent());

  // WebP lossless there and back: the photo part alone, the pixels exact.
  Result r = RunTraced(cli, "convert " + bmp + " " + dir + "/out.webp --webp-lossless");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Opened(r, folder + "/pixtrel-photo.so")) << r.output;
  EXPECT_TRUE(Opened(r, "libwebp")) << r.output;
  EXPECT_FALSE(Opened(r, "libQt6Gui")) << r.output;
  EXPECT_FALSE(Opened(r, "libcrypto++")) << r.output;
  r = RunTraced(cli, "convert " + dir + "/out.webp " + dir + "/webp.bmp");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Opened(r, folder + "/pixtrel-photo.so")) << r.output;
  Bitmap back;
  LoadImageFile(dir + "/webp.bmp", back, test::Silent());
  EXPECT_TRUE(SamePixels(back, original));

  // AVIF written, and read back through HEIF: the same pixels as the linked
  // reader gives for the written file, and close to the original.
  r = RunTraced(cli, "convert " + bmp + " " + dir + "/out.avif --jpeg-quality 90");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Opened(r, "libavif")) << r.output;
  r = RunTraced(cli, "convert " + dir + "/out.avif " + dir + "/avif.bmp");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Opened(r, "libheif")) << r.output;
  Bitmap decoded, linked;
  LoadImageFile(dir + "/avif.bmp", decoded, test::Silent());
  LoadImageFile(dir + "/out.avif", linked, test::Silent());
  EXPECT_TRUE(SamePixels(decoded, linked));
  const test::PixelDifference d = test::Compare(decoded, test::ToQImage(original));
  EXPECT_TRUE(d.sizeMatches);
  EXPECT_LT(d.meanChannelDelta, 8.0);

  // A damaged WebP: the codec's own error, thrown inside the part, reaches
  // the command.
  const std::string damaged("RIFF\x10\0\0\0WEBPVP8 \x04\0\0\0abcd", 24);
  std::ofstream(dir + "/damaged.webp", std::ios::binary) << damaged;
  r = test::RunCommand(cli + " info " + dir + "/damaged.webp 2>&1");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("WebP"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("A part of the program is missing"), std::string::npos) << r.output;
}

TEST(CliModules, AMissingPartFailsOnlyTheCommandsThatNeedIt) {
  const std::string dir = test::TempDir();
  const std::string bmp = SampleBmp(dir);
  const std::string alone = dir + "/pixtrel-cli";
  fs::copy_file(PIXTREL_CLI_PATH, alone);
  fs::permissions(alone, fs::perms::owner_all);

  EXPECT_EQ(test::RunCommand(alone + " info " + bmp).exitCode, 0);
  EXPECT_EQ(test::RunCommand(alone + " convert " + bmp + " " + dir + "/out.png").exitCode, 0);
  for (const std::string& arguments :
       {"convert " + test::CorpusDir() + "/wmf/own-all-placeable-hopper.wmf" + " " + dir + "/wmf.bmp",
        "stamp " + bmp + " " + dir + "/stamped.bmp --caption Hello",
        "convert " + bmp + " " + dir + "/sealed.xgif --password-file " + PasswordFile(dir),
        "convert " + bmp + " " + dir + "/out.webp", "convert " + bmp + " " + dir + "/out.avif"}) {
    SCOPED_TRACE(arguments);
    const Result r = test::RunCommand(alone + " " + arguments + " 2>&1");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("A part of the program is missing or from another build"), std::string::npos)
        << r.output;
  }
  EXPECT_FALSE(fs::exists(dir + "/sealed.xgif"));
  EXPECT_FALSE(fs::exists(dir + "/out.webp"));
  EXPECT_FALSE(fs::exists(dir + "/out.avif"));
}

}  // namespace
}  // namespace pixtrel
