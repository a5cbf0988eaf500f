#include "codecs/eps/eps_errors.h"

#include <cstddef>
#include <iterator>

#include "core/error_table.h"

namespace pixtrel {

namespace {

// In the order of EpsError.
constexpr ErrorRow kMessages[] = {
    {"BadMagic", "Cannot load image. Invalid or unexpected EPS image format."},
    {"NoPreview", "Cannot load image. Invalid or unexpected TIF/TIFF image format."},
    {"JpegStripSize", "Improper JPEG strip/tile size."},
    {"JpegComponentCount", "Improper JPEG component count."},
    {"JpegDataPrecision", "Improper JPEG data precision."},
    {"JpegSamplingFactors", "Improper JPEG sampling factors."},
    {"JpegFractionalRows", "Fractional JPEG scanline unsupported."},
    {"JpegBogusTables", "Bogus JPEG tables field."},
};
static_assert(std::size(kMessages) == static_cast<std::size_t>(EpsError::JpegBogusTables) + 1);

}  // namespace

std::string EpsErrorCode(EpsError error) { return ErrorRowCode("eps", kMessages, error); }

const char* EpsErrorMessage(EpsError error) { return ErrorRowText(kMessages, error); }

void ThrowEpsError(EpsError error) { throw EInvalidGraphic(EpsErrorCode(error), EpsErrorMessage(error)); }

}  // namespace pixtrel
