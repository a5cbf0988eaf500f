// The decompressors the legacy readers share. Each Unpack stops when the
// unpacked byte count is reached or the packed bytes run out, whichever comes
// first; no run writes past the unpacked count and no packet reads past the
// packed count. The result tells how far both went, so a caller that unpacks
// row by row knows where the next row's packed data starts. Output bytes the
// packed data does not reach are left as they were.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/legacy/legacy_errors.h"

namespace pixtrel {

struct UnpackResult {
  std::size_t consumed = 0;  // packed bytes used
  std::size_t produced = 0;  // unpacked bytes written
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                              std::size_t unpackedSize) = 0;
};

// PCX: a byte c >= 192 repeats the next byte (c & 63) times; any other byte
// is one literal byte.
class PCXRLEDecoder : public Decoder {
 public:
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

// PackBits (PSD, TIFF 32773): signed count n: 0..127 copies the next n + 1
// bytes, -1..-127 repeats the next byte 1 - n times, -128 is skipped.
class PackbitsRLEDecoder : public Decoder {
 public:
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

// SGI, one row: count c & 127 (0 ends the row), bit 7 set copies count
// literal samples, clear repeats the next sample count times. Samples are
// bytes, or for 2-byte samples big-endian words whose low 7 bits hold the
// count; 16-bit output stays big-endian as stored.
class SGIRLEDecoder : public Decoder {
 public:
  explicit SGIRLEDecoder(int sampleSize) : sampleSize_(sampleSize == 2 ? 2 : 1) {}
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;

 private:
  int sampleSize_;
};

// Dr. Halo, one row: a 2-byte count (skipped), then packets a: 0 ends the
// row; count a & 127; bit 7 set repeats the next byte count times, clear
// copies count literal bytes. A row whose output is full takes a 0 byte that
// follows as its end, so rows written without the terminator decode too.
class CUTRLEDecoder : public Decoder {
 public:
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

// Paint Shop Pro: a byte a > 128 repeats the next byte a - 128 times;
// otherwise a literal bytes follow.
class PSPRLEDecoder : public Decoder {
 public:
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

// A zlib (deflate) stream, inflated afresh by every Unpack. A stream that
// cannot be started or ended raises ELZ77Error; damaged data inside the
// stream ends the output where inflation stopped.
class LZ77Decoder : public Decoder {
 public:
  UnpackResult Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                      std::size_t unpackedSize) override;
};

}  // namespace pixtrel
