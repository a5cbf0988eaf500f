// ZSoft Paintbrush files: a 128-byte little-endian header, run-length or raw
// rows of planes, and for 256-colour files a 769-byte palette at the end.
#include <algorithm>
#include <array>
#include <cstring>

#include "codecs/legacy/decoders.h"
#include "codecs/legacy/legacy_formats.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

constexpr const char* kPCX = "PCX";
constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTrailingPalette = 769;

// Spreads the bits of one byte to the low bit of each nibble of a 32-bit
// value, leftmost pixel in the highest nibble: the 4-bit pixels of a plane.
const std::array<std::uint32_t, 256>& NibbleSpread() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      std::uint32_t v = 0;
      for (int i = 0; i < 8; ++i) {
        if (b & (0x80 >> i)) v |= 1u << (4 * (7 - i));
      }
      t[static_cast<std::size_t>(b)] = v;
    }
    return t;
  }();
  return table;
}

// Four 1-bit planes of one row into 4-bit pixels: plane k gives bit k.
void MergePlanes(const std::uint8_t* row, std::size_t bytesPerLine, int width, std::uint8_t* target) {
  const auto& spread = NibbleSpread();
  const std::size_t bytes = (static_cast<std::size_t>(width) + 7) / 8;
  const std::size_t outBytes = (static_cast<std::size_t>(width) + 1) / 2;
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint32_t v = spread[row[i]] | (spread[row[bytesPerLine + i]] << 1) |
                            (spread[row[2 * bytesPerLine + i]] << 2) | (spread[row[3 * bytesPerLine + i]] << 3);
    for (std::size_t k = 0; k < 4 && 4 * i + k < outBytes; ++k) {
      target[4 * i + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
    }
  }
}

}  // namespace

void PCXGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  const std::vector<std::uint8_t> data = ReadImageBytes(stream);
  ByteReader header(data);
  header.Take(kHeaderSize);  // a file shorter than its header is a read error
  header.Seek(0);
  const std::uint8_t manufacturer = header.U8();
  if (manufacturer != 10 && manufacturer != 205) return;  // not a PCX file: nothing decoded
  pixtrel::ImageProperties& p = properties_;
  p.version = header.U8();
  const int encoding = header.U8();
  const int bits = header.U8();
  const int xmin = header.U16LE(), ymin = header.U16LE(), xmax = header.U16LE(), ymax = header.U16LE();
  p.xResolution = header.U16LE();
  p.yResolution = header.U16LE();
  const std::span<const std::uint8_t> headerPalette = header.Take(48);
  header.Skip(1);
  const int planes = header.U8();
  p.bytesPerLine = header.U16LE();
  p.paletteInfo = header.U16LE();
  p.width = static_cast<std::uint32_t>(std::max(xmax - xmin + 1, 0));
  p.height = static_cast<std::uint32_t>(std::max(ymax - ymin + 1, 0));
  p.bitsPerSample = bits;
  p.samplesPerPixel = planes;
  p.bitsPerPixel = bits * planes;
  p.compression = encoding == 1 ? ctRLE : ctNone;
  p.colorScheme = planes * bits <= 8 ? csIndexed : csRGB;
  if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, kPCX);

  // The listed kinds only: one plane of 1, 2, 4 or 8 bits, four 1-bit planes,
  // three 8-bit planes.
  const bool fourPlanes = planes == 4 && bits == 1;
  const bool rgbPlanes = planes == 3 && bits == 8;
  const bool onePlane = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
  if (!fourPlanes && !rgbPlanes && !onePlane) ThrowLegacyError(LegacyError::InvalidColorFormat, kPCX);

  pixtrel::ColorManager& cm = colorManager_;
  cm.SetSourceColorScheme(p.colorScheme);
  cm.SetSourceBitsPerSample(bits);
  cm.SetSourceSamplesPerPixel(planes);
  cm.SetTargetColorScheme(p.colorScheme == csIndexed ? csIndexed : csBGR);
  cm.SetTargetBitsPerSample(planes * bits == 2 ? 4 : bits);
  cm.SetTargetSamplesPerPixel(planes);
  pixtrel::PixelFormat format = fourPlanes ? pf4bit : cm.TargetPixelFormat();
  if (format == pfDevice) ThrowLegacyError(LegacyError::InvalidColorFormat, kPCX);
  if (!fourPlanes) cm.PrepareConversion();

  const std::size_t lineBytes = static_cast<std::size_t>(p.bytesPerLine);
  const std::size_t neededLine = (static_cast<std::size_t>(p.width) * bits + 7) / 8;
  if (lineBytes < neededLine) ThrowLegacyError(LegacyError::InvalidFormat, kPCX);

  std::size_t dataEnd = data.size();
  if (format == pf8bit)
    dataEnd = data.size() >= kHeaderSize + kTrailingPalette ? data.size() - kTrailingPalette : kHeaderSize;
  const std::span<const std::uint8_t> packed(data.data() + kHeaderSize, dataEnd - kHeaderSize);
  const std::size_t rowBytes = CheckedMul(static_cast<std::size_t>(planes), lineBytes);
  const std::size_t total = CheckedMul(rowBytes, p.height);
  CheckExpansion(packed.size(), total, 63);
  AllocatePicture(p.width, p.height, format);

  // Palette.
  if (format != pf24bit) {
    if (p.version == 3 && format != pf1bit) {
      SetPalette(StandardPalette16());
    } else if (format == pf1bit) {
      SetPalette(MonochromePalette());
    } else if (format == pf4bit) {
      pixtrel::Palette palette =
          p.paletteInfo == 2 ? cm.BuildGreyPalette(false) : cm.BuildPalette(headerPalette, {}, 16);
      // Two-bit indices are widened to 0, 5, 10 and 15; the header's first
      // four colours go with them.
      if (bits == 2 && p.paletteInfo != 2) {
        const pixtrel::Palette header = palette;
        for (int v = 3; v >= 0; --v) palette[static_cast<std::size_t>(5 * v)] = header[static_cast<std::size_t>(v)];
      }
      SetPalette(std::move(palette));
    } else if (data.size() >= kHeaderSize + kTrailingPalette && data[data.size() - kTrailingPalette] == 12) {
      SetPalette(cm.BuildPalette(std::span(data).last(768), {}, 256));
    } else if (p.paletteInfo == 2) {
      SetPalette(cm.BuildGreyPalette(false));
    }
    // otherwise the default palette of a fresh pf8bit bitmap stays
  }

  // Pixel data: runs may cross row ends, so the whole picture is unpacked
  // at once; what the data does not reach stays zero.
  std::vector<std::uint8_t> pixels(total);
  if (encoding == 1) {
    PCXRLEDecoder().Unpack(packed.data(), pixels.data(), packed.size(), total);
  } else {
    std::memcpy(pixels.data(), packed.data(), std::min(total, packed.size()));
  }

  const int width = static_cast<int>(p.width);
  for (std::uint32_t y = 0; y < p.height; ++y) {
    const std::uint8_t* row = pixels.data() + y * rowBytes;
    std::uint8_t* target = ScanLine(static_cast<int>(y));
    if (fourPlanes) {
      MergePlanes(row, lineBytes, width, target);
    } else if (rgbPlanes) {
      const std::uint8_t* planesRow[3] = {row, row + lineBytes, row + 2 * lineBytes};
      cm.ConvertPixelRow(planesRow, 3, 0xFF, width, target);
    } else {
      cm.ConvertPixelRow(row, width, target);
    }
  }
}

}  // namespace pixtrel
