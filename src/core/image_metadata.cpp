#include "core/image_metadata.h"

#include <algorithm>
#include <cstring>

namespace pixtrel {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// Byte order of a TIFF structure: true for "MM" (big-endian).
bool BigEndian(std::span<const std::uint8_t> tiff, bool& valid) {
  valid = tiff.size() >= 8 && ((tiff[0] == 'I' && tiff[1] == 'I' && tiff[2] == 42 && tiff[3] == 0) ||
                               (tiff[0] == 'M' && tiff[1] == 'M' && tiff[2] == 0 && tiff[3] == 42));
  return valid && tiff[0] == 'M';
}

std::uint32_t Read(std::span<const std::uint8_t> bytes, std::size_t at, int size, bool big) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) {
    const std::uint32_t byte = bytes[at + static_cast<std::size_t>(i)];
    value |= big ? byte << (8 * (size - 1 - i)) : byte << (8 * i);
  }
  return value;
}

// The offset of the Orientation entry's value in the first directory, or 0.
std::size_t OrientationValueAt(std::span<const std::uint8_t> tiff, bool& big) {
  bool valid = false;
  big = BigEndian(tiff, valid);
  if (!valid) return 0;
  const std::size_t ifd = Read(tiff, 4, 4, big);
  if (ifd < 8 || ifd > tiff.size() - 2) return 0;
  const std::size_t count = Read(tiff, ifd, 2, big);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + 12 * i;
    if (entry + 12 > tiff.size()) return 0;
    if (Read(tiff, entry, 2, big) != kOrientationTag) continue;
    if (Read(tiff, entry + 2, 2, big) != kShortType || Read(tiff, entry + 4, 4, big) < 1) return 0;
    return entry + 8;
  }
  return 0;
}

}  // namespace

std::vector<std::uint8_t> ExifFromTiffHeader(std::span<const std::uint8_t> block) {
  // "Exif\0\0" before the header in JPEG and WebP files; HEIF puts a 4-byte
  // offset first. The header is looked for within the first few bytes.
  const std::size_t limit = std::min<std::size_t>(block.size(), 16);
  for (std::size_t at = 0; at + 8 <= block.size() && at < limit; ++at) {
    bool valid = false;
    BigEndian(block.subspan(at), valid);
    if (valid) return {block.begin() + static_cast<std::ptrdiff_t>(at), block.end()};
  }
  return {};
}

int TiffOrientation(std::span<const std::uint8_t> tiff) {
  bool big = false;
  const std::size_t at = OrientationValueAt(tiff, big);
  if (at == 0) return 0;
  const int value = static_cast<int>(Read(tiff, at, 2, big));
  return value >= 1 && value <= 8 ? value : 0;
}

bool SetTiffOrientation(std::span<std::uint8_t> tiff, int value) {
  bool big = false;
  const std::size_t at = OrientationValueAt(tiff, big);
  if (at == 0) return false;
  tiff[at] = static_cast<std::uint8_t>(big ? 0 : value);
  tiff[at + 1] = static_cast<std::uint8_t>(big ? value : 0);
  return true;
}

}  // namespace pixtrel
