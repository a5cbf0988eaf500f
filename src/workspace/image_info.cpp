#include "workspace/image_info.h"

namespace pixtrel {

std::string PixelDepthText(PixelFormat format) {
  switch (format) {
    case pf1bit:
      return "1 bit/pixel";
    case pf4bit:
      return "4 bits/pixel";
    case pf8bit:
      return "8 bits/pixel";
    case pf16bit:
      return "16 bits/pixel";
    case pf24bit:
      return "24 bits/pixel";
    case pf32bit:
      return "32 bits/pixel";
    default:
      return "unrecognized pixel depth";
  }
}

std::string ImageInfoText(const Bitmap& image) {
  return "image width=" + std::to_string(image.Width()) + " height=" + std::to_string(image.Height()) + "\r\n" +
         PixelDepthText(image.PixelFormat());
}

}  // namespace pixtrel
