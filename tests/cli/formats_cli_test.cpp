// pixtrel-cli with the WebP, AVIF and HEIC rows and the opening options.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/bitmap.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

test::CommandResult RunCli(const std::string& arguments) {
  return test::RunCommand(std::string(PIXTREL_CLI_PATH) + " " + arguments + " 2>&1");
}

bool Have(const std::string& tools) { return test::RunCommand("command -v " + tools + " >/dev/null").exitCode == 0; }

// A photo from each peer encoder opens and converts; the batch takes them as
// sources and writes the new targets.
TEST(FormatsCli, PeerPhotosConvertAndBatchToTheNewTargets) {
  if (!Have("cwebp") || !Have("heif-enc") || !Have("avifenc")) GTEST_SKIP() << "no cwebp, heif-enc or avifenc";
  const std::string dir = test::TempDir();
  ASSERT_EQ(test::RunCommand("convert -size 64x40 gradient:orange-navy -depth 8 PNG24:" + dir + "/p.png && cwebp -quiet " + dir +
                             "/p.png -o " + dir + "/web.webp && heif-enc -q 80 " + dir + "/p.png -o " + dir +
                             "/phone.heic && avifenc -s 8 " + dir + "/p.png " + dir + "/still.avif >/dev/null")
                .exitCode,
            0);
  for (const char* name : {"web.webp", "phone.heic", "still.avif"}) {
    const test::CommandResult result = RunCli("convert " + dir + "/" + name + " " + dir + "/" + name + ".png");
    EXPECT_EQ(result.exitCode, 0) << name << result.output;
    const test::CommandResult size = test::RunCommand("identify -format '%wx%h' " + dir + "/" + name + ".png");
    EXPECT_EQ(size.output, "64x40") << name;
  }
  std::filesystem::create_directory(dir + "/out");
  const test::CommandResult batch = RunCli("batch --to WEBP --dest " + dir + "/out --jobs 2 " + dir + "/web.webp " +
                                           dir + "/phone.heic " + dir + "/still.avif " + dir + "/p.png");
  ASSERT_EQ(batch.exitCode, 0) << batch.output;
  for (const char* name : {"web", "phone", "still", "p"})
    EXPECT_NE(batch.output.find("written " + dir + "/out/" + name + ".webp"), std::string::npos) << batch.output;
  EXPECT_EQ(RunCli("batch --to AVIF --dest " + dir + "/out " + dir + "/p.png").exitCode, 0);
  EXPECT_EQ(test::RunCommand("identify -format '%wx%h' " + dir + "/out/p.avif").output, "64x40");
  EXPECT_NE(RunCli("batch --to HEIC --dest " + dir + " " + dir + "/p.png").output.find("--to takes"),
            std::string::npos);
}

TEST(FormatsCli, LosslessOptionAndTheListing) {
  const std::string dir = test::TempDir();
  Bitmap b(31, 9, pf24bit);
  for (int x = 0; x < 31; ++x) b.SetPixel(x, x % 9, RGB(x * 8, 3, 200 - x));
  b.SaveToFile(dir + "/s.bmp");
  ASSERT_EQ(RunCli("convert --webp-lossless " + dir + "/s.bmp " + dir + "/s.webp").exitCode, 0);
  ASSERT_EQ(RunCli("convert " + dir + "/s.webp " + dir + "/back.bmp").exitCode, 0);
  EXPECT_EQ(test::RunCommand("compare -metric AE " + dir + "/s.bmp " + dir + "/back.bmp null: 2>&1").output, "0");
  ASSERT_EQ(RunCli("convert --jpeg-quality 20 " + dir + "/s.bmp " + dir + "/lossy.webp").exitCode, 0);
  EXPECT_NE(ReadFileBytes(dir + "/lossy.webp"), ReadFileBytes(dir + "/s.webp"));

  const std::string formats = RunCli("formats").output;
  EXPECT_NE(formats.find("WEBP  .WEBP        yes  yes    WebP image"), std::string::npos) << formats;
  EXPECT_NE(formats.find("HEIC  .HEIC .HEIF  yes  no "), std::string::npos) << formats;
  EXPECT_NE(formats.find("JPEG image (batch target) (metadata kept)"), std::string::npos) << formats;
  EXPECT_NE(formats.find("TIFF image (metadata read)"), std::string::npos) << formats;
  const std::string help = RunCli("--help").output;
  for (const char* option : {"--auto-orient", "--keep-metadata", "--to-srgb", "--webp-lossless"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

// The general options reach every open: info shows the kept metadata and the
// turned size.
TEST(FormatsCli, OpeningOptionsReachInfo) {
  const std::string photo = test::CorpusDir() + "/jpeg/gen-exif-orientation6-hopper.jpg";
  const std::string stored = RunCli("info " + photo).output;
  const std::string upright = RunCli("--auto-orient info --keep-metadata " + photo).output;
  EXPECT_EQ(stored.find("exif:"), std::string::npos);
  EXPECT_NE(upright.find("exif: "), std::string::npos) << upright;
  EXPECT_NE(upright.find("orientation 1"), std::string::npos) << upright;
  EXPECT_NE(RunCli("--keep-metadata info " + photo).output.find("orientation 6"), std::string::npos);
  EXPECT_NE(stored, upright);
}

}  // namespace
}  // namespace pixtrel
