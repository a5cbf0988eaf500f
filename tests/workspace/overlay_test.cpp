#include "workspace/overlay.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/canvas.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel::test {
namespace {

Bitmap Solid(int w, int h, Color color, PixelFormat format = pf24bit) {
  Bitmap b(w, h, pf24bit);
  b.Fill(color);
  b.SetPixelFormat(format);
  return b;
}

// A 20 x 10 overlay: white with a red square at (2, 2)-(6, 6) and its
// bottom-left pixel white, so white is its transparent colour.
Bitmap RedOnWhite() {
  Bitmap b = Solid(20, 10, clWhite);
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x) b.SetPixel(x, y, clRed);
  return b;
}

TEST(Overlay, StartsHiddenAt200And200AndFollowsItsGrabPoint) {
  Overlay overlay;
  EXPECT_FALSE(overlay.Visible());
  EXPECT_EQ(overlay.Position(), (Point{200, 200}));
  overlay.Take(Solid(30, 20, clBlue));
  EXPECT_TRUE(overlay.Image().Transparent());
  EXPECT_FALSE(overlay.Visible()) << "taking an image leaves the visibility to View Overlay";
  EXPECT_TRUE(overlay.Contains(200, 200));
  EXPECT_TRUE(overlay.Contains(229, 219));
  EXPECT_FALSE(overlay.Contains(230, 219));
  EXPECT_FALSE(overlay.Contains(199, 210));

  int changes = 0;
  overlay.changed = [&] { ++changes; };
  overlay.Grab(7, 4);
  overlay.DragTo(57, 34);
  EXPECT_EQ(overlay.Position(), (Point{50, 30}));
  overlay.DragTo(0, 0);
  EXPECT_EQ(overlay.Position(), (Point{-7, -4})) << "the overlay may leave the image on any side";
  EXPECT_EQ(changes, 2);
  overlay.SetVisible(true);
  overlay.SetVisible(true);
  EXPECT_EQ(changes, 3);
}

TEST(Overlay, LoadingShowsItAndAFileNoReaderTakesChangesNothing) {
  const std::string dir = TempDir();
  RedOnWhite().SaveToFile(dir + "/over.bmp");
  Overlay overlay;
  EXPECT_FALSE(LoadOverlay(dir + "/over.xyz", overlay, Silent()));
  EXPECT_TRUE(overlay.Image().Empty());
  EXPECT_FALSE(overlay.Visible());
  ASSERT_TRUE(LoadOverlay(dir + "/over.bmp", overlay, Silent()));
  EXPECT_TRUE(overlay.Visible());
  EXPECT_TRUE(overlay.Image().Transparent());
  EXPECT_EQ(overlay.Image().Width(), 20);
}

TEST(Overlay, PaintLeavesOutEveryWhitePixelWithoutASnapshotEvenWhenHidden) {
  Workspace ws;
  ws.SetImage(Solid(40, 30, clBlack));
  Overlay overlay;
  overlay.Take(RedOnWhite());
  overlay.Image().SetTransparent(false);  // paint sets the flag itself
  overlay.MoveTo(10, 5);
  ASSERT_FALSE(overlay.Visible());
  PaintOverlay(ws, overlay);
  EXPECT_FALSE(ws.UndoEnabled());
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool red = x >= 12 && x < 16 && y >= 7 && y < 11;
      ASSERT_EQ(ws.Image().Pixel(x, y), red ? clRed : clBlack) << x << "," << y;
    }
}

TEST(Overlay, PaintBeyondTheImageIsCut) {
  Workspace ws;
  ws.SetImage(Solid(10, 10, clBlack));
  Overlay overlay;
  overlay.Take(Solid(8, 8, clGreen));
  overlay.Image().SetPixel(0, 7, clWhite);  // the transparent colour is white; the rest green
  overlay.MoveTo(-4, 6);
  PaintOverlay(ws, overlay);
  EXPECT_EQ(ws.Image().Width(), 10);
  EXPECT_EQ(ws.Image().Height(), 10);
  EXPECT_EQ(ws.Image().Pixel(0, 6), clGreen);
  EXPECT_EQ(ws.Image().Pixel(3, 9), clGreen);
  EXPECT_EQ(ws.Image().Pixel(4, 9), clBlack);
  EXPECT_EQ(ws.Image().Pixel(0, 5), clBlack);
}

TEST(Overlay, GlueWidensRightAndBottomOnlyAndUndoRestores) {
  Workspace ws;
  ws.SetImage(Solid(200, 100, clBlack));
  Overlay overlay;
  overlay.Take(Solid(50, 20, clRed));
  overlay.Image().SetPixel(0, 19, clBlue);  // transparent colour blue: one pixel left out
  overlay.MoveTo(180, 10);
  GlueOverlay(ws, overlay);
  ASSERT_EQ(ws.Image().Width(), 230);
  EXPECT_EQ(ws.Image().Height(), 100) << "the overlay's bottom lies inside";
  EXPECT_EQ(ws.Image().Pixel(229, 10), clRed);
  EXPECT_EQ(ws.Image().Pixel(180, 29), clBlack) << "the transparent pixel leaves the image";
  EXPECT_EQ(ws.Image().Pixel(229, 50), ws.Image().FillColor()) << "new area filled as a size change fills it";
  ASSERT_TRUE(ws.UndoEnabled());
  ws.Undo();
  EXPECT_EQ(ws.Image().Width(), 200);

  // Hanging off the left and top does not extend the image there.
  ws.SetImage(Solid(60, 40, clBlack));
  overlay.MoveTo(-30, -10);
  GlueOverlay(ws, overlay);
  EXPECT_EQ(ws.Image().Width(), 60);
  EXPECT_EQ(ws.Image().Height(), 40);
  EXPECT_EQ(ws.Image().Pixel(0, 0), clRed);

  // Past the bottom as well.
  overlay.MoveTo(50, 35);
  GlueOverlay(ws, overlay);
  EXPECT_EQ(ws.Image().Width(), 100);
  EXPECT_EQ(ws.Image().Height(), 55);
}

TEST(Overlay, SwapExchangesSizesPixelsAndFlagsWithoutASnapshot) {
  Workspace ws;
  Bitmap displayed = Solid(30, 10, clBlue, pf8bit);
  ws.SetImage(displayed);
  Overlay overlay;
  overlay.Take(Solid(5, 7, clRed));
  int imageChanges = 0, overlayChanges = 0;
  ws.imageChanged = [&] { ++imageChanges; };
  overlay.changed = [&] { ++overlayChanges; };
  SwapOverlay(ws, overlay);
  EXPECT_FALSE(ws.UndoEnabled());
  EXPECT_EQ(ws.Image().Width(), 5);
  EXPECT_EQ(ws.Image().Pixel(2, 2), clRed);
  EXPECT_TRUE(ws.Image().Transparent());
  EXPECT_EQ(overlay.Image().Width(), 30);
  EXPECT_EQ(overlay.Image().PixelFormat(), pf8bit);
  EXPECT_FALSE(overlay.Image().Transparent());
  EXPECT_EQ(imageChanges, 1);
  EXPECT_EQ(overlayChanges, 1);
}

TEST(Overlay, InvertTurnsTheOverlayTo24BitsAndLeavesTheImage) {
  Workspace ws;
  ws.SetImage(Solid(4, 4, clBlack));
  Overlay overlay;
  overlay.Take(Solid(3, 3, RGB(10, 200, 255), pf32bit));
  InvertOverlay(overlay);
  EXPECT_EQ(overlay.Image().PixelFormat(), pf24bit);
  EXPECT_EQ(overlay.Image().Pixel(1, 1), RGB(245, 55, 0));
  EXPECT_TRUE(overlay.Image().Transparent());
  EXPECT_EQ(ws.Image().Pixel(1, 1), clBlack);
}

TEST(Blender, FiftyOfBlackUnderWhiteIsGrey128AndTheEndsAreTheirImages) {
  Workspace ws;
  ws.SetImage(Solid(16, 12, clBlack, pf8bit));
  Overlay overlay;  // empty: the layer is white everywhere
  const Bitmap half = BlendPreview(ws, overlay, 50);
  EXPECT_EQ(half.Pixel(0, 0), RGB(128, 128, 128)) << "127.5 rounds to even";
  EXPECT_EQ(ws.WorkBitmap().PixelFormat(), pf24bit);
  EXPECT_EQ(BlendPreview(ws, overlay, 0).Pixel(5, 5), clWhite);
  EXPECT_EQ(BlendPreview(ws, overlay, 100).Pixel(5, 5), clBlack);
  EXPECT_FALSE(ws.UndoEnabled());
  EXPECT_EQ(ws.Image().PixelFormat(), pf8bit) << "the preview leaves the displayed image";

  // The layer: the overlay at its place, its transparent colour left out.
  overlay.Take(RedOnWhite());
  overlay.MoveTo(-2, 4);
  const Bitmap layer = BlendPreview(ws, overlay, 0);
  EXPECT_EQ(layer.Pixel(0, 6), clRed);
  EXPECT_EQ(layer.Pixel(4, 6), clWhite);
  EXPECT_EQ(BlendPreview(ws, overlay, 25).Pixel(0, 6), RGB(191, 0, 0)) << "0.75 * 255 = 191.25";
}

// Paint compared with a plain per-pixel reference, for awkward places and
// the pixel formats of both images.
TEST(Overlay, PaintMatchesAPlainReferenceAnywhereInAnyFormat) {
  std::mt19937 random(17);
  const PixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit};
  for (PixelFormat imageFormat : formats)
    for (PixelFormat overlayFormat : formats) {
      SCOPED_TRACE(std::to_string(imageFormat) + "/" + std::to_string(overlayFormat));
      Bitmap image(1 + static_cast<int>(random() % 40), 1 + static_cast<int>(random() % 30), pf24bit);
      for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) image.SetPixel(x, y, (x + y) % 3 ? clBlack : clBlue);
      image.SetPixelFormat(imageFormat);
      Bitmap over(1 + static_cast<int>(random() % 25), 1 + static_cast<int>(random() % 25), pf24bit);
      for (int y = 0; y < over.Height(); ++y)
        for (int x = 0; x < over.Width(); ++x) over.SetPixel(x, y, (x * y) % 4 ? clWhite : clRed);
      over.SetPixelFormat(overlayFormat);
      Workspace ws;
      ws.SetImage(image);
      Overlay overlay;
      overlay.Take(over);
      const int px = static_cast<int>(random() % 80) - 30, py = static_cast<int>(random() % 70) - 30;
      overlay.MoveTo(px, py);
      PaintOverlay(ws, overlay);
      const Color key = overlay.Image().TransparentColor();
      for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
          Color expected = image.Pixel(x, y);
          if (overlay.Contains(x, y)) {
            const Color c = overlay.Image().Pixel(x - px, y - py);
            if (c != key) {
              Bitmap one(1, 1, pf24bit);
              one.SetPixel(0, 0, c);
              one.SetPixelFormat(imageFormat);
              expected = one.Pixel(0, 0);
            }
          }
          ASSERT_EQ(ws.Image().Pixel(x, y), expected) << x << "," << y << " overlay at " << px << "," << py;
        }
    }
}

}  // namespace
}  // namespace pixtrel::test
