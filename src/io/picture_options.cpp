#include "io/picture_options.h"

#include <cstring>

#include "codecs/photo/photo_engine.h"

namespace pixtrel {

namespace {

// Where the pixel at (x, y) of the upright picture is in the stored one.
struct Source {
  int x, y;
};

Source Stored(int orientation, int x, int y, int width, int height) {
  // width and height are the stored picture's.
  switch (orientation) {
    case 2: return {width - 1 - x, y};
    case 3: return {width - 1 - x, height - 1 - y};
    case 4: return {x, height - 1 - y};
    case 5: return {y, x};
    case 6: return {y, height - 1 - x};
    case 7: return {width - 1 - y, height - 1 - x};
    case 8: return {width - 1 - y, x};
    default: return {x, y};
  }
}

}  // namespace

void ApplyOrientation(Bitmap& bitmap, int orientation) {
  if (orientation < 2 || orientation > 8 || bitmap.Empty()) return;
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const bool swaps = orientation >= 5;
  Bitmap turned = bitmap;  // format, palette and transparency settings
  turned.SetSize(swaps ? height : width, swaps ? width : height);
  const int bits = bitmap.BitCount();
  const std::size_t bytes = static_cast<std::size_t>(bits / 8);
  for (int y = 0; y < turned.Height(); ++y) {
    std::uint8_t* out = turned.ScanLine(y);
    for (int x = 0; x < turned.Width(); ++x) {
      const Source from = Stored(orientation, x, y, width, height);
      if (bits >= 8)
        std::memcpy(out + static_cast<std::size_t>(x) * bytes,
                    bitmap.ScanLine(from.y) + static_cast<std::size_t>(from.x) * bytes, bytes);
      else
        turned.SetPixelIndex(x, y, bitmap.PixelIndex(from.x, from.y));
    }
  }
  bitmap = std::move(turned);
}

bool ConvertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> icc) {
  // Nothing to convert: the colour engine is not needed (nor, in pixtrel-cli,
  // loaded).
  if (icc.empty() || bitmap.Empty()) return false;
  return PhotoCodecs().ConvertToSrgb(bitmap, icc);
}

}  // namespace pixtrel
