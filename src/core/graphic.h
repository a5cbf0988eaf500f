// The base of every image kind: bitmaps, icons, metafiles and the codec images.
#pragma once

#include <cstdint>
#include <string>

#include "core/byte_reader.h"

namespace pixtrel {

class Bitmap;
class Canvas;
class Stream;
struct Rect;

class Graphic {
 public:
  virtual ~Graphic() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }

  virtual void LoadFromStream(Stream& stream) = 0;
  // Kinds that cannot be written throw EInvalidGraphicOperation.
  virtual void SaveToStream(Stream& stream) const;

  // Reads the whole file through a FileStream.
  virtual void LoadFromFile(const std::string& path);
  // Writes atomically: an existing file is replaced only by a complete one.
  virtual void SaveToFile(const std::string& path) const;

  // The decoded picture at its own size, as a bitmap (what Bitmap::Assign
  // of this graphic yields).
  virtual void AssignTo(Bitmap& target) const = 0;

  // Draws the picture into rect of the canvas, stretched to it. Kinds with
  // transparent pixels leave those pixels of the canvas as they were.
  virtual void Draw(Canvas& canvas, const Rect& rect) const;

  // The most pixels a read may give this graphic (0: no limit but the
  // bitmap's own): a file whose header asks for more fails before its
  // pixels are allocated. Set by whoever reads, from the run's settings.
  std::int64_t PixelLimit() const { return pixelLimit_; }
  void SetPixelLimit(std::int64_t limit) { pixelLimit_ = limit; }

 private:
  std::int64_t pixelLimit_ = kDefaultMaxPixels;
};

}  // namespace pixtrel
