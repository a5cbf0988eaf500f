// pixtrel-cli draw, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "automation/board.h"
#include "automation/board_interface.h"
#include "core/bitmap.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"
#include "support/run_command.h"
#include "workspace/workspace.h"

namespace pixtrel {
namespace {

using Result = test::SeparateOutputs;

// Runs pixtrel-cli with its standard output and standard error kept apart.
Result RunCli(const std::string& arguments) {
  return test::RunCommandApart(std::string(PIXTREL_CLI_PATH) + " " + arguments);
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
}

std::string WhiteImage(const std::string& dir, int width, int height) {
  Bitmap white(width, height, pf24bit);
  white.Fill(clWhite);
  white.SaveToFile(dir + "/in.bmp");
  return dir + "/in.bmp";
}

TEST(CliDraw, RunsTheCallsPrintsResultsAndSaves) {
  const std::string dir = test::TempDir();
  const std::string in = WhiteImage(dir, 100, 60);
  WriteText(dir + "/figure.txt",
            "PenColor \"#FF0000\"\n"
            "Line 0, 10, 50, 10\n"
            "ImageWidth\n"
            "getPixelColor 20, 10\n"
            "angle = 22.5\n"
            "angle\n"
            "BrushColor \"#0000FF\"\n"
            "Ellipse 60, 20, 90, 50\n"
            "PenDown\n"
            "MoveTo 10, 50\n"
            "angle = 0\n"
            "Turn -90\n"
            "Move 30\n");
  const Result r = RunCli("draw '" + in + "' '" + dir + "/out.png' '" + dir + "/figure.txt'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "100\n#FF0000\n22\n");

  // The same calls on a board in this process give the same pixels.
  Workspace workspace;
  Bitmap image;
  image.LoadFromFile(in);
  workspace.SetImage(image);
  automation::Turtle turtle;
  automation::Board board(workspace, turtle);
  using automation::Variant;
  ASSERT_TRUE(board.PenColor(Variant("#FF0000")));
  ASSERT_TRUE(board.Line(Variant(0), Variant(10), Variant(50), Variant(10)));
  ASSERT_TRUE(board.set_angle(Variant(22.5)));
  ASSERT_TRUE(board.BrushColor(Variant("#0000FF")));
  ASSERT_TRUE(board.Ellipse(Variant(60), Variant(20), Variant(90), Variant(50)));
  ASSERT_TRUE(board.PenDown());
  ASSERT_TRUE(board.MoveTo(Variant(10), Variant(50)));
  ASSERT_TRUE(board.set_angle(Variant(0)));
  ASSERT_TRUE(board.Turn(Variant(-90)));
  ASSERT_TRUE(board.Move(Variant(30)));

  Bitmap drawn;
  LoadImageFile(dir + "/out.png", drawn, test::Silent());
  ASSERT_EQ(drawn.Width(), 100);
  ASSERT_EQ(drawn.Height(), 60);
  int differing = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x)
      differing += (drawn.Pixel(x, y) & 0xFFFFFF) != (workspace.Image().Pixel(x, y) & 0xFFFFFF);
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(drawn.Pixel(75, 35) & 0xFFFFFF, clBlue);
  EXPECT_EQ(drawn.Pixel(20, 10) & 0xFFFFFF, clRed);
  EXPECT_EQ(drawn.Pixel(10, 25) & 0xFFFFFF, clRed);  // the turtle's line, straight up
}

TEST(CliDraw, AFailingCallStopsTheScriptAndWritesNothing) {
  const std::string dir = test::TempDir();
  const std::string in = WhiteImage(dir, 40, 30);
  WriteText(dir + "/bad.txt", "ImageHeight\nNewImage 20, \"wide\"\nImageWidth\n");
  Result r = RunCli("draw '" + in + "' '" + dir + "/out.bmp' '" + dir + "/bad.txt'");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "30\n");
  EXPECT_NE(r.err.find("error: line 2: The value cannot be read as a number (wide)\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out.bmp"));

  WriteText(dir + "/syntax.txt", "ImageHeight\nLine 1, 2\n");
  r = RunCli("draw '" + in + "' '" + dir + "/out.bmp' '" + dir + "/syntax.txt'");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");  // a script that cannot be read runs no call
  EXPECT_NE(r.err.find("error: line 2: Line takes 4 arguments\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out.bmp"));

  r = RunCli("draw '" + in + "' '" + dir + "/out.bmp'");
  EXPECT_EQ(r.exitCode, 2);
  r = RunCli("draw '" + in + "' '" + dir + "/out.bmp' '" + dir + "/missing.txt'");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("missing.txt"), std::string::npos);
}

TEST(CliDraw, NewImageReplacesTheImageAndReadsTheScriptFromStandardInput) {
  const std::string dir = test::TempDir();
  const std::string in = WhiteImage(dir, 40, 30);
  WriteText(dir + "/new.txt",
            "NewImage 200, 100\nImageWidth\nImageHeight\nBrushColor \"#00FF00\"\nFloodFillSurface 5, 5, \"#FFFFFF\"\n");
  const Result r = RunCli("draw '" + in + "' '" + dir + "/out.gif' - <'" + dir + "/new.txt'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "200\n100\n");
  Bitmap drawn;
  LoadImageFile(dir + "/out.gif", drawn, test::Silent());
  EXPECT_EQ(drawn.Width(), 200);
  EXPECT_EQ(drawn.Pixel(150, 80) & 0xFFFFFF, clLime);
}

TEST(CliDraw, HelpListsEveryMemberOfTheInterface) {
  const Result r = RunCli("--help");
  ASSERT_EQ(r.exitCode, 0);
  const std::string help = r.out.substr(r.out.find("Members:"));
  for (const automation::BoardMember& member : automation::BoardMembers())
    EXPECT_NE(help.find(std::string(" ") + member.name), std::string::npos) << member.name;
}

}  // namespace
}  // namespace pixtrel
