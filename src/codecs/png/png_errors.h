// The PNG codec's errors. Every failure has its own class with a fixed text
// from the one table below; EPngError is the base and also stands for the
// codec's misuse errors, which share that class but keep codes of their own.
#pragma once

#include <string>

#include "core/error_table.h"
#include "core/errors.h"

namespace pixtrel {

// Each failure with its fixed text. The code is "png." and the name, which
// for the failures of a class of their own is the class's name.
#define PIXTREL_PNG_ERRORS(X)                                                                                       \
  X(EPNGInvalidFileHeader,                                                                                          \
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an invalid "      \
    "header. This file may be corruped, try obtaining it again.")                                                   \
  X(EPngUnexpectedEnd,                                                                                              \
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the "       \
    "file.")                                                                                                        \
  X(EPNGIHDRNotFirst,                                                                                               \
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk is not "      \
    "the first)")                                                                                                   \
  X(EPngInvalidCRC,                                                                                                 \
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc "        \
    "error)")                                                                                                       \
  X(EPngInvalidIHDR,                                                                                                \
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data (ihdr) "     \
    "might be corrupted")                                                                                           \
  X(EPNGSizeExceeds,                                                                                                \
    "This \"Portable Network Graphics\" image is not supported because either it's width or height exceeds the "    \
    "maximum size, which is 65535 pixels length.")                                                                  \
  X(EPNGUnknownCompression,                                                                                         \
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which could not be "    \
    "decoded.")                                                                                                     \
  X(EPNGUnknownInterlace,                                                                                           \
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be decoded.")        \
  X(EPNGUnknownCriticalChunk,                                                                                       \
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not be decoded.")       \
  X(EPNGInvalidPalette, "The \"Portable Network Graphics\" image contains an invalid palette.")                     \
  X(EPNGMissingMultipleIDAT,                                                                                        \
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.")                      \
  X(EPNGNoImageData, "This \"Portable Network Graphics\" image contains no data.")                                  \
  X(EPNGHeaderNotPresent, "This operation is not valid because the current image contains no valid header.")        \
  /* Followed by the decompressor's own text, ZlibResultText. */                                                    \
  X(EPNGZLIBError, "Could not decompress the image because it contains invalid compressed data.\r\n Description: ") \
  /* Raised as EPngError itself. */                                                                                 \
  X(CannotResize,                                                                                                   \
    "The \"Portable Network Graphics\" image can not be resize by changing width and height properties. Try "       \
    "assigning the image from a bitmap.")                                                                           \
  X(NoPaletteEntry, "There is no such palette entry.")                                                              \
  X(ExistentChunk, "The program tried to add a existent critical chunk to the current image which is not allowed.") \
  X(InvalidImage, "It's not allowed to add a new chunk because the current image is invalid.")

// The fixed text of a failure (ErrorText) and its code (ErrorCode).
PIXTREL_DECLARE_ERRORS(PngError, PIXTREL_PNG_ERRORS)

class EPngError : public Exception {
 public:
  // One of the misuse errors (CannotResize, NoPaletteEntry, ExistentChunk,
  // InvalidImage).
  explicit EPngError(PngError error) : EPngError(error, ErrorText(error)) {}
  PngError Error() const { return error_; }

 protected:
  EPngError(PngError error, std::string message) : Exception(ErrorCode(error), std::move(message)), error_(error) {}

 private:
  PngError error_;
};

#define PIXTREL_PNG_ERROR_CLASS(Name)     \
  class Name : public EPngError {         \
   public:                                \
    Name() : EPngError(PngError::Name) {} \
  };

PIXTREL_PNG_ERROR_CLASS(EPNGInvalidFileHeader)
PIXTREL_PNG_ERROR_CLASS(EPngUnexpectedEnd)
PIXTREL_PNG_ERROR_CLASS(EPNGIHDRNotFirst)
PIXTREL_PNG_ERROR_CLASS(EPngInvalidCRC)
PIXTREL_PNG_ERROR_CLASS(EPngInvalidIHDR)
PIXTREL_PNG_ERROR_CLASS(EPNGSizeExceeds)
PIXTREL_PNG_ERROR_CLASS(EPNGUnknownCompression)
PIXTREL_PNG_ERROR_CLASS(EPNGUnknownInterlace)
PIXTREL_PNG_ERROR_CLASS(EPNGUnknownCriticalChunk)
PIXTREL_PNG_ERROR_CLASS(EPNGInvalidPalette)
PIXTREL_PNG_ERROR_CLASS(EPNGMissingMultipleIDAT)
PIXTREL_PNG_ERROR_CLASS(EPNGNoImageData)
PIXTREL_PNG_ERROR_CLASS(EPNGHeaderNotPresent)

#undef PIXTREL_PNG_ERROR_CLASS

// The decompressor failed: the table's text followed by zlib's own
// ("data error (-3)"); zlib's result code is kept in ZlibCode().
class EPNGZLIBError : public EPngError {
 public:
  explicit EPNGZLIBError(int zlibCode);
  int ZlibCode() const { return zlibCode_; }

 private:
  int zlibCode_;
};

// zlib's result code as the codec reports it: "data error (-3)".
std::string ZlibResultText(int code);

}  // namespace pixtrel
