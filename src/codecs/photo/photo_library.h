// The engine of photo_engine.h on the libraries themselves. Its members are
// defined beside each codec (codecs/webp/webp_library.cpp,
// codecs/heif/heif_library.cpp, codecs/avif/avif_library.cpp) and here
// (srgb_library.cpp); all of them are built into pixtrel_photo only.
#pragma once

#include "codecs/photo/photo_engine.h"

namespace pixtrel {

class PhotoLibrary final : public PhotoEngine {
 public:
  Bitmap DecodeWebP(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                    ImageMetadata* metadata) const override;
  std::vector<std::uint8_t> EncodeWebP(const Bitmap& source, const WebPSettings& settings,
                                       const ImageMetadata& metadata) const override;
  Bitmap DecodeHeif(std::span<const std::uint8_t> file, std::int64_t maxPixels, bool applyTransformations,
                    ImageMetadata* metadata) const override;
  std::vector<std::uint8_t> EncodeAvif(const Bitmap& source, const AvifSettings& settings,
                                       const ImageMetadata& metadata) const override;
  bool ConvertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> icc) const override;
};

}  // namespace pixtrel
