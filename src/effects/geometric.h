// Effects that move pixels: flips, mirrors, the quarter turn, the sampling
// distortions, mosaic, wipe, shadows and the seamless blend.
#pragma once

#include "core/bitmap.h"
#include "core/color.h"

namespace pixtrel::fx {

enum class ShadowDirection { UpRight, UpLeft, DownLeft, DownRight };

// Result row y is source row H - 1 - y.
void FlipVertical(Bitmap& bitmap);
// Result pixel x is source pixel W - 1 - x.
void FlipHorizontal(Bitmap& bitmap);
// The right half becomes the mirror image of the left half.
void MirrorRight(Bitmap& bitmap);
// The bottom half becomes the mirror image of the top half.
void MirrorDown(Bitmap& bitmap);
// destination (H - 1 - y, x) = source (x, y): a quarter turn clockwise.
void RotateQuarter(const Bitmap& source, Bitmap& destination);

// The bilinear colour at a real position of a pf24bit source, in single
// precision, the cell wrapped into the image. A position that is not finite
// or lies beyond 2^62 counts as 0 on that axis.
Color SampleBilinear(const Bitmap& source, float sx, float sy);
// The lens: amount is the Fisheye depth / 255. A pixel at exactly the lens
// radius samples its own place.
void Fisheye(const Bitmap& source, Bitmap& destination, double amount);
// The swirl (with a quarter turn); an amount below 1 copies the source.
void Twist(const Bitmap& source, Bitmap& destination, int amount);
// n x n blocks from (0, 0) take their top-left pixel's colour.
void Mosaic(Bitmap& bitmap, int n);
void Wipe(Bitmap& bitmap, int a);
void CastShadow(Bitmap& bitmap, ShadowDirection direction);
// Blends the last rows and columns towards the first ones over a + 1 rows and
// columns; rows and columns outside a small image are skipped.
void MakeSeamless(Bitmap& bitmap, int a);

}  // namespace pixtrel::fx
