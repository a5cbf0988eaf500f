// Finding a photo's EXIF, XMP and ICC profile in JPEG, PNG and TIFF files, and
// putting them into the bytes the JPEG and PNG writers made. Metadata is a
// passenger: a damaged block is left out, never an error, and the scanners
// never read outside the bytes they are given.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/image_metadata.h"

namespace pixtrel {

// APP1 "Exif", APP1 XMP and the APP2 "ICC_PROFILE" pieces of a JPEG file,
// up to the start of the image data.
ImageMetadata ReadJpegMetadata(std::span<const std::uint8_t> file);

// The eXIf chunk, the iTXt chunk "XML:com.adobe.xmp" and the iCCP profile
// (inflated) of a PNG file.
ImageMetadata ReadPngMetadata(std::span<const std::uint8_t> file);

// The ICC profile (tag 34675) and XMP packet (tag 700) of a TIFF file's
// first directory. TIFF keeps its EXIF fields in a directory of the file
// itself, which is not carried over.
ImageMetadata ReadTiffMetadata(std::span<const std::uint8_t> file);

// A JPEG file with metadata added after its SOI and any JFIF segment: EXIF
// and XMP as APP1 segments, the profile as APP2 "ICC_PROFILE" pieces. A
// block too large for one segment (EXIF and XMP over 64 KB) is left out.
std::vector<std::uint8_t> EmbedJpegMetadata(std::span<const std::uint8_t> jpeg, const ImageMetadata& metadata);

// A PNG file with iCCP, eXIf and an iTXt "XML:com.adobe.xmp" chunk added
// after its IHDR.
std::vector<std::uint8_t> EmbedPngMetadata(std::span<const std::uint8_t> png, const ImageMetadata& metadata);

}  // namespace pixtrel
