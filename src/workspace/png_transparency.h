// The "PNG" tab's logic: a copy of the displayed image (PngBase) previewed
// over a checkerboard through an alpha mask, uniform or taken from the
// shape, and saved as a PNG whose alpha channel is that mask.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "shapes/zep_shape.h"

namespace pixtrel {

class PNGObject;

enum class PngAlphaMode { Uniform = 0, Shape = 1 };

struct PngTransparency {
  // The image the tab previews and saves: a copy of the displayed image made
  // when the tab is entered; later edits reach it only at the next entry.
  Bitmap base;
  PngAlphaMode mode = PngAlphaMode::Uniform;
  // The alpha of every pixel in uniform mode, 0 (transparent) to 255.
  int level = 255;

  void Enter(const Bitmap& displayed) { base = displayed; }
};

// The background picture: 48 x 48 in 8 x 8 squares, #7D9BD7 at the top left
// alternating with #A2C7EC.
Bitmap CheckerBackground();

// The shape resized to width x height (it keeps that size) and painted at
// (0, 0) onto a white pf24bit image of that size.
Bitmap ShapeImage(shapes::ZepShape& shape, int width, int height);

// A pf8bit image of the same size, each byte 255 - round((B + G + R) / 3),
// halves to even: white gives 0 (transparent), black 255 (opaque).
Bitmap ShapeMask(const Bitmap& image);

// The mask of the current mode at the size of the state's base: every byte
// the level, or the ShapeMask of the shape image.
Bitmap AlphaMask(const PngTransparency& state, shapes::ZepShape& shape);

// The preview: the checkerboard stretched to the base's size, the base
// blended over it by the mask (m / 255 of the base, halves to even).
Bitmap ComposePngPreview(const PngTransparency& state, shapes::ZepShape& shape);

// The alpha steps of the save, over exactly the PNG image's rows and
// columns. The image must have an alpha plane (AddAlphaChannel on a
// true-colour or greyscale image).
void ApplyUniformAlpha(PNGObject& png, int level);
void ApplyShapeAlpha(PNGObject& png, shapes::ZepShape& shape);

// The PNG the tab saves: the base in 24 bits (a palette base would get no
// alpha plane) without single-colour transparency, with the alpha of the
// current mode. No text chunk.
void BuildTransparentPng(const PngTransparency& state, shapes::ZepShape& shape, PNGObject& png);

// The chosen name with the extension of its file name replaced by ".png"
// (added when it has none).
std::string PngTargetName(const std::string& chosen);

// "Save": writes BuildTransparentPng's image to PngTargetName(chosen),
// replacing any file there, and returns that name. Throws the PNG writer's
// errors; an empty base writes nothing and raises EPNGNoImageData.
std::string SaveTransparentPng(const std::string& chosen, const PngTransparency& state, shapes::ZepShape& shape);

}  // namespace pixtrel
