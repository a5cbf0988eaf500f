// libFuzzer target for the PNG reader: CRCs are not checked so that mutations
// reach the image data; every raster and alpha byte is read so the sanitizers
// see anything left uninitialised, and small pictures are written again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/png/png_object.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::PNGObject png;
  png.SetCheckCRC(false);
  png.SetPixelLimit(std::int64_t{1} << 22);
  try {
    png.LoadFromBytes(std::span<const std::uint8_t>(data, size));
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  pixtrel::Bitmap bitmap;
  bitmap.Assign(png);
  unsigned sum = 0;
  const std::size_t rowBytes = (static_cast<std::size_t>(bitmap.Width()) * bitmap.BitCount() + 7) / 8;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < rowBytes; ++i) sum += row[i];
    if (const std::uint8_t* alpha = png.AlphaRow(y))
      for (int x = 0; x < bitmap.Width(); ++x) sum += alpha[x];
  }
  if (bitmap.Transparent()) sum += bitmap.TransparentColor();
  if (const pixtrel::ChunktEXt* text = png.FirstTextChunk()) sum += static_cast<unsigned>(text->text.size());
  volatile unsigned sink = sum;
  (void)sink;

  if (std::int64_t{bitmap.Width()} * bitmap.Height() <= 256 * 256) {
    try {
      png.SaveToBytes();
      pixtrel::PNGObject copy;
      copy.Assign(bitmap);
      copy.SaveToBytes();
    } catch (const pixtrel::Exception&) {
    }
  }
  return 0;
}
