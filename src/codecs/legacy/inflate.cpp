#include "codecs/legacy/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "codecs/legacy/legacy_errors.h"

namespace pixtrel {

InflateResult Inflate(const std::uint8_t* packed, std::size_t packedSize, std::uint8_t* unpacked,
                      std::size_t unpackedSize) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw ELZ77Error();
  InflateResult result;
  std::size_t& in = result.consumed;
  std::size_t& out = result.produced;
  // zlib counts in 32-bit units: feed and drain in slices.
  while (out < unpackedSize) {
    const std::size_t inSlice = std::min<std::size_t>(packedSize - in, UINT_MAX);
    const std::size_t outSlice = std::min<std::size_t>(unpackedSize - out, UINT_MAX);
    z.next_in = const_cast<Bytef*>(packed + in);
    z.avail_in = static_cast<uInt>(inSlice);
    z.next_out = unpacked + out;
    z.avail_out = static_cast<uInt>(outSlice);
    const int status = inflate(&z, Z_NO_FLUSH);
    in += inSlice - z.avail_in;
    out += outSlice - z.avail_out;
    if (status == Z_STREAM_END) break;
    const bool progress = inSlice != z.avail_in || outSlice != z.avail_out;
    if (status == Z_OK && progress) continue;
    // Z_BUF_ERROR (which zlib gives only when nothing moved) with the input
    // used up: the stream breaks off. Anything else is damaged data.
    result.damaged = true;
    break;
  }
  if (inflateEnd(&z) != Z_OK) throw ELZ77Error();
  return result;
}

}  // namespace pixtrel
