// libFuzzer target for the Targa reader: decode, read every byte of both
// bitmaps so the sanitizers see anything left uninitialised, and write small
// pictures back.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/targa/targa_image.h"
#include "core/errors.h"
#include "core/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::Targa image;
  image.SetPixelLimit(std::int64_t{1} << 18);
  try {
    image.LoadFromBytes(std::span<const std::uint8_t>(data, size));
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  unsigned sum = 0;
  for (const pixtrel::Bitmap* b : {&image.ColorBitmap(), &image.AlphaBitmap()})
    for (int y = 0; y < b->Height(); ++y) {
      const std::uint8_t* row = b->ScanLine(y);
      for (std::size_t i = 0; i < static_cast<std::size_t>(b->Width()) * 4; ++i) sum += row[i];
    }
  volatile unsigned sink = sum;
  (void)sink;
  if (std::int64_t{image.Width()} * image.Height() <= 256 * 256) {
    pixtrel::MemoryStream out;
    image.SaveToStream(out);
  }
  return 0;
}
