// Scaling by a ratio in integers, as the drawing and colour code does it.
#pragma once

#include <cstdint>

namespace pixtrel {

// a * b / c in 64 bits, rounded to nearest with halves away from zero; -1
// when c is 0. A quotient beyond the int range keeps its low 32 bits.
constexpr int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t num = static_cast<std::int64_t>(a) * b;
  const std::int64_t den = c < 0 ? -static_cast<std::int64_t>(c) : c;
  const std::int64_t q = ((num < 0 ? -num : num) + den / 2) / den;
  return static_cast<int>((num < 0) != (c < 0) ? -q : q);
}

// MulDiv(a, b, 255) for a and b in 0..255, without the division: the
// per-pixel form for blending and CMYK conversion. 255 is odd, so a * b / 255
// is never a half and the rounding direction does not arise.
constexpr std::uint8_t MulDiv255(unsigned a, unsigned b) {
  const unsigned t = a * b + 128;
  return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

}  // namespace pixtrel
