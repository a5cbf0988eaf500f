// Reading a PNG: the chunk loop, the per-chunk readers and the image data
// decoder, which inflates row by row straight into the header's raster.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "codecs/png/png_object.h"
#include "core/byte_reader.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Input is handed to the decompressor in pieces of at most this size.
constexpr std::size_t kInputPiece = 65535;

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

bool ValidCombination(int colorType, int depth) {
  switch (colorType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

int RasterBits(int colorType, int depth) {
  if (colorType == 2 || colorType == 6) return 24;
  if (colorType == 4 || depth >= 8) return 8;
  return depth == 1 ? 1 : 4;
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

void Unfilter(int type, std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::size_t bpp) {
  switch (type) {
    case 1:
      for (std::size_t i = bpp; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + cur[i - bpp]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prev[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < std::min(bpp, n); ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + (prev[i] >> 1));
      for (std::size_t i = bpp; i < n; ++i)
        cur[i] = static_cast<std::uint8_t>(cur[i] + ((cur[i - bpp] + prev[i]) >> 1));
      break;
    case 4:
      for (std::size_t i = 0; i < std::min(bpp, n); ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prev[i]);
      for (std::size_t i = bpp; i < n; ++i)
        cur[i] = static_cast<std::uint8_t>(cur[i] + Paeth(cur[i - bpp], prev[i], prev[i - bpp]));
      break;
    default:
      // None, and filter types the standard does not define, leave the row.
      break;
  }
}

inline int PackedSample(const std::uint8_t* row, int i, int depth) {
  switch (depth) {
    case 1:
      return (row[i >> 3] >> (7 - (i & 7))) & 1;
    case 2:
      return (row[i >> 2] >> (6 - 2 * (i & 3))) & 3;
    case 4:
      return (row[i >> 1] >> ((i & 1) ? 0 : 4)) & 0x0F;
    default:
      return row[i];
  }
}

inline void SetPacked(std::uint8_t* row, int x, int bits, int value) {
  if (bits == 1) {
    const int shift = 7 - (x & 7);
    row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(1 << shift)) | ((value & 1) << shift));
  } else if (bits == 4) {
    const int shift = (x & 1) ? 0 : 4;
    row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & ~(0x0F << shift)) | ((value & 0x0F) << shift));
  } else {
    row[x] = static_cast<std::uint8_t>(value);
  }
}

class ZlibInflater {
 public:
  ZlibInflater() {
    std::memset(&z_, 0, sizeof z_);
    const int result = inflateInit(&z_);
    if (result != Z_OK) throw EPNGZLIBError(result);
  }
  ~ZlibInflater() { inflateEnd(&z_); }
  ZlibInflater(const ZlibInflater&) = delete;
  ZlibInflater& operator=(const ZlibInflater&) = delete;
  z_stream& Z() { return z_; }

 private:
  z_stream z_;
};

}  // namespace

// Reads the chunks of one PNG from a byte span into a PNGObject.
class PNGDecoder {
 public:
  PNGDecoder(PNGObject& png, std::span<const std::uint8_t> bytes) : png_(png), in_(bytes) {}

  // Returns the number of bytes consumed.
  std::size_t Run();

 private:
  struct ChunkHead {
    std::uint32_t length;
    std::string type;
  };
  ChunkHead ReadHead();
  std::span<const std::uint8_t> ReadBody(const ChunkHead& head);
  void ReadHeader(ChunkIHDR& header, std::span<const std::uint8_t> data);
  void ReadPalette(ChunkPLTE& plte, std::span<const std::uint8_t> data);
  void ReadTransparency(ChunktRNS& trns, std::span<const std::uint8_t> data);
  void DecodeImageData(std::span<const std::uint8_t> first);
  void BuildGreyRamp();
  // Feeds the decompressor until out holds n bytes.
  void Inflate(std::uint8_t* out, std::size_t n);
  void FeedInput();
  void CheckTrailer();
  void StoreRow(const std::uint8_t* row, int count, int y, int x0, int dx);

  PNGObject& png_;
  ByteReader in_;
  ChunkIHDR* header_ = nullptr;
  int paletteCount_ = 0;
  bool imageDecoded_ = false;

  ZlibInflater* inflater_ = nullptr;
  std::span<const std::uint8_t> idat_;  // what is left of the current IDAT
  bool streamEnded_ = false;
};

PNGDecoder::ChunkHead PNGDecoder::ReadHead() {
  if (in_.Remaining() < 8) throw EPngUnexpectedEnd();
  ChunkHead head;
  head.length = in_.U32BE();
  const auto type = in_.Take(4);
  head.type.assign(reinterpret_cast<const char*>(type.data()), 4);
  return head;
}

std::span<const std::uint8_t> PNGDecoder::ReadBody(const ChunkHead& head) {
  if (in_.Remaining() < std::size_t{head.length} + 4) throw EPngUnexpectedEnd();
  const auto data = in_.Take(head.length);
  const std::uint32_t crc = in_.U32BE();
  if (png_.checkCRC_ && crc != ChunkCRC(head.type, data)) throw EPngInvalidCRC();
  return data;
}

std::size_t PNGDecoder::Run() {
  png_.chunks_.clear();
  png_.ResetGamma();
  if (in_.Remaining() < 8 || std::memcmp(in_.Take(8).data(), kSignature, 8) != 0) throw EPNGInvalidFileHeader();

  bool sawImageData = false;
  for (;;) {
    const ChunkHead head = ReadHead();
    if (png_.chunks_.empty() && head.type != "IHDR") throw EPNGIHDRNotFirst();

    if (head.type == "cHRM" || (head.type == "IDAT" && imageDecoded_) || (header_ && head.type == "IHDR")) {
      if (in_.Remaining() < std::size_t{head.length} + 4) throw EPngUnexpectedEnd();
      in_.Skip(std::size_t{head.length} + 4);
      continue;
    }

    std::unique_ptr<Chunk> chunk;
    if (head.type == "IHDR")
      chunk = std::make_unique<ChunkIHDR>();
    else if (head.type == "PLTE")
      chunk = std::make_unique<ChunkPLTE>();
    else if (head.type == "tRNS")
      chunk = std::make_unique<ChunktRNS>();
    else if (head.type == "gAMA")
      chunk = std::make_unique<ChunkgAMA>();
    else if (head.type == "IDAT")
      chunk = std::make_unique<ChunkIDAT>();
    else if (head.type == "tIME")
      chunk = std::make_unique<ChunktIME>();
    else if (head.type == "tEXt")
      chunk = std::make_unique<ChunktEXt>();
    else if (head.type == "IEND")
      chunk = std::make_unique<ChunkIEND>();
    else
      chunk = std::make_unique<Chunk>(head.type);
    const bool plain = typeid(*chunk) == typeid(Chunk);
    if (plain && (static_cast<unsigned char>(head.type[0]) & 0x20) == 0) throw EPNGUnknownCriticalChunk();

    const auto data = ReadBody(head);
    Chunk* raw = chunk.get();
    if (head.type != "IDAT") raw->SetData(std::vector<std::uint8_t>(data.begin(), data.end()));
    png_.chunks_.push_back(std::move(chunk));

    if (auto* header = dynamic_cast<ChunkIHDR*>(raw)) {
      ReadHeader(*header, data);
      header_ = header;
    } else if (auto* plte = dynamic_cast<ChunkPLTE*>(raw)) {
      ReadPalette(*plte, data);
    } else if (auto* trns = dynamic_cast<ChunktRNS*>(raw)) {
      ReadTransparency(*trns, data);
    } else if (auto* gama = dynamic_cast<ChunkgAMA*>(raw)) {
      if (data.size() >= 4) {
        gama->gamma = ByteReader(data).U32BE();
        if (gama->gamma != 0) png_.SetGamma(gama->gamma);
      }
    } else if (auto* text = dynamic_cast<ChunktEXt*>(raw)) {
      if (data.size() > 2) {
        const auto* begin = reinterpret_cast<const char*>(data.data());
        const auto* end = begin + data.size();
        const auto* zero = std::find(begin, end, '\0');
        text->keyword.assign(begin, zero);
        if (zero != end) text->text.assign(zero + 1, end);
      }
    } else if (head.type == "IDAT") {
      sawImageData = true;
      DecodeImageData(data);
      imageDecoded_ = true;
    } else if (head.type == "IEND") {
      break;
    }
  }
  if (!sawImageData) throw EPNGNoImageData();
  return in_.Position();
}

void PNGDecoder::ReadHeader(ChunkIHDR& header, std::span<const std::uint8_t> data) {
  if (data.size() < 13) throw EPngInvalidIHDR();
  ByteReader r(data);
  const std::uint32_t width = r.U32BE();
  const std::uint32_t height = r.U32BE();
  if (width > 65535 || height > 65535) throw EPNGSizeExceeds();
  header.width = static_cast<int>(width);
  header.height = static_cast<int>(height);
  header.bitDepth = r.U8();
  header.colorType = r.U8();
  header.compressionMethod = r.U8();
  header.filterMethod = r.U8();
  header.interlaceMethod = r.U8();
  if (header.compressionMethod != 0) throw EPNGUnknownCompression();
  if (header.interlaceMethod > 1) throw EPNGUnknownInterlace();
  // Combinations outside the standard have no decoding, nor has an empty image.
  if (!ValidCombination(header.colorType, header.bitDepth) || width == 0 || height == 0) throw EPngInvalidIHDR();
  CheckImageSize(width, height, png_.PixelLimit());

  const int bits = RasterBits(header.colorType, header.bitDepth);
  header.raster = Bitmap(header.width, header.height, FormatForBits(bits));
  if (header.HasAlpha()) header.alpha.assign(CheckedMul(width, height), 0);
}

void PNGDecoder::ReadPalette(ChunkPLTE& plte, std::span<const std::uint8_t> data) {
  if (data.size() % 3 != 0 || data.size() > 768) throw EPNGInvalidPalette();
  plte.count = static_cast<int>(data.size() / 3);
  if (!header_ || header_->colorType != 3 || imageDecoded_) return;
  const auto& gamma = png_.gamma_;
  const std::size_t room = std::size_t{1} << header_->raster.BitCount();
  Palette palette;
  for (std::size_t i = 0; i < static_cast<std::size_t>(plte.count) && i < room; ++i)
    palette.push_back(RGB(gamma[data[3 * i]], gamma[data[3 * i + 1]], gamma[data[3 * i + 2]]));
  paletteCount_ = static_cast<int>(palette.size());
  header_->raster.SetPalette(std::move(palette));
}

void PNGDecoder::ReadTransparency(ChunktRNS& trns, std::span<const std::uint8_t> data) {
  if (data.size() > 256) throw EPNGInvalidPalette();
  trns.bytes.assign(data.begin(), data.end());
  if (header_ && header_->colorType == 3)
    trns.singleColor = std::count_if(data.begin(), data.end(), [](std::uint8_t v) { return v != 255; }) == 1;
  else
    trns.singleColor = true;
}

void PNGDecoder::BuildGreyRamp() {
  const int bits = header_->raster.BitCount();
  const int entries = 1 << bits;
  const auto& gamma = png_.gamma_;
  Palette ramp(entries);
  for (int n = 0; n < entries; ++n) {
    const int level = (255 * n + (entries - 1) / 2) / (entries - 1);
    ramp[n] = RGB(gamma[level], gamma[level], gamma[level]);
  }
  header_->raster.SetPalette(std::move(ramp));
}

void PNGDecoder::FeedInput() {
  z_stream& z = inflater_->Z();
  while (z.avail_in == 0) {
    if (idat_.empty()) {
      // The image data continues: the next chunk must carry it.
      if (in_.Remaining() < 8) throw EPNGMissingMultipleIDAT();
      const ChunkHead head = ReadHead();
      if (head.type != "IDAT") throw EPNGMissingMultipleIDAT();
      idat_ = ReadBody(head);
      continue;
    }
    const std::size_t piece = std::min(idat_.size(), kInputPiece);
    z.next_in = const_cast<Bytef*>(idat_.data());
    z.avail_in = static_cast<uInt>(piece);
    idat_ = idat_.subspan(piece);
  }
}

void PNGDecoder::Inflate(std::uint8_t* out, std::size_t n) {
  z_stream& z = inflater_->Z();
  z.next_out = out;
  z.avail_out = static_cast<uInt>(n);
  while (z.avail_out > 0) {
    // The compressed stream is complete but rows are missing.
    if (streamEnded_) throw EPNGZLIBError(Z_STREAM_END);
    if (z.avail_in == 0) FeedInput();
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) streamEnded_ = true;
    if (result == Z_BUF_ERROR) continue;
    if (result != Z_OK && result != Z_STREAM_END) throw EPNGZLIBError(result);
  }
}

void PNGDecoder::CheckTrailer() {
  // The rows are complete; what is left of this chunk normally holds only
  // the stream's checksum, which a damaged file gets wrong.
  if (streamEnded_) return;
  z_stream& z = inflater_->Z();
  std::uint8_t scratch[1024];
  for (int rounds = 0; rounds < 1024; ++rounds) {
    if (z.avail_in == 0) {
      if (idat_.empty()) return;
      const std::size_t piece = std::min(idat_.size(), kInputPiece);
      z.next_in = const_cast<Bytef*>(idat_.data());
      z.avail_in = static_cast<uInt>(piece);
      idat_ = idat_.subspan(piece);
    }
    z.next_out = scratch;
    z.avail_out = sizeof scratch;
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END || result == Z_BUF_ERROR) return;
    if (result != Z_OK) throw EPNGZLIBError(result);
  }
}

void PNGDecoder::StoreRow(const std::uint8_t* row, int count, int y, int x0, int dx) {
  ChunkIHDR& h = *header_;
  Bitmap& raster = h.raster;
  std::uint8_t* dst = raster.ScanLine(y);
  const int depth = h.bitDepth;
  const auto& gamma = png_.gamma_;
  std::uint8_t* alpha = h.HasAlpha() ? h.alpha.data() + static_cast<std::size_t>(y) * h.width : nullptr;

  switch (h.colorType) {
    case 0:
    case 3: {
      const int bits = raster.BitCount();
      if (h.colorType == 3 && paletteCount_ < (1 << depth)) {
        for (int i = 0; i < count; ++i)
          if (PackedSample(row, i, depth) >= paletteCount_) throw EPngError(PngError::NoPaletteEntry);
      }
      if (depth == 16) {
        for (int i = 0, x = x0; i < count; ++i, x += dx) dst[x] = row[2 * i];
      } else if (depth == bits && dx == 1) {
        std::memcpy(dst, row, h.StoredRowBytes(count));
      } else if (depth == 8) {
        for (int i = 0, x = x0; i < count; ++i, x += dx) dst[x] = row[i];
      } else {
        const int scale = (h.colorType == 0 && depth == 2) ? 5 : 1;
        for (int i = 0, x = x0; i < count; ++i, x += dx) SetPacked(dst, x, bits, PackedSample(row, i, depth) * scale);
      }
      break;
    }
    case 4: {
      const int step = depth == 16 ? 4 : 2;
      const int alphaAt = depth == 16 ? 2 : 1;
      for (int i = 0, x = x0; i < count; ++i, x += dx) {
        dst[x] = row[step * i];
        alpha[x] = row[step * i + alphaAt];
      }
      break;
    }
    case 2: {
      if (depth == 8) {
        for (int i = 0, x = x0; i < count; ++i, x += dx) {
          std::uint8_t* p = dst + 3 * x;
          const std::uint8_t* s = row + 3 * i;
          p[0] = gamma[s[2]];
          p[1] = gamma[s[1]];
          p[2] = gamma[s[0]];
        }
      } else {
        for (int i = 0, x = x0; i < count; ++i, x += dx) {
          std::uint8_t* p = dst + 3 * x;
          const std::uint8_t* s = row + 6 * i;
          p[0] = gamma[s[4]];
          p[1] = gamma[s[2]];
          p[2] = gamma[s[0]];
        }
      }
      break;
    }
    case 6: {
      const int step = depth == 16 ? 8 : 4;
      const int byte = depth == 16 ? 2 : 1;
      for (int i = 0, x = x0; i < count; ++i, x += dx) {
        std::uint8_t* p = dst + 3 * x;
        const std::uint8_t* s = row + step * i;
        p[0] = gamma[s[2 * byte]];
        p[1] = gamma[s[byte]];
        p[2] = gamma[s[0]];
        alpha[x] = s[3 * byte];
      }
      break;
    }
    default:
      break;
  }
}

void PNGDecoder::DecodeImageData(std::span<const std::uint8_t> first) {
  ChunkIHDR& h = *header_;
  if (h.colorType == 0 || h.colorType == 4) BuildGreyRamp();
  ZlibInflater inflater;
  inflater_ = &inflater;
  idat_ = first;

  const std::size_t bpp = static_cast<std::size_t>(h.SampleBytesPerPixel());
  const std::size_t fullRow = h.StoredRowBytes(h.width);
  std::vector<std::uint8_t> current(fullRow + 1), previous(fullRow + 1);

  const int passes = h.interlaceMethod == 1 ? 7 : 1;
  for (int p = 0; p < passes; ++p) {
    const Pass pass = passes == 1 ? Pass{0, 0, 1, 1} : kAdam7[p];
    if (pass.x0 >= h.width || pass.y0 >= h.height) continue;
    const int count = (h.width - pass.x0 + pass.dx - 1) / pass.dx;
    const std::size_t rowBytes = h.StoredRowBytes(count);
    std::fill(previous.begin(), previous.begin() + static_cast<std::ptrdiff_t>(rowBytes) + 1, 0);
    for (int y = pass.y0; y < h.height; y += pass.dy) {
      Inflate(current.data(), rowBytes + 1);
      Unfilter(current[0], current.data() + 1, previous.data() + 1, rowBytes, bpp);
      StoreRow(current.data() + 1, count, y, pass.x0, pass.dx);
      std::swap(current, previous);
    }
  }
  CheckTrailer();
  inflater_ = nullptr;
}

void PNGObject::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  PNGDecoder decoder(*this, bytes);
  decoder.Run();
}

void PNGObject::LoadFromStream(Stream& stream) {
  const std::int64_t start = stream.Position();
  const std::vector<std::uint8_t> bytes = stream.ReadRest();
  PNGDecoder decoder(*this, bytes);
  const std::size_t used = decoder.Run();
  stream.Seek(start + static_cast<std::int64_t>(used));
}

}  // namespace pixtrel
