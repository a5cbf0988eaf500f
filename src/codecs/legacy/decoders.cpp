#include "codecs/legacy/decoders.h"

#include <algorithm>
#include <cstring>

#include "codecs/legacy/inflate.h"

namespace pixtrel {

UnpackResult PCXRLEDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                   std::size_t unpackedSize) {
  std::size_t in = 0, out = 0;
  while (out < unpackedSize && in < packedSize) {
    const std::uint8_t c = packed[in++];
    if (c >= 192) {
      if (in >= packedSize) break;
      const std::size_t count = std::min<std::size_t>(c & 63, unpackedSize - out);
      std::memset(unpacked + out, packed[in++], count);
      out += count;
    } else {
      unpacked[out++] = c;
    }
  }
  return {in, out};
}

UnpackResult PackbitsRLEDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                        std::size_t unpackedSize) {
  std::size_t in = 0, out = 0;
  while (out < unpackedSize && in < packedSize) {
    const int n = static_cast<std::int8_t>(packed[in++]);
    if (n >= 0) {
      const std::size_t literal = std::min<std::size_t>(static_cast<std::size_t>(n) + 1, packedSize - in);
      const std::size_t count = std::min(literal, unpackedSize - out);
      std::memcpy(unpacked + out, packed + in, count);
      in += literal;
      out += count;
    } else if (n != -128) {
      if (in >= packedSize) break;
      const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(1 - n), unpackedSize - out);
      std::memset(unpacked + out, packed[in++], count);
      out += count;
    }
  }
  return {in, out};
}

UnpackResult SGIRLEDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                   std::size_t unpackedSize) {
  const std::size_t s = static_cast<std::size_t>(sampleSize_);
  std::size_t in = 0, out = 0;
  while (out + s <= unpackedSize && in + s <= packedSize) {
    const unsigned c = packed[in + s - 1];  // the low byte of a big-endian word
    in += s;
    const std::size_t count = c & 127;
    if (count == 0) break;
    const std::size_t room = (unpackedSize - out) / s;
    if (c & 128) {
      const std::size_t available = (packedSize - in) / s;
      const std::size_t n = std::min({count, room, available});
      std::memcpy(unpacked + out, packed + in, n * s);
      out += n * s;
      in += std::min(count, available) * s;
    } else {
      if (in + s > packedSize) break;
      const std::size_t n = std::min(count, room);
      if (s == 1) {
        std::memset(unpacked + out, packed[in], n);
      } else {
        for (std::size_t i = 0; i < n; ++i) std::memcpy(unpacked + out + i * s, packed + in, s);
      }
      out += n * s;
      in += s;
    }
  }
  return {in, out};
}

UnpackResult CUTRLEDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                   std::size_t unpackedSize) {
  std::size_t in = std::min<std::size_t>(2, packedSize), out = 0;
  while (in < packedSize) {
    if (out >= unpackedSize) {
      if (packed[in] == 0) ++in;
      break;
    }
    const std::uint8_t a = packed[in++];
    if (a == 0) break;
    const std::size_t count = a & 127;
    if (a & 128) {
      if (in >= packedSize) break;
      const std::size_t n = std::min(count, unpackedSize - out);
      std::memset(unpacked + out, packed[in++], n);
      out += n;
    } else {
      const std::size_t n = std::min({count, unpackedSize - out, packedSize - in});
      std::memcpy(unpacked + out, packed + in, n);
      out += n;
      in += std::min(count, packedSize - in);
    }
  }
  return {in, out};
}

UnpackResult PSPRLEDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                   std::size_t unpackedSize) {
  std::size_t in = 0, out = 0;
  while (out < unpackedSize && in < packedSize) {
    const std::uint8_t a = packed[in++];
    if (a > 128) {
      if (in >= packedSize) break;
      const std::size_t n = std::min<std::size_t>(a - 128u, unpackedSize - out);
      std::memset(unpacked + out, packed[in++], n);
      out += n;
    } else {
      const std::size_t n = std::min({static_cast<std::size_t>(a), unpackedSize - out, packedSize - in});
      std::memcpy(unpacked + out, packed + in, n);
      out += n;
      in += std::min<std::size_t>(a, packedSize - in);
    }
  }
  return {in, out};
}

UnpackResult LZ77Decoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                 std::size_t unpackedSize) {
  // Damaged data ends the output where inflation stopped.
  const InflateResult result = Inflate(packed, packedSize, unpacked, unpackedSize);
  return {result.consumed, result.produced};
}

}  // namespace pixtrel
