// The GIF codec's errors and warnings. Fatal problems raise GIFException with
// one of the fixed texts below; non-fatal ones go to the image's warning
// callback with their text and reading carries on.
#pragma once

#include <string>

#include "core/error_table.h"
#include "core/errors.h"

namespace pixtrel::gif {

// Every failure of the codec with its fixed text: the one table the
// exceptions, the warnings and the tests take their texts from. The code of
// a failure is "gif." and its name.
#define PIXTREL_GIF_ERRORS(X)                                                               \
  /* Fatal. */                                                                              \
  X(InvalidSignature, "Invalid GIF signature")                                              \
  X(UnsupportedVersion, "Unsupported GIF version")                                          \
  X(UnknownExtension, "Unknown extension type")                                             \
  X(InvalidExtensionIntroducer, "Invalid extension introducer")                             \
  X(ExtensionMismatch, "Internal error: Extension Instance does not match Extension Label") \
  X(UnsupportedAppBlockSize, "Unsupported Application Extension block size")                \
  X(InvalidData, "Invalid GIF data")                                                        \
  X(CircularTable, "Circular decoder table entry")                                          \
  X(PrematureEnd, "Premature end of data")                                                  \
  X(ColorTableOverflow, "Color table overflow")                                             \
  X(InvalidColorIndex, "Invalid color index")                                               \
  X(ColorNotInTable, "Color not in color table")                                            \
  X(InvalidPixelCoordinates, "Invalid pixel coordinates")                                   \
  X(ImageEmpty, "Image is empty")                                                           \
  X(UnsupportedObject, "Object type not supported for operation")                           \
  X(OutOfMemoryDib, "Failed to allocate memory for GIF DIB")                                \
  X(UnsupportedPixelFormat, "Unsupported PixelFormat")                                      \
  X(InvalidDimensions, "Invalid image dimensions")                                          \
  /* Warnings only (PrematureEnd, InvalidColorIndex, ColorNotInTable and */                 \
  /* InvalidExtensionIntroducer are also warnings where the reader can go on). */           \
  X(UnknownBlockType, "Unknown GIF block type")                                             \
  X(InvalidTrailer, "Invalid Image trailer")                                                \
  X(ExceedsScreen, "Image exceeds Logical Screen size")                                     \
  X(ScreenWidthTooSmall, "Image width too small for contained frames")                      \
  X(ScreenHeightTooSmall, "Image height too small for contained frames")                    \
  X(BitBufferUnderrun, "Decoder bit buffer under-run")

// The fixed text of a failure (ErrorText) and its code (ErrorCode).
PIXTREL_DECLARE_ERRORS(GifError, PIXTREL_GIF_ERRORS)

class GIFException : public CodedError<GifError> {
 public:
  using CodedError::CodedError;
};

}  // namespace pixtrel::gif
