// The GIF optimize window's steps, free of widgets: trying the GIF defaults
// on a picture ("Convert": the result and its size) and saving it
// ("GIFSave": always GIF89a, optionally transparent).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/bitmap.h"
#include "gif/color_reduction.h"
#include "gif/gif_image.h"

namespace pixtrel::gif {

// The palette menu's items in the order "Convert" tests them, each with its
// reduction mode; none checked gives NoReduction.
inline constexpr ReductionMode kPaletteTestOrder[] = {Netscape216,        Monochrome,     Grayscale256,
                                                      WindowsGray4,       WindowsSystem20, WindowsHalftone256,
                                                      Optimized,          OptimizedWindows256};
// The dithering menu's items in the order "Convert" tests them; none
// checked leaves the dither mode as it was.
inline constexpr DitherMode kDitherTestOrder[] = {FloydSteinberg, Stucki, Sierra, JaJuNi, SteveArche, Burkes, Nearest};

// What "Convert" shows: the picture as the GIF has it and the GIF's size.
struct GifTrial {
  Bitmap picture;
  std::size_t bytes = 0;
};

// A GIF image made from the picture with the settings (one frame, no merged
// tables, no graphic control extension), written to memory. The progress
// callback sees the reduction and the writing and ends at 0. Throws the
// GIF codec's errors ("Invalid image dimensions" for an empty picture).
GifTrial TryGifSettings(const Bitmap& picture, const GifSettings& settings, const ProgressCallback& progress = {});

// The bytes "GIFSave" writes: the image "Convert" makes, plus a graphic
// control extension in every case (so GIF89a); with transparent, marking the
// index of the frame's bottom-left pixel transparent.
std::vector<std::uint8_t> OptimizedGifBytes(const Bitmap& picture, const GifSettings& settings, bool transparent);

// Writes OptimizedGifBytes to path, whatever its extension, atomically.
void SaveOptimizedGif(const std::string& path, const Bitmap& picture, const GifSettings& settings, bool transparent);

// The note shown before "W&indows halftone (256 colors)" is checked, for a
// display of bitsPerPixel x planes bits; nothing at 8 bits or fewer. Depths
// of 64 bits or more name 2^63, the largest count the text can hold.
std::optional<std::string> HalftoneWarning(int displayBits);

}  // namespace pixtrel::gif
