#include "core/byte_reader.h"

#include <limits>

namespace pixtrel {

std::size_t CheckedMul(std::size_t a, std::size_t b) {
  if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a) throw EImageTooLarge();
  return a * b;
}

void CheckImageSize(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0) throw EInvalidGraphic();
  if (width > kMaxImageDimension || height > kMaxImageDimension) throw EImageTooLarge();
  if (width * height > kMaxImagePixels) throw EImageTooLarge();
}

void CheckImageSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels) {
  if (width < 0 || height < 0) throw EInvalidGraphic();
  if (width <= kMaxImageDimension && height <= kMaxImageDimension && maxPixels > 0 && width * height > maxPixels)
    throw EImageTooLarge(width, height, maxPixels);
  CheckImageSize(width, height);
}

}  // namespace pixtrel
