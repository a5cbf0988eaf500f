// The part of the metafile codec that needs Qt's painter: reading the
// headers and checking the records on loading (the check runs the players
// without drawing), and drawing.
//
// MetafileDrawing() is defined once per program, as CanvasDrawing() is (see
// core/canvas_engine.h): linked in, or loaded by pixtrel-cli on first use.
#pragma once

#include <cstdint>
#include <span>

#include "codecs/metafile/metafile.h"
#include "core/canvas.h"

namespace pixtrel {

class MetafileEngine {
 public:
  virtual ~MetafileEngine() = default;
  // The headers and every record checked; throws EInvalidMetafile, and the
  // image size errors for a picture beyond pixelLimit.
  virtual MetafileLayout Check(std::span<const std::uint8_t> data, std::int64_t pixelLimit) const = 0;
  // Plays the records stretched to rect on the canvas's bitmap.
  virtual void Draw(std::span<const std::uint8_t> data, const MetafileLayout& layout, Canvas& canvas,
                    const Rect& rect) const = 0;
};

const MetafileEngine& MetafileDrawing();

}  // namespace pixtrel
