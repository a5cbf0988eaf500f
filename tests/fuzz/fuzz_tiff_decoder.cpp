// libFuzzer target for the general TIFF decoder of the EPS previews (every strip
// compression it knows, colour conversion). Pictures are capped at 2^20 pixels and
// every pixel and palette byte is read so the sanitizers see anything left
// uninitialised.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/eps/tiff_graphic.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::TIFFGraphic graphic;
  graphic.SetPixelLimit(std::int64_t{1} << 20);
  try {
    graphic.LoadFromBytes(std::span<const std::uint8_t>(data, size));
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  unsigned sum = 0;
  for (std::uint8_t b : graphic.Bits()) sum += b;
  for (pixtrel::Color c : graphic.Palette()) sum += c;
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
