#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "codecs/eps/tiff_decode.h"
#include "codecs/eps/tiff_decoders.h"
#include "codecs/eps/tiff_graphic.h"
#include "codecs/eps/tiff_jpeg.h"
#include "codecs/legacy/decoders.h"
#include "core/byte_reader.h"

namespace pixtrel::tiffdecode {

namespace {

// The bytes with the bit order of each reversed, in buffer.
const std::uint8_t* ReversedCopy(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& buffer) {
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
      unsigned r = 0;
      for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1u) << (7 - b);
      t[i] = static_cast<std::uint8_t>(r);
    }
    return t;
  }();
  buffer.resize(size);
  for (std::size_t i = 0; i < size; ++i) buffer[i] = table[bytes[i]];
  return buffer.data();
}

// The decompressor of the strips; none for uncompressed data. jpeg points at
// it when it is the JPEG one, which must be told each strip's rows.
std::unique_ptr<Decoder> MakeStripDecoder(const Directory& dir, const DecodePlan& plan, const StripTable& table,
                                          std::size_t width, bool reversed, TIFFJPEGDecoder*& jpeg) {
  jpeg = nullptr;
  switch (plan.compression) {
    case 2:
      return std::make_unique<CCITTMHDecoder>(static_cast<int>(width), reversed, false);
    case 32771:
      return std::make_unique<CCITTMHDecoder>(static_cast<int>(width), reversed, true);
    case 3:
      return std::make_unique<CCITTFax3Decoder>(static_cast<int>(width), reversed);
    case 7: {
      TIFFJPEGDecoder::Layout layout;
      layout.width = static_cast<int>(width);
      layout.samplesPerPixel = plan.spp;
      layout.bitsPerSample = plan.bps;
      layout.photometric = static_cast<int>(plan.photometric);
      layout.subsampleH = plan.subH;
      layout.subsampleV = plan.subV;
      layout.subsamplingGiven = dir.Find(kYCbCrSubSampling) != nullptr;
      auto decoder = std::make_unique<TIFFJPEGDecoder>(layout, table.jpegTables);
      jpeg = decoder.get();
      return decoder;
    }
    case 8:
    case 32946:
      return std::make_unique<TIFFLZ77Decoder>();
    case 32773:
      return std::make_unique<PackbitsRLEDecoder>();
    case 32809:
      return std::make_unique<ThunderDecoder>(static_cast<int>(width));
    default:
      return nullptr;
  }
}

}  // namespace

StripTable ReadStripTable(const Directory& dir, const DecodePlan& plan, ImageProperties& p) {
  StripTable table;
  table.offsets = dir.Values(kStripOffsets);
  if (table.offsets.empty()) ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  table.counts = dir.Values(kStripByteCounts);
  table.rowsPerStrip = dir.Values(kRowsPerStrip);
  if (plan.jpeg) {
    if (const Entry* e = dir.Find(kJPEGTables)) table.jpegTables = dir.Bytes(*e);
  }
  table.rowSize = (static_cast<std::size_t>(plan.bps) * plan.spp * p.width + 7) / 8;
  p.rowBytes = static_cast<std::uint32_t>(std::min<std::size_t>(table.rowSize, UINT32_MAX));
  return table;
}

void DecodeStrips(std::span<const std::uint8_t> tiff, const Directory& dir, const DecodePlan& plan,
                  const StripTable& table, const ImageProperties& p, RowConverter& converter, Bitmap& picture) {
  const std::size_t width = p.width;
  const std::size_t height = p.height;
  const std::size_t rowSize = table.rowSize;
  const bool reversed = (p.options & ioReversed) != 0;
  TIFFJPEGDecoder* jpegDecoder = nullptr;
  const std::unique_ptr<Decoder> decoder = MakeStripDecoder(dir, plan, table, width, reversed, jpegDecoder);

  // Subsampled YCbCr: one stored "row" of blocks covers subV image rows.
  const int subV = plan.subV;
  const std::size_t blocksPerRow = plan.blocks ? (width + plan.subH - 1) / plan.subH : 0;
  const std::size_t blockRowSize = blocksPerRow * static_cast<std::size_t>(plan.subH * subV + 2);

  // FillOrder 2 reverses the bits of every stored byte, whatever the
  // compression; the CCITT decoders undo it themselves and JPEG streams are
  // byte streams.
  const bool reverseStrips = reversed && p.compression != ctCCITT && !plan.jpeg;
  std::vector<std::uint8_t> reversedBytes;
  ByteBuffer unpacked;
  const std::vector<std::uint32_t>& offsets = table.offsets;
  std::size_t row = 0;
  for (std::size_t strip = 0; strip < offsets.size() && row < height; ++strip) {
    const std::vector<std::uint32_t>& rowsPerStrip = table.rowsPerStrip;
    std::size_t stripRows = rowsPerStrip.empty() ? height : rowsPerStrip[std::min(strip, rowsPerStrip.size() - 1)];
    if (stripRows == 0 || stripRows == UINT32_MAX) stripRows = height;
    stripRows = std::min(stripRows, height - row);
    const std::size_t storedRows = plan.blocks ? (stripRows + subV - 1) / subV : stripRows;
    const std::size_t storedRowSize = plan.blocks ? blockRowSize : rowSize;
    const std::size_t size = CheckedMul(storedRows, storedRowSize);
    const std::size_t offset = offsets[strip];
    if (offset > tiff.size()) OutsideData();

    const std::uint8_t* rows;
    std::uint8_t* own = nullptr;  // the rows in a buffer of ours
    if (decoder) {
      const std::size_t count = strip < table.counts.size() ? table.counts[strip] : tiff.size() - offset;
      if (count > tiff.size() - offset) OutsideData();
      const std::uint8_t* packed = tiff.data() + offset;
      if (reverseStrips) packed = ReversedCopy(packed, count, reversedBytes);
      unpacked.resize(size);
      if (jpegDecoder) jpegDecoder->SetStrip(static_cast<int>(stripRows), row + stripRows >= height);
      const UnpackResult result = decoder->Unpack(packed, unpacked.data(), count, size);
      // What the data does not reach is black (zero), not the last strip's.
      if (result.produced < size) std::memset(unpacked.data() + result.produced, 0, size - result.produced);
      rows = own = unpacked.data();
    } else {
      if (size > tiff.size() - offset) OutsideData();
      rows = tiff.data() + offset;
      if (reverseStrips) rows = ReversedCopy(rows, size, reversedBytes);
    }

    if (plan.blocks) {
      for (std::size_t b = 0; b < storedRows; ++b) {
        const std::uint8_t* blockRow = rows + b * blockRowSize;
        for (int dy = 0; dy < subV && row < height && b * subV + dy < stripRows; ++dy, ++row) {
          converter.ConvertBlockRow(blockRow, dy, picture.ScanLine(static_cast<int>(row)));
        }
      }
      continue;
    }
    for (std::size_t r = 0; r < stripRows; ++r, ++row) {
      converter.ConvertRow(rows + r * rowSize, own ? own + r * rowSize : nullptr,
                           picture.ScanLine(static_cast<int>(row)));
    }
  }
}

}  // namespace pixtrel::tiffdecode
