// The capture frame's geometry: start bounds, the 15-point region with its
// hole, and the rectangle read on closing.
#include <gtest/gtest.h>

#include "acquire/capture_frame.h"

namespace pixtrel::acquire {
namespace {

TEST(CaptureFrameStart, IsTheDesignScaledFrom120Dpi) {
  EXPECT_EQ(CaptureFrameStartBounds(120), QRect(240, 194, 210, 198));
  EXPECT_EQ(CaptureFrameStartBounds(96), QRect(192, 155, 168, 158));
  // 232.8 and 237.6 round up.
  EXPECT_EQ(CaptureFrameStartBounds(144), QRect(288, 233, 252, 238));
}

TEST(CaptureFramePolygon, GoesAroundTheWindowAndInAlongTheSeam) {
  const FrameSize size{168, 158, 158, 122};  // b = 5, T = 36
  ASSERT_EQ(size.Border(), 5);
  ASSERT_EQ(size.TopBand(), 36);
  const QPolygon expected({QPoint(0, 0), QPoint(168, 0), QPoint(168, 158), QPoint(84, 158), QPoint(84, 153),
                           QPoint(163, 153), QPoint(163, 79), QPoint(163, 36), QPoint(84, 36), QPoint(5, 36),
                           QPoint(5, 79), QPoint(5, 153), QPoint(84, 153), QPoint(84, 158), QPoint(0, 158)});
  EXPECT_EQ(CaptureFramePolygon(size), expected);
}

// Every pixel of the window is in the region except those of the hole; the
// seam of zero width loses no pixel of the bottom border.
TEST(CaptureFrameRegion, IsTheWindowLessTheHoleAtEverySize) {
  const FrameSize sizes[] = {
      {168, 158, 158, 122},  // the drawn frame at 96 dpi
      {211, 199, 201, 162},  // odd sizes: the seam and the middles round down
      {300, 90, 292, 60},    // a 4-pixel border, as a system frame may have
      {40, 60, 40, 60},      // no border and no title: all hole
      {30, 31, 20, 6},       // a hole of one row
  };
  for (const FrameSize& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " client " << size.clientWidth << "x"
                                    << size.clientHeight);
    const QRegion region = CaptureFrameRegion(size);
    const QRect hole = CaptureHole(size);
    EXPECT_EQ(hole, QRect(size.Border(), size.TopBand(), size.width - 2 * size.Border(),
                          size.height - size.Border() - size.TopBand()));
    EXPECT_TRUE(region.isEmpty() || QRect(0, 0, size.width, size.height).contains(region.boundingRect()));
    int wrong = 0;
    for (int y = 0; y < size.height; ++y)
      for (int x = 0; x < size.width; ++x)
        if (region.contains(QPoint(x, y)) == hole.contains(QPoint(x, y))) ++wrong;
    EXPECT_EQ(wrong, 0);
  }
}

// The drawn frame's border is 5 pixels, so the rectangle read (5 below the
// client's top, (W - b) - b by (H - b) - T) is the hole exactly, wherever the
// window is and whatever its size and title height.
TEST(CaptureRect, IsTheHoleOfTheDrawnFrame) {
  for (const QSize window : {QSize(168, 158), QSize(210, 198), QSize(401, 77), QSize(57, 300)}) {
    for (const int title : {16, 20, 31}) {
      SCOPED_TRACE(testing::Message() << window.width() << "x" << window.height() << " title " << title);
      const FrameSize size = DrawnFrameSize(window, title);
      EXPECT_EQ(size.Border(), 5);
      EXPECT_EQ(size.TopBand(), title + 10);
      const QPoint origin(-37, 412);  // a window partly off the left of the screen
      const QRect rect = CaptureRect(size, origin + DrawnClientOrigin(title));
      EXPECT_EQ(rect, CaptureHole(size).translated(origin));
      EXPECT_EQ(rect.size(), QSize(window.width() - 10, window.height() - 15 - title));
    }
  }
}

TEST(CaptureRect, StartsFiveBelowTheClientTopWhateverTheBorder) {
  // A 4-pixel border: the rectangle is the hole's size, one row lower.
  const FrameSize size{300, 90, 292, 60};
  const QRect rect = CaptureRect(size, QPoint(104, 226));
  EXPECT_EQ(rect, QRect(104, 231, 292, 56));
  EXPECT_EQ(rect.size(), CaptureHole(size).size());
}

TEST(CaptureRect, IsEmptyWithoutAHole) {
  EXPECT_TRUE(CaptureRect(FrameSize{20, 20, 0, 0}, QPoint(0, 0)).isEmpty());
  EXPECT_TRUE(CaptureRect(FrameSize{20, 35, 10, 5}, QPoint(5, 30)).isEmpty());  // T = 30, b = 5: no rows
  EXPECT_TRUE(CaptureRect(FrameSize{}, QPoint(0, 0)).isEmpty());
}

TEST(DesktopPictureCut, MapsTheAreaIntoAPictureOfTheWholeDesktop) {
  const QRect desktop(0, 0, 1920, 1080);
  EXPECT_EQ(DesktopPictureCut(QRect(100, 50, 30, 20), desktop, QSize(1920, 1080)), QRect(100, 50, 30, 20));
  // A desktop scaled by 2 gives a picture twice as large.
  EXPECT_EQ(DesktopPictureCut(QRect(100, 50, 30, 20), desktop, QSize(3840, 2160)), QRect(200, 100, 60, 40));
  // A desktop whose left screen lies left of the primary one.
  EXPECT_EQ(DesktopPictureCut(QRect(-100, 10, 50, 50), QRect(-1280, 0, 3200, 1080), QSize(3200, 1080)),
            QRect(1180, 10, 50, 50));
  // Half outside: cut to the picture; wholly outside: nothing.
  EXPECT_EQ(DesktopPictureCut(QRect(1900, 1070, 50, 50), desktop, QSize(1920, 1080)), QRect(1900, 1070, 20, 10));
  EXPECT_TRUE(DesktopPictureCut(QRect(2000, 0, 50, 50), desktop, QSize(1920, 1080)).isEmpty());
  EXPECT_TRUE(DesktopPictureCut(QRect(0, 0, 50, 50), desktop, QSize()).isEmpty());
}

}  // namespace
}  // namespace pixtrel::acquire
