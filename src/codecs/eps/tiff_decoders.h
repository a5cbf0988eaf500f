// The strip decompressors of the general TIFF decoder that the other legacy
// formats do not share: CCITT run lengths (modified Huffman and Group 3
// one-dimensional), ThunderScan 4-bit deltas, and deflate that reports damaged
// data. They follow the Decoder contract (decoders.h): output stops at the
// unpacked byte count, input is never read past the packed count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/legacy/decoders.h"

namespace pixtrel {

// Shared by the two CCITT decoders: rows of width pixels, one bit each, a 1
// bit black; runs alternate white, black, ... starting white on every row.
// The output is cleared first, so a row the data does not reach stays white
// in the code's sense (0 bits).
class CCITTDecoder : public Decoder {
 public:
  CCITTDecoder(int width, bool reversedBitOrder) : width_(width), reversed_(reversedBitOrder) {}

 protected:
  // The packed bytes in most-significant-bit-first order.
  const std::uint8_t* Prepare(const std::uint8_t* packed, std::size_t packedSize);
  std::size_t RowBytes() const { return (static_cast<std::size_t>(width_) + 7) / 8; }

  int width_;
  bool reversed_;

 private:
  std::vector<std::uint8_t> reversedBytes_;
};

// Modified Huffman (TIFF compression 2 and 32771): no end-of-line codes;
// every row starts on the next byte, or on the next 16-bit word when
// wordAligned. A code that fits no table ends the strip's decoding.
class CCITTMHDecoder : public CCITTDecoder {
 public:
  CCITTMHDecoder(int width, bool reversedBitOrder, bool wordAligned)
      : CCITTDecoder(width, reversedBitOrder), wordAligned_(wordAligned) {}
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;

 private:
  bool wordAligned_;
};

// CCITT Group 3, one-dimensional (TIFF compression 3): each row is preceded
// by an end-of-line code (at least 11 zero bits and a 1; fill bits before it
// are zeros too). A row without one is decoded where it stands; after a row
// with a code that fits no table, decoding resumes at the next end-of-line
// code. Two-dimensional coding is refused by the caller.
class CCITTFax3Decoder : public CCITTDecoder {
 public:
  CCITTFax3Decoder(int width, bool reversedBitOrder) : CCITTDecoder(width, reversedBitOrder) {}
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

// ThunderScan (TIFF compression 32809): 4-bit pixels, rows of width pixels,
// two pixels a byte with the leftmost in the high nibble; every row starts
// with a last pixel of 0.
class ThunderDecoder : public Decoder {
 public:
  explicit ThunderDecoder(int width) : width_(width) {}
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;

 private:
  int width_;
};

// Deflate strips (TIFF compression 8 and 32946): a fresh zlib stream per
// strip. Unlike the shared LZ77Decoder, damaged data and a stream that breaks
// off before the strip is full raise ELZ77Error instead of leaving the rest of
// the strip as it was; a stream that ends cleanly but short is kept.
class TIFFLZ77Decoder : public Decoder {
 public:
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

}  // namespace pixtrel
