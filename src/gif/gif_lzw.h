// The variable-length-code LZW of GIF image data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pixtrel::gif {

// Appends the minimum code size byte, the codes of every pixel in sub-blocks
// of up to 255 bytes, and the 0 terminator. minCodeSize is 2..8; the table is
// cleared when its next free code would pass 4094.
void EncodeLzw(std::span<const std::uint8_t> pixels, int minCodeSize, std::vector<std::uint8_t>& out);

enum class LzwEnd {
  EndCode,     // the end code or the last pixel was reached
  OutOfCodes,  // the data ran out before the last pixel
  BadCode,     // a code that no table entry could stand for; decoding stopped
};

struct LzwResult {
  std::size_t pixels = 0;  // pixels decoded
  LzwEnd end = LzwEnd::EndCode;
  bool extraCodeMissing = false;  // no code at all after the last pixel
};

// Decodes the concatenated sub-block data of one frame into out (in stream
// order) until out is full, the end code comes, or the data runs out; out
// keeps whatever it held beyond the decoded part. After the last pixel one
// more code is read, as the end code should follow. Throws GIFException for a
// minimum code size above 11 or a circular table chain.
LzwResult DecodeLzw(std::span<const std::uint8_t> data, int minCodeSize, std::span<std::uint8_t> out);

}  // namespace pixtrel::gif
