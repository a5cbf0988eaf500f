#include "io/picture_options.h"

#include <lcms2.h>

#include <cstring>
#include <memory>
#include <vector>

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

struct ProfileDeleter {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};

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
  if (icc.empty() || bitmap.Empty()) return false;
  std::unique_ptr<void, ProfileDeleter> source(
      cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
  if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData) return false;
  std::unique_ptr<void, ProfileDeleter> srgb(cmsCreate_sRGBProfile());
  if (!srgb) return false;
  if (bitmap.PixelFormat() == pf15bit || bitmap.PixelFormat() == pf16bit) bitmap.SetPixelFormat(pf24bit);
  const bool indexed = bitmap.BitCount() <= 8;
  const bool wide = bitmap.BitCount() == 32;
  const cmsUInt32Number format = wide ? TYPE_BGRA_8 : TYPE_BGR_8;
  std::unique_ptr<void, TransformDeleter> transform(cmsCreateTransform(
      source.get(), format, srgb.get(), format, INTENT_PERCEPTUAL, wide ? cmsFLAGS_COPY_ALPHA : 0));
  if (!transform) return false;
  if (indexed) {
    Palette palette = bitmap.Palette();
    std::vector<std::uint8_t> bgr;
    for (const Color color : palette) {
      bgr.push_back(GetBValue(color));
      bgr.push_back(GetGValue(color));
      bgr.push_back(GetRValue(color));
    }
    cmsDoTransform(transform.get(), bgr.data(), bgr.data(), static_cast<cmsUInt32Number>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = RGB(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]);
    bitmap.SetPalette(std::move(palette));
    return true;
  }
  for (int y = 0; y < bitmap.Height(); ++y)
    cmsDoTransform(transform.get(), bitmap.ScanLine(y), bitmap.ScanLine(y),
                   static_cast<cmsUInt32Number>(bitmap.Width()));
  return true;
}

}  // namespace pixtrel
