// Windows metafiles: the 16-bit kind (WMF, with or without the placeable
// header) and the enhanced kind (EMF). A Metafile holds the file's records
// and plays them onto a bitmap when it is drawn, at its own size or
// stretched; pixels the records do not paint keep what the bitmap held.
//
// Size: a placeable WMF gives its bounding box in units per inch, taken at
// 96 pixels per inch; a WMF without that header takes the window extent of
// its first SetWindowExt record, one logical unit to the pixel. An EMF gives
// its picture frame in hundredths of a millimetre, taken at 96 pixels per
// inch (its bounds in device pixels when the frame is empty).
//
// Loading walks every record once without drawing: a bad header, a record
// that runs past the end of the file or whose contents do not fit in the
// record, and a size beyond the system's limit fail the load. Records the
// player does not know are skipped.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codecs/metafile/metafile_errors.h"
#include "core/graphic.h"

namespace pixtrel {

// What loading learns from the headers: the kind, the size in pixels, where
// the records begin and the picture frame in the records' device space
// (WMF: logical units), which drawing maps onto the destination rectangle.
struct MetafileLayout {
  struct Frame {
    double left = 0, top = 0, width = 1, height = 1;
  };
  bool enhanced = false;
  int width = 0;
  int height = 0;
  std::size_t recordsStart = 0;  // first record after the headers
  std::size_t objectCount = 0;   // WMF object table size
  Frame frame;
};

// Loading and drawing go through the metafile engine
// (codecs/metafile/metafile_engine.h), which plays the records with Qt's
// painter.
class Metafile : public Graphic {
 public:
  int Width() const override { return layout_.width; }
  int Height() const override { return layout_.height; }
  // True for an EMF, false for a WMF. Decided by the file's contents: the
  // two kinds share one class.
  bool Enhanced() const { return layout_.enhanced; }

  void LoadFromStream(Stream& stream) override;
  void LoadFromBytes(std::vector<std::uint8_t> bytes);

  // A pf24bit bitmap of the metafile's size, white where nothing is drawn.
  void AssignTo(Bitmap& target) const override;
  // Plays the records stretched to rect. The canvas's clip region is not
  // applied; the metafile's own clipping is.
  void Draw(Canvas& canvas, const Rect& rect) const override;

 private:
  std::vector<std::uint8_t> bytes_;
  MetafileLayout layout_;
};

}  // namespace pixtrel
