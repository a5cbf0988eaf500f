// SGI images: a 512-byte big-endian header, then one plane per channel,
// rows stored bottom to top, raw or run-length with tables of row offsets
// and lengths.
#include <algorithm>
#include <cstring>

#include "codecs/legacy/decoders.h"
#include "codecs/legacy/legacy_formats.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

constexpr const char* kSGI = "sgi, bw or rgb(a)";
constexpr std::size_t kHeaderSize = 512;

}  // namespace

void SGIGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  const std::vector<std::uint8_t> data = ReadImageBytes(stream);
  ByteReader r(data);
  r.Take(kHeaderSize);
  r.Seek(0);
  if (r.U16BE() != 474) ThrowLegacyError(LegacyError::InvalidFormat, kSGI);
  pixtrel::ImageProperties& p = properties_;
  const int storage = r.U8();
  const int bytesPerChannel = r.U8();
  r.Skip(2);  // dimension
  p.width = r.U16BE();
  p.height = r.U16BE();
  p.channels = std::max<int>(r.U16BE(), 1);
  p.options |= ioBigEndian;
  p.compression = storage == 1 ? ctRLE : ctNone;
  if (bytesPerChannel != 1 && bytesPerChannel != 2) ThrowLegacyError(LegacyError::InvalidColorFormat, kSGI);
  if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, kSGI);

  const int z = p.channels;
  const int planes = z == 3 ? 3 : (z == 4 ? 4 : 1);
  p.colorScheme = planes == 3 ? csRGB : (planes == 4 ? csRGBA : csG);
  p.bitsPerSample = 8 * bytesPerChannel;
  p.samplesPerPixel = planes;
  p.bitsPerPixel = p.bitsPerSample * planes;

  pixtrel::ColorManager& cm = colorManager_;
  cm.SetSourceColorScheme(p.colorScheme);
  cm.SetSourceBitsPerSample(p.bitsPerSample);
  cm.SetSourceSamplesPerPixel(planes);
  cm.SetSourceOptions(bytesPerChannel == 2 ? ConversionOptions{coNeedByteSwap} : ConversionOptions{0});
  cm.SetTargetColorScheme(planes == 3 ? csBGR : (planes == 4 ? csBGRA : csIndexed));
  cm.SetTargetBitsPerSample(8);
  cm.SetTargetSamplesPerPixel(planes == 1 ? 1 : planes);
  cm.PrepareConversion();

  const std::size_t rowBytes = static_cast<std::size_t>(p.width) * bytesPerChannel;
  p.rowBytes = static_cast<std::uint32_t>(rowBytes);
  const std::size_t rows = static_cast<std::size_t>(p.height) * static_cast<std::size_t>(z);
  std::vector<std::uint32_t> starts, lengths;
  if (storage == 1) {
    r.Seek(kHeaderSize);
    if (rows > r.Remaining() / 8) throw EReadError();
    starts.resize(rows);
    lengths.resize(rows);
    for (auto& s : starts) s = r.U32BE();
    for (auto& l : lengths) l = r.U32BE();
    // No bound on how far the data expands: rows may share one run-length
    // row, so a small file can be a large picture; the pixel limit bounds it.
  } else {
    const std::size_t needed =
        kHeaderSize + CheckedMul(CheckedMul(rowBytes, p.height), static_cast<std::size_t>(planes));
    if (needed > data.size()) throw EReadError();
  }
  AllocatePicture(p.width, p.height, cm.TargetPixelFormat());
  if (planes == 1) SetPalette(cm.BuildGreyPalette(false));

  // One row of a channel, stored row y (0 at the bottom), into out.
  SGIRLEDecoder decoder(bytesPerChannel);
  auto readRow = [&](std::uint32_t y, int k, std::uint8_t* out) {
    const std::size_t index = y + static_cast<std::size_t>(k) * p.height;
    if (storage == 1) {
      const std::size_t start = starts[index];
      const std::size_t length = lengths[index];
      if (start > data.size() || length > data.size() - start) throw EReadError();
      decoder.Unpack(data.data() + start, out, length, rowBytes);
    } else {
      std::memcpy(out, data.data() + kHeaderSize + index * rowBytes, rowBytes);
    }
  };

  const int width = static_cast<int>(p.width);
  std::vector<std::uint8_t> buffer(rowBytes * planes);
  for (std::uint32_t y = 0; y < p.height; ++y) {
    std::uint8_t* target = ScanLine(static_cast<int>(p.height - 1 - y));
    if (planes == 1 && bytesPerChannel == 1) {
      readRow(y, 0, target);
      continue;
    }
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    const std::uint8_t* sources[4];
    for (int k = 0; k < planes; ++k) {
      std::uint8_t* plane = buffer.data() + k * rowBytes;
      readRow(y, k, plane);
      sources[k] = plane;
    }
    cm.ConvertPixelRow(sources, planes, 0xFF, width, target);
  }
}

}  // namespace pixtrel
