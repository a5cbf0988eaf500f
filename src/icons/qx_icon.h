// The icon component: a graphic becomes a 32 x 32 icon whose transparency
// comes from the colour of its bottom-left pixel, written as a one-image ICO
// in 16 or 256 colours; and the ICO row of the save table.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "core/interaction.h"

namespace pixtrel {

class Graphic;
class Stream;
class MemoryStream;

namespace icons {

// An icon as its two bitmaps: colour (pf24bit, transparent pixels black) and
// AND mask (pf1bit, white = transparent).
struct MaskedIcon {
  Bitmap color;
  Bitmap mask;
};

// The guard colour that parks real black while transparency is worked out.
constexpr Color kGuardColor = 0xF8F9FA;
constexpr int kStandardIconSize = 32;

class QxIcon {
 public:
  MaskedIcon CreateIconFromGraphic(const Graphic& graphic) const;
  void SaveIcon16(const Graphic& graphic, const std::string& fileName) const;
  void SaveIcon256(const Graphic& graphic, const std::string& fileName) const;
  // 256 colours into the stream from position 0.
  void BitmapToIconStream(const Bitmap& bitmap, MemoryStream& stream) const;
};

// A one-image ICO of the icon: colours 16 or 256.
void WriteIcon(Stream& stream, const MaskedIcon& icon, int colors);

}  // namespace icons
}  // namespace pixtrel
