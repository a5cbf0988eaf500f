// HEIF files (HEIC photos with HEVC, AVIF with AV1) through libheif: the
// primary image decoded into pf24bit rows, samples deeper than 8 bits reduced
// to their high 8 bits.
#pragma once

#include <cstdint>
#include <span>

#include "core/bitmap.h"
#include "core/error_table.h"
#include "core/errors.h"
#include "core/image_metadata.h"

namespace pixtrel {

// The HEIF reader's failures with their fixed texts; the code is "heif." and
// the name.
#define PIXTREL_HEIF_ERRORS(X)                                                 \
  X(InvalidFile, "The file is not a valid HEIF or AVIF image")                 \
  X(NoPrimaryImage, "The HEIF file holds no image")                            \
  X(UnsupportedCodec, "The HEIF image is compressed in a way that cannot be decoded here") \
  X(DecodeFailed, "The HEIF image could not be decoded")

PIXTREL_DECLARE_ERRORS(HeifError, PIXTREL_HEIF_ERRORS)

class EHeif : public CodedError<HeifError> {
 public:
  using CodedError::CodedError;
};

// Decodes the primary image of a HEIF or AVIF file. The colours come as
// stored, alpha left apart. applyTransformations turns and mirrors the image
// as the file's own rotation and mirror properties say; without it the
// pixels are those coded. The size is checked against maxPixels
// (CheckImageSize) before decoding. metadata, when given, receives the EXIF
// and XMP blocks and the ICC profile of the image.
Bitmap DecodeHeif(std::span<const std::uint8_t> file, std::int64_t maxPixels, bool applyTransformations,
                  ImageMetadata* metadata = nullptr);

// Whether the file's item properties (meta, iprp, ipco) hold a rotation
// ("irot") or mirror ("imir"). Files without them may still carry the turn
// in their EXIF orientation only, as some encoders write them.
bool HeifHasTransformations(std::span<const std::uint8_t> file);

}  // namespace pixtrel
