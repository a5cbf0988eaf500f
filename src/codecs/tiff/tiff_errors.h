// The messages of the ".TIF" reader, each with a stable code ("tiff.<Name>")
// and a fixed text, kept in one table (tiff_errors.cpp). The reader shows
// them through the interaction seam instead of raising; only the directory
// limit raises.
#pragma once

#include <string>

#include "core/errors.h"

namespace pixtrel {

enum class TiffMessage {
  ImageWidth,             // "Error reading tag Image Width"
  ImageHeight,            // "Error reading tag Image Height"
  Photometric,            // "Error reading tag Photometric interpretation"
  EvaluatingPhotometric,  // "Error evaluating Photometric interpretation: " and the value
  Compression,            // "Error reading tag Compression"
  BitsPerSample,          // "Error reading tag Bits Per Sample"
  GreyBits,               // "Error: Bits Per Sample not 4 or 8"
  RgbBits,                // "Error: Bits Per Sample (RGB) not 8"
  PaletteBits,            // "Error: Bits Per Sample (Palette) not 1, 4 or 8"
  ColorMap,               // "Error reading tag Color Table Offset"
  ImageData,              // "Error reading image data"
  OutOfMemory,            // "Out Of Memory "
  CompressedBilevel,      // "Cant read compressed bilevel image"
  CompressedGrey,         // "Cant read compressed Gray Scale Image"
  CompressedPalette,      // "Cant read compressed ColorPaletImage"
  CompressedRgb,          // "Cant read compressed RGB Full Color Image"
  NotValidTiff,           // "<" the file ">" " is not a valid TIFF file"
  TooManyDirectories,     // "TIFF file has too many image file directories"
};

// "tiff.ImageWidth".
std::string TiffMessageCode(TiffMessage message);
// The text; parameter is the value of EvaluatingPhotometric and the file of
// NotValidTiff, and unused by the others.
std::string TiffMessageText(TiffMessage message, const std::string& parameter = "");

// A file holding more image file directories than the reader follows.
class ETiffTooManyDirectories : public Exception {
 public:
  ETiffTooManyDirectories();
};

}  // namespace pixtrel
