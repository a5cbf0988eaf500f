#include "core/qimage_bitmap.h"

#include <cstring>

namespace pixtrel {

QImage BitmapToQImage(const Bitmap& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return QImage();
  const Bitmap* rows = &bitmap;
  Bitmap converted;
  if (bitmap.PixelFormat() != pf24bit) {
    converted = bitmap;
    converted.SetPixelFormat(pf24bit);
    rows = &converted;
  }
  // pf24bit rows are blue, green, red: the byte order of Format_BGR888.
  QImage image(rows->Width(), rows->Height(), QImage::Format_BGR888);
  if (image.isNull()) return QImage();
  const std::size_t bytes = static_cast<std::size_t>(rows->Width()) * 3;
  for (int y = 0; y < rows->Height(); ++y) std::memcpy(image.scanLine(y), rows->ScanLine(y), bytes);
  return image;
}

Bitmap QImageToBitmap(const QImage& source) {
  if (source.isNull()) return Bitmap();
  const QImage image = source.convertToFormat(QImage::Format_BGR888);
  Bitmap bitmap(image.width(), image.height(), pf24bit);
  const std::size_t bytes = static_cast<std::size_t>(image.width()) * 3;
  for (int y = 0; y < image.height(); ++y) std::memcpy(bitmap.ScanLine(y), image.constScanLine(y), bytes);
  return bitmap;
}

}  // namespace pixtrel
