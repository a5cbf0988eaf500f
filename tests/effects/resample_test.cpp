#include "effects/resample.h"

#include <cmath>

#include "fx_test_util.h"

namespace pixtrel::test {
namespace {

namespace ref = reference;

Bitmap Resampled(const Bitmap& source, int w, int h) {
  Bitmap src = source;
  Bitmap dst(w, h, pf24bit);
  fx::ResampleBitmap(src, dst, fx::Lanczos3Filter(), 3.0f);
  return dst;
}

TEST(ResampleBitmap, MatchesPerPixelTranscription) {
  std::mt19937 rng(9);
  const std::pair<int, int> cases[][2] = {{{1, 1}, {13, 11}},       {{2, 3}, {17, 5}},   {{3, 2}, {1, 1}},
                                          {{4, 4}, {31, 31}},       {{5, 7}, {2, 3}},    {{17, 4}, {8, 9}},
                                          {{257, 3}, {100, 7}},     {{3, 257}, {6, 64}}, {{64, 48}, {64, 48}},
                                          {{613, 509}, {300, 700}}, {{40, 30}, {1, 30}}, {{40, 30}, {40, 1}}};
  for (const auto& c : cases) {
    const auto [sw, sh] = c[0];
    const auto [dw, dh] = c[1];
    SCOPED_TRACE(std::to_string(sw) + "x" + std::to_string(sh) + " -> " + std::to_string(dw) + "x" +
                 std::to_string(dh));
    const Bitmap source = ref::RandomBitmap(sw, sh, rng);
    EXPECT_EQ(ref::FromBitmap(Resampled(source, dw, dh)), ref::ResampleLanczos3(ref::FromBitmap(source), dw, dh));
  }
}

// Pictures large enough to be cut into bands of rows on every core: each band
// makes the intermediate rows it needs itself, and the rows on the edge
// between two bands come out the same from both.
TEST(ResampleBitmap, BandsOfRowsMatchPerPixelTranscription) {
  std::mt19937 rng(11);
  const std::pair<int, int> cases[][2] = {{{601, 451}, {300, 225}}, {{150, 111}, {401, 398}},
                                          {{300, 200}, {299, 201}}};
  for (const auto& c : cases) {
    const auto [sw, sh] = c[0];
    const auto [dw, dh] = c[1];
    SCOPED_TRACE(std::to_string(sw) + "x" + std::to_string(sh) + " -> " + std::to_string(dw) + "x" +
                 std::to_string(dh));
    const Bitmap source = ref::RandomBitmap(sw, sh, rng);
    EXPECT_EQ(ref::FromBitmap(Resampled(source, dw, dh)), ref::ResampleLanczos3(ref::FromBitmap(source), dw, dh));
  }
}

TEST(ResampleBitmap, SameSizeIsIdentity) {
  std::mt19937 rng(1);
  const Bitmap source = ref::RandomBitmap(37, 23, rng);
  EXPECT_EQ(ref::FromBitmap(Resampled(source, 37, 23)), ref::FromBitmap(source));
}

TEST(ResampleBitmap, EnlargingFourToThirtyOneHitsEveryTenthPixel) {
  std::mt19937 rng(2);
  const Bitmap source = ref::RandomBitmap(4, 4, rng);
  const Bitmap big = Resampled(source, 31, 31);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(big, 10 * x, 10 * y), At(source, x, y)) << x << "," << y;
}

TEST(ResampleBitmap, EmptySourceIsTooSmall) {
  Bitmap empty(0, 4, pf24bit), dst(10, 10, pf24bit);
  try {
    fx::ResampleBitmap(empty, dst, fx::Lanczos3Filter(), 3.0f);
    FAIL() << "no exception";
  } catch (const fx::EResampleError& e) {
    EXPECT_STREQ(e.what(), "Source bitmap too small");
  }
}

TEST(ResampleBitmap, ConvertsTheSourceAndGivesItsFormat) {
  Bitmap src(8, 8, pf8bit);
  Bitmap dst(16, 16, pf32bit);
  fx::ResampleBitmap(src, dst, fx::Lanczos3Filter(), 3.0f);
  EXPECT_EQ(src.PixelFormat(), pf24bit);
  EXPECT_EQ(dst.PixelFormat(), pf24bit);
  EXPECT_EQ(dst.Width(), 16);
}

TEST(ResampleFilters, TableValues) {
  ASSERT_EQ(fx::ResampleFilters().size(), 7u);
  auto f = [](const char* name, float x) { return fx::FindResampleFilter(name)->function(x); };
  EXPECT_EQ(f("Box", 0.5f), 1.0f);
  EXPECT_EQ(f("Box", -0.5f), 0.0f);
  EXPECT_FLOAT_EQ(f("Triangle", 0.25f), 0.75f);
  EXPECT_FLOAT_EQ(f("Hermite", 0.5f), 0.5f);
  EXPECT_FLOAT_EQ(f("Bell", 1.0f), 0.125f);
  EXPECT_FLOAT_EQ(f("B-Spline", 0.0f), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(f("Mitchell", 0.0f), 16.0f / 18.0f);
  EXPECT_EQ(f("Lanczos3", 0.0f), 1.0f);
  EXPECT_EQ(f("Lanczos3", 3.0f), 0.0f);
  EXPECT_NEAR(f("Lanczos3", 1.0f), 0.0f, 1e-7);
  EXPECT_EQ(fx::FindResampleFilter("Cubic"), nullptr);
  for (const fx::ResampleFilter& filter : fx::ResampleFilters())
    EXPECT_EQ(filter.function(filter.support + 0.01f), 0.0f);
}

TEST(ResampleBitmap, ContributorsStayInsideShortSources) {
  for (int n = 1; n <= 4; ++n)
    for (int d : {1, 2, 11, 50}) {
      for (const auto& list : fx::AxisContributors(d, n, fx::AxisScale(d, n), fx::Lanczos3Filter(), 3.0f))
        for (const fx::Contributor& c : list) {
          EXPECT_GE(c.index, 0);
          EXPECT_LT(c.index, n);
        }
    }
}

}  // namespace
}  // namespace pixtrel::test
