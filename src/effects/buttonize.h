// Bevels that turn a picture into a button, and the oval mask.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "core/color.h"

namespace pixtrel::fx {

// Lightens the top and left band of depth d + 1 and darkens the bottom and
// right, each by weight w; corner diagonals are treated twice.
void ButtonizeRect(Bitmap& bitmap, int d, int w);
// The oval bevel in the style "round", "rimmed" or "doubleround" (any other
// style draws no rings), followed by smoothing.
void ButtonizeOval(Bitmap& bitmap, int d, int w, const std::string& style);
// Paints everything outside the ellipse inscribed in the image in colour.
void MaskOval(Bitmap& bitmap, Color color);

// The ring mask ButtonizeOval works from: pf24bit, white where no ring is,
// elsewhere green = kind (2 lighten, 1 darken) and blue = strength.
Bitmap OvalBevelMask(int width, int height, int d, const std::string& style);
// The mask MaskOval works from: black, with the inscribed ellipse in pure red.
Bitmap OvalMask(int width, int height);

}  // namespace pixtrel::fx
