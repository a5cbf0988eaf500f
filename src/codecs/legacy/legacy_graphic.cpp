#include "codecs/legacy/legacy_graphic.h"

#include "core/byte_reader.h"

namespace pixtrel {

void LegacyGraphic::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  MemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  LoadFromStream(stream);
}

void LegacyGraphic::BeginRead(Stream& stream) {
  basePosition_ = stream.Position();
  properties_ = pixtrel::ImageProperties{};
  colorManager_ = pixtrel::ColorManager{};
  static_cast<Bitmap&>(*this) = Bitmap();
}

std::vector<std::uint8_t> LegacyGraphic::ReadImageBytes(Stream& stream) {
  stream.Seek(basePosition_);
  return stream.ReadRest();
}

void LegacyGraphic::AllocatePicture(std::int64_t width, std::int64_t height, pixtrel::PixelFormat format) {
  CheckImageSize(width, height, PixelLimit());
  Bitmap picture(static_cast<int>(width), static_cast<int>(height), format);
  // A fresh bitmap is filled with the brush colour; decoded pictures start
  // from zero so that rows the data does not reach are defined and dark.
  std::fill(picture.Bits().begin(), picture.Bits().end(), std::uint8_t{0});
  static_cast<Bitmap&>(*this) = std::move(picture);
}

void LegacyGraphic::CheckExpansion(std::size_t packed, std::uint64_t needed, std::uint64_t expansion) {
  if (needed / expansion > packed + 1) throw EReadError();
}

}  // namespace pixtrel
