// libFuzzer target for the HEIF reader (HEIC and AVIF): decode the primary
// image with and without its transformations and read every byte of it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/heif/heif_image.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const bool transform : {false, true}) {
    pixtrel::ImageMetadata metadata;
    pixtrel::Bitmap picture;
    try {
      picture = pixtrel::DecodeHeif(std::span<const std::uint8_t>(data, size), std::int64_t{1} << 20, transform,
                                    &metadata);
    } catch (const pixtrel::Exception&) {
      return 0;
    }
    unsigned sum = 0;
    for (int y = 0; y < picture.Height(); ++y) {
      const std::uint8_t* row = picture.ScanLine(y);
      for (std::size_t i = 0; i < static_cast<std::size_t>(picture.Width()) * 3; ++i) sum += row[i];
    }
    volatile unsigned sink = sum + static_cast<unsigned>(metadata.icc.size());
    (void)sink;
  }
  return 0;
}
