// The GIF save and open sequences as whole operations, for the ".GIF" rows of
// the open and save tables and for the encrypted container, which enciphers
// exactly the bytes a plain GIF save writes and decodes deciphered bytes the
// way a plain GIF open does.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "gif/gif_image.h"

namespace pixtrel {
class Stream;
}

namespace pixtrel::gif {

// The sequence of a GIF save: a GIFImage taking the GIF defaults `settings`
// (reduction mode, dither mode, reduction bits) makes one frame from the
// bitmap, MergeColorTables leaves a single global table sorted by use, and
// with `transparent` (the "Transparent GIF" option) the frame gets a graphic
// control extension marking the index of its bottom-left pixel transparent.
// The bitmap is not changed. Throws GIFException ("Invalid image dimensions"
// for an empty bitmap, "Color table overflow" without reduction past 256
// colours) or EWriteError from the stream.
void EncodeBitmapAsGif(const Bitmap& bitmap, const GifSettings& settings, bool transparent, Stream& stream);
// The same bytes in memory.
std::vector<std::uint8_t> EncodeBitmapAsGifBytes(const Bitmap& bitmap, const GifSettings& settings, bool transparent);

// The sequence of a GIF open: the whole GIF is read (every frame and
// extension; damage that lets reading go on is only a warning) and target
// receives the first frame as GIFImage::AssignTo gives it. On any failure
// (GIFException, EImageTooLarge) target keeps what it held.
void DecodeGifBytes(std::span<const std::uint8_t> bytes, Bitmap& target);

// A GIF save to a file, written atomically (the ".GIF" save row).
void SaveGifFile(const std::string& path, const Bitmap& bitmap, const GifSettings& settings, bool transparent);

}  // namespace pixtrel::gif
