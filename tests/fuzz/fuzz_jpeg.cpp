// libFuzzer target for the JPEG reader: decode, touch every pixel byte so the
// sanitizers see anything left uninitialised, and re-encode small pictures.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/jpeg/jpeg_image.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::JPEGImage image;
  image.SetPixelLimit(std::int64_t{1} << 22);
  try {
    image.LoadFromBytes(std::span<const std::uint8_t>(data, size));
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  const pixtrel::Bitmap& picture = image.Picture();
  unsigned sum = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (std::size_t i = 0; i < static_cast<std::size_t>(picture.Width()) * 3; ++i) sum += row[i];
  }
  volatile unsigned sink = sum;
  (void)sink;

  if (std::int64_t{picture.Width()} * picture.Height() <= 256 * 256) {
    image.SetCompressionQuality(size > 0 ? data[0] % 100 + 1 : 75);
    image.SetGrayscale(size > 1 && (data[1] & 1));
    try {
      image.SaveToBytes();
    } catch (const pixtrel::Exception&) {
    }
  }
  return 0;
}
