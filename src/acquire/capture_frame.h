// The capture frame's geometry: where the frame starts, the window region
// that keeps its title band and border and cuts a hole out of the middle,
// and the screen rectangle read when it closes.
//
// Sizes are a window's outer size (W × H) and its client area's size
// (CW × CH), in the window's own pixels. The border is b = (W − CW) ÷ 2 and
// the top band (title and the borders above and below the client area)
// T = H − CH; all divisions are integer.
#pragma once

#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <QSize>

namespace pixtrel::acquire {

// The frame was designed at 120 pixels per inch: 210 × 198 at (240, 194).
inline constexpr int kCaptureDesignDpi = 120;
inline constexpr QRect kCaptureDesignBounds{240, 194, 210, 198};

// The design bounds at dotsPerInch, each value rounded to the nearest pixel.
QRect CaptureFrameStartBounds(int dotsPerInch);

struct FrameSize {
  int width = 0;         // W
  int height = 0;        // H
  int clientWidth = 0;   // CW
  int clientHeight = 0;  // CH

  int Border() const { return (width - clientWidth) / 2; }
  int TopBand() const { return height - clientHeight; }
  bool operator==(const FrameSize&) const = default;
};

// The border of a frame that draws its own parts. Closing reads the screen
// from 5 pixels below the client area's top edge; with a 5-pixel border that
// is exactly the top of the hole, so the picture holds nothing of the frame.
inline constexpr int kCaptureFrameBorder = 5;

// A frame drawn by the window itself: a border of kCaptureFrameBorder on every
// side and a title band of titleHeight below the top border; the client area
// is what lies inside them.
FrameSize DrawnFrameSize(QSize window, int titleHeight);
// The client area's top-left corner within such a window.
QPoint DrawnClientOrigin(int titleHeight);

// The 15 points of the window region, in window coordinates: around the
// window, then in along a seam at W ÷ 2 from the bottom edge, around the hole
// and back out along the same seam.
QPolygon CaptureFramePolygon(const FrameSize& size);
// The polygon under the alternate (odd-even) rule: the window less the hole,
// which joins the outside only through the seam of zero width.
QRegion CaptureFrameRegion(const FrameSize& size);
// The hole, (b, T) to (W − b, H − b), right and bottom edges excluded.
QRect CaptureHole(const FrameSize& size);

// The screen rectangle read when the frame closes: left at the client area's
// left edge, top 5 pixels below its top edge, (W − b) − b wide and
// (H − b) − T high. clientOrigin is the client area's top-left corner on the
// screen. Empty when the frame is too small to have a hole.
QRect CaptureRect(const FrameSize& size, QPoint clientOrigin);

// Where area (desktop coordinates) lies in a picture of the whole desktop
// whose bounds are desktop and whose size is picture (device pixels, so a
// scaled desktop gives a larger picture); cut to the picture, empty when
// area lies outside it.
QRect DesktopPictureCut(const QRect& area, const QRect& desktop, QSize picture);

}  // namespace pixtrel::acquire
