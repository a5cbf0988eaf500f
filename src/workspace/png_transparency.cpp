#include "workspace/png_transparency.h"

#include <algorithm>
#include <cstring>

#include "codecs/png/png_errors.h"
#include "codecs/png/png_object.h"
#include "core/canvas.h"
#include "effects/point_effects.h"
#include "shapes/shape_controller.h"

namespace pixtrel {

namespace {

constexpr int kCheckerSide = 48;
constexpr int kCheckerSquare = 8;

void FillMask(Bitmap& mask, std::uint8_t value) {
  for (int y = 0; y < mask.Height(); ++y) std::memset(mask.ScanLine(y), value, static_cast<std::size_t>(mask.Width()));
}

// Copies mask bytes into the PNG's alpha rows; the PNG and the mask have the
// same size.
void CopyAlpha(PNGObject& png, const Bitmap& mask) {
  for (int y = 0; y < png.Height(); ++y)
    if (std::uint8_t* alpha = png.AlphaRow(y))
      std::memcpy(alpha, mask.ScanLine(y), static_cast<std::size_t>(png.Width()));
}

}  // namespace

Bitmap CheckerBackground() {
  Bitmap checker(kCheckerSide, kCheckerSide, pf24bit);
  const Color first = RGB(0x7D, 0x9B, 0xD7), second = RGB(0xA2, 0xC7, 0xEC);
  for (int y = 0; y < kCheckerSide; ++y)
    for (int x = 0; x < kCheckerSide; ++x)
      checker.SetPixel(x, y, (x / kCheckerSquare + y / kCheckerSquare) % 2 == 0 ? first : second);
  return checker;
}

Bitmap ShapeImage(shapes::ZepShape& shape, int width, int height) {
  shape.SetBounds(shape.Left(), shape.Top(), width, height);
  return shapes::ShapeAsOverlay(shape, width, height);
}

Bitmap ShapeMask(const Bitmap& image) {
  Bitmap source = image;
  source.SetPixelFormat(pf24bit);
  Bitmap mask(source.Width(), source.Height(), pf8bit);
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* in = source.ScanLine(y);
    std::uint8_t* out = mask.ScanLine(y);
    for (int x = 0; x < source.Width(); ++x, in += 3) {
      // A third of a whole sum is never a half, so rounding to nearest is
      // (sum + 1) div 3.
      const int grey = (in[0] + in[1] + in[2] + 1) / 3;
      out[x] = static_cast<std::uint8_t>(255 - grey);
    }
  }
  return mask;
}

Bitmap AlphaMask(const PngTransparency& state, shapes::ZepShape& shape) {
  const int width = state.base.Width(), height = state.base.Height();
  if (state.mode == PngAlphaMode::Shape) return ShapeMask(ShapeImage(shape, width, height));
  Bitmap mask(width, height, pf8bit);
  FillMask(mask, static_cast<std::uint8_t>(std::clamp(state.level, 0, 255)));
  return mask;
}

Bitmap ComposePngPreview(const PngTransparency& state, shapes::ZepShape& shape) {
  const int width = state.base.Width(), height = state.base.Height();
  Bitmap background(width, height, pf24bit);
  if (!background.Empty())
    background.Canvas().StretchDraw(Rect{0, 0, width, height}, CheckerBackground());
  const Bitmap mask = AlphaMask(state, shape);
  Bitmap preview;
  fx::MaskedBlend(background, state.base, mask, 0, 1.0, preview);
  return preview;
}

void ApplyUniformAlpha(PNGObject& png, int level) {
  const auto alpha = static_cast<std::uint8_t>(std::clamp(level, 0, 255));
  for (int y = 0; y < png.Height(); ++y)
    if (std::uint8_t* row = png.AlphaRow(y)) std::memset(row, alpha, static_cast<std::size_t>(png.Width()));
}

void ApplyShapeAlpha(PNGObject& png, shapes::ZepShape& shape) {
  CopyAlpha(png, ShapeMask(ShapeImage(shape, png.Width(), png.Height())));
}

void BuildTransparentPng(const PngTransparency& state, shapes::ZepShape& shape, PNGObject& png) {
  // A palette base would become a palette PNG, which takes no alpha plane;
  // the alpha plane replaces any single transparent colour.
  Bitmap base = state.base;
  base.SetPixelFormat(pf24bit);
  base.SetTransparent(false);
  png.Assign(base);
  png.AddAlphaChannel();
  if (state.mode == PngAlphaMode::Shape)
    ApplyShapeAlpha(png, shape);
  else
    ApplyUniformAlpha(png, state.level);
}

std::string PngTargetName(const std::string& chosen) {
  const std::size_t slash = chosen.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = chosen.rfind('.');
  const std::string stem = dot != std::string::npos && dot >= nameStart ? chosen.substr(0, dot) : chosen;
  return stem + ".png";
}

std::string SaveTransparentPng(const std::string& chosen, const PngTransparency& state, shapes::ZepShape& shape) {
  // A PNG of no pixels is no valid file: nothing is written.
  if (state.base.Empty()) throw EPNGNoImageData();
  PNGObject png;
  BuildTransparentPng(state, shape, png);
  const std::string target = PngTargetName(chosen);
  png.SaveToFile(target);
  return target;
}

}  // namespace pixtrel
