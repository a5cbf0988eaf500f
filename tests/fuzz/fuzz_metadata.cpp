// libFuzzer target for the metadata scanners: the same bytes read as a JPEG,
// a PNG and a TIFF file and as EXIF data, the orientation reset on a copy,
// and what was found put into a small JPEG and PNG again.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/metadata/metadata_io.h"
#include "core/image_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
  volatile int orientation = pixtrel::TiffOrientation(bytes);
  pixtrel::SetTiffOrientation(copy, 1);
  orientation = orientation + pixtrel::TiffOrientation(pixtrel::ExifFromTiffHeader(bytes));
  for (const pixtrel::ImageMetadata& found :
       {pixtrel::ReadJpegMetadata(bytes), pixtrel::ReadPngMetadata(bytes), pixtrel::ReadTiffMetadata(bytes)}) {
    const std::vector<std::uint8_t> jpeg = pixtrel::EmbedJpegMetadata(bytes, found);
    const std::vector<std::uint8_t> png = pixtrel::EmbedPngMetadata(bytes, found);
    orientation = orientation + static_cast<int>(jpeg.size() + png.size());
  }
  return 0;
}
