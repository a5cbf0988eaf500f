// Writing a bitmap as an uncompressed, single-strip, little-endian TIFF.
//
// 4- and 8-bit bitmaps take the palette layout (colour map at offset 8),
// 16-, 24- and 32-bit ones the RGB layout (pixel data at offset 40); 15- and
// 16-bit pixels are widened to 24 bits first. A 1-bit bitmap is written as a
// bilevel file: BlackIsZero or WhiteIsZero when its two colours are black
// and white, otherwise a 1-bit palette file. Every layout ends with its
// directory straight after the pixel data, and offset 4 points to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel {

// Creates or replaces the file. A bitmap without pixels gives an empty file.
// Throws EFCreateError / EWriteError when the file cannot be written.
void WriteTiffFile(const std::string& fileName, const Bitmap& source);

// The bytes WriteTiffFile writes.
std::vector<std::uint8_t> TiffBytes(const Bitmap& source);

}  // namespace pixtrel
