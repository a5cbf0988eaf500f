// The photo formats' libraries behind one narrow interface: WebP decoded and
// encoded through libwebp, HEIF (HEIC and AVIF) decoded through libheif, AVIF
// encoded through libavif, and colours converted from an ICC profile to sRGB
// through LittleCMS. The codecs' own functions (DecodeWebP, EncodeWebP,
// DecodeHeif, EncodeAvif, ConvertToSrgb) keep their checks and error tables
// and hand the library work to the engine.
//
// PhotoCodecs() is defined once per program, as CanvasDrawing() is (see
// core/canvas_engine.h): the desktop program, the tools and the tests link
// the engine itself (pixtrel_photo); pixtrel-cli loads it on the first photo
// file, so that other commands do not load those libraries and the encoders
// they bring along.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codecs/avif/avif_writer.h"
#include "codecs/webp/webp_image.h"
#include "core/bitmap.h"
#include "core/image_metadata.h"

namespace pixtrel {

class PhotoEngine {
 public:
  virtual ~PhotoEngine() = default;

  // As DecodeWebP and EncodeWebP (codecs/webp/webp_image.h); failures throw
  // EWebP.
  virtual Bitmap DecodeWebP(std::span<const std::uint8_t> file, std::int64_t maxPixels,
                            ImageMetadata* metadata) const = 0;
  virtual std::vector<std::uint8_t> EncodeWebP(const Bitmap& source, const WebPSettings& settings,
                                               const ImageMetadata& metadata) const = 0;
  // As DecodeHeif (codecs/heif/heif_image.h); failures throw EHeif.
  virtual Bitmap DecodeHeif(std::span<const std::uint8_t> file, std::int64_t maxPixels, bool applyTransformations,
                            ImageMetadata* metadata) const = 0;
  // As EncodeAvif (codecs/avif/avif_writer.h); failures throw EAvif.
  virtual std::vector<std::uint8_t> EncodeAvif(const Bitmap& source, const AvifSettings& settings,
                                               const ImageMetadata& metadata) const = 0;
  // As ConvertToSrgb (io/picture_options.h).
  virtual bool ConvertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> icc) const = 0;
};

const PhotoEngine& PhotoCodecs();

}  // namespace pixtrel
