// pixtrel-cli stamp and the listings made from the tables (effects, --help),
// run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/bitmap.h"
#include "shapes/shape_controller.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

using Result = test::SeparateOutputs;

// Runs pixtrel-cli with its standard output and standard error kept apart.
Result RunCli(const std::string& arguments) {
  return test::RunCommandApart(std::string(PIXTREL_CLI_PATH) + " " + arguments);
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if ((a.Pixel(x, y) & 0xFFFFFF) != (b.Pixel(x, y) & 0xFFFFFF)) return false;
  return true;
}

TEST(CliStamp, StampsOneShapeAndSavesIt) {
  const std::string dir = test::TempDir();
  Bitmap white(120, 80, pf24bit);
  white.Fill(clWhite);
  white.SaveToFile(dir + "/in.bmp");
  const Result r = RunCli("stamp '" + dir + "/in.bmp' '" + dir +
                          "/out.bmp' --kind zstArrowUp --box 10,5,40,60 --brush '#FF0000' --gradient zgdRectOut "
                          "--gradient-color '#000000' --pen-width 2");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, dir + "/out.bmp\n");
  Bitmap stamped;
  stamped.LoadFromFile(dir + "/out.bmp");

  shapes::ZepShape s;
  s.SetShape(shapes::zstArrowUp);
  s.SetBounds(10, 5, 40, 60);
  s.SetBrush({clRed, bsSolid});
  s.SetGradient(true);
  s.SetFillDirection(shapes::zgdRectOut);
  s.SetPen({clBlack, 2, psSolid, pmCopy});
  Bitmap expected = white;
  shapes::PaintShape(s, expected);
  EXPECT_TRUE(SamePixels(expected, stamped));
  EXPECT_FALSE(SamePixels(white, stamped));
}

TEST(CliStamp, ListsAndRejectsBadCommandLines) {
  Result r = RunCli("stamp --list");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("zstFatArrowRight\n"), std::string::npos);
  EXPECT_NE(r.out.find("zgdLeftRight\n"), std::string::npos);
  r = RunCli("stamp a.bmp b.bmp --kind zstNope --box 0,0,1,1");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("zstNope"), std::string::npos);
  EXPECT_NE(r.err.find("Run \"pixtrel-cli --help\" for usage."), std::string::npos);
  for (const char* line :
       {"stamp a.bmp b.bmp --kind zstSquare", "stamp a.bmp b.bmp --kind zstSquare --box 1,2,3",
        "stamp a.bmp b.bmp --kind zstSquare --box 0,0,9,9 --brush red",
        "stamp a.bmp b.bmp --user-vector odd=1,2,3 --box 0,0,9,9", "stamp a.bmp --kind zstSquare --box 0,0,9,9",
        "stamp a.nope b.bmp --kind zstSquare --box 0,0,9,9"})
    EXPECT_EQ(RunCli(line).exitCode, 2) << line;
}

// The listings are made from the effect table: the captions the menu shows,
// without their accelerators, under their submenus.
TEST(CliListings, EffectsAndHelpComeFromTheTables) {
  const Result effects = RunCli("effects");
  ASSERT_EQ(effects.exitCode, 0);
  for (const char* line :
       {"  lighter                       Lighter\n", "  sharpen                       Focus > Sharpen\n",
        "  wipe                          Distortions > Whipe\n",
        "  buttonize-oval-rimmed-masked  Buttonize > Oval Rimmed masked\n",
        "  mask-oval-color=#RRGGBB       Mask Oval color...\n",
        "  resize=WxH                    Options > Resize Image...\n",
        "  gaussian-depth                0 to 9, start 0, not a number: 3\n"})
    EXPECT_NE(effects.out.find(line), std::string::npos) << line;
  EXPECT_EQ(RunCli("effects extra").exitCode, 2);

  const Result help = RunCli("--help");
  ASSERT_EQ(help.exitCode, 0);
  // Sections in order: commands, their options, the general ones, the
  // effect and setting names, the stamp options, the formats.
  std::size_t at = 0;
  for (const char* part :
       {"Commands:\n  convert IN OUT", "  batch --to BMP|GIF|JPG|PNG",
        "Options of convert:", "Options of batch:", "  -h, --help", "Exit codes: 0 done, 1 error, 2 usage.\n",
        "\nEffects: lighter darker", "mask-oval-color[=#RRGGBB] turn resize=WxH make-square",
        "\nSettings: buttonize-depth", "\n\nOptions of stamp IN OUT", "\nFormats read:   ", "\nFormats written:"}) {
    const std::size_t found = help.out.find(part, at);
    ASSERT_NE(found, std::string::npos) << part;
    at = found;
  }
  EXPECT_EQ(RunCli("help").out, help.out);
  EXPECT_EQ(RunCli("icl list x.icl -h").out, help.out);
}

TEST(CliIcl, WrongLinesAreUsageErrors) {
  for (const char* line : {"icl", "icl list", "icl frob x", "icl extract x.icl", "icl build out.icl"}) {
    const Result r = RunCli(line);
    EXPECT_EQ(r.exitCode, 2) << line;
    EXPECT_NE(r.err.find("icl takes list FILE, extract FILE DIR or build OUT ICO..."), std::string::npos) << line;
  }
  // A library with no icons is an error, and extracting from it makes no folder.
  const std::string dir = test::TempDir();
  std::ofstream(dir + "/empty.icl").flush();
  for (const std::string& line :
       {"icl list '" + dir + "/empty.icl'", "icl extract '" + dir + "/empty.icl' '" + dir + "/out'"}) {
    const Result empty = RunCli(line);
    EXPECT_EQ(empty.exitCode, 1) << line;
    EXPECT_EQ(empty.err, "error: no icons were read from " + dir + "/empty.icl\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/out"));
  EXPECT_EQ(RunCli("icl list '" + dir + "/none.icl'").exitCode, 1);
}

}  // namespace
}  // namespace pixtrel
