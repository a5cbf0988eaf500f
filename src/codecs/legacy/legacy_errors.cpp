#include "codecs/legacy/legacy_errors.h"

#include <cstddef>
#include <iterator>

#include "core/error_table.h"

namespace pixtrel {

namespace {

// The readers' failures in the order of LegacyError, then the decompressor's,
// then the colour conversion's in the order of EColorConversionError::Kind;
// "{format}" and "{subject}" stand for the parameters.
constexpr ErrorRow kMessages[] = {
    {"InvalidFormat", "Cannot load image. Invalid or unexpected {format} image format."},
    {"InvalidColorFormat", "Invalid color format in {format} file."},
    {"StreamRead", "Stream read error in {format} file."},
    {"NotSupported", "Cannot load image. {subject} not supported for {format} files."},
    {"LZ77Error", "LZ77 decompression error."},
    {"InvalidBitsPerSample", "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16."},
    {"InvalidSampleCount", "Sample count per pixel does not correspond to the given color scheme."},
    {"IndexedConversion", "Conversion between indexed and non-indexed pixel formats is not supported."},
    {"NoConversion", "Color conversion failed. Could not find a proper method."},
    {"InvalidSubsampling", "Subsampling value is invalid. Allowed are 1, 2 and 4."},
    {"VerticalSubsampling", "Vertical subsampling value must be <= horizontal subsampling value."},
};
constexpr std::size_t kLZ77Row = 4;
constexpr std::size_t kConversionRow = 5;
static_assert(std::size(kMessages) == kConversionRow + EColorConversionError::VerticalSubsampling + 1);

std::string RowCode(std::size_t row) { return std::string("legacy.") + kMessages[row].name; }

void Substitute(std::string& text, const std::string& marker, const std::string& value) {
  const std::size_t at = text.find(marker);
  if (at != std::string::npos) text.replace(at, marker.size(), value);
}

}  // namespace

std::string LegacyErrorCode(LegacyError error) { return RowCode(static_cast<std::size_t>(error)); }

std::string LegacyErrorMessage(LegacyError error, const std::string& format, const std::string& subject) {
  std::string text = ErrorRowText(kMessages, error);
  // The format first: a format name never holds a marker, a subject might
  // hold anything.
  Substitute(text, "{format}", format);
  Substitute(text, "{subject}", subject);
  return text;
}

void ThrowLegacyError(LegacyError error, const std::string& format, const std::string& subject) {
  throw EInvalidGraphic(LegacyErrorCode(error), LegacyErrorMessage(error, format, subject));
}

ELZ77Error::ELZ77Error() : Exception(RowCode(kLZ77Row), kMessages[kLZ77Row].text) {}

EColorConversionError::EColorConversionError(Kind kind)
    : Exception(RowCode(kConversionRow + kind), kMessages[kConversionRow + kind].text), kind_(kind) {}

}  // namespace pixtrel
