// Pixels of 1, 2, 4 or 8 bits packed in a row, the leftmost pixel in the
// highest bits of its byte: the rows of indexed bitmaps and of BMP files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixtrel {

// The value of pixel x; any other bit count reads one byte per pixel.
inline int PackedPixel(const std::uint8_t* row, int bits, std::size_t x) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 2:
      return (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

// Stores the low bits of value as pixel x, leaving its neighbours alone.
inline void SetPackedPixel(std::uint8_t* row, int bits, std::size_t x, int value) {
  switch (bits) {
    case 1: {
      const int shift = 7 - static_cast<int>(x & 7);
      row[x >> 3] = static_cast<std::uint8_t>((row[x >> 3] & ~(1 << shift)) | ((value & 1) << shift));
      break;
    }
    case 2: {
      const int shift = 6 - 2 * static_cast<int>(x & 3);
      row[x >> 2] = static_cast<std::uint8_t>((row[x >> 2] & ~(3 << shift)) | ((value & 3) << shift));
      break;
    }
    case 4: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (value & 0x0F))
                  : static_cast<std::uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
      break;
    }
    default:
      row[x] = static_cast<std::uint8_t>(value);
      break;
  }
}

}  // namespace pixtrel
