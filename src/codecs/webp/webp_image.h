// WebP files through libwebp: decoding a still image or the first frame of an
// animation into pf24bit rows, and encoding lossy at a quality or lossless,
// with the EXIF, XMP and ICC chunks of the extended format.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/bitmap.h"
#include "core/error_table.h"
#include "core/errors.h"
#include "core/image_metadata.h"

namespace pixtrel {

// The WebP codec's failures with their fixed texts; the code is "webp." and
// the name.
#define PIXTREL_WEBP_ERRORS(X)                                      \
  X(InvalidFile, "The file is not a valid WebP image")               \
  X(DecodeFailed, "The WebP image could not be decoded")             \
  X(EncodeFailed, "The WebP image could not be encoded")             \
  X(TooLarge, "The image is too large for the WebP format")

PIXTREL_DECLARE_ERRORS(WebPError, PIXTREL_WEBP_ERRORS)

class EWebP : public CodedError<WebPError> {
 public:
  using CodedError::CodedError;
};

// Decodes a WebP file. The colours come as stored, alpha left apart, as PNG
// images with an alpha channel open: a fully transparent pixel shows the
// colour kept under it. An animation gives its first frame on its canvas.
// The picture's size is checked against maxPixels (CheckImageSize) before
// anything is allocated. metadata, when given, receives the EXIF, XMP and
// ICCP chunks.
Bitmap DecodeWebP(std::span<const std::uint8_t> file, std::int64_t maxPixels, ImageMetadata* metadata = nullptr);

struct WebPSettings {
  int quality = 50;       // 1 to 100, lossy
  bool lossless = false;  // lossless: exact colours, quality is the effort
  int threads = 2;        // more than 1: libwebp's multi-threaded encode
};

// Encodes a bitmap. A transparent bitmap writes its transparent colour as
// alpha 0 and every other pixel opaque; otherwise the file has no alpha.
// Non-empty metadata goes into EXIF, XMP and ICCP chunks.
std::vector<std::uint8_t> EncodeWebP(const Bitmap& source, const WebPSettings& settings,
                                     const ImageMetadata& metadata = {});

}  // namespace pixtrel
