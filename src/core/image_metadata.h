// What a photo carries besides its pixels: the EXIF block, the XMP packet and
// the ICC colour profile, as raw bytes, so that a conversion can write them
// into the target unchanged. Readers fill it, writers that can hold it embed
// it, and nothing in between interprets it except the EXIF orientation.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pixtrel {

struct ImageMetadata {
  // The EXIF data from its TIFF header on ("II*\0" or "MM\0*"), without the
  // "Exif\0\0" that JPEG puts in front of it.
  std::vector<std::uint8_t> exif;
  std::string xmp;                // the XMP packet as stored
  std::vector<std::uint8_t> icc;  // the ICC profile as stored

  bool Empty() const { return exif.empty() && xmp.empty() && icc.empty(); }
};

// The EXIF data of a block that may still start with "Exif\0\0" (and, in
// HEIF, a 4-byte offset to the header): the part from the TIFF header on, or
// empty when no TIFF header is found in the first bytes.
std::vector<std::uint8_t> ExifFromTiffHeader(std::span<const std::uint8_t> block);

// The Orientation tag (0x0112) of the first image directory of a TIFF
// structure (EXIF data or a TIFF file): 1 to 8, or 0 when there is none or
// the data is damaged. Never reads outside the bytes.
int TiffOrientation(std::span<const std::uint8_t> tiff);

// Sets the Orientation tag of EXIF data in place to value; false when the
// data has no such tag (nothing is changed then).
bool SetTiffOrientation(std::span<std::uint8_t> tiff, int value);

}  // namespace pixtrel
