// The zoom of the workspace view: its steps, the factor that fits an image in
// a view, zooming about a point, and the mapping between view positions and
// image pixels. Zoom is display only: every command works in image pixels.
#pragma once

#include <string>

namespace pixtrel {

inline constexpr double kMinZoom = 1.0 / 64;
inline constexpr double kMaxZoom = 32.0;

// The next step of the zoom ladder above or below zoom (which need not be a
// step itself, as a fitted zoom is not); zoom itself at either end.
double ZoomInStep(double zoom);
double ZoomOutStep(double zoom);

// Whether an image of that size needs more room than the view gives.
bool LargerThanView(int imageWidth, int imageHeight, int viewWidth, int viewHeight);
// The largest factor at which the whole image fits the view, within
// kMinZoom..kMaxZoom; 1 for an empty image or view.
double FitZoom(int imageWidth, int imageHeight, int viewWidth, int viewHeight);

// A length of the image at zoom, rounded to the nearest view pixel, at least 1
// for a non-empty length.
int ZoomedLength(int imageLength, double zoom);
// The image pixel under a view position (image pixels beyond the image's edge
// continue the same grid, as the empty area beside the image has positions).
int ImagePixelAt(int viewPosition, double zoom);
// The view position of an image pixel's leading edge.
int ViewPositionOf(int imagePixel, double zoom);

// The scroll offset that keeps the image point under pointer (a position in
// the viewport) in place when the zoom changes from oldZoom to newZoom.
int ScrollKeepingPoint(int scroll, int pointer, double oldZoom, double newZoom);

// "100 %", "250 %", "33.3 %": the status bar's read-out.
std::string ZoomText(double zoom);

}  // namespace pixtrel
