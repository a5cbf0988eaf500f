// Icon images made from pictures with coverage: the resource bits of one
// image at 4, 8 or 32 bits per pixel with its AND mask, as ICO files and
// icon libraries store them.
#pragma once

#include <memory>

#include "core/bitmap.h"
#include "icons/icon_image.h"

namespace pixtrel::icons {

// picture is pf32bit: blue, green, red and coverage (0 transparent, 255
// opaque), at most 256 pixels on a side. 4 and 8 bits take the standard
// 16-colour and the halftone palette by nearest colour; a pixel covered less
// than half is transparent (AND bit set, colour black). 32 bits keep the
// coverage as alpha beside the same mask. Throws EInvalidGraphic for another
// depth or size.
std::unique_ptr<IconImage> MakeIconImage(const Bitmap& picture, int bitCount);

}  // namespace pixtrel::icons
