#include <algorithm>
#include <cstring>

#include "codecs/eps/tiff_decode.h"
#include "codecs/eps/tiff_graphic.h"
#include "core/byte_reader.h"

namespace pixtrel::tiffdecode {

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

void OutsideData() { ThrowLegacyError(LegacyError::StreamRead, kTIFFFormat); }

Directory::Directory(std::span<const std::uint8_t> data, bool bigEndian, std::uint32_t offset)
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

const Entry* Directory::Find(std::uint16_t tag) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), tag,
                             [](const Entry& e, std::uint16_t t) { return e.tag < t; });
  return it != entries_.end() && it->tag == tag ? &*it : nullptr;
}

std::uint32_t Directory::Single(std::uint16_t tag, std::uint32_t fallback) const {
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

std::span<const std::uint8_t> Directory::Bytes(const Entry& e) const {
  const int size = FieldSize(e.type);
  if (size == 0) return {};
  const std::uint64_t total = static_cast<std::uint64_t>(e.count) * static_cast<std::uint64_t>(size);
  if (total <= 4) return data_.subspan(e.at + 8, static_cast<std::size_t>(total));
  const std::uint32_t offset = U32(e.at + 8);
  if (offset > data_.size() || total > data_.size() - offset) OutsideData();
  return data_.subspan(offset, static_cast<std::size_t>(total));
}

std::vector<std::uint32_t> Directory::Values(std::uint16_t tag) const {
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

std::vector<double> Directory::Reals(std::uint16_t tag) const {
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

std::uint16_t Directory::Word(const std::uint8_t* b) const {
  return bigEndian_ ? static_cast<std::uint16_t>(b[0] << 8 | b[1]) : static_cast<std::uint16_t>(b[1] << 8 | b[0]);
}

std::uint32_t Directory::Long(const std::uint8_t* b) const {
  return bigEndian_ ? static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                          static_cast<std::uint32_t>(b[2]) << 8 | b[3]
                    : static_cast<std::uint32_t>(b[3]) << 24 | static_cast<std::uint32_t>(b[2]) << 16 |
                          static_cast<std::uint32_t>(b[1]) << 8 | b[0];
}

std::uint16_t Directory::U16(std::size_t at) const {
  if (at + 2 > data_.size()) OutsideData();
  return Word(data_.data() + at);
}

std::uint32_t Directory::U32(std::size_t at) const {
  if (at + 4 > data_.size()) OutsideData();
  return Long(data_.data() + at);
}

Directory ParseDirectory(std::span<const std::uint8_t> tiff) {
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
  return Directory(tiff, bigEndian, ifd);
}

bool ReadImageProperties(const Directory& dir, ImageProperties& p) {
  if (dir.BigEndian()) p.options |= ioBigEndian;
  p.width = dir.Single(kImageWidth, 0);
  p.height = dir.Single(kImageLength, 0);
  if (p.width == 0 || p.height == 0) ThrowLegacyError(LegacyError::InvalidFormat, kTIFFFormat);
  if (dir.Find(kTileWidth) && dir.Find(kTileLength)) {
    // Tiles are not decoded: the picture stays empty.
    p.options |= ioTiled;
    return false;
  }

  const std::vector<std::uint32_t> bits = dir.Values(kBitsPerSample);
  p.bitsPerSample = bits.empty() ? 1 : static_cast<int>(std::min<std::uint32_t>(bits[0], 1024));
  p.samplesPerPixel = static_cast<int>(std::min<std::uint32_t>(dir.Single(kSamplesPerPixel, 1), 1024));
  p.bitsPerPixel = p.bitsPerSample * p.samplesPerPixel;
  if (dir.Single(kPhotometric, 0) == 0) p.options |= ioMinIsWhite;
  if (dir.Single(kFillOrder, 1) == 2) p.options |= ioReversed;
  const std::vector<double> x = dir.Reals(kXResolution), y = dir.Reals(kYResolution);
  const double unit = dir.Single(kResolutionUnit, 2) == 3 ? 2.54 : 1.0;
  p.xResolution = x.empty() ? 0 : x[0] * unit;
  p.yResolution = y.empty() ? 0 : y[0] * unit;
  return true;
}

}  // namespace pixtrel::tiffdecode
