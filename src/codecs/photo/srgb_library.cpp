// Colours to sRGB through LittleCMS: the PhotoLibrary member of the opening
// options' conversion (io/picture_options.h).
#include <lcms2.h>

#include <memory>
#include <vector>

#include "codecs/photo/photo_library.h"

namespace pixtrel {

namespace {

struct ProfileDeleter {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};

}  // namespace

bool PhotoLibrary::ConvertToSrgb(Bitmap& bitmap, std::span<const std::uint8_t> icc) const {
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
