// AVIF through libavif: the PhotoLibrary member of the AVIF writer.
#include <avif/avif.h>

#include <algorithm>
#include <memory>

#include "codecs/avif/avif_writer.h"
#include "codecs/photo/photo_library.h"

namespace pixtrel {

namespace {

struct ImageDeleter {
  void operator()(avifImage* image) const { avifImageDestroy(image); }
};
struct EncoderDeleter {
  void operator()(avifEncoder* encoder) const { avifEncoderDestroy(encoder); }
};

}  // namespace

std::vector<std::uint8_t> PhotoLibrary::EncodeAvif(const Bitmap& source, const AvifSettings& settings,
                                                   const ImageMetadata& metadata) const {
  if (source.Width() <= 0 || source.Height() <= 0) throw EAvif(AvifError::EncodeFailed);
  if (!avifCodecName(AVIF_CODEC_CHOICE_AUTO, AVIF_CODEC_FLAG_CAN_ENCODE)) throw EAvif(AvifError::NoEncoder);
  const Bitmap* image = &source;
  Bitmap converted;
  if (source.PixelFormat() != pf24bit) {
    converted = source;
    converted.SetPixelFormat(pf24bit);
    image = &converted;
  }
  const auto width = static_cast<std::uint32_t>(source.Width());
  const auto height = static_cast<std::uint32_t>(source.Height());
  std::unique_ptr<avifImage, ImageDeleter> avif(avifImageCreate(width, height, 8, AVIF_PIXEL_FORMAT_YUV420));
  if (!avif) throw EAvif(AvifError::EncodeFailed);

  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, avif.get());
  rgb.depth = 8;
  std::vector<std::uint8_t> bgra;
  if (source.Transparent()) {
    // The transparent colour as alpha 0.
    const Color key = source.TransparentColor();
    bgra.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* in = image->ScanLine(static_cast<int>(y));
      std::uint8_t* out = bgra.data() + static_cast<std::size_t>(y) * width * 4;
      for (std::uint32_t x = 0; x < width; ++x, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = RGB(in[2], in[1], in[0]) == key ? 0 : 255;
      }
    }
    rgb.format = AVIF_RGB_FORMAT_BGRA;
    rgb.pixels = bgra.data();
    rgb.rowBytes = width * 4;
  } else {
    rgb.format = AVIF_RGB_FORMAT_BGR;
    rgb.pixels = const_cast<std::uint8_t*>(image->ScanLine(0));
    rgb.rowBytes = static_cast<std::uint32_t>(image->RowStride());
  }
  if (avifImageRGBToYUV(avif.get(), &rgb) != AVIF_RESULT_OK) throw EAvif(AvifError::EncodeFailed);
  if (!metadata.icc.empty()) avifImageSetProfileICC(avif.get(), metadata.icc.data(), metadata.icc.size());
  if (!metadata.exif.empty()) avifImageSetMetadataExif(avif.get(), metadata.exif.data(), metadata.exif.size());
  if (!metadata.xmp.empty())
    avifImageSetMetadataXMP(avif.get(), reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()),
                            metadata.xmp.size());

  std::unique_ptr<avifEncoder, EncoderDeleter> encoder(avifEncoderCreate());
  if (!encoder) throw EAvif(AvifError::EncodeFailed);
  encoder->maxThreads = std::max(1, settings.threads);
  encoder->speed = std::clamp(settings.speed, AVIF_SPEED_SLOWEST, AVIF_SPEED_FASTEST);
  const int quantizer = AvifQuantizer(settings.quality);
  encoder->minQuantizer = quantizer;
  encoder->maxQuantizer = quantizer;
  encoder->minQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
  encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
  avifRWData output = AVIF_DATA_EMPTY;
  const avifResult result = avifEncoderWrite(encoder.get(), avif.get(), &output);
  if (result != AVIF_RESULT_OK) {
    avifRWDataFree(&output);
    throw EAvif(AvifError::EncodeFailed);
  }
  std::vector<std::uint8_t> bytes(output.data, output.data + output.size);
  avifRWDataFree(&output);
  return bytes;
}

}  // namespace pixtrel
