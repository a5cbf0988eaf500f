// Opening and saving images by file extension. The format table in
// formats.cpp is the one place that knows the formats.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "core/image_metadata.h"
#include "core/interaction.h"
#include "gif/color_reduction.h"

namespace pixtrel {

// Everything a save reads besides the image: the program's settings at the
// moment of saving, passed down as a value. The run's session keeps the
// lasting ones; batch workers get copies.
struct SaveOptions {
  int jpegQuality = 50;          // the JPEG optimize window's quality slider
  gif::GifSettings gifDefaults;  // reduction, dither and bits of GIF saves
  bool gifTransparent = true;    // Options > "Transparent GIF"
  std::string pngText;           // the PNG text box: a PNG's "description"
  // The icon options window's choice: preselected when it is asked, then the
  // answer the ".ICO" writer uses.
  IconColors iconColors = IconColors::Colors256;
  // The password of an encrypted container, asked before the save; empty
  // abandons an encrypted save.
  std::string password;
  // WebP: lossless instead of lossy at jpegQuality (the save's options box,
  // pixtrel-cli --webp-lossless).
  bool webpLossless = false;
  // The EXIF, XMP and ICC profile written into targets that hold them (JPEG,
  // PNG, WebP, AVIF); empty unless "Keep Metadata" brought them from the
  // source. Every other format writes none.
  ImageMetadata metadata;
  // Threads a WebP or AVIF encode may use.
  int encodeThreads = 2;
};

// The choices that change what opening a file gives, all off by default: off,
// every reader delivers the picture as stored and nothing else.
struct LoadOptions {
  bool autoOrient = false;    // Options > "Apply EXIF Orientation", --auto-orient
  bool keepMetadata = false;  // Options > "Keep Metadata", --keep-metadata
  bool toSrgb = false;        // Options > "Convert to sRGB", --to-srgb

  // Whether a reader has to look for the metadata at all.
  bool NeedsMetadata() const { return autoOrient || keepMetadata || toSrgb; }
};

// What opening a file gave besides the pixels in the target.
struct LoadResult {
  std::string extension;  // the upper-cased extension compared with the table
  bool known = false;     // a reader took the file
  // What the PNG text box shows now: the text of a PNG's first tEXt chunk,
  // empty after any other open (the open always empties the box).
  std::string pngText;
  // With LoadOptions::keepMetadata, the EXIF, XMP and ICC profile of a source
  // that has them (the orientation reset to 1 when the picture was turned,
  // the profile left out when the pixels were converted to sRGB).
  ImageMetadata metadata;
};

// The upper-cased extension of a path's file name, from its last "." on and
// with the dot; empty when the name has none.
std::string ExtractExtension(const std::string& path);
std::string UpperCase(std::string text);

// Reads the file into target by the extension of its name; the contents are
// never sniffed. An unknown extension leaves target as it was. A reader that
// fails raises its error and target keeps its pixels. Messages and the
// password prompt of the encrypted containers go through interaction.
// Hiding the selection and showing the new picture are the caller's. A
// picture of more than maxPixels pixels (unless 0) fails with EImageTooLarge
// before its pixels are allocated.
LoadResult LoadImageFile(const std::string& path, Bitmap& target, UserInteraction& interaction,
                         std::int64_t maxPixels = kDefaultMaxPixels);
// The same with the opening options: a picture whose EXIF orientation (2 to
// 8) says it is turned opens upright with autoOrient; one with an RGB ICC
// profile opens converted to sRGB with toSrgb; keepMetadata returns the
// metadata in the result.
LoadResult LoadImageFile(const std::string& path, Bitmap& target, UserInteraction& interaction,
                         std::int64_t maxPixels, const LoadOptions& options);

enum class SaveOutcome {
  Written,        // the file was written
  Abandoned,      // the user declined a question or prompt; nothing written
  UnknownFormat,  // ext is in no row; nothing written
};

// What a save asked before anything is written.
struct SaveQuestions {
  bool proceed = true;        // false: the user abandoned the save
  bool resizeToIcon = false;  // the image must become 32 x 32 first
};

// Asks through interaction what a save in ext needs: for ".ICO" the icon
// options (preselecting options.iconColors) and, for an image that is not
// 32 x 32, "Icon must be 32x32. Resize now?"; for the encrypted containers
// the password. The answers go into options.
SaveQuestions AskSaveQuestions(const std::string& ext, const Bitmap& source, SaveOptions& options,
                               UserInteraction& interaction);

// Writes source in the format ext names (compared upper-cased); the path's
// own extension plays no part, and nothing is asked. ".ICO" writes the image
// reduced to options.iconColors; an encrypted format with an empty password
// is abandoned. Refreshing the file list afterwards is the caller's.
SaveOutcome SaveImageFile(const std::string& path, const Bitmap& source, const std::string& ext,
                          const SaveOptions& options);

// The depth an icon is saved in: pf4bit for 16 colours, pf8bit for 256.
PixelFormat IconPixelFormat(IconColors colors);

}  // namespace pixtrel
