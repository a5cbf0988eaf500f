#include "codecs/eps/tiff_graphic.h"

#include "codecs/eps/tiff_decode.h"
#include "core/byte_reader.h"

namespace pixtrel {

void TIFFGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  // Large-block storage: a file of many megabytes is touched in huge pages.
  stream.Seek(basePosition_);
  const ByteBuffer data = stream.ReadRestBuffer();
  DecodeTIFF(data);
}

void TIFFGraphic::DecodeTIFF(std::span<const std::uint8_t> tiff) {
  using namespace tiffdecode;
  pixtrel::ImageProperties& p = properties_;
  p = pixtrel::ImageProperties{};
  const Directory dir = ParseDirectory(tiff);
  if (!ReadImageProperties(dir, p)) return;  // tiled

  DecodePlan plan = ValidateLayout(dir, p);
  SetUpColorManager(dir, plan, p, colorManager_);
  ValidateBlocks(plan);
  const pixtrel::PixelFormat format = PrepareTarget(colorManager_);
  const StripTable table = ReadStripTable(dir, plan, p);

  // Everything that can fail on the header has been checked: now the picture.
  AllocatePicture(p.width, p.height, format);
  if (format == pf1bit || format == pf4bit || format == pf8bit) SetPalette(PicturePalette(dir, plan, colorManager_));
  RowConverter converter(plan, colorManager_, p.width, table.rowSize, format);
  DecodeStrips(tiff, dir, plan, table, p, converter, *this);
}

}  // namespace pixtrel
