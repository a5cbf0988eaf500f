#include "workspace/zoom.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "workspace/recent_files.h"

namespace pixtrel::test {
namespace {

TEST(Zoom, StepsGoThroughTheLadderFromAnyFactor) {
  EXPECT_DOUBLE_EQ(ZoomInStep(1.0), 1.5);
  EXPECT_DOUBLE_EQ(ZoomOutStep(1.0), 2.0 / 3);
  EXPECT_DOUBLE_EQ(ZoomInStep(2.0), 3.0);
  // A fitted factor between steps goes to its neighbours, not two steps on.
  EXPECT_DOUBLE_EQ(ZoomInStep(0.4), 0.5);
  EXPECT_DOUBLE_EQ(ZoomOutStep(0.4), 1.0 / 3);
  // A factor a hair off a step counts as that step.
  EXPECT_DOUBLE_EQ(ZoomInStep(0.5 * (1 + 1e-9)), 2.0 / 3);
  // The ends stay.
  EXPECT_DOUBLE_EQ(ZoomInStep(kMaxZoom), kMaxZoom);
  EXPECT_DOUBLE_EQ(ZoomOutStep(kMinZoom), kMinZoom);
  // In and out again returns to 100 %.
  EXPECT_DOUBLE_EQ(ZoomOutStep(ZoomInStep(1.0)), 1.0);
}

TEST(Zoom, FitKeepsTheWholeImageInsideTheView) {
  // A 4000 x 3000 photo in an 800 x 500 view: the height decides.
  const double fit = FitZoom(4000, 3000, 800, 500);
  EXPECT_LE(ZoomedLength(4000, fit), 800);
  EXPECT_LE(ZoomedLength(3000, fit), 500);
  EXPECT_GE(ZoomedLength(3000, fit), 499);
  // A 70 x 46 GIF fills the view's width.
  const double up = FitZoom(70, 46, 700, 700);
  EXPECT_NEAR(up, 10.0, 1e-3);
  EXPECT_LE(ZoomedLength(70, up), 700);
  // Odd sizes where rounding would spill over by a pixel.
  for (int side = 1; side < 300; side += 7) {
    const double z = FitZoom(side, 3 * side + 1, 333, 333);
    EXPECT_LE(ZoomedLength(3 * side + 1, z), 333) << side;
    EXPECT_LE(ZoomedLength(side, z), 333) << side;
  }
  // Nothing to fit: 100 %.
  EXPECT_DOUBLE_EQ(FitZoom(0, 0, 800, 500), 1.0);
  EXPECT_DOUBLE_EQ(FitZoom(100, 100, 0, 0), 1.0);
  // A giant stays within the smallest zoom.
  EXPECT_DOUBLE_EQ(FitZoom(1000000, 10, 100, 100), kMinZoom);
  EXPECT_TRUE(LargerThanView(801, 10, 800, 500));
  EXPECT_FALSE(LargerThanView(800, 500, 800, 500));
}

TEST(Zoom, ViewPositionsMapToWholeImagePixels) {
  // At 100 % positions are pixels.
  for (int p = -3; p < 20; ++p) EXPECT_EQ(ImagePixelAt(p, 1.0), p);
  // At 400 % each pixel covers four positions.
  EXPECT_EQ(ImagePixelAt(0, 4.0), 0);
  EXPECT_EQ(ImagePixelAt(3, 4.0), 0);
  EXPECT_EQ(ImagePixelAt(4, 4.0), 1);
  EXPECT_EQ(ImagePixelAt(-1, 4.0), -1);
  // At 50 % every second pixel is reached.
  EXPECT_EQ(ImagePixelAt(1, 0.5), 2);
  // Zoomed in, a pixel's leading edge maps back to that pixel; zoomed out, to
  // one of the pixels that share its view position.
  for (double zoom : {1.5, 3.0, 12.0})
    for (int pixel = 0; pixel < 50; ++pixel) EXPECT_EQ(ImagePixelAt(ViewPositionOf(pixel, zoom), zoom), pixel) << zoom;
  for (double zoom : {1.0 / 3, 0.5, 2.0 / 3})
    for (int pixel = 0; pixel < 50; ++pixel)
      EXPECT_LT(std::abs(ImagePixelAt(ViewPositionOf(pixel, zoom), zoom) - pixel), 1 / zoom) << zoom;
}

TEST(Zoom, ZoomingAboutAPointKeepsItUnderThePointer) {
  // Image point 150 sits under the pointer at 100 (scrolled by 50).
  const int scroll = ScrollKeepingPoint(50, 100, 1.0, 2.0);
  EXPECT_EQ(scroll, 200);  // point 150 at 200 % is at 300; 300 - 100
  EXPECT_EQ(ScrollKeepingPoint(200, 100, 2.0, 1.0), 50);
  // Never scrolled before the start.
  EXPECT_EQ(ScrollKeepingPoint(0, 100, 1.0, 0.5), 0);
}

TEST(Zoom, ReadOutIsAPercentage) {
  EXPECT_EQ(ZoomText(1.0), "100 %");
  EXPECT_EQ(ZoomText(32.0), "3200 %");
  EXPECT_EQ(ZoomText(1.0 / 3), "33.3 %");
  EXPECT_EQ(ZoomText(0.125), "12.5 %");
}

TEST(RecentFiles, NewestFirstEachOnceAtMostEight) {
  RecentFiles recent;
  for (int i = 1; i <= 10; ++i) recent.Add("/p/" + std::to_string(i) + ".png");
  ASSERT_EQ(recent.Files().size(), 8u);
  EXPECT_EQ(recent.Files().front(), "/p/10.png");
  EXPECT_EQ(recent.Files().back(), "/p/3.png");
  // Opening one again moves it to the front without a duplicate.
  recent.Add("/p/5.png");
  EXPECT_EQ(recent.Files().front(), "/p/5.png");
  EXPECT_EQ(std::count(recent.Files().begin(), recent.Files().end(), "/p/5.png"), 1);
  EXPECT_EQ(recent.Files().size(), 8u);
  recent.Remove("/p/5.png");
  EXPECT_EQ(recent.Files().front(), "/p/10.png");
  recent.Add("");
  EXPECT_EQ(recent.Files().size(), 7u);
  // From the settings: gaps and repeats are passed over.
  recent.SetFiles({"", "/a.gif", "/b.gif", "/a.gif", "", "/c.gif"});
  EXPECT_EQ(recent.Files(), (std::vector<std::string>{"/a.gif", "/b.gif", "/c.gif"}));
  EXPECT_EQ(RecentFiles::Key(0), "File1");
  EXPECT_EQ(RecentFiles::Key(7), "File8");
}

bool NotLibrary(const std::string& name) { return name.size() < 4 || name.substr(name.size() - 4) != ".icl"; }

TEST(RecentFiles, NeighbourPassesOverLibrariesAndStopsAtTheEnds) {
  const std::vector<std::string> names{"a.bmp", "b.icl", "c.png", "d.icl"};
  EXPECT_EQ(NeighbourFile(names, "a.bmp", 1, &NotLibrary), "c.png");
  EXPECT_EQ(NeighbourFile(names, "c.png", -1, &NotLibrary), "a.bmp");
  EXPECT_EQ(NeighbourFile(names, "c.png", 1, &NotLibrary), "");
  EXPECT_EQ(NeighbourFile(names, "a.bmp", -1, &NotLibrary), "");
  // From outside the list: the first or the last picture.
  EXPECT_EQ(NeighbourFile(names, "gone.jpg", 1, &NotLibrary), "a.bmp");
  EXPECT_EQ(NeighbourFile(names, "", -1, &NotLibrary), "c.png");
  EXPECT_EQ(NeighbourFile({}, "", 1, &NotLibrary), "");
}

TEST(RecentFiles, CaptionNamesTheFileAndMarksAChange) {
  EXPECT_EQ(WindowCaption("Pixtrel 11", "", false), "Pixtrel 11");
  EXPECT_EQ(WindowCaption("Pixtrel 11", "", true), "Pixtrel 11");
  EXPECT_EQ(WindowCaption("Pixtrel 11", "/home/u/photo.jpg", false), "photo.jpg \u2014 Pixtrel 11");
  EXPECT_EQ(WindowCaption("Pixtrel 11", "/home/u/photo.jpg", true), "photo.jpg * \u2014 Pixtrel 11");
}

}  // namespace
}  // namespace pixtrel::test
