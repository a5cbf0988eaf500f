#include "gif/gif_codec.h"

#include "core/stream.h"

namespace pixtrel::gif {

std::vector<std::uint8_t> EncodeBitmapAsGifBytes(const Bitmap& bitmap, const GifSettings& settings, bool transparent) {
  if (bitmap.Empty()) throw GIFException(GifError::InvalidDimensions);
  // The logical screen and the frame keep their sizes in 16 bits.
  CheckFormatSize("GIF", bitmap.Width(), bitmap.Height(), 65535);
  GIFImage image(settings);
  image.Assign(bitmap);
  MergeColorTables(image);
  if (transparent && !image.Images().empty()) {
    GIFSubImage& frame = *image.Images().front();
    auto gce = std::make_unique<GIFGraphicControlExtension>(frame);
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(frame.Pixel(0, frame.Height() - 1));
    frame.AddExtension(std::move(gce));
  }
  return image.SaveToBytes();
}

void EncodeBitmapAsGif(const Bitmap& bitmap, const GifSettings& settings, bool transparent, Stream& stream) {
  stream.WriteBuffer(EncodeBitmapAsGifBytes(bitmap, settings, transparent));
}

void DecodeGifBytes(std::span<const std::uint8_t> bytes, Bitmap& target) {
  GIFImage image;
  image.LoadFromBytes(bytes);
  Bitmap picture = image.ToBitmap();
  target = std::move(picture);
}

void SaveGifFile(const std::string& path, const Bitmap& bitmap, const GifSettings& settings, bool transparent) {
  const std::vector<std::uint8_t> bytes = EncodeBitmapAsGifBytes(bitmap, settings, transparent);
  AtomicFileStream out(path);
  out.WriteBuffer(bytes);
  out.Commit();
}

}  // namespace pixtrel::gif
