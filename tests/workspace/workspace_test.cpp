#include "workspace/workspace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/scripted_interaction.h"
#include "support/corpus.h"
#include "workspace/effect_commands.h"

namespace pixtrel::test {
namespace {

Bitmap Picture(int w, int h, PixelFormat format = pf24bit) {
  Bitmap b(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 7 % 256, y * 13 % 256, (x + y) % 256));
  b.SetPixelFormat(format);
  return b;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

TEST(Workspace, EditFrameAndUndo) {
  Workspace ws;
  EXPECT_FALSE(ws.UndoEnabled());
  const Bitmap original = Picture(20, 10, pf8bit);
  ws.SetImage(original);
  const fx::EffectSettings settings;
  ScriptedInteraction ui;
  RunEffectCommand(ws, settings, *FindEffectCommand("lighter"), ui);
  EXPECT_TRUE(ws.UndoEnabled());
  EXPECT_EQ(ws.Image().PixelFormat(), pf24bit);
  EXPECT_EQ(ws.UndoBitmap().PixelFormat(), pf8bit);
  EXPECT_FALSE(SamePixels(ws.Image(), original));
  ws.Undo();
  EXPECT_TRUE(SamePixels(ws.Image(), original));
  EXPECT_EQ(ws.Image().PixelFormat(), pf8bit);
  ws.Undo();
  EXPECT_TRUE(SamePixels(ws.Image(), original));
  EXPECT_TRUE(ws.UndoEnabled());
}

TEST(Workspace, WithoutUndoTheFrameMovesTheImage) {
  Workspace kept, moved;
  moved.SetKeepsUndo(false);
  kept.SetImage(Picture(17, 9, pf32bit));
  moved.SetImage(Picture(17, 9, pf32bit));
  const fx::EffectSettings settings;
  ScriptedInteraction ui;
  for (const char* name : {"blur", "posterize", "turn", "twist"}) {
    RunEffectCommand(kept, settings, *FindEffectCommand(name), ui);
    RunEffectCommand(moved, settings, *FindEffectCommand(name), ui);
    EXPECT_TRUE(SamePixels(kept.Image(), moved.Image())) << name;
  }
  const Bitmap result = moved.Image();
  moved.Undo();
  EXPECT_TRUE(SamePixels(moved.Image(), result));
}

TEST(Workspace, UndoAfterMakeSquareRestoresTheLastSnapshot) {
  Workspace ws;
  const Bitmap original = Picture(30, 12);
  ws.SetImage(original);
  const fx::EffectSettings settings;
  ScriptedInteraction ui;
  RunEffectCommand(ws, settings, *FindEffectCommand("invert"), ui);
  const Bitmap inverted = ws.Image();
  ws.MakeSquare();
  EXPECT_EQ(ws.Image().Width(), 30);
  EXPECT_EQ(ws.Image().Height(), 30);
  ws.Undo();
  EXPECT_TRUE(SamePixels(ws.Image(), original));
}

TEST(Workspace, MakeSquarePadsWithWhiteCentredRoundedDown) {
  Bitmap wide = Picture(9, 4);
  MakeSquare(wide);
  ASSERT_EQ(wide.Width(), 9);
  ASSERT_EQ(wide.Height(), 9);
  const Bitmap source = Picture(9, 4);
  EXPECT_EQ(wide.Pixel(0, 1) & 0xFFFFFF, clWhite);
  EXPECT_EQ(wide.Pixel(3, 2), source.Pixel(3, 0));  // (9 - 4) / 2 = 2
  EXPECT_EQ(wide.Pixel(8, 5), source.Pixel(8, 3));
  EXPECT_EQ(wide.Pixel(4, 6) & 0xFFFFFF, clWhite);
  Bitmap tall = Picture(3, 8);
  MakeSquare(tall);
  EXPECT_EQ(tall.Pixel(2, 0), Picture(3, 8).Pixel(0, 0));  // (8 - 3) / 2 = 2
  EXPECT_EQ(tall.Pixel(1, 0) & 0xFFFFFF, clWhite);
}

TEST(Workspace, TurnTakesASnapshotAndTurnsClockwise) {
  Workspace ws;
  ws.SetImage(Picture(5, 3));
  ws.Turn();
  EXPECT_TRUE(ws.UndoEnabled());
  ASSERT_EQ(ws.Image().Width(), 3);
  ASSERT_EQ(ws.Image().Height(), 5);
  EXPECT_EQ(ws.Image().Pixel(2, 0), Picture(5, 3).Pixel(0, 0));
  EXPECT_EQ(ws.Image().Pixel(2, 4), Picture(5, 3).Pixel(4, 0));
  ws.Undo();
  EXPECT_EQ(ws.Image().Width(), 5);
}

TEST(Workspace, ResampleIgnoresSmallSizesAndTakesNoSnapshot) {
  Workspace ws;
  ws.SetImage(Picture(40, 30));
  ws.ResampleImageTo(10, 100);
  EXPECT_EQ(ws.Image().Width(), 40);
  ws.ResampleImageTo(11, 11);
  EXPECT_EQ(ws.Image().Width(), 11);
  EXPECT_EQ(ws.Image().Height(), 11);
  EXPECT_FALSE(ws.UndoEnabled());
}

TEST(EffectCommands, EveryCommandRunsOnAwkwardPictures) {
  const fx::EffectSettings settings;
  ScriptedInteraction ui;
  for (const EffectCommand& command : EffectCommands()) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {3, 2}, {12, 7}, {64, 64}}) {
      SCOPED_TRACE(std::string(command.name) + " " + std::to_string(w) + "x" + std::to_string(h));
      Workspace ws;
      ws.SetImage(Picture(w, h, pf32bit));
      const std::string argument = command.argumentRequired ? "40x20" : (command.argument ? "#102030" : "");
      EXPECT_FALSE(CheckEffectArgument(command, argument));
      RunEffectCommand(ws, settings, command, ui, argument);
      EXPECT_FALSE(ws.Image().Empty());
    }
  }
}

TEST(EffectCommands, ArgumentsAndColourDialog) {
  const EffectCommand& resize = *FindEffectCommand("resize");
  EXPECT_TRUE(CheckEffectArgument(resize, ""));
  EXPECT_TRUE(CheckEffectArgument(resize, "40"));
  EXPECT_FALSE(CheckEffectArgument(resize, "40x30"));
  EXPECT_TRUE(CheckEffectArgument(*FindEffectCommand("blur"), "3"));
  EXPECT_EQ(ParseHtmlColor("#FF8000"), RGB(255, 128, 0));
  EXPECT_EQ(ParseHtmlColor("FF8000"), std::nullopt);
  EXPECT_EQ(FindEffectCommand("sepia"), nullptr);

  // "Mask Oval color..." cancelled leaves the image and the undo copy untouched.
  ScriptedInteraction ui;
  Workspace ws;
  ws.SetImage(Picture(10, 10));
  ui.colors = {std::nullopt, RGB(255, 0, 0)};
  RunEffectCommand(ws, fx::EffectSettings(), *FindEffectCommand("mask-oval-color"), ui);
  EXPECT_FALSE(ws.UndoEnabled());
  RunEffectCommand(ws, fx::EffectSettings(), *FindEffectCommand("mask-oval-color"), ui);
  EXPECT_TRUE(ws.UndoEnabled());
  EXPECT_EQ(ws.Image().Pixel(0, 0), RGB(255, 0, 0));
}

// The command line end to end: effects in order, settings by the prompt rule.
TEST(EffectCommands, CommandLineAppliesInOrder) {
  const std::string cli = PIXTREL_CLI_PATH;
  if (!std::filesystem::exists(cli)) GTEST_SKIP() << "pixtrel-cli not built";
  const std::string dir = TempDir();
  Bitmap in = Picture(40, 20);
  in.SaveToFile(dir + "/in.bmp");
  auto run = [&](const std::string& args) {
    return std::system((cli + " " + args + " >" + dir + "/out.txt 2>" + dir + "/err.txt").c_str());
  };
  EXPECT_EQ(run("convert " + dir + "/in.bmp " + dir + "/a.bmp --apply turn --apply resize=30x60 --apply grayscale"), 0);
  Bitmap a;
  a.LoadFromFile(dir + "/a.bmp");
  EXPECT_EQ(a.Width(), 30);
  EXPECT_EQ(a.Height(), 60);
  EXPECT_EQ(GetRValue(a.Pixel(5, 5)), GetBValue(a.Pixel(5, 5)));

  EXPECT_NE(run("convert " + dir + "/in.bmp " + dir + "/b.bmp --apply sepia"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir + "/b.bmp"));

  EXPECT_EQ(run("convert " + dir + "/in.bmp " + dir + "/c.bmp --set mosaic-size=99 --apply mosaic"), 0);
  std::ifstream err(dir + "/err.txt");
  const std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("mosaic-size"), std::string::npos);
}

}  // namespace
}  // namespace pixtrel::test
