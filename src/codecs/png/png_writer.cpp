// Writing a PNG: the chunks in list order, and at the IDAT's place the image
// data, converted to PNG sample order, Sub-filtered and deflated row by row.
#include <zlib.h>

#include <cstring>

#include "codecs/png/png_object.h"
#include "core/byte_reader.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

void WriteChunk(Stream& stream, const std::string& type, std::span<const std::uint8_t> data) {
  const std::uint32_t length = static_cast<std::uint32_t>(data.size());
  const std::uint32_t crc = ChunkCRC(type, data);
  std::uint8_t head[8] = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                          static_cast<std::uint8_t>(length >> 8),  static_cast<std::uint8_t>(length),
                          static_cast<std::uint8_t>(type[0]),      static_cast<std::uint8_t>(type[1]),
                          static_cast<std::uint8_t>(type[2]),      static_cast<std::uint8_t>(type[3])};
  std::uint8_t tail[4] = {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                          static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
  stream.Write(head, sizeof head);
  if (!data.empty()) stream.Write(data.data(), data.size());
  stream.Write(tail, sizeof tail);
}

class ZlibDeflater {
 public:
  ZlibDeflater() {
    std::memset(&z_, 0, sizeof z_);
    const int result = deflateInit(&z_, PNGObject::kCompressionLevel);
    if (result != Z_OK) throw EPNGZLIBError(result);
  }
  ~ZlibDeflater() { deflateEnd(&z_); }
  ZlibDeflater(const ZlibDeflater&) = delete;
  ZlibDeflater& operator=(const ZlibDeflater&) = delete;
  z_stream& Z() { return z_; }

 private:
  z_stream z_;
};

// Collects the compressor's output and writes every full 65535 bytes as one
// IDAT chunk.
class IDATWriter {
 public:
  explicit IDATWriter(Stream& stream) : stream_(stream), buffer_(PNGObject::kMaxIDATSize) {}

  void Compress(const std::uint8_t* data, std::size_t n, int flush) {
    z_stream& z = deflater_.Z();
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(n);
    for (;;) {
      z.next_out = buffer_.data() + used_;
      z.avail_out = static_cast<uInt>(buffer_.size() - used_);
      const int result = deflate(&z, flush);
      if (result == Z_STREAM_ERROR) throw EPNGZLIBError(result);
      used_ = buffer_.size() - z.avail_out;
      if (used_ == buffer_.size()) {
        WriteChunk(stream_, "IDAT", buffer_);
        used_ = 0;
        continue;
      }
      if (flush == Z_FINISH ? result == Z_STREAM_END : z.avail_in == 0) break;
    }
  }

  void Finish() {
    Compress(nullptr, 0, Z_FINISH);
    if (used_ > 0) WriteChunk(stream_, "IDAT", std::span<const std::uint8_t>(buffer_.data(), used_));
  }

 private:
  Stream& stream_;
  ZlibDeflater deflater_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
};

}  // namespace

void PNGObject::WriteImageData(Stream& stream) const {
  const ChunkIHDR& h = *Header();
  const Bitmap& raster = h.raster;
  const int width = h.width;
  const auto& inverse = inverseGamma_;
  const std::uint8_t* alphaPlane = h.alpha.empty() ? nullptr : h.alpha.data();

  std::size_t rowBytes = 0;
  switch (h.colorType) {
    case 2:
      rowBytes = CheckedMul(width, 3);
      break;
    case 6:
      rowBytes = CheckedMul(width, 4);
      break;
    case 4:
      rowBytes = CheckedMul(width, 2);
      break;
    default:
      rowBytes = (CheckedMul(width, raster.BitCount()) + 7) / 8;
      break;
  }
  // One filter type byte (Sub) and the filtered row.
  std::vector<std::uint8_t> line(rowBytes + 1);
  line[0] = 1;
  std::uint8_t* out = line.data() + 1;

  IDATWriter writer(stream);
  for (int y = 0; y < h.height; ++y) {
    const std::uint8_t* src = raster.ScanLine(y);
    const std::uint8_t* alpha = alphaPlane ? alphaPlane + static_cast<std::size_t>(y) * width : nullptr;
    switch (h.colorType) {
      case 2: {
        std::uint8_t pr = 0, pg = 0, pb = 0;
        for (int x = 0; x < width; ++x, src += 3, out += 3) {
          const std::uint8_t r = inverse[src[2]], g = inverse[src[1]], b = inverse[src[0]];
          out[0] = static_cast<std::uint8_t>(r - pr);
          out[1] = static_cast<std::uint8_t>(g - pg);
          out[2] = static_cast<std::uint8_t>(b - pb);
          pr = r;
          pg = g;
          pb = b;
        }
        break;
      }
      case 6: {
        std::uint8_t pr = 0, pg = 0, pb = 0, pa = 0;
        for (int x = 0; x < width; ++x, src += 3, out += 4) {
          const std::uint8_t r = inverse[src[2]], g = inverse[src[1]], b = inverse[src[0]];
          const std::uint8_t a = alpha ? alpha[x] : 255;
          out[0] = static_cast<std::uint8_t>(r - pr);
          out[1] = static_cast<std::uint8_t>(g - pg);
          out[2] = static_cast<std::uint8_t>(b - pb);
          out[3] = static_cast<std::uint8_t>(a - pa);
          pr = r;
          pg = g;
          pb = b;
          pa = a;
        }
        break;
      }
      case 4: {
        std::uint8_t pv = 0, pa = 0;
        for (int x = 0; x < width; ++x, out += 2) {
          const std::uint8_t v = src[x];
          const std::uint8_t a = alpha ? alpha[x] : 255;
          out[0] = static_cast<std::uint8_t>(v - pv);
          out[1] = static_cast<std::uint8_t>(a - pa);
          pv = v;
          pa = a;
        }
        break;
      }
      default: {
        std::uint8_t previous = 0;
        for (std::size_t i = 0; i < rowBytes; ++i) {
          out[i] = static_cast<std::uint8_t>(src[i] - previous);
          previous = src[i];
        }
        break;
      }
    }
    out = line.data() + 1;
    writer.Compress(line.data(), line.size(), Z_NO_FLUSH);
  }
  writer.Finish();
}

void PNGObject::SaveToStream(Stream& stream) const {
  if (!Header()) throw EPNGHeaderNotPresent();
  stream.Write(kSignature, sizeof kSignature);
  for (const auto& chunk : chunks_) {
    if (chunk->Type() == "IDAT") {
      WriteImageData(stream);
    } else {
      const std::vector<std::uint8_t> data = chunk->SaveData(*this);
      WriteChunk(stream, chunk->Type(), data);
    }
  }
}

}  // namespace pixtrel
