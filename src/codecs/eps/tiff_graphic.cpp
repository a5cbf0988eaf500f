#include "codecs/eps/tiff_graphic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/eps/tiff_decoders.h"
#include "codecs/eps/tiff_jpeg.h"
#include "codecs/legacy/decoders.h"
#include "core/byte_reader.h"

namespace pixtrel {

namespace {

enum Tag : std::uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfiguration = 284,
  kT4Options = 292,
  kResolutionUnit = 296,
  kPredictor = 317,
  kColorMap = 320,
  kTileWidth = 322,
  kTileLength = 323,
  kExtraSamples = 338,
  kJPEGTables = 347,
  kYCbCrCoefficients = 529,
  kYCbCrSubSampling = 530,
  kYCbCrPositioning = 531,
};

enum FieldType {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};

int FieldSize(int type) {
  switch (type) {
    case kByte:
    case kAscii:
    case kSByte:
    case kUndefined:
      return 1;
    case kShort:
    case kSShort:
      return 2;
    case kLong:
    case kSLong:
    case kFloat:
      return 4;
    case kRational:
    case kSRational:
    case kDouble:
      return 8;
    default:
      return 0;
  }
}

[[noreturn]] void OutsideData() { ThrowLegacyError(LegacyError::StreamRead, kTIFFFormat); }

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::size_t at = 0;  // where the entry starts in the data
};

// The first image file directory, its entries sorted by tag. Numbers are read
// in the file's byte order; values that fit in four bytes lie in the entry.
class Directory {
 public:
  Directory(std::span<const std::uint8_t> data, bool bigEndian, std::uint32_t offset)
      : data_(data), bigEndian_(bigEndian) {
    if (offset > data.size() || data.size() - offset < 2) OutsideData();
    const std::size_t count = U16(offset);
    if (count * 12 > data.size() - offset - 2) OutsideData();
    entries_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = offset + 2 + 12 * i;
      entries_.push_back(Entry{U16(at), U16(at + 2), U32(at + 4), at});
    }
    std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  }

  bool BigEndian() const { return bigEndian_; }

  const Entry* Find(std::uint16_t tag) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), tag,
                               [](const Entry& e, std::uint16_t t) { return e.tag < t; });
    return it != entries_.end() && it->tag == tag ? &*it : nullptr;
  }

  // A single-valued tag: count 1 and an integer type, else the default.
  std::uint32_t Single(std::uint16_t tag, std::uint32_t fallback) const {
    const Entry* e = Find(tag);
    if (!e || e->count != 1) return fallback;
    switch (e->type) {
      case kByte:
        return data_[e->at + 8];
      case kShort:
        return U16(e->at + 8);
      case kSShort: {
        const auto v = static_cast<std::int16_t>(U16(e->at + 8));
        return v < 0 ? fallback : static_cast<std::uint32_t>(v);
      }
      case kLong:
        return U32(e->at + 8);
      case kSLong: {
        const auto v = static_cast<std::int32_t>(U32(e->at + 8));
        return v < 0 ? fallback : static_cast<std::uint32_t>(v);
      }
      default:
        return fallback;
    }
  }

  // The bytes of a tag's values as stored; empty for an unknown type.
  // Values outside the data fail.
  std::span<const std::uint8_t> Bytes(const Entry& e) const {
    const int size = FieldSize(e.type);
    if (size == 0) return {};
    const std::uint64_t total = static_cast<std::uint64_t>(e.count) * static_cast<std::uint64_t>(size);
    if (total <= 4) return data_.subspan(e.at + 8, static_cast<std::size_t>(total));
    const std::uint32_t offset = U32(e.at + 8);
    if (offset > data_.size() || total > data_.size() - offset) OutsideData();
    return data_.subspan(offset, static_cast<std::size_t>(total));
  }

  // Integer values of a tag (empty when missing or not of an integer type).
  std::vector<std::uint32_t> Values(std::uint16_t tag) const {
    std::vector<std::uint32_t> values;
    const Entry* e = Find(tag);
    if (!e) return values;
    const int size = FieldSize(e->type);
    if (e->type != kByte && e->type != kShort && e->type != kLong && e->type != kSByte && e->type != kSShort &&
        e->type != kSLong && e->type != kUndefined) {
      return values;
    }
    const std::span<const std::uint8_t> bytes = Bytes(*e);
    values.resize(e->count);
    for (std::size_t i = 0; i < e->count; ++i) {
      const std::uint8_t* b = bytes.data() + i * static_cast<std::size_t>(size);
      values[i] = size == 1 ? b[0] : (size == 2 ? Word(b) : Long(b));
    }
    return values;
  }

  // Real values of a rational, floating-point or integer tag; tags whose
  // values lie outside the data count as missing.
  std::vector<double> Reals(std::uint16_t tag) const {
    std::vector<double> values;
    const Entry* e = Find(tag);
    if (!e || FieldSize(e->type) == 0) return values;
    const std::uint64_t total = static_cast<std::uint64_t>(e->count) * static_cast<std::uint64_t>(FieldSize(e->type));
    if (total > 4 && (U32(e->at + 8) > data_.size() || total > data_.size() - U32(e->at + 8))) return values;
    const std::span<const std::uint8_t> bytes = Bytes(*e);
    const std::size_t size = static_cast<std::size_t>(FieldSize(e->type));
    for (std::size_t i = 0; i < e->count; ++i) {
      const std::uint8_t* b = bytes.data() + i * size;
      switch (e->type) {
        case kRational:
        case kSRational: {
          const std::uint32_t n = Long(b), d = Long(b + 4);
          const double num = e->type == kSRational ? static_cast<std::int32_t>(n) : static_cast<double>(n);
          const double den = e->type == kSRational ? static_cast<std::int32_t>(d) : static_cast<double>(d);
          values.push_back(den == 0 ? 0.0 : num / den);
          break;
        }
        case kFloat: {
          const std::uint32_t bits = Long(b);
          float f;
          std::memcpy(&f, &bits, sizeof f);
          values.push_back(f);
          break;
        }
        case kDouble: {
          std::uint64_t bits = bigEndian_ ? (static_cast<std::uint64_t>(Long(b)) << 32) | Long(b + 4)
                                          : (static_cast<std::uint64_t>(Long(b + 4)) << 32) | Long(b);
          double v;
          std::memcpy(&v, &bits, sizeof v);
          values.push_back(v);
          break;
        }
        case kShort:
        case kSShort:
          values.push_back(Word(b));
          break;
        case kLong:
        case kSLong:
          values.push_back(Long(b));
          break;
        default:
          values.push_back(b[0]);
          break;
      }
    }
    return values;
  }

 private:
  std::uint16_t Word(const std::uint8_t* b) const {
    return bigEndian_ ? static_cast<std::uint16_t>(b[0] << 8 | b[1]) : static_cast<std::uint16_t>(b[1] << 8 | b[0]);
  }
  std::uint32_t Long(const std::uint8_t* b) const {
    return bigEndian_ ? static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                            static_cast<std::uint32_t>(b[2]) << 8 | b[3]
                      : static_cast<std::uint32_t>(b[3]) << 24 | static_cast<std::uint32_t>(b[2]) << 16 |
                            static_cast<std::uint32_t>(b[1]) << 8 | b[0];
  }
  std::uint16_t U16(std::size_t at) const {
    if (at + 2 > data_.size()) OutsideData();
    return Word(data_.data() + at);
  }
  std::uint32_t U32(std::size_t at) const {
    if (at + 4 > data_.size()) OutsideData();
    return Long(data_.data() + at);
  }

  std::span<const std::uint8_t> data_;
  bool bigEndian_;
  std::vector<Entry> entries_;
};

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

// Horizontal differencing undone on one row: every byte gets the byte one
// pixel to its left added.
void UndoDifferencing(std::uint8_t* row, std::size_t size, std::size_t stride) {
  for (std::size_t i = stride; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
}

// One row of 8-bit red, green, blue into blue, green, red, with horizontal
// differencing undone when differenced (the same pixels as undoing it first
// and converting after).
void RgbToBgr(const std::uint8_t* in, std::size_t width, bool differenced, std::uint8_t* out) {
  if (differenced) {
    std::uint8_t r = 0, g = 0, b = 0;
    for (std::size_t x = 0; x < width; ++x, in += 3, out += 3) {
      r = static_cast<std::uint8_t>(r + in[0]);
      g = static_cast<std::uint8_t>(g + in[1]);
      b = static_cast<std::uint8_t>(b + in[2]);
      out[0] = b;
      out[1] = g;
      out[2] = r;
    }
    return;
  }
  for (std::size_t x = 0; x < width; ++x, in += 3, out += 3) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
  }
}

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

}  // namespace

void TIFFGraphic::LoadFromStream(Stream& stream) {
  BeginRead(stream);
  // Large-block storage: a file of many megabytes is touched in huge pages.
  stream.Seek(basePosition_);
  const ByteBuffer data = stream.ReadRestBuffer();
  DecodeTIFF(data);
}

void TIFFGraphic::DecodeTIFF(std::span<const std::uint8_t> tiff) {
  pixtrel::ImageProperties& p = properties_;
  p = pixtrel::ImageProperties{};
  if (tiff.size() < 8) ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    bigEndian = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    bigEndian = true;
  } else {
    ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  }
  ByteReader header(tiff.first(8));
  header.Skip(2);
  const unsigned version = bigEndian ? header.U16BE() : header.U16LE();
  const std::uint32_t ifd = bigEndian ? header.U32BE() : header.U32LE();
  if (version != 42) ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  const Directory dir(tiff, bigEndian, ifd);

  if (bigEndian) p.options |= ioBigEndian;
  p.width = dir.Single(kImageWidth, 0);
  p.height = dir.Single(kImageLength, 0);
  if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  if (dir.Find(kTileWidth) && dir.Find(kTileLength)) {
    // Tiles are not decoded: the picture stays empty.
    p.options |= ioTiled;
    return;
  }

  const std::vector<std::uint32_t> bits = dir.Values(kBitsPerSample);
  p.bitsPerSample = bits.empty() ? 1 : static_cast<int>(std::min<std::uint32_t>(bits[0], 1024));
  p.samplesPerPixel = static_cast<int>(std::min<std::uint32_t>(dir.Single(kSamplesPerPixel, 1), 1024));
  p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;
  const std::uint32_t photometric = dir.Single(kPhotometric, 0);
  if (photometric == 0) p.options |= ioMinIsWhite;
  if (dir.Single(kFillOrder, 1) == 2) p.options |= ioReversed;
  {
    const std::vector<double> x = dir.Reals(kXResolution), y = dir.Reals(kYResolution);
    const double unit = dir.Single(kResolutionUnit, 2) == 3 ? 2.54 : 1.0;
    p.xResolution = x.empty() ? 0 : x[0] * unit;
    p.yResolution = y.empty() ? 0 : y[0] * unit;
  }

  // A file without the tag is uncompressed, as TIFF defines.
  const std::uint32_t compression = dir.Single(kCompression, 1);
  switch (compression) {
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
  const bool compressed = compression != 1;
  const int bps = p.bitsPerSample;
  const int spp = p.samplesPerPixel;

  // What the strip decoders cannot get right is refused rather than decoded
  // to wrong pixels.
  if (dir.Single(kPlanarConfiguration, 1) == 2 && spp > 1) NotSupported("Separate sample planes are");
  const std::uint32_t t4Options = dir.Single(kT4Options, 0);
  if (compression == 3 && (t4Options & 1)) NotSupported("Two-dimensional CCITT Group 3 coding is");
  if (compression == 3 && (t4Options & 2)) NotSupported("Uncompressed CCITT Group 3 mode is");
  // CCITT codes bilevel rows, ThunderScan 4-bit grey.
  const bool ccittFits = p.compression != ctCCITT || (bps == 1 && spp == 1);
  const bool thunderFits = p.compression != ctThunderscan || (bps == 4 && spp == 1);
  if (!ccittFits || !thunderFits) ThrowLegacyError(LegacyError::InvalidColorFormat, kTIFFFormat);
  const std::uint32_t predictor = compressed ? dir.Single(kPredictor, 0) : 0;
  if (predictor == 2 && bps != 8) NotSupported("Horizontal differencing of " + std::to_string(bps) + "-bit samples is");
  if (predictor > 2) NotSupported("The predictor is");

  // The colour manager.
  pixtrel::ColorManager& cm = colorManager_;
  ColorScheme scheme = SchemeOfPhotometric(photometric, spp);
  const bool jpeg = compression == 7;
  if (jpeg) {
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
  const bool fromIndexed = scheme == csIndexed;
  if ((scheme == csIndexed || scheme == csG) && spp >= 2) scheme = csGA;
  ConversionOptions options = 0;
  if (bigEndian) options |= coNeedByteSwap;
  if (scheme == csCIELab) options |= coLabByteRange;
  {
    const std::vector<std::uint32_t> extra = dir.Values(kExtraSamples);
    if (!extra.empty() && std::all_of(extra.begin(), extra.end(), [](std::uint32_t v) { return v <= 2; })) {
      options |= coAlpha;
    }
  }
  p.colorScheme = scheme;
  cm.SetSourceBitsPerSample(bps);
  cm.SetSourceSamplesPerPixel(spp);
  cm.SetSourceColorScheme(scheme);
  cm.SetSourceOptions(options);
  ColorScheme target = scheme;
  switch (scheme) {
    case csRGB:
    case csCMY:
    case csCMYK:
    case csCIELab:
    case csYCbCr:
      target = csBGR;
      break;
    case csRGBA:
      target = csBGRA;
      break;
    case csGA:
      target = fromIndexed ? csIndexed : csG;
      break;
    default:
      break;
  }
  cm.SetTargetColorScheme(target);
  cm.SetTargetBitsPerSample(bps == 16 ? 8 : bps);
  cm.SetTargetSamplesPerPixel(scheme == csCMYK ? 3 : (scheme == csGA ? 1 : spp));

  int subH = 1, subV = 1;
  if (photometric == 6) {
    const std::vector<double> coefficients = dir.Reals(kYCbCrCoefficients);
    // Luma weights are fractions of one; anything else (zeros written by
    // careless writers, or garbage) keeps the standard weights, which also
    // keeps the conversion tables within range.
    auto weight = [](double v) { return std::isfinite(v) && v > 0.001 && v < 1.0; };
    if (coefficients.size() >= 3 && weight(coefficients[0]) && weight(coefficients[1]) && weight(coefficients[2])) {
      cm.SetYCbCrParameters(coefficients[0], coefficients[1], coefficients[2]);
    }
    const std::vector<std::uint32_t> sub = dir.Values(kYCbCrSubSampling);
    subH = sub.size() >= 1 ? static_cast<int>(std::min<std::uint32_t>(sub[0], 16)) : 2;
    subV = sub.size() >= 2 ? static_cast<int>(std::min<std::uint32_t>(sub[1], 16)) : 2;
    cm.SetYCbCrSubsampling(subH, subV);
    (void)dir.Single(kYCbCrPositioning, 1);  // chroma siting: not used for display
  }
  // Uncompressed-style YCbCr data with subsampled chroma comes in blocks of
  // subH x subV luma samples followed by Cb and Cr; it is expanded to full
  // resolution here (JPEG strips are expanded by libjpeg).
  const bool blocks = scheme == csYCbCr && (subH > 1 || subV > 1);
  if (blocks && (bps != 8 || spp != 3)) ThrowLegacyError(LegacyError::InvalidColorFormat, kTIFFFormat);
  if (blocks && predictor == 2) NotSupported("Horizontal differencing of subsampled YCbCr data is");
  cm.PrepareConversion();
  const pixtrel::PixelFormat format = cm.TargetPixelFormat();
  if (format == pfDevice) ThrowLegacyError(LegacyError::InvalidColorFormat, kTIFFFormat);

  // The strip table.
  const std::vector<std::uint32_t> offsets = dir.Values(kStripOffsets);
  if (offsets.empty()) ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  const std::vector<std::uint32_t> counts = dir.Values(kStripByteCounts);
  const std::vector<std::uint32_t> rowsPerStrip = dir.Values(kRowsPerStrip);
  std::span<const std::uint8_t> tables;
  if (jpeg) {
    if (const Entry* e = dir.Find(kJPEGTables)) tables = dir.Bytes(*e);
  }

  const std::size_t width = p.width;
  const std::size_t rowSize = (static_cast<std::size_t>(bps) * spp * width + 7) / 8;
  p.rowBytes = static_cast<std::uint32_t>(std::min<std::size_t>(rowSize, UINT32_MAX));
  // Subsampled YCbCr: one stored "row" of blocks covers subV image rows.
  const std::size_t blocksPerRow = blocks ? (width + subH - 1) / subH : 0;
  const std::size_t blockSize = static_cast<std::size_t>(subH * subV + 2);
  const std::size_t blockRowSize = blocksPerRow * blockSize;

  // Everything that can fail on the header has been checked: now the picture.
  AllocatePicture(p.width, p.height, format);
  if (format == pf1bit || format == pf4bit || format == pf8bit) {
    pixtrel::Palette palette;
    if (photometric == 3) {
      const Entry* e = dir.Find(kColorMap);
      if (e && e->type == kShort) {
        palette = cm.BuildPalette(dir.Bytes(*e), PaletteLayout{true, 16, false, false}, static_cast<int>(e->count / 3));
      }
    }
    if (palette.empty()) palette = cm.BuildGreyPalette(photometric == 0);
    SetPalette(std::move(palette));
  }

  std::unique_ptr<Decoder> decoder;
  TIFFJPEGDecoder* jpegDecoder = nullptr;
  const bool reversed = (p.options & ioReversed) != 0;
  switch (compression) {
    case 2:
      decoder = std::make_unique<CCITTMHDecoder>(static_cast<int>(width), reversed, false);
      break;
    case 32771:
      decoder = std::make_unique<CCITTMHDecoder>(static_cast<int>(width), reversed, true);
      break;
    case 3:
      decoder = std::make_unique<CCITTFax3Decoder>(static_cast<int>(width), reversed);
      break;
    case 7: {
      TIFFJPEGDecoder::Layout layout;
      layout.width = static_cast<int>(width);
      layout.samplesPerPixel = spp;
      layout.bitsPerSample = bps;
      layout.photometric = static_cast<int>(photometric);
      layout.subsampleH = subH;
      layout.subsampleV = subV;
      layout.subsamplingGiven = dir.Find(kYCbCrSubSampling) != nullptr;
      auto j = std::make_unique<TIFFJPEGDecoder>(layout, tables);
      jpegDecoder = j.get();
      decoder = std::move(j);
      break;
    }
    case 8:
    case 32946:
      decoder = std::make_unique<TIFFLZ77Decoder>();
      break;
    case 32773:
      decoder = std::make_unique<PackbitsRLEDecoder>();
      break;
    case 32809:
      decoder = std::make_unique<ThunderDecoder>(static_cast<int>(width));
      break;
    default:
      break;
  }

  // FillOrder 2 reverses the bits of every stored byte, whatever the
  // compression; the CCITT decoders undo it themselves and JPEG streams are
  // byte streams.
  const bool reverseStrips = reversed && p.compression != ctCCITT && !jpeg;
  std::vector<std::uint8_t> reversedBytes;
  const std::size_t height = p.height;
  const std::size_t stride = static_cast<std::size_t>(spp);
  // The common cases in one pass each: blue-green-red rows as they are, and
  // red-green-blue rows reordered with any differencing undone on the way.
  const bool copyRows = scheme == csBGR && bps == 8 && spp == 3 && format == pf24bit;
  const bool rgbRows = scheme == csRGB && bps == 8 && spp == 3 && format == pf24bit;
  ByteBuffer unpacked;
  std::vector<std::uint8_t> expanded(blocks ? width * 3 : 0);
  std::size_t row = 0;
  for (std::size_t strip = 0; strip < offsets.size() && row < height; ++strip) {
    std::size_t stripRows = rowsPerStrip.empty() ? height : rowsPerStrip[std::min(strip, rowsPerStrip.size() - 1)];
    if (stripRows == 0 || stripRows == UINT32_MAX) stripRows = height;
    stripRows = std::min(stripRows, height - row);
    const std::size_t storedRows = blocks ? (stripRows + subV - 1) / subV : stripRows;
    const std::size_t storedRowSize = blocks ? blockRowSize : rowSize;
    const std::size_t size = CheckedMul(storedRows, storedRowSize);
    const std::size_t offset = offsets[strip];
    if (offset > tiff.size()) OutsideData();

    const std::uint8_t* rows;
    if (decoder) {
      const std::size_t count = strip < counts.size() ? counts[strip] : tiff.size() - offset;
      if (count > tiff.size() - offset) OutsideData();
      const std::uint8_t* packed = tiff.data() + offset;
      if (reverseStrips) packed = ReversedCopy(packed, count, reversedBytes);
      unpacked.resize(size);
      if (jpegDecoder) jpegDecoder->SetStrip(static_cast<int>(stripRows), row + stripRows >= height);
      const UnpackResult result = decoder->Unpack(packed, unpacked.data(), count, size);
      // What the data does not reach is black (zero), not the last strip's.
      if (result.produced < size) std::memset(unpacked.data() + result.produced, 0, size - result.produced);
      rows = unpacked.data();
    } else {
      if (size > tiff.size() - offset) OutsideData();
      rows = tiff.data() + offset;
      if (reverseStrips) rows = ReversedCopy(rows, size, reversedBytes);
    }

    if (blocks) {
      for (std::size_t b = 0; b < storedRows; ++b) {
        const std::uint8_t* blockRow = rows + b * blockRowSize;
        for (int dy = 0; dy < subV && row < height && b * subV + dy < stripRows; ++dy, ++row) {
          for (std::size_t x = 0; x < width; ++x) {
            const std::uint8_t* block = blockRow + (x / subH) * blockSize;
            std::uint8_t* out = expanded.data() + 3 * x;
            out[0] = block[dy * subH + x % subH];
            out[1] = block[subH * subV];
            out[2] = block[subH * subV + 1];
          }
          cm.ConvertPixelRow(expanded.data(), static_cast<int>(width), ScanLine(static_cast<int>(row)));
        }
      }
      continue;
    }
    for (std::size_t r = 0; r < stripRows; ++r, ++row) {
      const std::uint8_t* source = rows + r * rowSize;
      if (rgbRows) {
        RgbToBgr(source, width, predictor == 2, ScanLine(static_cast<int>(row)));
        continue;
      }
      if (predictor == 2) {  // only ever set for compressed, unpacked strips
        std::uint8_t* own = unpacked.data() + r * rowSize;
        UndoDifferencing(own, rowSize, stride);
        source = own;
      }
      std::uint8_t* target = ScanLine(static_cast<int>(row));
      if (copyRows) {
        std::memcpy(target, source, rowSize);
      } else {
        cm.ConvertPixelRow(source, static_cast<int>(width), target);
      }
    }
  }
}

}  // namespace pixtrel
