// JPEG files through libjpeg: decoding into pf24bit blue-green-red rows and
// encoding from a bitmap at a chosen quality, optionally as greyscale.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/error_table.h"
#include "core/errors.h"
#include "core/graphic.h"

namespace pixtrel {

// The JPEG codec's failures with their fixed texts, the one table of them;
// the code of a failure is "jpeg." and its name. LibraryError stands for every
// fatal error of libjpeg, which shows the library's own text instead of the
// row's (libjpeg keeps those in a table of its own, by message code); the
// row's text is shown only when the library gave none.
#define PIXTREL_JPEG_ERRORS(X)          \
  X(LibraryError, "JPEG library error") \
  X(TooManyScans, "JPEG file has too many scans")

// The fixed text of a failure (ErrorText) and its code (ErrorCode).
PIXTREL_DECLARE_ERRORS(JpegError, PIXTREL_JPEG_ERRORS)

// A fatal JPEG error: one of this system's checks on top of the library, or
// a libjpeg failure with the library's text ("Not a JPEG file: starts with
// 0x%02x 0x%02x", "Unsupported JPEG data precision 12", ...) and its message
// code (a J_MESSAGE_CODE) in LibraryCode(), which is -1 for our own checks.
class EJPEG : public Exception {
 public:
  explicit EJPEG(JpegError error) : EJPEG(error, ErrorText(error), -1) {}
  EJPEG(JpegError error, std::string message, int libraryCode)
      : Exception(ErrorCode(error), message.empty() ? ErrorText(error) : std::move(message)),
        error_(error),
        libraryCode_(libraryCode) {}
  JpegError Error() const { return error_; }
  int LibraryCode() const { return libraryCode_; }

 private:
  JpegError error_;
  int libraryCode_;
};

class JPEGImage : public Graphic {
 public:
  // libjpeg's own default quality.
  static constexpr int kDefaultQuality = 75;

  JPEGImage() = default;

  int Width() const override { return picture_.Width(); }
  int Height() const override { return picture_.Height(); }

  // Decodes a whole JPEG file (baseline, extended, progressive, arithmetic;
  // greyscale, YCbCr, RGB, CMYK and Adobe's inverted CMYK/YCCK) into a pf24bit
  // picture. A file cut short keeps what was decoded and the library fills the
  // rest; that and other recoverable damage shows in Warnings(). Fatal damage
  // throws EJPEG (or EImageTooLarge) and leaves this image as it was.
  void LoadFromStream(Stream& stream) override;
  void LoadFromBytes(std::span<const std::uint8_t> bytes);

  // Encodes the picture with libjpeg's defaults at CompressionQuality(), as a
  // one-component greyscale JPEG when Grayscale() is set.
  void SaveToStream(Stream& stream) const override;
  std::vector<std::uint8_t> SaveToBytes() const;

  // Takes a picture to encode. pf24bit and pf32bit sources are kept as they
  // are (the encoder reads both directly); other formats become pf24bit.
  void Assign(const Bitmap& source);
  void Assign(Bitmap&& source);

  // The picture as pf24bit.
  void AssignTo(Bitmap& target) const override;
  const Bitmap& Picture() const { return picture_; }
  // Moves the picture out, leaving this image empty.
  Bitmap TakeBitmap();

  int CompressionQuality() const { return quality_; }
  // Clamped to 1..100.
  void SetCompressionQuality(int quality);
  bool Grayscale() const { return grayscale_; }
  void SetGrayscale(bool grayscale) { grayscale_ = grayscale; }

  // libjpeg's warnings from the last load, in order (at most the first few
  // texts are kept); empty for an undamaged file.
  const std::vector<std::string>& Warnings() const { return warnings_; }

 private:
  Bitmap picture_;
  std::vector<std::string> warnings_;
  int quality_ = kDefaultQuality;
  bool grayscale_ = false;
};

// Encodes a bitmap straight from its rows (pf24bit and pf32bit; other formats
// are converted on a copy), as a JPEG image holding it would save it.
std::vector<std::uint8_t> CompressJPEG(const Bitmap& source, int quality, bool grayscale);
// The same, written to a stream in one piece.
void CompressJPEG(const Bitmap& source, int quality, bool grayscale, Stream& stream);

}  // namespace pixtrel
