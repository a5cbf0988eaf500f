// The EPS reader's own failures, each with a stable code ("eps.<Name>") and
// a fixed text, kept in one table (eps_errors.cpp). The TIFF preview's
// decoder fails with the legacy readers' errors (legacy_errors.h) for the
// format "TIF/TIFF".
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel {

enum class EpsError {
  BadMagic,   // "Cannot load image. Invalid or unexpected EPS image format."
  NoPreview,  // "Cannot load image. Invalid or unexpected TIF/TIFF image format."
  // The checks of a JPEG-compressed strip of the preview.
  JpegStripSize,        // "Improper JPEG strip/tile size."
  JpegComponentCount,   // "Improper JPEG component count."
  JpegDataPrecision,    // "Improper JPEG data precision."
  JpegSamplingFactors,  // "Improper JPEG sampling factors."
  JpegFractionalRows,   // "Fractional JPEG scanline unsupported."
  JpegBogusTables,      // "Bogus JPEG tables field."
};

// "eps.BadMagic".
std::string EpsErrorCode(EpsError error);
const char* EpsErrorMessage(EpsError error);
// EInvalidGraphic with the code and the message.
[[noreturn]] void ThrowEpsError(EpsError error);

}  // namespace pixtrel
