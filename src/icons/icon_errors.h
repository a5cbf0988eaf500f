// The icon errors: the library files' EICLReadError, the ICO reader's
// EIconInvalid and the image list's limit, all with their fixed texts from
// the one table below.
#pragma once

#include <string>

#include "core/error_table.h"
#include "core/errors.h"

namespace pixtrel::icons {

// Each failure with its fixed text; the code is "icon." and the name.
#define PIXTREL_ICON_ERRORS(X)                                                    \
  /* EICLReadError: reading a 16-bit library. */                                  \
  X(NotValidIcl, "Not a valid ICL File")                                          \
  X(InvalidOffset, "Invalid Windows 16 Offset")                                   \
  X(InvalidHeader, "Invalid Windows 16 Header")                                   \
  X(NoResources, "No Resources in file")                                          \
  X(NoNamesTable, "Names Table not found")                                        \
  X(ResourceTableError, "ResourceTable has an Error")                             \
  X(IconResourceNotFound, "Icon Resource Not Found")                              \
  /* EICLReadError: writing one. */                                               \
  X(NoIcons, "Unable to write Iconlibrary with no icons")                         \
  X(TooManyIcons, "Iconlibraries with more than 32767 are not possible")          \
  X(TooManyImages, "Iconlibraries with more than 32767 images are not possible")  \
  /* EIconInvalid, and EInvalidGraphic for image bits that describe no bitmap. */ \
  X(IconInvalid, "Icon image is not valid")                                       \
  X(BitmapInvalid, "Bitmap image is not valid")                                   \
  /* EIconListFull. */                                                            \
  X(IconListFull, "An icon holds at most 65535 images")

// The fixed text of a failure (ErrorText) and its code (ErrorCode).
PIXTREL_DECLARE_ERRORS(IconError, PIXTREL_ICON_ERRORS)

// A library file could not be read, or a library cannot be written.
class EICLReadError : public CodedError<IconError> {
 public:
  using CodedError::CodedError;
};

// An ICO file that does not hold one readable picture.
class EIconInvalid : public EInvalidGraphic {
 public:
  EIconInvalid() : EInvalidGraphic(ErrorCode(IconError::IconInvalid), ErrorText(IconError::IconInvalid)) {}
};

// Image bits that describe no bitmap (a short header, an unknown depth or
// compression, rows beyond the data): the general "Bitmap image is not valid".
inline EInvalidGraphic InvalidIconBitmap() {
  return EInvalidGraphic(ErrorCode(IconError::BitmapInvalid), ErrorText(IconError::BitmapInvalid));
}

class EIconListFull : public Exception {
 public:
  EIconListFull() : Exception(ErrorCode(IconError::IconListFull), ErrorText(IconError::IconListFull)) {}
};

}  // namespace pixtrel::icons
