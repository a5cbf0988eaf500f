// The PNG codec's errors. Every failure has its own class with a fixed text;
// EPngError is the base and also stands for the codec's misuse errors.
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel {

class EPngError : public Exception {
 public:
  explicit EPngError(std::string message) : Exception(std::move(message)) {}
};

#define PIXTREL_PNG_ERROR(Name, Text) \
  class Name : public EPngError {     \
   public:                            \
    Name() : EPngError(Text) {}       \
  };

PIXTREL_PNG_ERROR(EPNGInvalidFileHeader,
                  "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an "
                  "invalid header. This file may be corruped, try obtaining it again.")
PIXTREL_PNG_ERROR(EPngUnexpectedEnd,
                  "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end "
                  "of the file.")
PIXTREL_PNG_ERROR(EPNGIHDRNotFirst,
                  "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk "
                  "is not the first)")
PIXTREL_PNG_ERROR(EPngInvalidCRC,
                  "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data "
                  "(crc error)")
PIXTREL_PNG_ERROR(EPngInvalidIHDR,
                  "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data "
                  "(ihdr) might be corrupted")
PIXTREL_PNG_ERROR(EPNGSizeExceeds,
                  "This \"Portable Network Graphics\" image is not supported because either it's width or height "
                  "exceeds the maximum size, which is 65535 pixels length.")
PIXTREL_PNG_ERROR(EPNGUnknownCompression,
                  "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which "
                  "could not be decoded.")
PIXTREL_PNG_ERROR(EPNGUnknownInterlace,
                  "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be "
                  "decoded.")
PIXTREL_PNG_ERROR(EPNGUnknownCriticalChunk,
                  "This \"Portable Network Graphics\" image contains an unknown critical part which could not be "
                  "decoded.")
PIXTREL_PNG_ERROR(EPNGInvalidPalette, "The \"Portable Network Graphics\" image contains an invalid palette.")
PIXTREL_PNG_ERROR(EPNGMissingMultipleIDAT,
                  "This \"Portable Network Graphics\" image is invalid because it has missing image parts.")
PIXTREL_PNG_ERROR(EPNGNoImageData, "This \"Portable Network Graphics\" image contains no data.")
PIXTREL_PNG_ERROR(EPNGHeaderNotPresent,
                  "This operation is not valid because the current image contains no valid header.")

#undef PIXTREL_PNG_ERROR

// The decompressor failed; Code() is zlib's result code.
class EPNGZLIBError : public EPngError {
 public:
  explicit EPNGZLIBError(int code);
  int Code() const { return code_; }

 private:
  int code_;
};

// zlib's result code as the codec reports it: "data error (-3)".
std::string ZlibResultText(int code);

// The fixed texts of the misuse errors raised as EPngError itself.
extern const char* const kPngResizeText;
extern const char* const kPngNoPaletteEntryText;
extern const char* const kPngExistentChunkText;
extern const char* const kPngInvalidImageText;

}  // namespace pixtrel
