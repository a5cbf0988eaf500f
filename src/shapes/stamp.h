// One shape stamped into an image as "Paint Shape" does, described by plain
// values (pixtrel-cli's stamp command fills them from its options).
#pragma once

#include <optional>
#include <string>

#include "core/bitmap.h"
#include "core/canvas.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {

// What differs from a new shape; every value left empty keeps the new
// shape's own.
struct StampRequest {
  std::optional<ZepShapeType> kind;  // nothing: the free polygon, zstUser
  int left = 0, top = 0, width = 0, height = 0;

  std::optional<Color> brushColor;
  std::optional<BrushStyle> brushStyle;
  std::optional<Color> penColor;
  std::optional<int> penWidth;
  std::optional<PenStyle> penStyle;

  std::optional<ZepFillDirection> gradient;  // fill with a gradient in this pattern
  std::optional<Color> gradientColor;

  std::optional<std::string> caption;
  std::optional<bool> captionCentered;  // nothing: centred unless the caption was placed
  std::optional<int> captionX;
  std::optional<int> captionY;
  std::optional<int> captionAngle;

  std::optional<std::string> fontName;
  std::optional<int> fontSize;  // points
  std::optional<Color> fontColor;
  bool bold = false, italic = false, underline = false;

  std::optional<std::string> userVector;  // "NAME=x,y,..." as ParseUserVector takes it
  bool polyLine = false;
};

// The shape the request describes.
void BuildStampShape(const StampRequest& request, ZepShape& shape);

// Paints the shape the request describes into image.
void StampShape(const StampRequest& request, Bitmap& image);

}  // namespace pixtrel::shapes
