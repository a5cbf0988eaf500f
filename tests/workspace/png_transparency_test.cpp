#include "workspace/png_transparency.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "codecs/png/png_object.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel::test {
namespace {

Bitmap Gradient(int w, int h, PixelFormat format = pf24bit) {
  Bitmap b(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 9 % 256, y * 17 % 256, (x * y) % 256));
  b.SetPixelFormat(format);
  return b;
}

// A black filled ellipse, no caption.
shapes::ZepShape BlackEllipse() {
  shapes::ZepShape shape;
  shape.SetShape(shapes::zstEllipse);
  shape.SetBrush({clBlack, bsSolid});
  return shape;
}

TEST(PngTransparency, CheckerboardHasEightPixelSquaresInTheTwoBlues) {
  const Bitmap checker = CheckerBackground();
  ASSERT_EQ(checker.Width(), 48);
  ASSERT_EQ(checker.Height(), 48);
  const Color first = RGB(0x7D, 0x9B, 0xD7), second = RGB(0xA2, 0xC7, 0xEC);
  EXPECT_EQ(checker.Pixel(0, 0), first);
  EXPECT_EQ(checker.Pixel(7, 7), first);
  EXPECT_EQ(checker.Pixel(8, 0), second);
  EXPECT_EQ(checker.Pixel(0, 8), second);
  EXPECT_EQ(checker.Pixel(8, 8), first);
  EXPECT_EQ(checker.Pixel(47, 0), second);
  EXPECT_EQ(checker.Pixel(47, 47), first);
}

TEST(PngTransparency, ShapeMaskRoundsTheGreyToNearest) {
  Bitmap image(5, 1, pf24bit);
  image.SetPixel(0, 0, clWhite);
  image.SetPixel(1, 0, clBlack);
  image.SetPixel(2, 0, RGB(1, 0, 0));  // 1/3 -> 0
  image.SetPixel(3, 0, RGB(2, 0, 0));  // 2/3 -> 1
  image.SetPixel(4, 0, RGB(100, 101, 101));  // 100.67 -> 101
  const Bitmap mask = ShapeMask(image);
  ASSERT_EQ(mask.PixelFormat(), pf8bit);
  const std::uint8_t* m = mask.ScanLine(0);
  EXPECT_EQ(m[0], 0);
  EXPECT_EQ(m[1], 255);
  EXPECT_EQ(m[2], 255);
  EXPECT_EQ(m[3], 254);
  EXPECT_EQ(m[4], 154);
}

TEST(PngTransparency, UniformPreviewIsTheCheckerboardAtZeroAndTheBaseAt255) {
  PngTransparency state;
  shapes::ZepShape shape;
  state.Enter(Gradient(96, 48, pf8bit));
  state.level = 0;
  Bitmap preview = ComposePngPreview(state, shape);
  ASSERT_EQ(preview.Width(), 96);
  // The 48-pixel checkerboard stretched to 96 x 48: 16-pixel squares across.
  EXPECT_EQ(preview.Pixel(15, 0), RGB(0x7D, 0x9B, 0xD7));
  EXPECT_EQ(preview.Pixel(16, 0), RGB(0xA2, 0xC7, 0xEC));
  EXPECT_EQ(preview.Pixel(16, 8), RGB(0x7D, 0x9B, 0xD7));
  state.level = 255;
  preview = ComposePngPreview(state, shape);
  for (int x = 0; x < 96; x += 7) EXPECT_EQ(preview.Pixel(x, 20), state.base.Pixel(x, 20));
  // Half way: 128/255 of the base.
  state.Enter(Bitmap(8, 8, pf24bit));
  state.base.Fill(clWhite);
  state.level = 128;
  preview = ComposePngPreview(state, shape);
  EXPECT_EQ(preview.Pixel(0, 0), RGB(0xBE, 0xCD, 0xEB));
}

TEST(PngTransparency, UniformZeroSavesAFullyTransparentRgbaFile) {
  const std::string dir = TempDir();
  PngTransparency state;
  shapes::ZepShape shape;
  state.Enter(Gradient(33, 17));
  state.level = 0;
  const std::string written = SaveTransparentPng(dir + "/clear.png", state, shape);
  EXPECT_EQ(written, dir + "/clear.png");
  const QImage read(QString::fromStdString(written));
  ASSERT_EQ(read.width(), 33);
  ASSERT_TRUE(read.hasAlphaChannel());
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x) ASSERT_EQ(qAlpha(read.pixel(x, y)), 0);
  PNGObject png;
  png.LoadFromFile(written);
  EXPECT_EQ(png.Header()->colorType, 6);
  EXPECT_EQ(png.FirstTextChunk(), nullptr) << "the tab writes no text";
}

TEST(PngTransparency, EllipseShapeSavesOpaqueInsideAndTransparentOutside) {
  const std::string dir = TempDir();
  PngTransparency state;
  shapes::ZepShape shape = BlackEllipse();
  state.Enter(Gradient(80, 60));
  state.mode = PngAlphaMode::Shape;
  state.level = 0;  // not used in shape mode
  const std::string written = SaveTransparentPng(dir + "/oval.png", state, shape);
  EXPECT_EQ(shape.Width(), 80) << "the shape takes the picture's size";
  EXPECT_EQ(shape.Height(), 60);
  const QImage read(QString::fromStdString(written));
  ASSERT_EQ(read.size(), QSize(80, 60));
  EXPECT_EQ(qAlpha(read.pixel(40, 30)), 255);
  EXPECT_EQ(qAlpha(read.pixel(20, 30)), 255);
  EXPECT_EQ(qAlpha(read.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(read.pixel(79, 59)), 0);
  EXPECT_EQ(qAlpha(read.pixel(3, 3)), 0);
  // Colours are the base's where opaque.
  EXPECT_EQ(read.pixel(40, 30) & 0xFFFFFF, qRgb(40 * 9 % 256, 30 * 17 % 256, (40 * 30) % 256) & 0xFFFFFF);

  // The saved alpha equals the preview's mask.
  const Bitmap mask = AlphaMask(state, shape);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_EQ(qAlpha(read.pixel(x, y)), mask.ScanLine(y)[x]) << x << "," << y;
  // And the preview shows the base only where the mask is opaque.
  const Bitmap preview = ComposePngPreview(state, shape);
  EXPECT_EQ(preview.Pixel(40, 30), state.base.Pixel(40, 30));
  EXPECT_EQ(preview.Pixel(0, 0), RGB(0x7D, 0x9B, 0xD7));
}

TEST(PngTransparency, SaveWritesNamePngWhateverTheTypedExtension) {
  const std::string dir = TempDir();
  EXPECT_EQ(PngTargetName("/a/name.ico"), "/a/name.png");
  EXPECT_EQ(PngTargetName("/a/name"), "/a/name.png");
  EXPECT_EQ(PngTargetName("/a.b/name"), "/a.b/name.png");
  EXPECT_EQ(PngTargetName("/a/name.tar.ico"), "/a/name.tar.png");
  PngTransparency state;
  shapes::ZepShape shape;
  state.Enter(Gradient(10, 10));
  EXPECT_EQ(SaveTransparentPng(dir + "/name.ico", state, shape), dir + "/name.png");
  EXPECT_TRUE(std::filesystem::exists(dir + "/name.png"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/name.ico"));
}

TEST(PngTransparency, APaletteOrTransparentBaseStillGetsItsAlpha) {
  const std::string dir = TempDir();
  for (PixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf32bit}) {
    SCOPED_TRACE(static_cast<int>(format));
    PngTransparency state;
    shapes::ZepShape shape;
    state.Enter(Gradient(12, 9, format));
    state.base.SetTransparent(true);
    state.level = 77;
    PNGObject png;
    BuildTransparentPng(state, shape, png);
    EXPECT_EQ(png.Header()->colorType, 6);
    EXPECT_EQ(png.Transparency(), nullptr);
    for (int y = 0; y < 9; ++y) {
      const std::uint8_t* alpha = png.AlphaRow(y);
      ASSERT_NE(alpha, nullptr);
      for (int x = 0; x < 12; ++x) ASSERT_EQ(alpha[x], 77);
    }
    EXPECT_EQ(state.base.PixelFormat(), format) << "the tab's image is not changed";
  }
}

TEST(PngTransparency, PeerToolReadsTheAlphaThePreviewShows) {
  const std::string dir = TempDir();
  PngTransparency state;
  shapes::ZepShape shape = BlackEllipse();
  state.Enter(Gradient(64, 64));
  state.mode = PngAlphaMode::Shape;
  const std::string written = SaveTransparentPng(dir + "/peer.png", state, shape);
  const CommandResult check = RunCommand("pngcheck '" + written + "' 2>&1");
  EXPECT_EQ(check.exitCode, 0) << check.output;
  EXPECT_NE(check.output.find("RGB+alpha"), std::string::npos) << check.output;
  const CommandResult corner = RunCommand("convert '" + written + "' -format '%[fx:p{0,0}.a] %[fx:p{32,32}.a]' info:");
  EXPECT_EQ(corner.output, "0 1");
}

TEST(PngTransparency, AnEmptyImageWritesNothing) {
  const std::string dir = TempDir();
  PngTransparency state;
  shapes::ZepShape shape;
  EXPECT_ANY_THROW(SaveTransparentPng(dir + "/empty.png", state, shape));
  EXPECT_FALSE(std::filesystem::exists(dir + "/empty.png"));
  EXPECT_TRUE(ComposePngPreview(state, shape).Empty());
}

}  // namespace
}  // namespace pixtrel::test
