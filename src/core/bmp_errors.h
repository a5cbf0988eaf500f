// The BMP codec's failures. Each has its code "bmp.<Name>"; the texts are the
// two the bitmap has always reported: a damaged file is "Bitmap image is not
// valid" (EInvalidGraphic), a bitmap too big for the file's 32-bit sizes
// "Image is too large" (EImageTooLarge). A header asking for more pixels than
// the system holds fails earlier with the general "core.ImageTooLarge".
#pragma once

#include <cstddef>

namespace pixtrel {

enum class BmpError {
  NotABitmap,              // shorter than a file header, or no "BM"
  BadHeaderSize,           // an info header size of no known generation
  HeaderCutOff,            // the file ends inside the info header
  BadPlaneCount,           // planes other than 1
  NegativeWidth,           // a width below zero
  UnsupportedCompression,  // JPEG, PNG, OS/2 Huffman and unknown kinds
  BadBitCount,             // a bit count the compression does not take
  TopDownRle,              // run-length data is bottom-up by definition
  MasksCutOff,             // the file ends inside the bit-field masks
  PaletteCutOff,           // the file ends inside the palette
  NoPixelData,             // not a single byte of pixels
  PixelDataTooShort,       // less than half of the uncompressed pixels
  FileTooLarge,            // writing: more than 4 GB of file
};

struct BmpErrorRow {
  BmpError error;
  const char* code;
  const char* text;
};

inline constexpr const char* kBmpInvalidText = "Bitmap image is not valid";
inline constexpr const char* kBmpTooLargeText = "Image is too large";

// One row per failure, in the order of the enum.
inline constexpr BmpErrorRow kBmpErrors[] = {
    {BmpError::NotABitmap, "bmp.NotABitmap", kBmpInvalidText},
    {BmpError::BadHeaderSize, "bmp.BadHeaderSize", kBmpInvalidText},
    {BmpError::HeaderCutOff, "bmp.HeaderCutOff", kBmpInvalidText},
    {BmpError::BadPlaneCount, "bmp.BadPlaneCount", kBmpInvalidText},
    {BmpError::NegativeWidth, "bmp.NegativeWidth", kBmpInvalidText},
    {BmpError::UnsupportedCompression, "bmp.UnsupportedCompression", kBmpInvalidText},
    {BmpError::BadBitCount, "bmp.BadBitCount", kBmpInvalidText},
    {BmpError::TopDownRle, "bmp.TopDownRle", kBmpInvalidText},
    {BmpError::MasksCutOff, "bmp.MasksCutOff", kBmpInvalidText},
    {BmpError::PaletteCutOff, "bmp.PaletteCutOff", kBmpInvalidText},
    {BmpError::NoPixelData, "bmp.NoPixelData", kBmpInvalidText},
    {BmpError::PixelDataTooShort, "bmp.PixelDataTooShort", kBmpInvalidText},
    {BmpError::FileTooLarge, "bmp.FileTooLarge", kBmpTooLargeText},
};

constexpr const BmpErrorRow& BmpErrorInfo(BmpError error) { return kBmpErrors[static_cast<std::size_t>(error)]; }

// Throws the failure's exception: EImageTooLarge for FileTooLarge,
// EInvalidGraphic for the others.
[[noreturn]] void ThrowBmpError(BmpError error);

}  // namespace pixtrel
