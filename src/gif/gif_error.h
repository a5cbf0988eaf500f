// The GIF codec's errors and warnings. Fatal problems raise GIFException with
// one of the fixed texts below; non-fatal ones go to the image's warning
// callback with the texts of the second group and reading carries on.
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel::gif {

// Fatal texts.
inline constexpr const char* kInvalidSignature = "Invalid GIF signature";
inline constexpr const char* kUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* kUnknownExtension = "Unknown extension type";
inline constexpr const char* kInvalidExtensionIntroducer = "Invalid extension introducer";
inline constexpr const char* kExtensionMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* kUnsupportedAppBlockSize = "Unsupported Application Extension block size";
inline constexpr const char* kInvalidData = "Invalid GIF data";
inline constexpr const char* kCircularTable = "Circular decoder table entry";
inline constexpr const char* kPrematureEnd = "Premature end of data";
inline constexpr const char* kColorTableOverflow = "Color table overflow";
inline constexpr const char* kInvalidColorIndex = "Invalid color index";
inline constexpr const char* kColorNotInTable = "Color not in color table";
inline constexpr const char* kInvalidPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* kImageEmpty = "Image is empty";
inline constexpr const char* kUnsupportedObject = "Object type not supported for operation";
inline constexpr const char* kOutOfMemoryDib = "Failed to allocate memory for GIF DIB";
inline constexpr const char* kUnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* kInvalidDimensions = "Invalid image dimensions";

// Warning texts (kPrematureEnd, kInvalidColorIndex, kColorNotInTable and
// kInvalidExtensionIntroducer are also warnings where the reader can go on).
inline constexpr const char* kUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* kInvalidTrailer = "Invalid Image trailer";
inline constexpr const char* kExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* kScreenWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* kScreenHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* kBitBufferUnderrun = "Decoder bit buffer under-run";

class GIFException : public Exception {
 public:
  explicit GIFException(const char* message) : Exception(message) {}
};

}  // namespace pixtrel::gif
