// The shared packed-row and MulDiv helpers against plain references.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "core/bitmap.h"
#include "core/mul_div.h"
#include "core/packed_row.h"

namespace pixtrel {
namespace {

// Pixel x of a packed row, bit by bit from the row's first bit.
int SlowPixel(const std::vector<std::uint8_t>& row, int bits, std::size_t x) {
  int v = 0;
  for (int i = 0; i < bits; ++i) {
    const std::size_t bit = x * bits + i;
    v = (v << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1);
  }
  return v;
}

TEST(PackedRow, ReadsAndWritesEveryBitCountLikeTheBitwiseReference) {
  std::mt19937 random(11);
  for (int bits : {1, 2, 4, 8}) {
    for (std::size_t width : {1u, 3u, 7u, 9u, 33u}) {
      SCOPED_TRACE("bits " + std::to_string(bits) + " width " + std::to_string(width));
      std::vector<std::uint8_t> row((width * bits + 7) / 8);
      for (auto& b : row) b = static_cast<std::uint8_t>(random());
      for (std::size_t x = 0; x < width; ++x) ASSERT_EQ(PackedPixel(row.data(), bits, x), SlowPixel(row, bits, x));
      // Writing one pixel changes that pixel only, and keeps the low bits
      // of the value.
      for (int round = 0; round < 50; ++round) {
        const std::size_t x = random() % width;
        const int value = static_cast<int>(random() & 0x3FF);
        std::vector<std::uint8_t> before = row;
        SetPackedPixel(row.data(), bits, x, value);
        for (std::size_t other = 0; other < width; ++other) {
          if (other == x) continue;
          ASSERT_EQ(SlowPixel(row, bits, other), SlowPixel(before, bits, other));
        }
        ASSERT_EQ(PackedPixel(row.data(), bits, x), value & ((1 << bits) - 1));
      }
    }
  }
}

TEST(PackedRow, BitmapIndicesAreTheSharedLayout) {
  Bitmap b(5, 1, pf4bit);
  std::fill_n(b.ScanLine(0), b.RowStride(), std::uint8_t{0});
  b.SetPixelIndex(3, 0, 0xA);
  b.SetPixelIndex(4, 0, 0x7);
  EXPECT_EQ(b.ScanLine(0)[1], 0x0A);
  EXPECT_EQ(b.ScanLine(0)[2], 0x70);
  Bitmap mono(10, 1, pf1bit);
  std::fill_n(mono.ScanLine(0), mono.RowStride(), std::uint8_t{0});
  mono.SetPixelIndex(9, 0, 1);
  EXPECT_EQ(mono.ScanLine(0)[1], 0x40);
  EXPECT_EQ(PackedPixel(mono.ScanLine(0), 1, 9), 1);
  // Formats without indices read 0 and ignore writes.
  Bitmap direct(2, 1, pf24bit);
  direct.SetPixel(1, 0, RGB(1, 2, 3));
  direct.SetPixelIndex(1, 0, 5);
  EXPECT_EQ(direct.PixelIndex(1, 0), 0);
  EXPECT_EQ(direct.Pixel(1, 0), RGB(1, 2, 3));
}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndGivesMinusOneForZero) {
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(1, -1, 2), -1);
  EXPECT_EQ(MulDiv(-1, -1, -2), -1);
  EXPECT_EQ(MulDiv(3, 1, -2), -2);
  EXPECT_EQ(MulDiv(5, 1, 4), 1);
  EXPECT_EQ(MulDiv(7, 1, 4), 2);
  EXPECT_EQ(MulDiv(0, 5, -3), 0);
  EXPECT_EQ(MulDiv(7, 9, 0), -1);
  EXPECT_EQ(MulDiv(0, 0, 0), -1);
  // Font sizes: points to the classic negative pixel height and back.
  EXPECT_EQ(MulDiv(8, 96, 72), 11);
  EXPECT_EQ(MulDiv(-11, 72, 96), -8);
  // The product is taken in 64 bits.
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(MulDiv(INT_MIN, INT_MIN, INT_MIN), INT_MIN);
  EXPECT_EQ(MulDiv(INT_MIN, 1, INT_MIN), 1);
  EXPECT_EQ(MulDiv(INT_MIN, -1, 1 << 30), 2);
}

TEST(MulDiv, The255FormAgreesForEveryPairOfBytes) {
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b)
      ASSERT_EQ(MulDiv255(a, b), MulDiv(static_cast<int>(a), static_cast<int>(b), 255)) << a << " * " << b;
}

}  // namespace
}  // namespace pixtrel
