// Truevision Targa images: reading the uncompressed and run-length kinds
// (colour-mapped, true colour at 16, 24 and 32 bits, black and white) and
// writing uncompressed 24-bit true colour, rows from the bottom up.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/graphic.h"

namespace pixtrel {

enum TargaType {
  ttNoImageData,
  ttColorMapedImage,
  ttTrueColorImage,
  ttBlackAndWhiteImage,
  ttRLEColorMapedImage,
  ttRLETrueColorImage,
  ttRLEBlackAndWhiteImage,
};

enum TargaColorDepthType { cd8bit, cd16bit, cd24bit, cd32bit };

// The 18-byte file header, as the last file read gave it.
struct TargaHeader {
  std::uint8_t idLength = 0;
  std::uint8_t colorMapType = 0;
  std::uint8_t imageType = 0;
  std::uint16_t colorMapFirstIndex = 0;
  std::uint16_t colorMapLength = 0;
  std::uint8_t colorMapEntrySize = 0;
  std::uint16_t xOrigin = 0;
  std::uint16_t yOrigin = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t pixelDepth = 0;
  std::uint8_t descriptor = 0;

  int AlphaBits() const { return descriptor & 0x0F; }
  bool TopDown() const { return (descriptor & 0x20) != 0; }
  bool RightToLeft() const { return (descriptor & 0x10) != 0; }
};

struct TargaColor {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
};

class Targa : public Graphic {
 public:
  static constexpr std::size_t kHeaderSize = 18;

  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }

  // Reads a file. Only a header cut short raises (EReadError); any other
  // damage (a truncated file, run-length packets crossing rows, an oversized
  // or odd colour map) decodes what the bytes give and leaves the rest of
  // the picture at its fill. Image types and depths outside the readable
  // set leave the whole picture at its fill.
  void LoadFromStream(Stream& stream) override;
  void LoadFromBytes(std::span<const std::uint8_t> bytes);
  // Reads the file in place where it can be mapped; EFOpenError when it
  // cannot be opened.
  void LoadFromFile(const std::string& path) override;

  // An uncompressed 24-bit true-colour file, bottom row first.
  void SaveToStream(Stream& stream) const override;

  // The colour bitmap takes a copy of source. pf24bit and pf32bit copies are
  // kept as they are (both read the same to the writer); others become pf32bit.
  void Assign(const Bitmap& source);

  // The colour bitmap as it is (pf32bit after a load).
  void AssignTo(Bitmap& target) const override;
  const Bitmap& ColorBitmap() const { return bitmap_; }
  // Moves the colour bitmap out, leaving this image empty.
  Bitmap TakeBitmap();
  // The alpha of a 32-bit image as a grey pf32bit picture; for other images
  // a picture of the same size at its fill.
  const Bitmap& AlphaBitmap() const;

  const TargaHeader& Header() const { return header_; }
  TargaType Kind() const { return kind_; }
  TargaColorDepthType Depth() const { return depth_; }
  // Up to 256 entries; pixel values index it from entry 0.
  const std::array<TargaColor, 256>& ColorMap() const { return colorMap_; }

 private:
  void Decode(std::span<const std::uint8_t> data);

  Bitmap bitmap_;
  mutable Bitmap alpha_;
  mutable bool alphaSized_ = false;
  TargaHeader header_;
  TargaType kind_ = ttNoImageData;
  TargaColorDepthType depth_ = cd8bit;
  std::array<TargaColor, 256> colorMap_{};
};

// Writes source as the Targa file SaveToStream writes, straight from its rows
// (pf24bit and pf32bit as they are, other formats through a pf32bit copy).
void WriteTargaStream(Stream& stream, const Bitmap& source);
void WriteTargaFile(const std::string& fileName, const Bitmap& source);

}  // namespace pixtrel
