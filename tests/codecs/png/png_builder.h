// Assembles PNG files chunk by chunk for the codec tests, and takes written
// ones apart again.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pixtrel::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutBE(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline std::uint32_t GetBE(const Bytes& in, std::size_t at) {
  return (std::uint32_t{in[at]} << 24) | (std::uint32_t{in[at + 1]} << 16) | (std::uint32_t{in[at + 2]} << 8) |
         in[at + 3];
}

inline Bytes Chunk(const std::string& type, const Bytes& data) {
  Bytes out;
  PutBE(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type.data()), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  PutBE(out, static_cast<std::uint32_t>(crc));
  return out;
}

inline Bytes Header(std::uint32_t width, std::uint32_t height, int depth, int colorType, int interlace = 0) {
  Bytes data;
  PutBE(data, width);
  PutBE(data, height);
  data.push_back(static_cast<std::uint8_t>(depth));
  data.push_back(static_cast<std::uint8_t>(colorType));
  data.push_back(0);
  data.push_back(0);
  data.push_back(static_cast<std::uint8_t>(interlace));
  return Chunk("IHDR", data);
}

inline Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  out.resize(size);
  return out;
}

inline Bytes Inflate(const Bytes& compressed, std::size_t expected) {
  Bytes out(expected + 16);
  uLongf size = static_cast<uLongf>(out.size());
  if (uncompress(out.data(), &size, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK) return {};
  out.resize(size);
  return out;
}

// Signature, then the chunks as given.
inline Bytes Png(const std::vector<Bytes>& chunks) {
  Bytes out = {137, 80, 78, 71, 13, 10, 26, 10};
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

// Image data split into IDAT chunks of at most piece bytes.
inline std::vector<Bytes> SplitIDAT(const Bytes& compressed, std::size_t piece) {
  std::vector<Bytes> chunks;
  for (std::size_t at = 0; at < compressed.size(); at += piece)
    chunks.push_back(Chunk(
        "IDAT", Bytes(compressed.begin() + static_cast<std::ptrdiff_t>(at),
                      compressed.begin() + static_cast<std::ptrdiff_t>(std::min(compressed.size(), at + piece)))));
  return chunks;
}

struct ParsedChunk {
  std::string type;
  Bytes data;
};

inline std::vector<ParsedChunk> ParseChunks(const Bytes& png) {
  std::vector<ParsedChunk> chunks;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = GetBE(png, at);
    ParsedChunk c;
    c.type.assign(reinterpret_cast<const char*>(png.data() + at + 4), 4);
    c.data.assign(png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                  png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    chunks.push_back(std::move(c));
    at += 12 + length;
  }
  return chunks;
}

}  // namespace pixtrel::test
