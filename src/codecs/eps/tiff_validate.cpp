#include <string>

#include "codecs/eps/tiff_decode.h"
#include "codecs/eps/tiff_graphic.h"

namespace pixtrel::tiffdecode {

namespace {

[[noreturn]] void NotSupported(const std::string& subject) {
  ThrowLegacyError(LegacyError::NotSupported, kTIFFFormat, subject);
}

ColorScheme SchemeOfPhotometric(std::uint32_t photometric, int samples) {
  switch (photometric) {
    case 0:
    case 1:
      return csG;
    case 2:
      return samples >= 4 ? csRGBA : csRGB;
    case 3:
      return csIndexed;
    case 5:
      return csCMYK;
    case 6:
      return csYCbCr;
    case 8:
      return csCIELab;
    default:
      return csUnknown;
  }
}

}  // namespace

DecodePlan ValidateLayout(const Directory& dir, ImageProperties& p) {
  DecodePlan plan;
  plan.photometric = dir.Single(kPhotometric, 0);
  // A file without the tag is uncompressed, as TIFF defines.
  plan.compression = dir.Single(kCompression, 1);
  switch (plan.compression) {
    case 1:
      p.compression = ctNone;
      break;
    case 2:
    case 3:
    case 32771:
      p.compression = ctCCITT;
      break;
    case 7:
      p.compression = ctJPEG;
      break;
    case 8:
    case 32946:
      p.compression = ctLZ77;
      break;
    case 32773:
      p.compression = ctPackedBits;
      break;
    case 32809:
      p.compression = ctThunderscan;
      break;
    default:
      NotSupported(kCompressionSubject);
  }
  const bool compressed = plan.compression != 1;
  const int bps = plan.bps = p.bitsPerSample;
  const int spp = plan.spp = p.samplesPerPixel;

  // What the strip decoders cannot get right is refused rather than decoded
  // to wrong pixels.
  if (dir.Single(kPlanarConfiguration, 1) == 2 && spp > 1) NotSupported("Separate sample planes are");
  const std::uint32_t t4Options = dir.Single(kT4Options, 0);
  if (plan.compression == 3 && (t4Options & 1)) NotSupported("Two-dimensional CCITT Group 3 coding is");
  if (plan.compression == 3 && (t4Options & 2)) NotSupported("Uncompressed CCITT Group 3 mode is");
  // CCITT codes bilevel rows, ThunderScan 4-bit grey.
  const bool ccittFits = p.compression != ctCCITT || (bps == 1 && spp == 1);
  const bool thunderFits = p.compression != ctThunderscan || (bps == 4 && spp == 1);
  if (!ccittFits || !thunderFits) ThrowLegacyError(LegacyError::InvalidColorFormat, kTIFFFormat);
  plan.predictor = compressed ? dir.Single(kPredictor, 0) : 0;
  if (plan.predictor == 2 && bps != 8) {
    NotSupported("Horizontal differencing of " + std::to_string(bps) + "-bit samples is");
  }
  if (plan.predictor > 2) NotSupported("The predictor is");

  const std::uint32_t photometric = plan.photometric;
  ColorScheme scheme = SchemeOfPhotometric(photometric, spp);
  plan.jpeg = plan.compression == 7;
  if (plan.jpeg) {
    // Libjpeg delivers colour rows blue, green, red.
    if ((photometric == 0 || photometric == 1) && spp == 1) {
      scheme = csG;
    } else if ((photometric == 2 || photometric == 6) && spp == 3) {
      scheme = csBGR;
    } else if (photometric == 5 && spp == 4) {
      scheme = csCMYK;
    } else {
      throw EColorConversionError(EColorConversionError::NoConversion);
    }
  }
  plan.fromIndexed = scheme == csIndexed;
  if ((scheme == csIndexed || scheme == csG) && spp >= 2) scheme = csGA;
  plan.scheme = scheme;
  return plan;
}

void ValidateBlocks(const DecodePlan& plan) {
  if (plan.blocks && (plan.bps != 8 || plan.spp != 3)) ThrowLegacyError(LegacyError::InvalidColorFormat, kTIFFFormat);
  if (plan.blocks && plan.predictor == 2) NotSupported("Horizontal differencing of subsampled YCbCr data is");
}

}  // namespace pixtrel::tiffdecode
