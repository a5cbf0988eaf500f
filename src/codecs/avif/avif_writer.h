// AVIF files written through libavif: the bitmap in 8-bit YUV 4:2:0 at a
// quality from 1 to 100, with its EXIF, XMP and ICC profile when given.
// Reading AVIF is the HEIF reader's (codecs/heif).
#pragma once

#include <cstdint>
#include <vector>

#include "core/bitmap.h"
#include "core/error_table.h"
#include "core/errors.h"
#include "core/image_metadata.h"

namespace pixtrel {

// The AVIF writer's failures with their fixed texts; the code is "avif." and
// the name.
#define PIXTREL_AVIF_ERRORS(X)                                   \
  X(NoEncoder, "No AV1 encoder is available to write AVIF images") \
  X(EncodeFailed, "The AVIF image could not be encoded")

PIXTREL_DECLARE_ERRORS(AvifError, PIXTREL_AVIF_ERRORS)

class EAvif : public CodedError<AvifError> {
 public:
  using CodedError::CodedError;
};

struct AvifSettings {
  int quality = 50;  // 1 to 100: the quantizer of colour and alpha
  int threads = 2;   // libavif's maxThreads
  int speed = 6;     // the encoder's speed, 0 (slowest) to 10
};

// The quantizer (0 best to 63) of a quality from 1 to 100.
int AvifQuantizer(int quality);

// Encodes a bitmap. A transparent bitmap writes its transparent colour as
// alpha 0 and every other pixel opaque; otherwise the file has no alpha.
std::vector<std::uint8_t> EncodeAvif(const Bitmap& source, const AvifSettings& settings,
                                     const ImageMetadata& metadata = {});

}  // namespace pixtrel
