// Paint Shop Pro images: a 32-byte signature field and the version, then
// blocks ("~BK\0", id, lengths). Version 3 block headers carry an initial
// data length; from version 4 on, the data of a block is a sequence of
// chunks that each start with their own size. Numbers are little-endian.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "codecs/legacy/decoders.h"
#include "codecs/legacy/legacy_formats.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

constexpr const char* kPSP = "PSP";
constexpr char kSignature[] = "Paint Shop Pro Image File";
constexpr std::size_t kLayerRecord = 115;

enum BlockId { kImageBlock = 0, kPaletteBlock = 2, kLayerStartBlock = 3, kLayerBlock = 4, kChannelBlock = 5 };

struct Block {
  int id = -1;
  std::size_t initial = 0;  // version 3: initial data length
  std::size_t start = 0;    // first byte after the header
  std::size_t end = 0;      // first byte after the block, within the file
};

// Reads a block header at the reader's position; false when there is no
// marker there (or no room for one).
bool ReadBlock(ByteReader& r, int version, Block& block) {
  if (r.Remaining() < 10) return false;
  const std::span<const std::uint8_t> marker = r.Take(4);
  if (std::memcmp(marker.data(), "~BK\0", 4) != 0) return false;
  block.id = r.U16LE();
  block.initial = version == 3 ? r.U32LE() : 0;
  const std::size_t total = r.U32LE();
  block.start = r.Position();
  block.end = block.start + std::min(total, r.Remaining());
  return true;
}

// Version 4 and later: the chunk at the position; returns where it ends.
std::size_t ChunkEnd(ByteReader& r) {
  const std::size_t start = r.Position();
  const std::size_t size = r.U32LE();
  if (size < 4 || size > r.Size() - start) throw EReadError();
  return start + size;
}

// The file's bytes up to end, for a reader that must stay inside one block.
std::span<const std::uint8_t> UpTo(const std::vector<std::uint8_t>& data, std::size_t end) {
  return std::span<const std::uint8_t>(data).first(end);
}

}  // namespace

void PSPGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  const std::vector<std::uint8_t> data = ReadImageBytes(stream);
  ByteReader r(data);
  const std::span<const std::uint8_t> field = r.Take(32);
  for (std::size_t i = 0; i + 1 < sizeof kSignature; ++i) {
    if (std::tolower(field[i]) != std::tolower(static_cast<unsigned char>(kSignature[i]))) {
      ThrowLegacyError(LegacyError::InvalidFormat, kPSP);
    }
  }
  pixtrel::ImageProperties& p = properties_;
  p.version = r.U16LE();
  r.Skip(2);  // minor version
  if (p.version < 3) ThrowLegacyError(LegacyError::InvalidFormat, kPSP);
  const int version = p.version;
  pixtrel::ColorManager& cm = colorManager_;

  // The image attributes.
  Block block;
  if (!ReadBlock(r, version, block)) ThrowLegacyError(LegacyError::InvalidFormat, kPSP);
  {
    ByteReader a{UpTo(data, block.end)};
    a.Seek(block.start);
    if (version >= 4) a.Skip(4);
    p.width = a.U32LE();
    p.height = a.U32LE();
    const std::span<const std::uint8_t> resolution = a.Take(8);
    double dpi;
    std::memcpy(&dpi, resolution.data(), sizeof dpi);
    const int unit = a.U8();
    if (unit == 2) dpi *= 2.54;
    p.xResolution = p.yResolution = dpi;
    const int compression = a.U16LE();
    const int depth = a.U16LE();
    a.Skip(2 + 4);  // plane count, colour count
    p.greyscale = a.U8() != 0;
    switch (compression) {
      case 0:
        p.compression = ctNone;
        break;
      case 1:
        p.compression = ctRLE;
        break;
      case 2:
        p.compression = ctLZ77;
        break;
      default:
        ThrowLegacyError(LegacyError::NotSupported, kPSP, kCompressionSubject);
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) ThrowLegacyError(LegacyError::InvalidColorFormat, kPSP);
    if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, kPSP);
    CheckImageSize(p.width, p.height, PixelLimit());
    p.bitsPerPixel = depth;
    if (depth == 24) {
      p.colorScheme = csRGB;
      p.bitsPerSample = 8;
      p.samplesPerPixel = 3;
    } else {
      p.colorScheme = p.greyscale ? csG : csIndexed;
      p.bitsPerSample = depth;
      p.samplesPerPixel = 1;
    }
    cm.SetSourceColorScheme(p.colorScheme);
    cm.SetSourceBitsPerSample(p.bitsPerSample);
    cm.SetSourceSamplesPerPixel(p.samplesPerPixel);
    cm.SetTargetColorScheme(depth == 24 ? csBGR : p.colorScheme);
    cm.SetTargetBitsPerSample(p.bitsPerSample);
    cm.SetTargetSamplesPerPixel(p.samplesPerPixel);
    cm.PrepareConversion();
  }
  r.Seek(block.end);

  const int depth = p.bitsPerPixel;
  const std::size_t width = p.width;
  std::size_t rowBytes = depth == 1 ? (width + 7) / 8 : (depth == 4 ? width / 2 + 1 : width);
  const std::size_t minimumRow = depth == 1 ? (width + 7) / 8 : (depth == 4 ? (width + 1) / 2 : width);
  pixtrel::Palette palette;
  bool havePalette = false;
  bool haveLayer = false;

  while (!haveLayer && ReadBlock(r, version, block)) {
    ByteReader b{UpTo(data, block.end)};
    b.Seek(block.start);
    if (block.id == kPaletteBlock) {
      std::size_t entriesAt;
      std::uint32_t count;
      if (version >= 4) {
        const std::size_t chunkEnd = ChunkEnd(b);
        count = b.U32LE();
        entriesAt = chunkEnd;
      } else {
        count = b.U32LE();
        entriesAt = b.Position();
      }
      b.Seek(entriesAt);
      const std::size_t entries = std::min<std::size_t>({count, 256, b.Remaining() / 4});
      palette = cm.BuildPalette(b.Take(entries * 4), PaletteLayout{.fourPerEntry = true, .bgr = true},
                                static_cast<int>(entries));
      havePalette = true;
    } else if (block.id == kLayerStartBlock) {
      ByteReader layers{UpTo(data, block.end)};
      layers.Seek(block.start + block.initial);
      Block layer;
      while (!haveLayer && ReadBlock(layers, version, layer)) {
        ByteReader l{UpTo(data, layer.end)};
        l.Seek(layer.start);
        int type;
        int channels;
        if (version == 3) {
          l.Skip(256);
          type = l.Take(kLayerRecord)[0];
          l.Skip(2);  // bitmap count
          channels = l.U16LE();
          l.Seek(layer.start + std::max<std::size_t>(layer.initial, 256 + kLayerRecord + 4));
        } else {
          const std::size_t infoEnd = ChunkEnd(l);
          l.Skip(l.U16LE());  // name
          type = l.Take(kLayerRecord)[0];
          l.Seek(infoEnd);
          const std::size_t bitmapEnd = ChunkEnd(l);
          l.Skip(2);  // bitmap count
          channels = l.U16LE();
          l.Seek(bitmapEnd);
        }
        layers.Seek(layer.end);
        if (version == 3 ? type != 0 : type > 1) continue;
        haveLayer = true;

        if (channels > 3 && depth == 24) {
          cm.SetSourceColorScheme(csRGBA);
          cm.SetSourceSamplesPerPixel(4);
          cm.SetTargetColorScheme(csBGRA);
          cm.SetTargetSamplesPerPixel(4);
          cm.PrepareConversion();
        }
        p.channels = channels;
        // Planes by channel type: 0 the composite (index, grey or alpha), 1 red,
        // 2 green, 3 blue.
        std::array<std::vector<std::uint8_t>, 4> planes;
        for (int c = 0; c < channels; ++c) {
          Block channel;
          if (!ReadBlock(l, version, channel)) break;
          ByteReader ch{UpTo(data, channel.end)};
          ch.Seek(channel.start);
          std::size_t dataAt;
          if (version >= 4) {
            dataAt = ChunkEnd(ch);
          } else {
            dataAt = channel.start + std::max<std::size_t>(channel.initial, 12);
          }
          const std::size_t packedLength = ch.U32LE();
          const std::size_t unpackedLength = ch.U32LE();
          ch.Skip(2);  // bitmap type
          const int channelType = ch.U16LE();
          ch.Seek(dataAt);
          const std::span<const std::uint8_t> packed =
              ch.Take(p.compression == ctNone ? std::min(packedLength, unpackedLength) : packedLength);
          l.Seek(channel.end);
          if (channelType < 0 || channelType > 3) continue;
          // Rows are as long as the uncompressed size says when that is a
          // whole number of rows that holds the pixels (writers pad raw
          // rows to 4 bytes and pack 4-bit rows in (width + 1) / 2 bytes).
          if (unpackedLength % p.height == 0 && unpackedLength / p.height >= minimumRow) {
            rowBytes = unpackedLength / p.height;
          }
          const std::size_t planeBytes = CheckedMul(rowBytes, p.height);
          CheckExpansion(packed.size(), planeBytes, p.compression == ctLZ77 ? 1032 : 128);
          std::vector<std::uint8_t>& plane = planes[static_cast<std::size_t>(channelType)];
          plane.assign(planeBytes, 0);
          switch (p.compression) {
            case ctRLE:
              PSPRLEDecoder().Unpack(packed.data(), plane.data(), packed.size(), planeBytes);
              break;
            case ctLZ77:
              LZ77Decoder().Unpack(packed.data(), plane.data(), packed.size(), planeBytes);
              break;
            default:
              std::memcpy(plane.data(), packed.data(), std::min(planeBytes, packed.size()));
              break;
          }
        }

        const pixtrel::PixelFormat format = cm.TargetPixelFormat();
        AllocatePicture(p.width, p.height, format);
        if (p.colorScheme == csIndexed && havePalette) SetPalette(palette);
        if (p.colorScheme == csG) SetPalette(cm.BuildGreyPalette(false));
        const std::size_t planeBytes = CheckedMul(rowBytes, p.height);
        for (auto& plane : planes) {
          if (!plane.empty() && plane.size() != planeBytes) plane.resize(planeBytes, 0);
        }
        const bool colour = depth == 24;
        const int used = colour ? (cm.SourceSamplesPerPixel() == 4 ? 4 : 3) : 1;
        std::array<std::size_t, 4> order =
            colour ? std::array<std::size_t, 4>{1, 2, 3, 0} : std::array<std::size_t, 4>{0, 0, 0, 0};
        for (int k = 0; k < used; ++k) {
          if (planes[order[static_cast<std::size_t>(k)]].empty())
            planes[order[static_cast<std::size_t>(k)]].assign(planeBytes, 0);
        }
        for (std::uint32_t y = 0; y < p.height; ++y) {
          const std::uint8_t* rows[4];
          for (int k = 0; k < used; ++k) rows[k] = planes[order[static_cast<std::size_t>(k)]].data() + y * rowBytes;
          cm.ConvertPixelRow(rows, used, 0xFF, static_cast<int>(p.width), ScanLine(static_cast<int>(y)));
        }
      }
    }
    r.Seek(block.end);
  }
  if (!haveLayer) ThrowLegacyError(LegacyError::InvalidFormat, kPSP);
}

}  // namespace pixtrel
