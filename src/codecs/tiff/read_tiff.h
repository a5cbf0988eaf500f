// The simple ".TIF" reader: uncompressed bilevel, 4- and 8-bit greyscale,
// palette-colour and 8-bit RGB images stored in strips. Problems are shown
// as plain messages (tiff_errors.h) through the interaction given and the
// target stays as it was; only an image wider or taller than 65535 pixels
// (EImageTooLarge) and a file with more than 256 directories
// (ETiffTooManyDirectories) raise.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/bitmap.h"
#include "core/interaction.h"

namespace pixtrel {

// Reads every directory in file order; each one that decodes replaces the
// picture, so the last decodable directory ends in target. target is
// changed only once the whole file has been read. A directory of more than
// pixelLimit pixels (unless 0) raises EImageTooLarge.
void ReadTiffFile(const std::string& fileName, Bitmap& target, UserInteraction& interaction,
                  std::int64_t pixelLimit = kDefaultMaxPixels);

// The same over bytes in memory; fileName only names the file in messages.
void ReadTiffBytes(std::span<const std::uint8_t> bytes, const std::string& fileName, Bitmap& target,
                   UserInteraction& interaction, std::int64_t pixelLimit = kDefaultMaxPixels);

}  // namespace pixtrel
