// The seven read-only raster formats opened by extension. Each reads from
// the stream's current position, which is where its file starts, into its
// own picture; the load dispatch then assigns that picture to its target.
#pragma once

#include "codecs/legacy/legacy_graphic.h"

namespace pixtrel {

// ".PCX", ZSoft Paintbrush: 1, 2, 4 or 8 bits in one plane, four 1-bit
// planes (16 colours) or three 8-bit planes (true colour); run-length or
// raw. A wrong manufacturer byte leaves the picture empty without an error;
// any other plane and bit combination fails with "Invalid color format in PCX
// file.". Data shorter than the picture leaves the rest of it black.
class PCXGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

// ".PCD", Kodak Photo CD: the Base image (768 x 512) of an image pack, with
// its rotation attribute applied. A file that is not an image pack leaves the
// picture empty without an error; overview packs fail as not supported.
class PCDGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

// ".PSD", Photoshop: the merged image in bitmap, greyscale, duotone, indexed,
// RGB, multichannel, CMYK and Lab modes at 1 (bitmap mode), 8 or 16 bits per
// channel, raw or PackBits. Version 2 (large document) files and other
// compressions fail cleanly.
class PSDGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

// ".PSP", Paint Shop Pro (major version 3 and later): the first raster
// layer at 1, 4, 8 or 24 bits, uncompressed, run-length or LZ77. JPEG
// compression fails as not supported.
class PSPGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

// ".PPM": portable bitmaps, greymaps and pixmaps P1 to P6. The maximum value
// is read and ignored: samples are stored as they are, one byte each.
class PPMGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

// ".CUT", Dr. Halo: 8-bit run-length rows shown as greys (index i is grey
// i); the companion palette file is not read.
class CUTGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

// ".SGI": SGI images with 1, 3 or 4 channels of 8 or 16 bits, raw or
// run-length, rows stored bottom to top.
class SGIGraphic : public LegacyGraphic {
 public:
  void LoadFromStream(Stream& stream) override;
};

}  // namespace pixtrel
