// What the opening options do to a decoded picture: turning it upright by its
// EXIF orientation and converting it from its ICC profile to sRGB.
#pragma once

#include <cstdint>
#include <span>

#include "core/bitmap.h"

namespace pixtrel {

// Turns and mirrors bitmap so that a picture stored with the EXIF orientation
// (2 to 8) shows upright: 2 mirrored left to right, 3 turned half round, 4
// mirrored top to bottom, 5 transposed, 6 turned a quarter clockwise, 7
// transversed, 8 a quarter anticlockwise. Other values change nothing. The
// pixel format, palette and transparency settings are kept.
void ApplyOrientation(Bitmap& bitmap, int orientation);

// Converts the colours from the ICC profile to sRGB (perceptual intent): the
// pixels of a 24- or 32-bit bitmap, the palette of an indexed one; 15- and
// 16-bit bitmaps become pf24bit. False, with nothing changed, when the profile
// cannot be used or is not an RGB profile.
bool ConvertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> icc);

}  // namespace pixtrel
