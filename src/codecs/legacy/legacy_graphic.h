// The base of the read-only legacy formats (PCX, Photo CD, Photoshop, Paint
// Shop Pro, portable maps, Dr. Halo, SGI, and the EPS/TIFF decoder built on
// them): a Bitmap that fills its own pixels when it reads a stream.
//
// A format's LoadFromStream calls BeginRead (which records where the image
// starts, clears the properties and gives a fresh colour manager), reads its
// header into the ImageProperties record, configures the colour manager,
// allocates the picture with AllocatePicture and converts row by row. Every
// offset inside a file is relative to BasePosition(). A reader that throws
// leaves its graphic as it was before the read only in the sense that the
// caller must not use it: the load dispatch assigns a graphic only after a
// successful read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/legacy/color_manager.h"
#include "codecs/legacy/legacy_errors.h"
#include "core/bitmap.h"
#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {

// Image options (a set: combine with |).
enum ImageOption : unsigned {
  ioTiled = 1u << 0,
  ioBigEndian = 1u << 1,
  ioMinIsWhite = 1u << 2,
  ioReversed = 1u << 3,  // bit order within bytes reversed
};
using ImageOptions = unsigned;

enum CompressionType {
  ctUnknown,
  ctNone,
  ctRLE,  // a format's own run-length scheme
  ctPackedBits,
  ctLZ77,  // zlib deflate
  ctJPEG,
  ctLZW,
  ctCCITT,
  ctThunderscan,
};

// What a format's header reader learns before any pixel is decoded.
struct ImageProperties {
  ImageOptions options = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  ColorScheme colorScheme = csUnknown;
  int bitsPerSample = 0;
  int samplesPerPixel = 0;
  int bitsPerPixel = 0;
  CompressionType compression = ctUnknown;
  double xResolution = 0;
  double yResolution = 0;
  // Format-specific fields.
  int version = 0;             // PCX, PSD, PSP major version
  int channels = 0;            // PSD, SGI, PSP: planes stored per pixel
  int rotation = 0;            // PCD rotation attribute (0..3)
  int paletteInfo = 0;         // PCX: 2 is greyscale
  int bytesPerLine = 0;        // PCX: bytes per plane row
  bool greyscale = false;      // PSP greyscale flag
  std::uint32_t rowBytes = 0;  // bytes per stored row (one plane)
};

class LegacyGraphic : public Bitmap {
 public:
  LegacyGraphic() = default;

  void LoadFromStream(Stream& stream) override = 0;
  // Reads the bytes as a stream (tests and fuzzing).
  void LoadFromBytes(std::span<const std::uint8_t> bytes);

  const pixtrel::ImageProperties& ImageProperties() const { return properties_; }
  pixtrel::ColorManager& ColorManager() { return colorManager_; }
  std::int64_t BasePosition() const { return basePosition_; }

 protected:
  // Records the stream position as the image start, clears the properties
  // and the picture, and gives a fresh colour manager.
  void BeginRead(Stream& stream);
  // Everything from the image start to the end of the stream.
  std::vector<std::uint8_t> ReadImageBytes(Stream& stream);
  // Checks the size against the limits (EImageTooLarge) and makes the
  // picture width x height in format, its pixels zeroed.
  void AllocatePicture(std::int64_t width, std::int64_t height, pixtrel::PixelFormat format);
  // Fails with "Stream read error" unless packed bytes at a ratio of at most
  // expansion : 1 can fill needed bytes, so an absurd header cannot make a
  // reader allocate far more than its file can describe.
  static void CheckExpansion(std::size_t packed, std::uint64_t needed, std::uint64_t expansion);

  pixtrel::ImageProperties properties_;
  pixtrel::ColorManager colorManager_;
  std::int64_t basePosition_ = 0;
};

}  // namespace pixtrel
