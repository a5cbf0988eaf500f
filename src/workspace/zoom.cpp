#include "workspace/zoom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace pixtrel {

namespace {

// Photographs step down in thirds and halves; pixel art steps up in whole
// multiples so that every image pixel stays a square of whole view pixels.
constexpr double kSteps[] = {1.0 / 64, 1.0 / 48, 1.0 / 32, 1.0 / 24, 1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6,
                             1.0 / 4,  1.0 / 3,  1.0 / 2,  2.0 / 3,  1.0,      1.5,      2.0,     3.0,
                             4.0,      6.0,      8.0,      12.0,     16.0,     24.0,     32.0};

// Zooms closer than this are the same step (a fit that lands on a step).
constexpr double kSameStep = 1e-6;

}  // namespace

double ZoomInStep(double zoom) {
  for (double step : kSteps)
    if (step > zoom * (1 + kSameStep)) return step;
  return std::max(zoom, kMaxZoom);
}

double ZoomOutStep(double zoom) {
  for (auto step = std::rbegin(kSteps); step != std::rend(kSteps); ++step)
    if (*step < zoom * (1 - kSameStep)) return *step;
  return std::min(zoom, kMinZoom);
}

bool LargerThanView(int imageWidth, int imageHeight, int viewWidth, int viewHeight) {
  return imageWidth > viewWidth || imageHeight > viewHeight;
}

double FitZoom(int imageWidth, int imageHeight, int viewWidth, int viewHeight) {
  if (imageWidth <= 0 || imageHeight <= 0 || viewWidth <= 0 || viewHeight <= 0) return 1.0;
  const double zoom =
      std::min(static_cast<double>(viewWidth) / imageWidth, static_cast<double>(viewHeight) / imageHeight);
  // Rounded down to a factor whose zoomed size is not a pixel over the view.
  double fitted = std::clamp(zoom, kMinZoom, kMaxZoom);
  while (fitted > kMinZoom &&
         (ZoomedLength(imageWidth, fitted) > viewWidth || ZoomedLength(imageHeight, fitted) > viewHeight))
    fitted = std::max(kMinZoom, fitted * (1 - 1e-4));
  return fitted;
}

int ZoomedLength(int imageLength, double zoom) {
  if (imageLength <= 0) return 0;
  return std::max(1, static_cast<int>(std::lround(imageLength * zoom)));
}

int ImagePixelAt(int viewPosition, double zoom) { return static_cast<int>(std::floor(viewPosition / zoom + 1e-9)); }

int ViewPositionOf(int imagePixel, double zoom) { return static_cast<int>(std::lround(imagePixel * zoom)); }

int ScrollKeepingPoint(int scroll, int pointer, double oldZoom, double newZoom) {
  const double imagePoint = (scroll + pointer) / oldZoom;
  return std::max(0, static_cast<int>(std::lround(imagePoint * newZoom - pointer)));
}

std::string ZoomText(double zoom) {
  const double percent = zoom * 100;
  char text[32];
  if (std::fabs(percent - std::round(percent)) < 0.05)
    std::snprintf(text, sizeof text, "%.0f %%", percent);
  else
    std::snprintf(text, sizeof text, "%.1f %%", percent);
  return text;
}

}  // namespace pixtrel
