// Inflation of one zlib (deflate) stream into a buffer of known size, shared
// by the Paint Shop Pro channels and the deflate strips of the TIFF decoder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixtrel {

struct InflateResult {
  std::size_t consumed = 0;  // packed bytes used
  std::size_t produced = 0;  // unpacked bytes written
  // Inflation stopped before the output was full for a reason other than
  // the stream's own end: damaged data, or a stream that breaks off.
  bool damaged = false;
};

// Inflates packed into unpacked until the output is full, the stream ends or
// inflation cannot go on. Raises ELZ77Error ("LZ77 decompression error.")
// when zlib cannot be started or ended; what damaged data means is the
// caller's to decide.
InflateResult Inflate(const std::uint8_t* packed, std::size_t packedSize, std::uint8_t* unpacked,
                      std::size_t unpackedSize);

}  // namespace pixtrel
