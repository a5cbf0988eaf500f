// The failures of the legacy readers, their decompressors and their colour
// conversion, each with a stable code ("legacy.<Name>") and a fixed text, all
// kept in one table (legacy_errors.cpp).
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel {

// The readers' failures. The format a text names ("PCX", "TIF/TIFF") and
// the subject of NotSupported are parameters of the text, not part of the
// code.
enum class LegacyError {
  InvalidFormat,       // "Cannot load image. Invalid or unexpected %s image format."
  InvalidColorFormat,  // "Invalid color format in %s file."
  StreamRead,          // "Stream read error in %s file."
  NotSupported,        // "Cannot load image. %s not supported for %s files."
};
// "legacy.InvalidFormat".
std::string LegacyErrorCode(LegacyError error);
std::string LegacyErrorMessage(LegacyError error, const std::string& format, const std::string& subject = "");
// EInvalidGraphic with the code and the message.
[[noreturn]] void ThrowLegacyError(LegacyError error, const std::string& format, const std::string& subject = "");

// The subject of NotSupported for an unknown compression.
inline constexpr const char* kCompressionSubject = "The compression scheme is";

// A deflate stream that could not be inflated ("legacy.LZ77Error").
class ELZ77Error : public Exception {
 public:
  ELZ77Error();
};

// The colour manager cannot convert as configured ("legacy.<Kind>").
class EColorConversionError : public Exception {
 public:
  enum Kind {
    InvalidBitsPerSample,
    InvalidSampleCount,
    IndexedConversion,
    NoConversion,
    InvalidSubsampling,
    VerticalSubsampling,
  };
  explicit EColorConversionError(Kind kind);
  Kind Which() const { return kind_; }

 private:
  Kind kind_;
};

}  // namespace pixtrel
