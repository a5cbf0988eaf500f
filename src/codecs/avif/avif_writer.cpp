#include "codecs/avif/avif_writer.h"

#include <algorithm>

#include "codecs/photo/photo_engine.h"

namespace pixtrel {

PIXTREL_DEFINE_ERRORS(AvifError, "avif", PIXTREL_AVIF_ERRORS)

namespace {

// libavif's AVIF_QUANTIZER_WORST_QUALITY.
constexpr int kWorstQuantizer = 63;

}  // namespace

int AvifQuantizer(int quality) {
  quality = std::clamp(quality, 1, 100);
  return ((100 - quality) * kWorstQuantizer + 50) / 100;
}

std::vector<std::uint8_t> EncodeAvif(const Bitmap& source, const AvifSettings& settings,
                                     const ImageMetadata& metadata) {
  return PhotoCodecs().EncodeAvif(source, settings, metadata);
}

}  // namespace pixtrel
