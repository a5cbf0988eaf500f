// libFuzzer target for the seven legacy readers (PCX, Photo CD, Photoshop,
// Paint Shop Pro, portable maps, Dr. Halo, SGI). Every input goes through all
// of them: each rejects foreign headers at once, so a seed of one format
// reaches deep into its own reader and only the header checks of the rest.
// Every pixel byte of a decoded picture is read so the sanitizers see
// anything left uninitialised.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/legacy/legacy_formats.h"
#include "core/errors.h"

namespace {

template <typename G>
void Decode(std::span<const std::uint8_t> bytes) {
  G graphic;
  graphic.SetPixelLimit(std::int64_t{1} << 20);
  try {
    graphic.LoadFromBytes(bytes);
  } catch (const pixtrel::Exception&) {
    return;
  }
  unsigned sum = 0;
  for (std::uint8_t b : graphic.Bits()) sum += b;
  for (pixtrel::Color c : graphic.Palette()) sum += c;
  volatile unsigned sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  Decode<pixtrel::PCXGraphic>(bytes);
  Decode<pixtrel::PCDGraphic>(bytes);
  Decode<pixtrel::PSDGraphic>(bytes);
  Decode<pixtrel::PSPGraphic>(bytes);
  Decode<pixtrel::PPMGraphic>(bytes);
  Decode<pixtrel::CUTGraphic>(bytes);
  Decode<pixtrel::SGIGraphic>(bytes);
  return 0;
}
