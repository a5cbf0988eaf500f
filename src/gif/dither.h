// Turning any bitmap into an 8-bit indexed one for a reduction and a dither
// method. Pixels are visited once each in serpentine order (rows alternate
// left-to-right and right-to-left, starting left-to-right) through one of
// seven engines: nearest colour, or error diffusion after Floyd and
// Steinberg, Stucki, Sierra, Jarvis-Judice-Ninke, Stevenson and Arce, or
// Burkes. Error buffers are per channel, a few rows of the image's width plus
// a margin, so memory does not grow with the height.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bitmap.h"
#include "gif/color_reduction.h"

namespace pixtrel::gif {

// The source keeps its pixels and format.
// - NoReduction: a pf24bit copy of the source.
// - A mode above CustomPalette, a dither mode above Burkes, or a lookup with
//   no entries (CustomPalette without a palette): an empty bitmap.
// - Otherwise a pf8bit bitmap of the source's size whose colour table has 256
//   entries: the mode's palette in order, then black. Optimized takes
//   2^reductionBits colours (bits clamped to 1..8); the other modes ignore
//   the bits.
Bitmap ReduceBitmapColors(const Bitmap& source, ReductionMode mode, DitherMode dither, const Palette* customPalette,
                          int reductionBits);

// The work of ReduceBitmapColors into rows of indices at out (stride bytes
// apart, one byte per pixel, Height() rows); returns the palette (without
// the black padding), empty when ReduceBitmapColors would give an empty
// bitmap or for NoReduction, in which case nothing is written.
Palette ReduceToIndices(const Bitmap& source, ReductionMode mode, DitherMode dither, const Palette* customPalette,
                        int reductionBits, std::uint8_t* out, std::size_t stride);

// The palette a mode reduces to (empty for NoReduction and unknown modes).
// The optimized modes read the image; the others ignore it.
Palette ReductionPalette(const Bitmap& image24, ReductionMode mode, const Palette* customPalette, int reductionBits);

}  // namespace pixtrel::gif
