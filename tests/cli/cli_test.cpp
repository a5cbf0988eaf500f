// pixtrel-cli as a user runs it: exit codes, messages and what it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/bitmap.h"
#include "io/formats.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

namespace fs = std::filesystem;

using Result = test::CommandResult;

// Standard output and standard error together.
Result RunCli(const std::string& arguments) {
  return test::RunCommand(std::string(PIXTREL_CLI_PATH) + " " + arguments + " 2>&1");
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string SampleBmp(const std::string& dir) {
  Bitmap b(40, 30, pf24bit);
  b.Fill(RGB(10, 200, 30));
  const std::string path = dir + "/sample.bmp";
  b.SaveToFile(path);
  return path;
}

TEST(CliUsage, HelpAndBadCommandLines) {
  Result help = RunCli("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("convert IN OUT"), std::string::npos);
  const std::size_t written = help.output.find("Formats written:");
  ASSERT_NE(written, std::string::npos);
  EXPECT_NE(help.output.find(".BMP", written), std::string::npos);
  EXPECT_EQ(RunCli("").exitCode, 2);
  EXPECT_EQ(RunCli("frobnicate").exitCode, 2);
  EXPECT_EQ(RunCli("convert only-one.bmp").exitCode, 2);
  EXPECT_EQ(RunCli("convert a.bmp b.jpg --jpeg-quality 0").exitCode, 2);
  EXPECT_EQ(RunCli("convert a.bmp b.jpg --bogus").exitCode, 2);
}

// The formats command and the batch's --to choices come from the format table.
TEST(CliFormats, ListsEveryRowAndTheBatchTargets) {
  const Result formats = RunCli("formats");
  EXPECT_EQ(formats.exitCode, 0);
  std::size_t lines = 0;
  for (char c : formats.output) lines += c == '\n';
  EXPECT_EQ(lines, FormatRows().size() + 1);
  EXPECT_NE(formats.output.find("JPG   .JPG .JPEG   yes  yes    JPEG image (batch target)"), std::string::npos)
      << formats.output;
  EXPECT_NE(formats.output.find("PCX   .PCX         yes  no "), std::string::npos);
  EXPECT_NE(formats.output.find("ICL   .ICL         no   no "), std::string::npos);
  EXPECT_EQ(RunCli("formats extra").exitCode, 2);

  const Result badTarget = RunCli("batch --to TIF --dest /tmp a.png");
  EXPECT_EQ(badTarget.exitCode, 2);
  EXPECT_NE(badTarget.output.find("--to takes BMP, GIF, JPG, PNG, WEBP or AVIF"), std::string::npos) << badTarget.output;
  EXPECT_NE(RunCli("batch --dest /tmp a.png").output.find("batch needs --to BMP|GIF|JPG|PNG"), std::string::npos);
}

TEST(CliConvert, BmpToJpegAndBack) {
  const std::string dir = test::TempDir();
  const std::string bmp = SampleBmp(dir);
  Result toJpeg = RunCli("convert " + Quote(bmp) + " " + Quote(dir + "/out.jpg") + " --jpeg-quality 90");
  ASSERT_EQ(toJpeg.exitCode, 0) << toJpeg.output;
  Result back = RunCli("convert " + Quote(dir + "/out.jpg") + " " + Quote(dir + "/back.dat") + " --format bmp");
  ASSERT_EQ(back.exitCode, 0) << back.output;
  Bitmap b;
  b.LoadFromFile(dir + "/back.dat");
  EXPECT_EQ(b.Width(), 40);
  EXPECT_EQ(b.Height(), 30);
  const Color c = b.Pixel(20, 15);
  EXPECT_NEAR(GetGValue(c), 200, 4);
  EXPECT_NEAR(GetRValue(c), 10, 4);
}

TEST(CliConvert, UnknownFormatsAreUsageErrorsAndWriteNothing) {
  const std::string dir = test::TempDir();
  const std::string bmp = SampleBmp(dir);
  Result badOut = RunCli("convert " + Quote(bmp) + " " + Quote(dir + "/out.xyz"));
  EXPECT_EQ(badOut.exitCode, 2);
  EXPECT_NE(badOut.output.find("error: "), std::string::npos);
  EXPECT_NE(badOut.output.find(".XYZ"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/out.xyz"));

  fs::copy_file(bmp, dir + "/sample.jpe");
  Result badIn = RunCli("convert " + Quote(dir + "/sample.jpe") + " " + Quote(dir + "/out.bmp"));
  EXPECT_EQ(badIn.exitCode, 2);
  EXPECT_NE(badIn.output.find(".JPE"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/out.bmp"));

  EXPECT_EQ(RunCli("convert " + Quote(bmp) + " " + Quote(dir + "/out.bmp") + " --format .JPEG").exitCode, 2);
}

TEST(CliConvert, ReaderErrorsExitOneAndKeepTheTarget) {
  const std::string dir = test::TempDir();
  { std::ofstream(dir + "/broken.bmp") << "BMxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"; }
  { std::ofstream(dir + "/target.jpg") << "keep me"; }
  Result broken = RunCli("convert " + Quote(dir + "/broken.bmp") + " " + Quote(dir + "/target.jpg"));
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_EQ(broken.output.rfind("error: ", 0), 0u) << broken.output;
  std::ifstream in(dir + "/target.jpg");
  std::string contents;
  std::getline(in, contents);
  EXPECT_EQ(contents, "keep me");

  Result missing = RunCli("convert " + Quote(dir + "/missing.bmp") + " " + Quote(dir + "/x.bmp"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("missing.bmp"), std::string::npos);
}

TEST(CliConvert, ErrorsNameTheFileTheyConcern) {
  const std::string dir = test::TempDir();
  { std::ofstream(dir + "/broken.gif") << "GIF89a\x01"; }
  // A reader's fixed text comes after the file read...
  Result read = RunCli("convert " + Quote(dir + "/broken.gif") + " " + Quote(dir + "/x.png"));
  EXPECT_EQ(read.exitCode, 1);
  EXPECT_EQ(read.output.rfind("error: " + dir + "/broken.gif: ", 0), 0u) << read.output;
  // ...a writer's after the file written...
  Bitmap wide(70000, 1, pf24bit);
  wide.SaveToFile(dir + "/wide.bmp");
  Result written = RunCli("convert " + Quote(dir + "/wide.bmp") + " " + Quote(dir + "/wide.gif"));
  EXPECT_EQ(written.exitCode, 1);
  EXPECT_EQ(written.output.rfind("error: " + dir + "/wide.gif: Image is too large for this file format", 0), 0u)
      << written.output;
  // ...and a text that names its file already stands as it is.
  Result missing = RunCli("info " + Quote(dir + "/missing.bmp"));
  EXPECT_EQ(missing.output, "error: Cannot open file \"" + dir + "/missing.bmp\"\n");
}

TEST(CliConvert, PixelLimitRefusesLargePicturesBeforeReadingThem) {
  const std::string dir = test::TempDir();
  // 26 bytes that declare 16384 x 16384 pixels, more than the default limit.
  { std::ofstream(dir + "/bomb.ppm") << "P6\n16384 16384\n255\n\x01\x02\x03"; }
  Result bomb = RunCli("convert " + Quote(dir + "/bomb.ppm") + " " + Quote(dir + "/bomb.png"));
  EXPECT_EQ(bomb.exitCode, 1);
  EXPECT_EQ(bomb.output, "error: " + dir +
                             "/bomb.ppm: Image is too large (16384 x 16384 = 268435456 pixels, over the limit of "
                             "178956970 pixels)\n");
  EXPECT_FALSE(fs::exists(dir + "/bomb.png"));

  const std::string sample = SampleBmp(dir);
  // Anywhere on the line, for any command that reads.
  Result under = RunCli("--max-pixels 1200 info " + Quote(sample));
  EXPECT_EQ(under.exitCode, 0) << under.output;
  Result over = RunCli("info " + Quote(sample) + " --max-pixels 1199");
  EXPECT_EQ(over.exitCode, 1);
  EXPECT_NE(over.output.find("40 x 30 = 1200 pixels, over the limit of 1199 pixels"), std::string::npos) << over.output;
  Result batch = RunCli("batch --to PNG --dest " + Quote(dir) + " --max-pixels 100 " + Quote(sample));
  EXPECT_EQ(batch.exitCode, 1);
  EXPECT_NE(batch.output.find("over the limit of 100 pixels"), std::string::npos) << batch.output;
  EXPECT_FALSE(fs::exists(dir + "/sample.png"));
  // 0 takes the program's limit away: the file's own shortness fails it.
  Result none = RunCli("info " + Quote(dir + "/bomb.ppm") + " --max-pixels 0");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.output.find("over the limit"), std::string::npos) << none.output;
  EXPECT_EQ(RunCli("info " + Quote(sample) + " --max-pixels -1").exitCode, 2);
  EXPECT_EQ(RunCli("info " + Quote(sample) + " --max-pixels").exitCode, 2);
}

TEST(CliInfo, PrintsTheImageInfoText) {
  const std::string dir = test::TempDir();
  Result info = RunCli("info " + Quote(SampleBmp(dir)));
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_EQ(info.output.rfind("image width=40 height=30\n24 bits/pixel\n", 0), 0u) << info.output;
  EXPECT_NE(info.output.find("format: .BMP"), std::string::npos);
  EXPECT_EQ(RunCli("info " + Quote(dir + "/nothing.bmp")).exitCode, 1);
  EXPECT_EQ(RunCli("info " + Quote(dir + "/file.unknown")).exitCode, 2);
}

}  // namespace
}  // namespace pixtrel
