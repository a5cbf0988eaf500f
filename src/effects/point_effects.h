// Colour effects that work pixel by pixel on pf24bit rows, and the two
// operations that combine images pixel by pixel (the blender's).
#pragma once

#include "core/bitmap.h"

namespace pixtrel::fx {

// c + amount * (255 - c) div 255, clamped.
void Lighten(Bitmap& bitmap, int amount);
// c - amount * c div 255, clamped.
void Darken(Bitmap& bitmap, int amount);
// Moves each channel away from 127 by |127 - c| * amount div 255.
void AdjustContrast(Bitmap& bitmap, int amount);
// Scales each channel's distance from the pixel's grey (B + G + R) div 3 by
// amount / 255; 255 keeps the pixel.
void AdjustSaturation(Bitmap& bitmap, int amount);
// round(0.3 R + 0.59 G + 0.11 B) into all three bytes.
void ToGrayscale(Bitmap& bitmap);
void InvertColors(Bitmap& bitmap);
// destination c = depth * round(c / depth); levels above 255 become 255.
// A depth below 1 copies the source.
void Posterize(const Bitmap& source, Bitmap& destination, int depth);
// Pixels whose channel average exceeds threshold are inverted, the others copied.
void Solarize(const Bitmap& source, Bitmap& destination, int threshold);
// output = round((1 - t) c1 + t c2) over the first's extent; where the second
// is smaller, the first's pixel is kept.
void Blend(const Bitmap& first, const Bitmap& second, Bitmap& output, double t);
// output = background, then where the overlay matches the mask's size, the
// overlay blended in by w = t (offset + mask byte) / 255.
void MaskedBlend(const Bitmap& background, const Bitmap& overlay, const Bitmap& mask, int offset, double t,
                 Bitmap& output);

}  // namespace pixtrel::fx
