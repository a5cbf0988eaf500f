// Helpers of the EPS and TIFF decoder tests: a small TIFF writer for files no
// peer tool makes, the 30-byte EPS wrapper, pictures as plain RGB arrays and
// peer tools run into a temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel::test {

using Bytes = std::vector<std::uint8_t>;

// A TIFF with one directory; entries are written in the order they were set
// (not sorted, so the reader's sorting is exercised). Strips go right after
// the header; StripOffsets is filled in by Build.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : bigEndian_(bigEndian) {}

  // Integer fields (BYTE 1, SHORT 3, LONG 4) and RATIONAL 5 (numerator,
  // denominator pairs).
  TiffBuilder& Set(std::uint16_t tag, std::uint16_t type, std::vector<std::uint32_t> values);
  // BYTE or UNDEFINED fields from raw bytes.
  TiffBuilder& SetBytes(std::uint16_t tag, std::uint16_t type, Bytes bytes);
  // The strips; byteCounts false leaves StripByteCounts out.
  TiffBuilder& Strips(std::vector<Bytes> strips, bool byteCounts = true);
  // A plain image: width, height, bits, samples, photometric, compression
  // and RowsPerStrip (0: left out).
  TiffBuilder& Image(int width, int height, int bits, int samples, int photometric, int compression = 1,
                     int rowsPerStrip = 0);

  Bytes Build() const;

 private:
  struct Field {
    std::uint16_t tag;
    std::uint16_t type;
    std::vector<std::uint32_t> values;
    Bytes raw;
  };
  void Put(Bytes& out, std::uint32_t v, int size) const;

  bool bigEndian_;
  std::vector<Field> fields_;
  std::vector<Bytes> strips_;
  bool byteCounts_ = true;
};

// The TIFF behind a 30-byte DOS EPS header; with postScriptFirst, a few
// bytes of PostScript come first and the TIFF follows them.
Bytes WrapInEps(const Bytes& tiff, bool postScriptFirst = false);

// PackBits of bytes (literal packets and repeats of 3 or more).
Bytes PackBits(const Bytes& bytes);
// A zlib stream of bytes.
Bytes Deflate(const Bytes& bytes);

// An RGB picture, row-major, three bytes a pixel.
struct Rgb {
  int width = 0;
  int height = 0;
  Bytes pixels;
  std::uint8_t At(int x, int y, int k) const { return pixels[(static_cast<std::size_t>(y) * width + x) * 3 + k]; }
};
// A picture with smooth areas, edges and noise, the same on every run.
Rgb TestPicture(int width, int height);
void WritePpm(const std::string& path, const Rgb& picture);
void WritePgm(const std::string& path, const Rgb& picture);  // the green channel
void WritePbm(const std::string& path, const Rgb& picture);  // green < 128 is black
// A binary P6 file (ImageMagick's own decoding, used as a reference).
Rgb ReadPpm(const std::string& path);

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
// Runs a shell command; false when it fails.
bool Run(const std::string& command);

struct Difference {
  int max = 0;
  double mean = 0;
  double fractionOver = 0;  // share of channels beyond threshold
};
Difference CompareRgb(const Bitmap& picture, const Rgb& expected, int threshold = 0);

}  // namespace pixtrel::test

namespace pixtrel::test {

// Overwrites the values of a tag of a little-endian TIFF in place, in the
// entry's own type (SHORT or LONG); false when the tag is missing or its
// values do not fit there.
bool PatchTag(Bytes& tiff, std::uint16_t tag, const std::vector<std::uint32_t>& values);
// Renames a tag of a little-endian TIFF (to drop it, rename it to an unused
// number); false when it is missing.
bool RenameTag(Bytes& tiff, std::uint16_t tag, std::uint16_t newTag);
// Where a tag's values lie in a little-endian TIFF (0 when missing).
std::size_t TagValueOffset(const Bytes& tiff, std::uint16_t tag);

}  // namespace pixtrel::test
