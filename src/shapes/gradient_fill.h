// The shapes' gradient patterns and the arithmetic they share with the
// outline painting.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/canvas.h"
#include "core/mul_div.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {

// Real to integer: nearest, ties to even; kept to a range the canvas can
// take so that absurd scales and vertices stay defined.
int RoundToInt(double v);
// Real to integer toward zero, kept to the same range.
int TruncToInt(double v);

// Where a pattern goes: the control's area (0, 0) - (width, height), each
// coordinate x mapped to round(x * scaleX + offsetX).
struct GradientSpec {
  ZepFillDirection direction = zgdUp;
  Color brushColor = clWhite;
  Color gradientColor = clBlack;
  int width = 0;
  int height = 0;
  double scaleX = 1.0;
  double scaleY = 1.0;
  int offsetX = 0;
  int offsetY = 0;
};

// The colour of step i of n between the pattern's start and end colours:
// start + MulDiv(i, end - start, n) per channel, low byte kept.
Color GradientStepColor(const GradientSpec& spec, int i, int n = 255);

// Paints the pattern on canvas inside clip. The canvas is left with a solid
// pen in copy mode and a solid brush of the last step's colour, and without
// a clip region.
void GradientFill(Canvas& canvas, const GradientSpec& spec, const Region& clip);

}  // namespace pixtrel::shapes
