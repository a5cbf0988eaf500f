// libFuzzer target for the WebP reader: decode with the metadata, read every
// byte of the picture, and write small pictures back both ways.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/webp/webp_image.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::ImageMetadata metadata;
  pixtrel::Bitmap picture;
  try {
    picture = pixtrel::DecodeWebP(std::span<const std::uint8_t>(data, size), std::int64_t{1} << 20, &metadata);
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  unsigned sum = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (std::size_t i = 0; i < static_cast<std::size_t>(picture.Width()) * 3; ++i) sum += row[i];
  }
  volatile unsigned sink = sum + static_cast<unsigned>(metadata.exif.size() + metadata.xmp.size());
  (void)sink;
  if (std::int64_t{picture.Width()} * picture.Height() <= 64 * 64) {
    pixtrel::EncodeWebP(picture, {50, false, 1}, metadata);
    pixtrel::EncodeWebP(picture, {50, true, 1});
  }
  return 0;
}
