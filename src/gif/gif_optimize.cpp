#include "gif/gif_optimize.h"

#include <algorithm>
#include <memory>

#include "core/stream.h"
#include "core/errors.h"
#include "gif/gif_error.h"

namespace pixtrel::gif {

namespace {

void MakeImage(GIFImage& image, const Bitmap& picture, const ProgressCallback& progress) {
  if (picture.Empty()) throw GIFException(GifError::InvalidDimensions);
  // The logical screen and the frame keep their sizes in 16 bits.
  CheckFormatSize("GIF", picture.Width(), picture.Height(), 65535);
  if (progress) image.SetProgressCallback(progress);
  image.Assign(picture);
}

}  // namespace

GifTrial TryGifSettings(const Bitmap& picture, const GifSettings& settings, const ProgressCallback& progress) {
  GIFImage image(settings);
  MakeImage(image, picture, progress);
  GifTrial trial;
  trial.bytes = image.SaveToBytes().size();
  trial.picture = image.ToBitmap();
  return trial;
}

std::vector<std::uint8_t> OptimizedGifBytes(const Bitmap& picture, const GifSettings& settings, bool transparent) {
  GIFImage image(settings);
  MakeImage(image, picture, {});
  GIFSubImage& frame = *image.Images().front();
  auto gce = std::make_unique<GIFGraphicControlExtension>(frame);
  if (transparent) {
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(frame.Pixel(0, frame.Height() - 1));
  }
  frame.AddExtension(std::move(gce));
  return image.SaveToBytes();
}

void SaveOptimizedGif(const std::string& path, const Bitmap& picture, const GifSettings& settings, bool transparent) {
  const std::vector<std::uint8_t> bytes = OptimizedGifBytes(picture, settings, transparent);
  AtomicFileStream out(path);
  out.WriteBuffer(bytes);
  out.Commit();
}

std::optional<std::string> HalftoneWarning(int displayBits) {
  if (displayBits <= 8) return std::nullopt;
  const std::uint64_t colors = std::uint64_t{1} << std::min(displayBits, 63);
  return "Please note that the Windows Halftone color reduction method\n"
         "only works properly in 256 color display mode.\n\n"
         "Since your display adapter is currently in " +
         std::to_string(colors) +
         " color mode,\n"
         "the Windows Halftone Palette method will produce the same\n"
         "result as the Windows System Palette method.";
}

}  // namespace pixtrel::gif
