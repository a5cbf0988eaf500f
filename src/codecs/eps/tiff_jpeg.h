// JPEG-compressed TIFF strips (compression 7): every strip is a JPEG stream,
// usually abbreviated, whose tables come from the JPEGTables field. One JPEG
// decompressor serves all strips of an image, so tables read once stay in
// force. Colour strips are delivered as blue, green, red bytes (libjpeg
// converts YCbCr itself and upsamples subsampled chroma), grey strips as one
// byte a pixel and CMYK strips as four.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "codecs/legacy/decoders.h"
#include "core/errors.h"

namespace pixtrel {

struct JpegDecompressor;

// The JPEG checks of a strip; the code and message say which (eps_errors.h).
class ETIFFJPEGError : public EInvalidGraphic {
 public:
  enum Kind {
    StripSize,
    ComponentCount,
    DataPrecision,
    SamplingFactors,
    FractionalRows,
    BogusTables,
  };
  explicit ETIFFJPEGError(Kind kind);
  Kind Which() const { return kind_; }

 private:
  Kind kind_;
};

class TIFFJPEGDecoder : public Decoder {
 public:
  // What every strip must match. photometric is the TIFF value (1, 2, 5 or
  // 6 are decoded; the caller refuses the others).
  struct Layout {
    int width = 0;
    int samplesPerPixel = 0;
    int bitsPerSample = 8;
    int photometric = 0;
    int subsampleH = 1;  // YCbCr images only
    int subsampleV = 1;
    // False when the directory has no YCbCrSubSampling: the first strip's
    // own sampling is taken then (valid factors only), as writers that leave
    // the field out rely on.
    bool subsamplingGiven = true;
  };

  // Reads tables (may be empty) as an abbreviated table stream; throws
  // BogusTables when they are not one.
  TIFFJPEGDecoder(const Layout& layout, std::span<const std::uint8_t> tables);
  ~TIFFJPEGDecoder() override;

  // The rows the next strip holds, and whether it is the image's last strip
  // (only the last may end inside a chroma block).
  void SetStrip(int rows, bool last) {
    stripRows_ = rows;
    lastStrip_ = last;
  }

  // Decodes one strip into rows x width x samples bytes; throws the checks'
  // errors or EJPEG with the library's message.
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;

 private:
  Layout layout_;
  int stripRows_ = 0;
  bool lastStrip_ = true;
  std::unique_ptr<JpegDecompressor> d_;
};

}  // namespace pixtrel
