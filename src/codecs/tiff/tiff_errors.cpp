#include "codecs/tiff/tiff_errors.h"

#include <cstddef>
#include <iterator>

#include "core/error_table.h"

namespace pixtrel {

namespace {

// In the order of TiffMessage; "{}" stands for the parameter.
constexpr ErrorRow kMessages[] = {
    {"ImageWidth", "Error reading tag Image Width"},
    {"ImageHeight", "Error reading tag Image Height"},
    {"Photometric", "Error reading tag Photometric interpretation"},
    {"EvaluatingPhotometric", "Error evaluating Photometric interpretation: {}"},
    {"Compression", "Error reading tag Compression"},
    {"BitsPerSample", "Error reading tag Bits Per Sample"},
    {"GreyBits", "Error: Bits Per Sample not 4 or 8"},
    {"RgbBits", "Error: Bits Per Sample (RGB) not 8"},
    {"PaletteBits", "Error: Bits Per Sample (Palette) not 1, 4 or 8"},
    {"ColorMap", "Error reading tag Color Table Offset"},
    {"ImageData", "Error reading image data"},
    {"OutOfMemory", "Out Of Memory "},
    {"CompressedBilevel", "Cant read compressed bilevel image"},
    {"CompressedGrey", "Cant read compressed Gray Scale Image"},
    {"CompressedPalette", "Cant read compressed ColorPaletImage"},
    {"CompressedRgb", "Cant read compressed RGB Full Color Image"},
    {"NotValidTiff", "<{}> is not a valid TIFF file"},
    {"TooManyDirectories", "TIFF file has too many image file directories"},
};
static_assert(std::size(kMessages) == static_cast<std::size_t>(TiffMessage::TooManyDirectories) + 1);

}  // namespace

std::string TiffMessageCode(TiffMessage message) {
  return ErrorRowCode("tiff", kMessages, message);
}

std::string TiffMessageText(TiffMessage message, const std::string& parameter) {
  std::string text = ErrorRowText(kMessages, message);
  if (const std::size_t at = text.find("{}"); at != std::string::npos) text.replace(at, 2, parameter);
  return text;
}

ETiffTooManyDirectories::ETiffTooManyDirectories()
    : Exception(TiffMessageCode(TiffMessage::TooManyDirectories), TiffMessageText(TiffMessage::TooManyDirectories)) {}

}  // namespace pixtrel
