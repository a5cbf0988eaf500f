// Windows BMP input and output for Bitmap.
//
// Reading takes every header generation in use: the OS/2 1.x core header
// (12 bytes, three-byte palette entries), OS/2 2.x headers (16 to 64 bytes,
// read like a Windows header, where compression 4 means RLE24 and 3 means
// Huffman, which is refused), and the Windows headers of 40, 52, 56, 108 and
// 124 bytes. Bit counts 1, 2, 4, 8, 16, 24 and 32; uncompressed, bit-field
// (BI_BITFIELDS, BI_ALPHABITFIELDS), RLE4, RLE8 and RLE24 pixel data.
//
// The result keeps the file's bit count where a pixel format holds it as
// stored: 1, 4, 8 bits give pf1bit, pf4bit, pf8bit with the file's palette;
// 16 bits with 5-5-5 masks (or none) pf15bit, with 5-6-5 masks pf16bit;
// 24 bits pf24bit; 32 bits pf32bit with the fourth byte as stored. Other
// masks are scaled to 8 bits per channel: 32-bit files, and 16-bit files with
// an alpha mask, give pf32bit (alpha, or 0 without an alpha mask, in the
// spare byte); other 16-bit files give pf24bit. 2-bit files (Windows CE)
// become pf4bit with their four-entry palette.
//
// Damaged files: a bad signature, header size, plane count, bit count or
// compression, JPEG or PNG payloads, top-down RLE and a palette cut off by the
// end of the file throw EInvalidGraphic with a code of bmp_errors.h; a size
// beyond the system's limit throws EImageTooLarge before anything is
// allocated. Pixel data that ends early: uncompressed rows present in the
// file are kept (the last one possibly in part) as long as at least half of
// the data is there, else the file is invalid; RLE data keeps what was
// decoded. Pixels not read stay zero (palette index 0, or black). A file
// without a single byte of pixel data is invalid. A pixel offset before the palette's end or past the end of the
// file is replaced by the position right after the palette.
//
// Loading starts at the stream's position, the file's first byte, and leaves
// the stream after the pixel data. The target bitmap changes only when the
// whole file has been read, and only its picture: size, format, pixels and
// palette; transparency settings and the canvas stay.
//
// Writing keeps the bitmap's format: a 40-byte header, rows bottom-up, the
// palette for 1, 4 and 8 bits (black entries added up to the highest index
// used), pf15bit as BI_RGB 16 bits, pf16bit as BI_BITFIELDS with 5-6-5 masks,
// 24 and 32 bits as BI_RGB.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "core/bitmap.h"
#include "core/bmp_errors.h"
#include "core/byte_reader.h"
#include "core/errors.h"
#include "core/packed_row.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

enum class Compression { Rgb, Rle8, Rle4, Rle24, Bitfields };

// How the stored pixels become bitmap pixels.
enum class Layout {
  Copy,       // rows as stored: indexed, pf15bit, pf16bit, pf24bit, pf32bit
  TwoBit,     // 2-bit indices widened to pf4bit
  Bitfields,  // masked channels scaled to pf24bit or pf32bit
};

struct BmpInfo {
  std::int64_t width = 0;
  std::int64_t height = 0;  // rows, always positive
  bool topDown = false;
  int bits = 0;
  Compression compression = Compression::Rgb;
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  std::size_t headerEnd = 0;             // after the info header and any masks
  std::size_t paletteEntrySize = 4;
  std::size_t paletteCount = 0;  // entries used (indexed) or skipped (direct)
  std::uint32_t pixelOffset = 0;
};

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::uint16_t Get16(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

bool IsWindowsHeaderSize(std::uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

BmpInfo ParseHeaders(std::span<const std::uint8_t> data, std::int64_t pixelLimit) {
  if (data.size() < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') ThrowBmpError(BmpError::NotABitmap);
  BmpInfo info;
  info.pixelOffset = Get32(data, 10);
  const std::uint32_t headerSize = Get32(data, 14);
  const bool core = headerSize == 12;
  const bool windows = IsWindowsHeaderSize(headerSize);
  if (!core && !windows && (headerSize < 16 || headerSize > 64)) ThrowBmpError(BmpError::BadHeaderSize);
  if (data.size() - kFileHeaderSize < headerSize) ThrowBmpError(BmpError::HeaderCutOff);
  const auto header = data.subspan(kFileHeaderSize, headerSize);
  info.headerEnd = kFileHeaderSize + headerSize;

  int planes = 0;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  if (core) {
    info.width = Get16(header, 4);
    info.height = Get16(header, 6);
    planes = Get16(header, 8);
    info.bits = Get16(header, 10);
    info.paletteEntrySize = 3;
  } else {
    // OS/2 2.x headers may stop after any field; the missing ones read as 0.
    info.width = static_cast<std::int32_t>(Get32(header, 4));
    info.height = static_cast<std::int32_t>(Get32(header, 8));
    planes = Get16(header, 12);
    info.bits = Get16(header, 14);
    compression = Get32(header, 16);
    colorsUsed = Get32(header, 32);
  }
  if (planes != 1) ThrowBmpError(BmpError::BadPlaneCount);
  if (info.width < 0) ThrowBmpError(BmpError::NegativeWidth);
  if (info.height < 0) {
    info.topDown = true;
    info.height = -info.height;
  }

  switch (compression) {
    case 0:
      info.compression = Compression::Rgb;
      break;
    case 1:
      info.compression = Compression::Rle8;
      break;
    case 2:
      info.compression = Compression::Rle4;
      break;
    case 3:  // OS/2 2.x: Huffman 1D
      if (!windows) ThrowBmpError(BmpError::UnsupportedCompression);
      info.compression = Compression::Bitfields;
      break;
    case 4:  // Windows: JPEG; OS/2 2.x: RLE24
      if (windows) ThrowBmpError(BmpError::UnsupportedCompression);
      info.compression = Compression::Rle24;
      break;
    case 6:  // BI_ALPHABITFIELDS
      if (!windows) ThrowBmpError(BmpError::UnsupportedCompression);
      info.compression = Compression::Bitfields;
      break;
    default:
      ThrowBmpError(BmpError::UnsupportedCompression);  // BI_PNG and unknown kinds
  }

  bool bitsValid = false;
  switch (info.compression) {
    case Compression::Rgb:
      bitsValid = info.bits == 1 || info.bits == 2 || info.bits == 4 || info.bits == 8 || info.bits == 24 ||
                  (!core && (info.bits == 16 || info.bits == 32));
      break;
    case Compression::Rle8:
      bitsValid = info.bits == 8;
      break;
    case Compression::Rle4:
      bitsValid = info.bits == 4;
      break;
    case Compression::Rle24:
      bitsValid = info.bits == 24;
      break;
    case Compression::Bitfields:
      bitsValid = info.bits == 16 || info.bits == 32;
      break;
  }
  if (!bitsValid) ThrowBmpError(BmpError::BadBitCount);
  // Run-length data is stored bottom-up by definition.
  if (info.topDown && info.compression != Compression::Rgb && info.compression != Compression::Bitfields)
    ThrowBmpError(BmpError::TopDownRle);

  CheckImageSize(info.width, info.height, pixelLimit);

  if (info.compression == Compression::Bitfields) {
    const bool withAlpha = compression == 6;
    if (headerSize >= 52) {
      // Version 2 and later headers hold the masks themselves.
      for (std::size_t i = 0; i < 3; ++i) info.masks[i] = Get32(header, 40 + 4 * i);
      if (headerSize >= 56) info.masks[3] = Get32(header, 52);
    } else {
      const std::size_t count = withAlpha ? 4 : 3;
      if (data.size() - info.headerEnd < 4 * count) ThrowBmpError(BmpError::MasksCutOff);
      for (std::size_t i = 0; i < count; ++i) info.masks[i] = Get32(data, info.headerEnd + 4 * i);
      info.headerEnd += 4 * count;
    }
  }
  if (info.compression == Compression::Rgb || (info.masks[0] | info.masks[1] | info.masks[2]) == 0) {
    // BI_RGB 16 bits is 5-5-5; 32 bits keeps its fourth byte as stored.
    if (info.bits == 16) info.masks = {0x7C00, 0x03E0, 0x001F, 0};
    if (info.bits == 32) info.masks = {0xFF0000, 0xFF00, 0xFF, 0};
  }

  const std::size_t available = data.size() - info.headerEnd;
  if (info.bits <= 8) {
    const std::size_t maxEntries = std::size_t{1} << info.bits;
    if (core) {
      // The core header has no colour count: the pixel offset tells.
      std::size_t count = maxEntries;
      if (info.pixelOffset > info.headerEnd) {
        const std::size_t fromOffset = (info.pixelOffset - info.headerEnd) / 3;
        if (fromOffset > 0 && fromOffset < maxEntries) count = fromOffset;
      }
      info.paletteCount = count;
    } else {
      info.paletteCount = colorsUsed == 0 ? maxEntries : std::min<std::size_t>(colorsUsed, maxEntries);
    }
    if (available / info.paletteEntrySize < info.paletteCount) ThrowBmpError(BmpError::PaletteCutOff);
  } else {
    // An optional palette of direct-colour files is skipped, never used.
    info.paletteCount = std::min<std::size_t>(colorsUsed, available / info.paletteEntrySize);
  }
  return info;
}

Palette ReadPalette(std::span<const std::uint8_t> data, const BmpInfo& info) {
  Palette palette(info.paletteCount);
  const std::uint8_t* entry = data.data() + info.headerEnd;
  for (auto& color : palette) {
    color = RGB(entry[2], entry[1], entry[0]);
    entry += info.paletteEntrySize;
  }
  return palette;
}

// One colour channel of a bit-field pixel, scaled to 0..255.
class MaskChannel {
 public:
  explicit MaskChannel(std::uint32_t mask) : mask_(mask) {
    if (mask_ == 0) return;
    shift_ = std::countr_zero(mask_);
    max_ = mask_ >> shift_;
    if (max_ < (1u << 16)) {
      table_.resize(max_ + 1);
      for (std::uint32_t v = 0; v <= max_; ++v) table_[v] = Scale(v);
    }
  }

  bool Present() const { return mask_ != 0; }

  std::uint8_t operator()(std::uint32_t pixel) const {
    if (mask_ == 0) return 0;
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return table_.empty() ? Scale(v) : table_[v];
  }

 private:
  std::uint8_t Scale(std::uint32_t v) const {
    return static_cast<std::uint8_t>((std::uint64_t{v} * 255 + max_ / 2) / max_);
  }

  std::uint32_t mask_ = 0;
  int shift_ = 0;
  std::uint32_t max_ = 0;
  std::vector<std::uint8_t> table_;
};

struct PixelPlan {
  Layout layout = Layout::Copy;
  PixelFormat format = pf24bit;
};

PixelPlan PlanPixels(const BmpInfo& info) {
  const auto& m = info.masks;
  switch (info.bits) {
    case 1:
      return {Layout::Copy, pf1bit};
    case 2:
      return {Layout::TwoBit, pf4bit};
    case 4:
      return {Layout::Copy, pf4bit};
    case 8:
      return {Layout::Copy, pf8bit};
    case 24:
      return {Layout::Copy, pf24bit};
    case 16:
      if (m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F) return {Layout::Copy, pf15bit};
      if (m[0] == 0xF800 && m[1] == 0x07E0 && m[2] == 0x001F) return {Layout::Copy, pf16bit};
      return {Layout::Bitfields, m[3] != 0 ? pf32bit : pf24bit};
    default:
      if (m[0] == 0xFF0000 && m[1] == 0xFF00 && m[2] == 0xFF && (m[3] == 0 || m[3] == 0xFF000000))
        return {Layout::Copy, pf32bit};
      return {Layout::Bitfields, pf32bit};
  }
}

// Converts stored rows of one layout into bitmap rows.
class RowConverter {
 public:
  RowConverter(const BmpInfo& info, const PixelPlan& plan)
      : plan_(plan),
        width_(static_cast<std::size_t>(info.width)),
        bits_(info.bits),
        red_(info.masks[0]),
        green_(info.masks[1]),
        blue_(info.masks[2]),
        alpha_(info.masks[3]) {}

  void operator()(const std::uint8_t* in, std::uint8_t* out) const {
    switch (plan_.layout) {
      case Layout::Copy: {
        const std::size_t usedBits = width_ * static_cast<std::size_t>(bits_);
        const std::size_t bytes = (usedBits + 7) / 8;
        std::memcpy(out, in, bytes);
        // Bits past the last pixel are cleared so saving gives clean rows.
        if (usedBits % 8 != 0) out[bytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - usedBits % 8));
        break;
      }
      case Layout::TwoBit:
        // The output row starts out zero, as the bitmap's storage does.
        for (std::size_t x = 0; x < width_; ++x) SetPackedPixel(out, 4, x, PackedPixel(in, 2, x));
        break;
      case Layout::Bitfields: {
        const std::size_t inBytes = static_cast<std::size_t>(bits_) / 8;
        const std::size_t outBytes = plan_.format == pf32bit ? 4 : 3;
        for (std::size_t x = 0; x < width_; ++x) {
          const std::uint8_t* p = in + x * inBytes;
          std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
          if (inBytes == 4) v |= (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
          std::uint8_t* q = out + x * outBytes;
          q[0] = blue_(v);
          q[1] = green_(v);
          q[2] = red_(v);
          if (outBytes == 4) q[3] = alpha_(v);
        }
        break;
      }
    }
  }

 private:
  PixelPlan plan_;
  std::size_t width_;
  int bits_;
  MaskChannel red_, green_, blue_, alpha_;
};

// Uncompressed data shorter than half of what the header asks for is
// refused, so a few bytes cannot make the reader allocate a huge picture.
void CheckUncompressedLength(std::span<const std::uint8_t> data, std::size_t start, const BmpInfo& info) {
  const std::size_t needed =
      CheckedMul(RowBytes(static_cast<int>(info.width), info.bits), static_cast<std::size_t>(info.height));
  if (start >= data.size() || data.size() - start < needed - needed / 2) ThrowBmpError(BmpError::PixelDataTooShort);
}

// Returns the end of the pixel data that was read.
std::size_t DecodeUncompressed(std::span<const std::uint8_t> data, std::size_t start, const BmpInfo& info,
                               const PixelPlan& plan, Bitmap& bitmap) {
  const RowConverter convert(info, plan);
  const std::size_t stride = RowBytes(static_cast<int>(info.width), info.bits);
  const int height = static_cast<int>(info.height);
  std::vector<std::uint8_t> partial;
  std::size_t end = start;
  for (int i = 0; i < height; ++i) {
    const std::size_t at = start + static_cast<std::size_t>(i) * stride;
    if (at >= data.size()) break;
    const std::size_t present = std::min(stride, data.size() - at);
    const std::uint8_t* row = data.data() + at;
    if (present < stride) {
      partial.assign(stride, 0);
      std::memcpy(partial.data(), row, present);
      row = partial.data();
    }
    convert(row, bitmap.ScanLine(info.topDown ? i : height - 1 - i));
    end = at + present;
  }
  return end;
}

// Run-length data (RLE4, RLE8, RLE24): runs, end of line, end of bitmap,
// delta moves and absolute runs padded to 16 bits. Pixels beyond a row's end
// are dropped; data that ends early keeps what was decoded.
class RleDecoder {
 public:
  RleDecoder(const BmpInfo& info, Bitmap& bitmap)
      : bitmap_(bitmap),
        width_(info.width),
        height_(info.height),
        nibbles_(info.compression == Compression::Rle4),
        pixelBytes_(info.compression == Compression::Rle24 ? 3 : 1) {}

  std::size_t Decode(std::span<const std::uint8_t> data, std::size_t pos) {
    const std::size_t size = data.size();
    std::int64_t x = 0;
    std::int64_t y = 0;
    while (y < height_ && pos < size) {
      const unsigned count = data[pos++];
      if (count > 0) {
        if (size - pos < pixelBytes_) break;
        Run(x, y, count, data.data() + pos);
        pos += pixelBytes_;
        x += count;
        continue;
      }
      if (pos >= size) break;
      const unsigned escape = data[pos++];
      if (escape == 0) {
        x = 0;
        ++y;
      } else if (escape == 1) {
        break;
      } else if (escape == 2) {
        if (size - pos < 2) break;
        x += data[pos];
        y += data[pos + 1];
        pos += 2;
      } else {
        const std::size_t bytes = nibbles_ ? (escape + 1) / 2 : escape * pixelBytes_;
        const std::size_t present = std::min(bytes, size - pos);
        Absolute(x, y, escape, data.data() + pos, present);
        pos += present;
        if (present < bytes) break;
        x += escape;
        if ((bytes & 1) != 0 && pos < size) ++pos;
      }
    }
    return pos;
  }

 private:
  std::uint8_t* Row(std::int64_t y) { return bitmap_.ScanLine(static_cast<int>(height_ - 1 - y)); }

  static void SetNibble(std::uint8_t* row, std::int64_t x, unsigned value) {
    SetPackedPixel(row, 4, static_cast<std::size_t>(x), static_cast<int>(value));
  }

  void Run(std::int64_t x, std::int64_t y, unsigned count, const std::uint8_t* pixel) {
    if (x >= width_) return;
    const std::int64_t n = std::min<std::int64_t>(count, width_ - x);
    std::uint8_t* row = Row(y);
    if (nibbles_) {
      for (std::int64_t i = 0; i < n; ++i) SetNibble(row, x + i, (i & 1) ? (pixel[0] & 0x0F) : (pixel[0] >> 4));
    } else if (pixelBytes_ == 1) {
      std::memset(row + x, pixel[0], static_cast<std::size_t>(n));
    } else {
      for (std::int64_t i = 0; i < n; ++i) std::memcpy(row + 3 * (x + i), pixel, 3);
    }
  }

  void Absolute(std::int64_t x, std::int64_t y, unsigned count, const std::uint8_t* bytes, std::size_t present) {
    if (x >= width_) return;
    const std::int64_t room = width_ - x;
    std::uint8_t* row = Row(y);
    if (nibbles_) {
      const std::int64_t n = std::min<std::int64_t>({count, room, static_cast<std::int64_t>(2 * present)});
      for (std::int64_t i = 0; i < n; ++i)
        SetNibble(row, x + i, (i & 1) ? (bytes[i >> 1] & 0x0F) : (bytes[i >> 1] >> 4));
    } else {
      const std::int64_t n = std::min<std::int64_t>({count, room, static_cast<std::int64_t>(present / pixelBytes_)});
      std::memcpy(row + x * static_cast<std::int64_t>(pixelBytes_), bytes, static_cast<std::size_t>(n) * pixelBytes_);
    }
  }

  Bitmap& bitmap_;
  std::int64_t width_;
  std::int64_t height_;
  bool nibbles_;
  std::size_t pixelBytes_;
};

// The highest palette index in one row of an indexed format.
std::size_t HighestIndex(const std::uint8_t* row, int width, int bits) {
  unsigned highest = 0;
  const std::size_t w = static_cast<std::size_t>(width);
  if (w == 0) return 0;  // a row of no pixels uses no index
  switch (bits) {
    case 1:
      for (std::size_t i = 0; i < w / 8; ++i) highest |= row[i];
      if (w % 8) highest |= row[w / 8] & (0xFF << (8 - w % 8));
      return highest != 0 ? 1 : 0;
    case 4:
      for (std::size_t x = 0; x < w; ++x)
        highest = std::max<unsigned>(highest, static_cast<unsigned>(PackedPixel(row, 4, x)));
      return highest;
    default:
      return *std::max_element(row, row + w);
  }
}

void Put16(std::uint8_t*& p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p += 2;
}

void Put32(std::uint8_t*& p, std::uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p, v >> 16);
}

}  // namespace

void ThrowBmpError(BmpError error) {
  const BmpErrorRow& row = BmpErrorInfo(error);
  if (error == BmpError::FileTooLarge) throw EImageTooLarge(row.code);
  throw EInvalidGraphic(row.code, row.text);
}

void Bitmap::LoadFromStream(Stream& stream) {
  const std::int64_t origin = stream.Position();
  const ByteBuffer bytes = stream.ReadRestBuffer();
  const std::span<const std::uint8_t> data(bytes);

  const BmpInfo info = ParseHeaders(data, PixelLimit());
  const PixelPlan plan = PlanPixels(info);

  const bool uncompressed = info.compression == Compression::Rgb || info.compression == Compression::Bitfields;
  const bool empty = info.width == 0 || info.height == 0;
  // Where the pixels start: the stated offset when it points between the
  // palette's end and the end of the file, else right after the palette.
  const std::size_t paletteEnd = info.headerEnd + info.paletteCount * info.paletteEntrySize;
  const std::size_t lowest = info.bits <= 8 ? paletteEnd : info.headerEnd;
  std::size_t start = paletteEnd;
  if (info.pixelOffset >= lowest && info.pixelOffset < data.size()) start = info.pixelOffset;
  if (!empty) {
    if (start >= data.size()) ThrowBmpError(BmpError::NoPixelData);
    if (uncompressed) CheckUncompressedLength(data, start, info);
  }

  Bitmap result;
  result.Reallocate(static_cast<int>(info.width), static_cast<int>(info.height), plan.format);
  if (info.bits <= 8) result.palette_ = ReadPalette(data, info);
  std::size_t end = info.headerEnd;
  if (!empty) {
    if (uncompressed)
      end = DecodeUncompressed(data, start, info, plan, result);
    else
      end = RleDecoder(info, result).Decode(data, start);
  }
  stream.Seek(origin + static_cast<std::int64_t>(end));

  width_ = result.width_;
  height_ = result.height_;
  format_ = result.format_;
  stride_ = result.stride_;
  pixels_ = std::move(result.pixels_);
  palette_ = std::move(result.palette_);
}

void Bitmap::SaveToStream(Stream& stream) const {
  const int bits = BitsPerPixel(format_);
  const bool indexed = bits <= 8;
  const bool bitfields = format_ == pf16bit;
  const std::size_t stride = RowBytes(width_, bits);

  pixtrel::Palette palette;
  if (indexed) {
    const std::size_t maxEntries = std::size_t{1} << bits;
    palette.assign(palette_.begin(),
                   palette_.begin() + static_cast<std::ptrdiff_t>(std::min(palette_.size(), maxEntries)));
    // Indices past a short palette show black: the file gets black entries
    // up to the highest index used, which other readers insist on.
    if (palette.size() < maxEntries) {
      std::size_t highest = 0;
      for (int y = 0; y < height_ && highest + 1 < maxEntries; ++y)
        highest = std::max(highest, HighestIndex(ScanLine(y), width_, bits));
      if (palette.size() <= highest) palette.resize(highest + 1, clBlack);
    }
  }
  const std::size_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + (bitfields ? 12 : 0) + 4 * palette.size();
  const std::size_t imageSize = CheckedMul(stride, static_cast<std::size_t>(height_));
  const std::size_t fileSize = pixelOffset + imageSize;
  if (fileSize > 0xFFFFFFFFu) ThrowBmpError(BmpError::FileTooLarge);

  std::vector<std::uint8_t> header(pixelOffset);
  std::uint8_t* p = header.data();
  *p++ = 'B';
  *p++ = 'M';
  Put32(p, static_cast<std::uint32_t>(fileSize));
  Put32(p, 0);
  Put32(p, static_cast<std::uint32_t>(pixelOffset));
  Put32(p, kInfoHeaderSize);
  Put32(p, static_cast<std::uint32_t>(width_));
  Put32(p, static_cast<std::uint32_t>(height_));  // positive: rows bottom-up
  Put16(p, 1);
  Put16(p, static_cast<std::uint32_t>(bits));
  Put32(p, bitfields ? 3 : 0);
  Put32(p, static_cast<std::uint32_t>(imageSize));
  Put32(p, 0);  // no resolution stated
  Put32(p, 0);
  Put32(p, static_cast<std::uint32_t>(palette.size()));
  Put32(p, 0);
  if (bitfields) {
    Put32(p, 0xF800);
    Put32(p, 0x07E0);
    Put32(p, 0x001F);
  }
  for (const Color c : palette) {
    *p++ = static_cast<std::uint8_t>(GetBValue(c));
    *p++ = static_cast<std::uint8_t>(GetGValue(c));
    *p++ = static_cast<std::uint8_t>(GetRValue(c));
    *p++ = 0;
  }
  stream.WriteBuffer(header);
  if (imageSize == 0) return;

  // Rows go out bottom-up in blocks of about a megabyte, with the padding
  // and the bits past the last pixel cleared.
  const std::size_t usedBits = static_cast<std::size_t>(width_) * static_cast<std::size_t>(bits);
  const std::size_t usedBytes = (usedBits + 7) / 8;
  const std::uint8_t lastMask =
      usedBits % 8 == 0 ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(0xFF << (8 - usedBits % 8));
  const std::size_t rowsPerBlock = std::max<std::size_t>(1, (std::size_t{1} << 20) / stride);
  std::vector<std::uint8_t> block(std::min(rowsPerBlock, static_cast<std::size_t>(height_)) * stride);
  int y = height_ - 1;
  while (y >= 0) {
    std::size_t rows = 0;
    for (; rows < rowsPerBlock && y >= 0; ++rows, --y) {
      std::uint8_t* out = block.data() + rows * stride;
      std::memcpy(out, ScanLine(y), usedBytes);
      out[usedBytes - 1] &= lastMask;
      std::memset(out + usedBytes, 0, stride - usedBytes);
    }
    stream.Write(block.data(), rows * stride);
  }
}

}  // namespace pixtrel
