// Writing a PNG: the chunks in list order, and at the IDAT's place the image
// data, converted to PNG sample order, Sub-filtered and deflated in pieces on
// several threads (png_deflate.h).
#include <algorithm>
#include <cstring>

#include "codecs/png/png_deflate.h"
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

// Collects the compressed stream and writes every full 65535 bytes as one
// IDAT chunk.
class IDATWriter {
 public:
  explicit IDATWriter(Stream& stream) : stream_(stream), buffer_(PNGObject::kMaxIDATSize) {}

  void Write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      const std::size_t n = std::min(bytes.size(), buffer_.size() - used_);
      std::memcpy(buffer_.data() + used_, bytes.data(), n);
      used_ += n;
      bytes = bytes.subspan(n);
      if (used_ == buffer_.size()) {
        WriteChunk(stream_, "IDAT", buffer_);
        used_ = 0;
      }
    }
  }

  void Finish() {
    if (used_ > 0) WriteChunk(stream_, "IDAT", std::span<const std::uint8_t>(buffer_.data(), used_));
  }

 private:
  Stream& stream_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
};

}  // namespace

void PNGObject::WriteImageData(Stream& stream) const {
  const ChunkIHDR& h = *Header();
  const Bitmap& raster = h.Pixels();
  // A viewed bitmap in another direct-colour format is read a row at a time
  // as it would be after conversion to 24 bits.
  const bool convertRows = (h.colorType == 2 || h.colorType == 6) && raster.PixelFormat() != pf24bit;
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
  // Row y as the stream holds it: one filter type byte (Sub) and the
  // filtered row, in PNG sample order.
  auto filterRow = [&](int y, std::uint8_t* line, std::vector<std::uint8_t>& bgr) {
    line[0] = 1;
    std::uint8_t* out = line + 1;
    const std::uint8_t* src = raster.ScanLine(y);
    if (convertRows) {
      bgr.resize(static_cast<std::size_t>(width) * 3);
      raster.RowAsBGR(y, bgr.data());
      src = bgr.data();
    }
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
  };

  // The deflate threads ask for byte ranges of the filtered image; each
  // filters the rows it needs itself, so no copy of the whole image is made.
  const std::size_t stride = rowBytes + 1;
  const std::size_t size = CheckedMul(stride, static_cast<std::size_t>(h.height));
  auto source = [&](std::size_t begin, std::size_t end, std::uint8_t* out) {
    std::vector<std::uint8_t> line(stride);
    std::vector<std::uint8_t> bgr;
    for (std::size_t y = begin / stride; y * stride < end; ++y) {
      const std::size_t rowBegin = y * stride;
      const std::size_t from = std::max(begin, rowBegin);
      const std::size_t to = std::min(end, rowBegin + stride);
      if (from == rowBegin && to == rowBegin + stride) {
        filterRow(static_cast<int>(y), out + (from - begin), bgr);
      } else {
        filterRow(static_cast<int>(y), line.data(), bgr);
        std::memcpy(out + (from - begin), line.data() + (from - rowBegin), to - from);
      }
    }
  };

  IDATWriter writer(stream);
  DeflatePieces(
      size, source, [&](std::span<const std::uint8_t> bytes) { writer.Write(bytes); }, kCompressionLevel,
      deflateThreads_);
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
