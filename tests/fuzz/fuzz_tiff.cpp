// libFuzzer target for the simple TIFF reader: messages go to a silent
// interaction layer, every pixel byte is read so the sanitizers see anything
// left uninitialised, and small pictures are written back.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/tiff/bmp2tiff.h"
#include "codecs/tiff/read_tiff.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "core/interaction.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::Bitmap picture;
  pixtrel::ScriptedInteraction silent;
  try {
    pixtrel::ReadTiffBytes(std::span<const std::uint8_t>(data, size), "fuzz.tif", picture, silent,
                           std::int64_t{1} << 18);
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  const std::size_t rowBytes = (static_cast<std::size_t>(picture.Width()) * picture.BitCount() + 7) / 8;
  unsigned sum = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (std::size_t i = 0; i < rowBytes; ++i) sum += row[i];
  }
  volatile unsigned sink = sum;
  (void)sink;
  if (std::int64_t{picture.Width()} * picture.Height() <= 256 * 256) pixtrel::TiffBytes(picture);
  return 0;
}
