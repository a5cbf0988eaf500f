#include "codecs/webp/webp_image.h"

#include "codecs/photo/photo_engine.h"

namespace pixtrel {

PIXTREL_DEFINE_ERRORS(WebPError, "webp", PIXTREL_WEBP_ERRORS)

Bitmap DecodeWebP(std::span<const std::uint8_t> file, std::int64_t maxPixels, ImageMetadata* metadata) {
  return PhotoCodecs().DecodeWebP(file, maxPixels, metadata);
}

std::vector<std::uint8_t> EncodeWebP(const Bitmap& source, const WebPSettings& settings,
                                     const ImageMetadata& metadata) {
  return PhotoCodecs().EncodeWebP(source, settings, metadata);
}

}  // namespace pixtrel
