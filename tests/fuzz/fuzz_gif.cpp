// libFuzzer target for the GIF reader: load every frame and extension, build
// the first frame's picture and read every byte of it so the sanitizers see
// anything left uninitialised, then write small images back and read them
// again; a GIF the writer produced must always load.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/errors.h"
#include "gif/gif_codec.h"
#include "gif/gif_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pixtrel::gif::GIFImage image;
  image.SetPixelLimit(std::int64_t{1} << 22);
  image.SetWarningCallback([](const std::string&) {});
  try {
    image.LoadFromBytes(std::span<const std::uint8_t>(data, size));
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  unsigned sum = 0;
  for (const auto& frame : image.Images())
    for (std::uint8_t p : frame->Pixels()) sum += p;
  pixtrel::Bitmap picture;
  try {
    picture = image.ToBitmap();
  } catch (const pixtrel::Exception&) {
    return 0;
  }
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (std::size_t i = 0; i < picture.RowStride(); ++i) sum += row[i];
  }
  volatile unsigned sink = sum;
  (void)sink;

  if (std::int64_t{picture.Width()} * picture.Height() <= 128 * 128) {
    // The multi-frame object model written back as it stands.
    try {
      const std::vector<std::uint8_t> again = image.SaveToBytes();
      pixtrel::gif::GIFImage reread;
      reread.SetWarningCallback([](const std::string&) {});
      reread.LoadFromBytes(again);
    } catch (const pixtrel::Exception&) {
    }
    // The save sequence from the decoded picture must give a readable file.
    const auto mode = static_cast<pixtrel::gif::ReductionMode>(1 + (size > 0 ? data[0] % 8 : 5));
    const auto dither = static_cast<pixtrel::gif::DitherMode>(size > 1 ? data[1] % 7 : 0);
    pixtrel::gif::GifSettings settings;
    settings.reductionMode = mode;
    settings.ditherMode = dither;
    settings.reductionBits = 3 + (size > 2 ? data[2] % 6 : 5);
    picture.SetPixelFormat(size > 3 && (data[3] & 1) ? pixtrel::pf24bit : picture.PixelFormat());
    std::vector<std::uint8_t> written;
    try {
      // A frame without a colour table has nothing to write its indices with.
      written = pixtrel::gif::EncodeBitmapAsGifBytes(picture, settings, size > 4 && (data[4] & 1));
    } catch (const pixtrel::Exception&) {
      return 0;
    }
    pixtrel::Bitmap back;
    pixtrel::gif::DecodeGifBytes(written, back);
    if (back.Width() != picture.Width() || back.Height() != picture.Height()) std::abort();
  }
  return 0;
}
