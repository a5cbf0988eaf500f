// Bitmaps as Qt images and back, for the desktop program's display and the
// clipboard: every pixel format goes out as 24-bit colour, and any Qt image
// comes in as a pf24bit bitmap (alpha is dropped).
#pragma once

#include <QImage>

#include "core/bitmap.h"

namespace pixtrel {

// A 24-bit image of the bitmap's colours (Format_BGR888, the byte order of
// pf24bit rows); an empty bitmap gives a null image.
QImage BitmapToQImage(const Bitmap& bitmap);
// A pf24bit bitmap of the image's colours; a null image gives an empty bitmap.
Bitmap QImageToBitmap(const QImage& image);

}  // namespace pixtrel
