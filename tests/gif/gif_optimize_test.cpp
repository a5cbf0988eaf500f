// The GIF optimize window's steps: the trial conversion, the save and the
// halftone note.
#include "gif/gif_optimize.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "gif/gif_error.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel::gif {
namespace {

Bitmap Picture(int w, int h) {
  Bitmap b(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 5 % 256, y * 11 % 256, (x ^ y) * 3 % 256));
  return b;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(GifOptimize, TrialReducesByTheSettingsAndReportsTheWrittenSize) {
  const Bitmap picture = Picture(64, 40);
  GifSettings settings;
  settings.reductionMode = Monochrome;
  settings.ditherMode = Nearest;
  std::vector<int> stages;
  const GifTrial trial = TryGifSettings(picture, settings, [&](int stage, int, const std::string&) {
    stages.push_back(stage);
  });
  ASSERT_EQ(trial.picture.Width(), 64);
  std::set<Color> colors;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) colors.insert(trial.picture.Pixel(x, y));
  EXPECT_LE(colors.size(), 2u);
  ASSERT_FALSE(stages.empty());
  EXPECT_EQ(stages.back(), 2) << "the bar returns to 0 at the end";

  // The size is that of the GIF87a bytes with one 256-entry local table,
  // no graphic control extension and no merged tables.
  GIFImage image(settings);
  image.Assign(picture);
  const std::vector<std::uint8_t> bytes = image.SaveToBytes();
  EXPECT_EQ(trial.bytes, bytes.size());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");
  EXPECT_EQ(image.Images().front()->LocalColorMap().Count(), 256);
}

TEST(GifOptimize, EmptyPictureRaisesInvalidDimensions) {
  try {
    TryGifSettings(Bitmap(), GifSettings());
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid image dimensions");
  }
}

TEST(GifOptimize, SaveIsAlways89aAndTransparentMarksTheBottomLeftColour) {
  const std::string dir = pixtrel::test::TempDir();
  Bitmap picture = Picture(30, 20);
  for (int y = 10; y < 20; ++y)
    for (int x = 0; x < 15; ++x) picture.SetPixel(x, y, clRed);
  GifSettings settings;  // Netscape 216: red is in the palette
  SaveOptimizedGif(dir + "/plain.bmp", picture, settings, false);
  SaveOptimizedGif(dir + "/clear.gif", picture, settings, true);
  const std::vector<std::uint8_t> plain = ReadAll(dir + "/plain.bmp");
  ASSERT_GT(plain.size(), 6u);
  EXPECT_EQ(std::string(plain.begin(), plain.begin() + 6), "GIF89a") << "a .bmp name gets GIF data";

  GIFImage read;
  read.LoadFromBytes(ReadAll(dir + "/clear.gif"));
  const GIFSubImage& frame = *read.Images().front();
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_TRUE(frame.GraphicControlExtension()->Transparent());
  const int index = frame.GraphicControlExtension()->TransparentColorIndex();
  EXPECT_EQ(index, frame.Pixel(0, 19));
  EXPECT_EQ(frame.ActiveColorMap().At(index), clRed);
  EXPECT_EQ(frame.Pixel(14, 10), index) << "the colour is transparent throughout the picture";

  GIFImage readPlain;
  readPlain.LoadFromBytes(plain);
  ASSERT_NE(readPlain.Images().front()->GraphicControlExtension(), nullptr);
  EXPECT_FALSE(readPlain.Images().front()->GraphicControlExtension()->Transparent());

  const pixtrel::test::CommandResult info = pixtrel::test::RunCommand("gifsicle --info '" + dir + "/clear.gif' 2>&1");
  EXPECT_EQ(info.exitCode, 0) << info.output;
  EXPECT_NE(info.output.find("transparent"), std::string::npos) << info.output;
}

TEST(GifOptimize, HalftoneNoteOnlyAbove8BitsWithTheColourCount) {
  EXPECT_FALSE(HalftoneWarning(8));
  EXPECT_FALSE(HalftoneWarning(1));
  EXPECT_EQ(*HalftoneWarning(16),
            "Please note that the Windows Halftone color reduction method\n"
            "only works properly in 256 color display mode.\n\n"
            "Since your display adapter is currently in 65536 color mode,\n"
            "the Windows Halftone Palette method will produce the same\n"
            "result as the Windows System Palette method.");
  EXPECT_NE(HalftoneWarning(24)->find(" 16777216 color mode"), std::string::npos);
  EXPECT_NE(HalftoneWarning(32)->find(" 4294967296 color mode"), std::string::npos);
  EXPECT_NE(HalftoneWarning(96)->find(" 9223372036854775808 color mode"), std::string::npos);
}

}  // namespace
}  // namespace pixtrel::gif
