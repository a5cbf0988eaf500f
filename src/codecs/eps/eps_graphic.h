// ".EPS": the TIFF preview of an Encapsulated PostScript file in its binary
// (DOS) form. The PostScript itself is never interpreted.
//
// The file starts with a 30-byte little-endian header: the magic C5 D0 D3 C6,
// then offset and length of the PostScript, of a metafile preview and of the
// TIFF preview, and a checksum that is not checked. The TIFF at its offset is
// decoded by TIFFGraphic with every offset in it relative to its own start.
#pragma once

#include "codecs/eps/tiff_graphic.h"

namespace pixtrel {

class EPSGraphic : public TIFFGraphic {
 public:
  // A wrong magic fails with "Cannot load image. Invalid or unexpected EPS
  // image format."; a file without a TIFF preview with the same message for
  // "TIF/TIFF".
  void LoadFromStream(Stream& stream) override;
};

}  // namespace pixtrel
