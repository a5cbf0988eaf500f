// Neighbourhood filters: the fixed 3x3 kernels and the focus and edge
// procedures that are their own loops.
#pragma once

#include <array>

#include "core/bitmap.h"
#include "core/color.h"

namespace pixtrel::fx {

// Nine weights row by row from the top-left, and a positive divisor (a
// kernel with none leaves the picture as it is).
struct ConvolutionKernel {
  std::array<int, 9> k;
  int divisor = 1;
};

// The kernels the menu items carry as their tags.
enum KernelNumber {
  kLaplace = 0,
  kHighpass = 1,
  kFindEdges = 2,
  kSharpen = 3,
  kEdgeEnhance = 4,
  kColorEmboss = 5,
  kSoften = 6,
  kBlur = 7,
  kSoftenLess = 8,
};
const ConvolutionKernel& Kernel(int number);  // number 0..8

// Each channel: the weighted sum over the 3x3 neighbourhood of a copy framed
// by wrap-around rows and columns (the corners are the image's own corners),
// divided truncating toward zero and clamped to 0..255.
void Convolve3x3(Bitmap& bitmap, const ConvolutionKernel& kernel);
// In place, top to bottom and left to right: each inner pixel becomes the
// mean (shr 2) of its four neighbours, the upper and left ones already new.
void AntiAlias(Bitmap& bitmap);
// In place: the mean of the four pixels a rows and columns away. Near the
// bottom and right the lower row is H - y and the right column W - x; on
// images of 3 pixels or less, where that reaches H (W), the last row (column)
// is read instead.
void SplitBlur(Bitmap& bitmap, int distance);
// SplitBlur at distance 3, depth + 1 times.
void GaussianBlur(Bitmap& bitmap, int depth);
// c = (c + 255 - c(x + 3, y + 1)) shr 1 except in the last row and the last three columns.
void Emboss(Bitmap& bitmap);
// Draws colour along the edges between the colour areas of the picture's
// 8-bit conversion, on the side away from the first area found.
void Trace(Bitmap& bitmap, int intensity, Color color);

}  // namespace pixtrel::fx
