#include "codecs/tiff/bmp2tiff.h"

#include <cstring>

#include "codecs/tiff/tiff_tags.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

constexpr char kSoftware[10] = {'Z', 'o', 'r', 'b', 'i', ' ', 's', 'o', 'f', 't'};
constexpr std::uint32_t kResolutionNumerator = 877;
constexpr std::uint32_t kResolutionDenominator = 10;
constexpr std::uint16_t kResolutionUnitInch = 2;
constexpr std::size_t kChunk = std::size_t{1} << 20;

// Little-endian output through a chunk buffer.
class TiffOutput {
 public:
  explicit TiffOutput(Stream& stream) : stream_(stream) { buffer_.reserve(kChunk + 4096); }
  ~TiffOutput() = default;

  void U16(std::uint16_t v) {
    buffer_.push_back(static_cast<std::uint8_t>(v));
    buffer_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) buffer_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    buffer_.insert(buffer_.end(), p, p + n);
    if (buffer_.size() >= kChunk) Flush();
  }
  // Room for n bytes at the end of the buffer, to be filled by the caller.
  std::uint8_t* Extend(std::size_t n) {
    if (buffer_.size() + n > kChunk) Flush();
    const std::size_t at = buffer_.size();
    buffer_.resize(at + n);
    return buffer_.data() + at;
  }
  void Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    U16(tag);
    U16(type);
    U32(count);
    U32(value);  // a SHORT lands in the low half, the first two bytes
  }
  void Flush() {
    stream_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  Stream& stream_;
  std::vector<std::uint8_t> buffer_;
};

void Header(TiffOutput& out, std::uint32_t directoryOffset) {
  out.U16(0x4949);  // "II"
  out.U16(42);
  out.U32(directoryOffset);
}

void Resolution(TiffOutput& out) {
  out.U32(kResolutionNumerator);
  out.U32(kResolutionDenominator);
}

// Width and height are SHORT; only a picture too wide for that takes LONG.
std::uint16_t SizeType(int value) { return value > 65535 ? tifftype::kLong : tifftype::kShort; }

// The palette layout (b = 1, 4, 8 with a colour map) and the bilevel layout
// (b = 1 without one, photometric 0 or 1).
void WriteIndexed(TiffOutput& out, const Bitmap& source, int bits, bool colorMap, std::uint16_t photometric) {
  const std::uint32_t colours = 1u << bits;
  const int width = bits == 4 ? source.Width() / 4 * 4 : source.Width();
  const int height = source.Height();
  const std::size_t rowLength = (static_cast<std::size_t>(width) * bits + 7) / 8;
  const std::uint32_t mapOffset = 8;
  const std::uint32_t xResolution = colorMap ? mapOffset + 6 * colours : 8;
  const std::uint32_t yResolution = xResolution + 8;
  const std::uint32_t software = yResolution + 8;
  const std::uint32_t image = software + sizeof kSoftware;
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(rowLength * static_cast<std::size_t>(height));

  Header(out, image + imageBytes);
  if (colorMap) {
    const pixtrel::Palette& palette = source.Palette();
    for (int channel = 0; channel < 3; ++channel) {
      for (std::uint32_t i = 0; i < colours; ++i) {
        const Color c = i < palette.size() ? palette[i] : clBlack;
        const int value = channel == 0 ? GetRValue(c) : channel == 1 ? GetGValue(c) : GetBValue(c);
        out.U16(static_cast<std::uint16_t>(value * 256));
      }
    }
  }
  Resolution(out);
  Resolution(out);
  out.Bytes(kSoftware, sizeof kSoftware);
  for (int y = 0; y < height; ++y) out.Bytes(source.ScanLine(y), rowLength);

  out.U16(colorMap ? 15 : 14);
  out.Entry(tifftag::kNewSubfileType, tifftype::kLong, 1, 0);
  out.Entry(tifftag::kImageWidth, SizeType(width), 1, static_cast<std::uint32_t>(width));
  out.Entry(tifftag::kImageLength, SizeType(height), 1, static_cast<std::uint32_t>(height));
  out.Entry(tifftag::kBitsPerSample, tifftype::kShort, 1, static_cast<std::uint32_t>(bits));
  out.Entry(tifftag::kCompression, tifftype::kShort, 1, 1);
  out.Entry(tifftag::kPhotometricInterpretation, tifftype::kShort, 1, photometric);
  out.Entry(tifftag::kStripOffsets, tifftype::kLong, 1, image);
  out.Entry(tifftag::kSamplesPerPixel, tifftype::kShort, 1, 1);
  out.Entry(tifftag::kRowsPerStrip, tifftype::kLong, 1, static_cast<std::uint32_t>(height));
  out.Entry(tifftag::kStripByteCounts, tifftype::kLong, 1, imageBytes);
  out.Entry(tifftag::kXResolution, tifftype::kRational, 1, xResolution);
  out.Entry(tifftag::kYResolution, tifftype::kRational, 1, yResolution);
  out.Entry(tifftag::kResolutionUnit, tifftype::kShort, 1, kResolutionUnitInch);
  out.Entry(tifftag::kSoftware, tifftype::kAscii, sizeof kSoftware, software);
  if (colorMap) out.Entry(tifftag::kColorMap, tifftype::kShort, 3 * colours, mapOffset);
  out.U32(0);
}

// The RGB layout; source is pf24bit or pf32bit.
void WriteRgb(TiffOutput& out, const Bitmap& source) {
  const int width = source.Width();
  const int height = source.Height();
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(std::size_t{3} * width * height);
  constexpr std::uint32_t kBitsPerSample = 24, kSoftwareAt = 30, kImage = 40;

  Header(out, kImage + imageBytes);
  Resolution(out);
  Resolution(out);
  out.U16(8);
  out.U16(8);
  out.U16(8);
  out.Bytes(kSoftware, sizeof kSoftware);
  const int step = source.PixelFormat() == pf24bit ? 3 : 4;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source.ScanLine(y);
    std::uint8_t* row = out.Extend(std::size_t{3} * width);
    for (int x = 0; x < width; ++x, in += step, row += 3) {
      row[0] = in[2];
      row[1] = in[1];
      row[2] = in[0];
    }
  }

  out.U16(15);
  out.Entry(tifftag::kNewSubfileType, tifftype::kLong, 1, 0);
  out.Entry(tifftag::kImageWidth, SizeType(width), 1, static_cast<std::uint32_t>(width));
  out.Entry(tifftag::kImageLength, SizeType(height), 1, static_cast<std::uint32_t>(height));
  out.Entry(tifftag::kBitsPerSample, tifftype::kShort, 3, kBitsPerSample);
  out.Entry(tifftag::kCompression, tifftype::kShort, 1, 1);
  out.Entry(tifftag::kPhotometricInterpretation, tifftype::kShort, 1, 2);
  out.Entry(tifftag::kStripOffsets, tifftype::kLong, 1, kImage);
  out.Entry(tifftag::kSamplesPerPixel, tifftype::kShort, 1, 3);
  out.Entry(tifftag::kRowsPerStrip, tifftype::kLong, 1, static_cast<std::uint32_t>(height));
  out.Entry(tifftag::kStripByteCounts, tifftype::kLong, 1, imageBytes);
  out.Entry(tifftag::kXResolution, tifftype::kRational, 1, 8);
  out.Entry(tifftag::kYResolution, tifftype::kRational, 1, 16);
  out.Entry(tifftag::kPlanarConfiguration, tifftype::kShort, 1, 1);
  out.Entry(tifftag::kResolutionUnit, tifftype::kShort, 1, kResolutionUnitInch);
  out.Entry(tifftag::kSoftware, tifftype::kAscii, sizeof kSoftware, kSoftwareAt);
  out.U32(0);
}

void WriteTiff(Stream& stream, const Bitmap& source) {
  if (source.Empty()) return;
  TiffOutput out(stream);
  switch (source.PixelFormat()) {
    case pf1bit: {
      const pixtrel::Palette& p = source.Palette();
      if (p.size() >= 2 && p[0] == clBlack && p[1] == clWhite) {
        WriteIndexed(out, source, 1, false, 1);
      } else if (p.size() >= 2 && p[0] == clWhite && p[1] == clBlack) {
        WriteIndexed(out, source, 1, false, 0);
      } else {
        WriteIndexed(out, source, 1, true, 3);
      }
      break;
    }
    case pf4bit:
      WriteIndexed(out, source, 4, true, 3);
      break;
    case pf8bit:
      WriteIndexed(out, source, 8, true, 3);
      break;
    case pf15bit:
    case pf16bit: {
      Bitmap wide(source);
      wide.SetPixelFormat(pf24bit);
      WriteRgb(out, wide);
      break;
    }
    default:
      WriteRgb(out, source);
      break;
  }
  out.Flush();
}

}  // namespace

void WriteTiffFile(const std::string& fileName, const Bitmap& source) {
  AtomicFileStream stream(fileName);
  WriteTiff(stream, source);
  stream.Commit();
}

std::vector<std::uint8_t> TiffBytes(const Bitmap& source) {
  MemoryStream stream;
  WriteTiff(stream, source);
  return stream.TakeBytes();
}

}  // namespace pixtrel
