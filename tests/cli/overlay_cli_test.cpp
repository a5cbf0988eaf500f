// pixtrel-cli overlay, blend and convert --alpha / --alpha-shape, run as a
// user runs them.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "core/bitmap.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

using Result = test::SeparateOutputs;

// Runs pixtrel-cli with its standard output and standard error kept apart.
Result RunCli(const std::string& arguments) {
  return test::RunCommandApart(std::string(PIXTREL_CLI_PATH) + " " + arguments);
}

struct Files {
  std::string dir = test::TempDir();
  std::string in = dir + "/in.bmp";
  std::string over = dir + "/over.bmp";
  Files() {
    Bitmap black(200, 100, pf24bit);
    black.Fill(clBlack);
    black.SaveToFile(in);
    // White with a red block; white (the bottom-left colour) is left out.
    Bitmap overlay(50, 20, pf24bit);
    overlay.Fill(clWhite);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 50; ++x) overlay.SetPixel(x, y, clRed);
    overlay.SaveToFile(over);
  }
};

TEST(CliOverlay, PaintsAtThePlaceAndGlueWidens) {
  Files f;
  Result r = RunCli("overlay '" + f.in + "' '" + f.over + "' '" + f.dir + "/painted.bmp' --at 180,10");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, f.dir + "/painted.bmp\n");
  Bitmap painted;
  painted.LoadFromFile(f.dir + "/painted.bmp");
  EXPECT_EQ(painted.Width(), 200);
  EXPECT_EQ(painted.Pixel(199, 10), clRed);
  EXPECT_EQ(painted.Pixel(199, 25), clBlack) << "white overlay pixels are left out";

  r = RunCli("overlay '" + f.in + "' '" + f.over + "' '" + f.dir + "/glued.bmp' --at 180,10 --glue");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Bitmap glued;
  glued.LoadFromFile(f.dir + "/glued.bmp");
  EXPECT_EQ(glued.Width(), 230);
  EXPECT_EQ(glued.Height(), 100);
  EXPECT_EQ(glued.Pixel(229, 19), clRed);
}

TEST(CliOverlay, BlendCrossFadesTheLayerWithTheImage) {
  Files f;
  const Result r = RunCli("blend '" + f.in + "' '" + f.over + "' '" + f.dir + "/half.bmp' --at 0,0 --amount 50");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Bitmap half;
  half.LoadFromFile(f.dir + "/half.bmp");
  EXPECT_EQ(half.Pixel(100, 50), RGB(128, 128, 128)) << "white layer over black: 127.5 to even";
  EXPECT_EQ(half.Pixel(5, 5), RGB(128, 0, 0));
}

TEST(CliOverlay, WrongCommandLinesAreUsageErrors) {
  Files f;
  EXPECT_EQ(RunCli("blend '" + f.in + "' '" + f.over + "' '" + f.dir + "/x.bmp'").exitCode, 2);
  EXPECT_EQ(RunCli("blend '" + f.in + "' '" + f.over + "' '" + f.dir + "/x.bmp' --amount 101").exitCode, 2);
  EXPECT_EQ(RunCli("overlay '" + f.in + "' '" + f.dir + "/x.bmp' --at 1,1").exitCode, 2);
  EXPECT_EQ(RunCli("overlay '" + f.in + "' '" + f.over + "' '" + f.dir + "/x.bmp' --at 1").exitCode, 2);
  EXPECT_EQ(RunCli("overlay '" + f.in + "' '" + f.over + "' '" + f.dir + "/x.bmp' --amount 3").exitCode, 2);
  EXPECT_EQ(RunCli("overlay '" + f.in + "' '" + f.dir + "/over.xyz' '" + f.dir + "/x.bmp'").exitCode, 2);
  EXPECT_EQ(RunCli("overlay '" + f.in + "' '" + f.dir + "/gone.bmp' '" + f.dir + "/x.bmp'").exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(f.dir + "/x.bmp"));
  const Result help = RunCli("--help");
  EXPECT_NE(help.out.find("overlay IN OVERLAY OUT"), std::string::npos);
  EXPECT_NE(help.out.find("--alpha-shape"), std::string::npos);
}

TEST(CliAlpha, UniformAndShapeAlphaAsThePngTabSavesThem) {
  Files f;
  Result r = RunCli("convert '" + f.in + "' '" + f.dir + "/clear.png' --alpha 0 --png-text hello");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  QImage clear(QString::fromStdString(f.dir + "/clear.png"));
  ASSERT_EQ(clear.width(), 200);
  EXPECT_EQ(qAlpha(clear.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(clear.pixel(199, 99)), 0);
  EXPECT_EQ(clear.text(QStringLiteral("description")), QString()) << "no text chunk";

  r = RunCli("convert '" + f.in + "' '" + f.dir + "/oval.png' --alpha-shape --kind zstEllipse --brush '#000000'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  QImage oval(QString::fromStdString(f.dir + "/oval.png"));
  EXPECT_EQ(qAlpha(oval.pixel(100, 50)), 255);
  EXPECT_EQ(qAlpha(oval.pixel(2, 2)), 0);

  const test::CommandResult peer =
      test::RunCommand("identify -format '%[channels] %[fx:mean.a]' '" + f.dir + "/oval.png'");
  EXPECT_EQ(peer.output.substr(0, 5), "srgba") << peer.output;

  EXPECT_EQ(RunCli("convert '" + f.in + "' '" + f.dir + "/x.bmp' --alpha 10").exitCode, 2);
  EXPECT_EQ(RunCli("convert '" + f.in + "' '" + f.dir + "/x.png' --alpha 256").exitCode, 2);
  EXPECT_EQ(RunCli("convert '" + f.in + "' '" + f.dir + "/x.png' --alpha 3 --alpha-shape").exitCode, 2);
  EXPECT_EQ(RunCli("convert '" + f.in + "' '" + f.dir + "/x.png' --kind zstEllipse").exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(f.dir + "/x.png"));
}

}  // namespace
}  // namespace pixtrel
