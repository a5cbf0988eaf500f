// Bounds-checked little- and big-endian reading over a byte span. Every read
// past the end throws EReadError, so a reader never leaves its buffer whatever
// a file's header says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/errors.h"

namespace pixtrel {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return bytes_.size(); }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  bool AtEnd() const { return position_ >= bytes_.size(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

  void Seek(std::size_t position) {
    if (position > bytes_.size()) throw EReadError();
    position_ = position;
  }
  void Skip(std::size_t n) {
    if (n > Remaining()) throw EReadError();
    position_ += n;
  }
  std::span<const std::uint8_t> Take(std::size_t n) {
    if (n > Remaining()) throw EReadError();
    auto part = bytes_.subspan(position_, n);
    position_ += n;
    return part;
  }

  std::uint8_t U8() { return Take(1)[0]; }
  std::uint16_t U16LE() {
    auto b = Take(2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t U32LE() {
    auto b = Take(4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  std::uint16_t U16BE() {
    auto b = Take(2);
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
  }
  std::uint32_t U32BE() {
    auto b = Take(4);
    return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
           (static_cast<std::uint32_t>(b[2]) << 8) | static_cast<std::uint32_t>(b[3]);
  }
  std::int16_t S16LE() { return static_cast<std::int16_t>(U16LE()); }
  std::int32_t S32LE() { return static_cast<std::int32_t>(U32LE()); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// Multiplies sizes, throwing EImageTooLarge on overflow.
std::size_t CheckedMul(std::size_t a, std::size_t b);

// The largest picture any bitmap will hold: 2^28 pixels (a 16384 x 16384
// image) and 2^20 pixels in either dimension. A header asking for more fails
// with EImageTooLarge before anything is allocated.
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;
constexpr std::int64_t kMaxImageDimension = std::int64_t{1} << 20;
void CheckImageSize(std::int64_t width, std::int64_t height);

// The program's own limit on the pixels of a picture it reads, as the user
// may set it (pixtrel-cli --max-pixels, the settings file): about 537 MB at
// 24 bits. 0 means no limit of the program's, kMaxImagePixels still holding.
constexpr std::int64_t kDefaultMaxPixels = 178956970;
// CheckImageSize, then maxPixels (unless 0): a picture over it fails with
// EImageTooLarge naming both figures.
void CheckImageSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels);

}  // namespace pixtrel
