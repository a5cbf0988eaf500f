// Shared pieces of the effects tests: awkward sizes, flat pictures and pixel access.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <utility>
#include <vector>

#include "core/bitmap.h"
#include "reference.h"

namespace pixtrel::test {

// Awkward sizes, and one large enough for the rows to be split across cores.
inline const std::vector<std::pair<int, int>>& AwkwardSizes() {
  static const std::vector<std::pair<int, int>> sizes = {{1, 1},  {2, 3},   {3, 2},   {4, 4},    {5, 7},
                                                         {17, 4}, {257, 3}, {3, 257}, {613, 509}};
  return sizes;
}

inline Bitmap Flat(int width, int height, int b, int g, int r) {
  Bitmap bitmap(width, height, pf24bit);
  bitmap.Fill(RGB(r, g, b));
  return bitmap;
}

// Blue, green, red of one pf24bit pixel.
inline std::array<int, 3> At(const Bitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

inline void Put(Bitmap& bitmap, int x, int y, int b, int g, int r) {
  std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
  p[0] = static_cast<std::uint8_t>(b);
  p[1] = static_cast<std::uint8_t>(g);
  p[2] = static_cast<std::uint8_t>(r);
}

// Runs op on a copy of each random picture and compares with the plain transcription.
template <class Fast, class Plain>
void ExpectMatchesReference(Fast fast, Plain plain, int levels = 256, unsigned seed = 7) {
  std::mt19937 rng(seed);
  for (const auto& [w, h] : AwkwardSizes()) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const Bitmap source = reference::RandomBitmap(w, h, rng, levels);
    Bitmap result = source;
    fast(result);
    const reference::Plain expected = plain(reference::FromBitmap(source));
    const reference::Plain got = reference::FromBitmap(result);
    ASSERT_EQ(got.w, expected.w);
    ASSERT_EQ(got.h, expected.h);
    std::size_t differences = 0, first = 0;
    for (std::size_t i = 0; i < got.v.size(); ++i)
      if (got.v[i] != expected.v[i] && differences++ == 0) first = i;
    EXPECT_EQ(differences, 0u) << "first difference at byte " << first << ": " << got.v[first] << " vs "
                               << expected.v[first];
  }
}

}  // namespace pixtrel::test
