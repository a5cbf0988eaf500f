// The general TIFF decoder of the legacy family, used for the TIFF previews
// of EPS files. It is not the ".TIF" reader (codecs/tiff): it decodes more
// compressions and colour spaces and raises errors instead of showing
// messages.
//
// Only the first directory is decoded. Strips are uncompressed, PackBits,
// deflate, CCITT modified Huffman or one-dimensional Group 3, ThunderScan or
// JPEG; samples are interleaved grey, palette, RGB(A), CMYK, CIE L*a*b* or
// YCbCr at 1 to 16 bits, converted by the colour manager. A tiled image
// gives an empty picture without an error. Refused with "Cannot load image.
// ... not supported for TIF/TIFF files.": any other compression, separate
// sample planes, two-dimensional or uncompressed-mode Group 3, and horizontal
// differencing of samples that are not bytes. Offsets outside the data fail
// with "Stream read error in TIF/TIFF file.".
#pragma once

#include <cstdint>
#include <span>

#include "codecs/legacy/legacy_graphic.h"

namespace pixtrel {

// The format named in the TIFF decoder's messages.
inline constexpr const char* kTIFFFormat = "TIF/TIFF";

class TIFFGraphic : public LegacyGraphic {
 public:
  // Decodes the TIFF that starts at the stream's position.
  void LoadFromStream(Stream& stream) override;

 protected:
  // Decodes the TIFF held in tiff; every offset in it counts from its first
  // byte. BeginRead must have been called.
  void DecodeTIFF(std::span<const std::uint8_t> tiff);
};

}  // namespace pixtrel
