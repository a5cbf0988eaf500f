#pragma once

#include <string>

#include "core/bitmap.h"

namespace pixtrel {

// The text of "Show Image Info": size, a line break, then the depth.
std::string ImageInfoText(const Bitmap& image);
// The depth part alone ("24 bits/pixel", "unrecognized pixel depth").
std::string PixelDepthText(PixelFormat format);

}  // namespace pixtrel
