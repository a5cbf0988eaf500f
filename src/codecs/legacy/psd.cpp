// Photoshop documents: a 26-byte big-endian header, the colour mode data,
// the image resources and the layer section (both skipped), then the merged
// image as one plane per channel, raw or PackBits with a table of row byte
// counts.
#include <algorithm>
#include <cstring>
#include <numeric>

#include "codecs/legacy/decoders.h"
#include "codecs/legacy/legacy_formats.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

constexpr const char* kPSD = "PSD or PDD";

enum PSDMode {
  kBitmap = 0,
  kGrayscale = 1,
  kIndexed = 2,
  kRGB = 3,
  kCMYK = 4,
  kMultichannel = 7,
  kDuotone = 8,
  kLab = 9
};

}  // namespace

void PSDGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  // The layer section, often as large as the merged image, is skipped on the
  // stream rather than read.
  std::uint8_t headerBytes[26];
  stream.ReadBuffer(headerBytes, sizeof headerBytes);
  ByteReader r(headerBytes);
  const std::span<const std::uint8_t> signature = r.Take(4);
  if (std::memcmp(signature.data(), "8BPS", 4) != 0) ThrowLegacyError(LegacyError::InvalidFormat, kPSD);
  pixtrel::ImageProperties& p = properties_;
  p.version = r.U16BE();
  r.Skip(6);
  p.channels = r.U16BE();
  p.height = r.U32BE();
  p.width = r.U32BE();
  const int depth = r.U16BE();
  const int mode = r.U16BE();
  // Version 2 (large documents) has 8-byte section lengths this reader does
  // not follow.
  if (p.version != 1 || p.channels == 0 || p.width == 0 || p.height == 0) {
    ThrowLegacyError(LegacyError::InvalidFormat, kPSD);
  }
  CheckImageSize(p.width, p.height, PixelLimit());
  const int samples = std::min(p.channels, 4);
  p.bitsPerSample = depth;
  p.samplesPerPixel = samples;
  p.bitsPerPixel = depth * samples;

  ColorScheme scheme = csUnknown;
  ConversionOptions options = depth == 16 ? ConversionOptions{coNeedByteSwap} : ConversionOptions{0};
  switch (mode) {
    case kBitmap:
      scheme = csG;
      p.options |= ioMinIsWhite;
      break;
    case kGrayscale:
    case kDuotone:
      scheme = csG;
      break;
    case kIndexed:
      scheme = csIndexed;
      break;
    case kRGB:
      scheme = samples > 3 ? csRGBA : csRGB;
      break;
    case kMultichannel:
      // One or two channels hold no colour: they are shown as grey.
      scheme = samples >= 4 ? csRGBA : (samples == 3 ? csRGB : csG);
      break;
    case kCMYK:
      scheme = csCMYK;
      break;
    case kLab:
      scheme = csCIELab;
      options |= coLabByteRange | coLabChromaOffset;
      break;
    default:
      break;
  }
  p.colorScheme = scheme;
  const bool single = scheme == csG || scheme == csIndexed;

  pixtrel::ColorManager& cm = colorManager_;
  cm.SetSourceColorScheme(scheme);
  cm.SetSourceBitsPerSample(depth);
  cm.SetSourceSamplesPerPixel(single ? 1 : samples);
  cm.SetSourceOptions(options);
  cm.SetTargetBitsPerSample(depth == 16 ? 8 : depth);
  if (single) {
    cm.SetTargetColorScheme(scheme);
    cm.SetTargetSamplesPerPixel(1);
  } else if (scheme == csRGBA) {
    cm.SetTargetColorScheme(csBGRA);
    cm.SetTargetSamplesPerPixel(4);
  } else {
    cm.SetTargetColorScheme(csBGR);
    cm.SetTargetSamplesPerPixel(3);
  }
  cm.PrepareConversion();
  const pixtrel::PixelFormat format = cm.TargetPixelFormat();

  // Colour mode data (the planar palette of indexed images), the image
  // resources and the layer section.
  auto remaining = [&] {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(stream.Size() - stream.Position(), 0));
  };
  auto readBytes = [&](std::uint64_t n) {
    if (n > remaining()) throw EReadError();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
  };
  auto readU32 = [&] { return ByteReader(readBytes(4)).U32BE(); };
  auto skip = [&](std::uint64_t n) {
    if (n > remaining()) throw EReadError();
    stream.Seek(stream.Position() + static_cast<std::int64_t>(n));
  };
  const std::uint32_t modeLength = readU32();
  const std::vector<std::uint8_t> modeData = readBytes(modeLength);
  skip(readU32());  // image resources
  skip(readU32());  // layer and mask information
  const int compression = ByteReader(readBytes(2)).U16BE();
  if (compression > 1) ThrowLegacyError(LegacyError::NotSupported, kPSD, kCompressionSubject);
  p.compression = compression == 1 ? ctPackedBits : ctNone;

  const int planes = single ? 1 : (scheme == csRGBA || scheme == csCMYK ? 4 : 3);
  if (planes > p.channels) ThrowLegacyError(LegacyError::InvalidColorFormat, kPSD);
  const std::size_t rowBytes = (static_cast<std::size_t>(p.width) * depth + 7) / 8;
  p.rowBytes = static_cast<std::uint32_t>(rowBytes);
  const std::size_t planeBytes = CheckedMul(rowBytes, p.height);
  const std::size_t neededBytes = CheckedMul(planeBytes, static_cast<std::size_t>(planes));

  std::vector<std::uint16_t> counts;
  std::vector<std::uint8_t> data;  // the packed or raw merged image
  if (compression == 1) {
    const std::size_t rows = CheckedMul(p.height, static_cast<std::size_t>(p.channels));
    const std::vector<std::uint8_t> tableBytes = readBytes(CheckedMul(rows, 2));
    ByteReader table(tableBytes);
    counts.resize(rows);
    for (auto& count : counts) count = table.U16BE();
    const std::size_t used = single ? p.height : p.height * static_cast<std::size_t>(planes);
    const std::size_t packedSize =
        std::accumulate(counts.begin(), counts.begin() + static_cast<std::ptrdiff_t>(used), std::size_t{0});
    CheckExpansion(packedSize, neededBytes, 64);
    data = readBytes(packedSize);
  } else {
    data = readBytes(neededBytes);
  }
  ByteReader in(data);

  AllocatePicture(p.width, p.height, format);
  if (scheme == csIndexed) {
    SetPalette(cm.BuildPalette(modeData, PaletteLayout{.planar = true}, static_cast<int>(modeLength / 3)));
  } else if (single) {
    SetPalette(cm.BuildGreyPalette(mode == kBitmap));
  }

  PackbitsRLEDecoder decoder;
  const int width = static_cast<int>(p.width);
  if (single) {
    // Row by row, straight into the picture unless 16-bit samples need
    // reducing.
    std::vector<std::uint8_t> row(depth == 16 ? rowBytes : 0);
    for (std::uint32_t y = 0; y < p.height; ++y) {
      std::uint8_t* target = depth == 16 ? row.data() : ScanLine(static_cast<int>(y));
      if (compression == 1) {
        const std::span<const std::uint8_t> packed = in.Take(counts[y]);
        decoder.Unpack(packed.data(), target, packed.size(), rowBytes);
      } else {
        std::memcpy(target, in.Take(rowBytes).data(), rowBytes);
      }
      if (depth == 16) cm.ConvertPixelRow(row.data(), width, ScanLine(static_cast<int>(y)));
    }
    return;
  }

  // All planes at once, unpacked as one block when compressed.
  std::vector<std::uint8_t> unpacked;
  if (compression == 1) {
    unpacked.resize(neededBytes);
    decoder.Unpack(data.data(), unpacked.data(), data.size(), unpacked.size());
  } else {
    unpacked = std::move(data);
  }
  std::vector<std::uint8_t>& block = unpacked;
  if (scheme == csCMYK) {
    for (auto& v : block) v = static_cast<std::uint8_t>(255 - v);
  }
  for (std::uint32_t y = 0; y < p.height; ++y) {
    const std::uint8_t* rows[4];
    for (int k = 0; k < planes; ++k) rows[k] = block.data() + k * planeBytes + y * rowBytes;
    cm.ConvertPixelRow(rows, planes, 0xFF, width, ScanLine(static_cast<int>(y)));
  }
}

}  // namespace pixtrel
