#include "effects/geometric.h"

#include <cmath>

#include "fx_test_util.h"

namespace pixtrel::test {
namespace {

namespace ref = reference;
using ref::Plain;

TEST(Geometric, MatchTranscriptions) {
  ExpectMatchesReference([](Bitmap& b) { fx::FlipVertical(b); }, [](Plain p) { return ref::FlipVertical(p); });
  ExpectMatchesReference([](Bitmap& b) { fx::FlipHorizontal(b); }, [](Plain p) { return ref::FlipHorizontal(p); });
  ExpectMatchesReference([](Bitmap& b) { fx::MirrorRight(b); }, [](Plain p) { return ref::MirrorRight(p); });
  ExpectMatchesReference([](Bitmap& b) { fx::MirrorDown(b); }, [](Plain p) { return ref::MirrorDown(p); });
  ExpectMatchesReference(
      [](Bitmap& b) {
        Bitmap turned;
        fx::RotateQuarter(b, turned);
        b = turned;
      },
      [](Plain p) { return ref::RotateQuarter(p); });
  for (int n : {2, 3, 7, 20}) {
    SCOPED_TRACE(n);
    ExpectMatchesReference([&](Bitmap& b) { fx::Mosaic(b, n); }, [&](Plain p) { return ref::Mosaic(p, n); });
  }
  for (int a : {50, 4, 9}) {
    SCOPED_TRACE(a);
    ExpectMatchesReference([&](Bitmap& b) { fx::Wipe(b, a); }, [&](Plain p) { return ref::Wipe(p, a); });
  }
  const struct {
    fx::ShadowDirection direction;
    int ox, oy;
    bool upward;
  } shadows[] = {{fx::ShadowDirection::UpLeft, 4, 4, true},
                 {fx::ShadowDirection::UpRight, -4, 4, true},
                 {fx::ShadowDirection::DownLeft, 4, -4, false},
                 {fx::ShadowDirection::DownRight, -4, -4, false}};
  for (const auto& s : shadows) {
    ExpectMatchesReference([&](Bitmap& b) { fx::CastShadow(b, s.direction); },
                           [&](Plain p) { return ref::CastShadow(p, s.ox, s.oy, s.upward); });
  }
  for (int a : {10, 50, 1, 3}) {
    SCOPED_TRACE(a);
    ExpectMatchesReference([&](Bitmap& b) { fx::MakeSeamless(b, a); },
                           [&](Plain p) { return ref::MakeSeamless(p, a); });
  }
}

TEST(Geometric, DistortionsMatchTranscriptions) {
  for (int depth : {40, 10, 255}) {
    SCOPED_TRACE(depth);
    ExpectMatchesReference([&](Bitmap& b) { fx::Fisheye(Bitmap(b), b, depth / 255.0); },
                           [&](Plain p) { return ref::Fisheye(p, depth / 255.0); });
    ExpectMatchesReference([&](Bitmap& b) { fx::Twist(Bitmap(b), b, depth); },
                           [&](Plain p) { return ref::Twist(p, depth); });
  }
}

TEST(Geometric, SampleBilinearWrapsAndWeighs) {
  Bitmap b(2, 2, pf24bit);
  Put(b, 0, 0, 0, 0, 0);
  Put(b, 1, 0, 100, 100, 100);
  Put(b, 0, 1, 200, 200, 200);
  Put(b, 1, 1, 40, 40, 40);
  EXPECT_EQ(fx::SampleBilinear(b, 1, 1), RGB(40, 40, 40));
  // Half way along the top row: 50.
  EXPECT_EQ(GetBValue(fx::SampleBilinear(b, 0.5f, 0)), 50);
  // Beyond the right edge the cell wraps to column 0.
  EXPECT_EQ(fx::SampleBilinear(b, 2, 0), RGB(0, 0, 0));
  // Far outside and not finite: defined, inside the picture.
  fx::SampleBilinear(b, 1e30f, -1e30f);
  fx::SampleBilinear(b, INFINITY, NAN);
  for (int i = 0; i < 200; ++i) fx::SampleBilinear(b, -37.3f * i, 11.9f * i);
}

TEST(Geometric, KnownCases) {
  std::mt19937 rng(11);
  const Bitmap picture = ref::RandomBitmap(10, 8, rng);
  Bitmap twice = picture;
  fx::FlipVertical(twice);
  fx::FlipVertical(twice);
  fx::FlipHorizontal(twice);
  fx::FlipHorizontal(twice);
  EXPECT_EQ(ref::FromBitmap(twice), ref::FromBitmap(picture));

  const Bitmap odd = ref::RandomBitmap(7, 3, rng);
  Bitmap mirrored = odd;
  fx::MirrorRight(mirrored);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(At(mirrored, 3, y), At(odd, 3, y));
    EXPECT_EQ(At(mirrored, 6, y), At(odd, 0, y));
  }

  // The centre of an even-sized picture samples exactly the source centre.
  Bitmap lens;
  fx::Fisheye(picture, lens, 40 / 255.0);
  EXPECT_EQ(At(lens, 5, 4), At(picture, 5, 4));

  // Mosaic of 3 on 4x4: blocks of 3x3, 1x3, 3x1 and 1x1.
  Bitmap mosaic = ref::RandomBitmap(4, 4, rng);
  const Bitmap before = mosaic;
  fx::Mosaic(mosaic, 3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(mosaic, x, y), At(before, x < 3 ? 0 : 3, y < 3 ? 0 : 3));

  // Shadow on a constant blue channel changes nothing.
  Bitmap flatBlue = ref::RandomBitmap(12, 12, rng);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) flatBlue.ScanLine(y)[3 * x] = 90;
  const Bitmap flatBefore = flatBlue;
  fx::CastShadow(flatBlue, fx::ShadowDirection::DownRight);
  EXPECT_EQ(ref::FromBitmap(flatBlue), ref::FromBitmap(flatBefore));

  // Shadow: green and red wrap at 8 bits.
  Bitmap wrap = Flat(6, 6, 200, 0, 0);
  Put(wrap, 5, 5, 10, 255, 254);
  fx::CastShadow(wrap, fx::ShadowDirection::UpLeft);
  EXPECT_EQ(At(wrap, 1, 1), (std::array<int, 3>{11, 0, 255}));
}

TEST(Geometric, SeamlessRowsAndColumns) {
  std::mt19937 rng(21);
  Bitmap b = ref::RandomBitmap(100, 100, rng);
  const Bitmap before = b;
  fx::MakeSeamless(b, 10);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(At(b, i, 99), At(b, i, 0)) << i;
    EXPECT_EQ(At(b, 99, i), At(b, 0, i)) << i;
  }
  // Row 89 and column 89 are outside the blend in the middle part.
  for (int i = 11; i < 89; ++i) {
    EXPECT_EQ(At(b, i, 89), At(before, i, 89)) << i;
    EXPECT_EQ(At(b, 89, i), At(before, 89, i)) << i;
  }
}

TEST(Geometric, WipeOnOneRow) {
  std::mt19937 rng(2);
  Bitmap b = ref::RandomBitmap(160, 1, rng);
  const Bitmap before = b;
  fx::Wipe(b, 50);
  int held = 0;
  for (int x = 0; x < 160; ++x) {
    if (x % 51 == 0 || x % 50 == 1) held = x;
    EXPECT_EQ(At(b, x, 0), At(before, held, 0)) << x;
  }
}

TEST(Geometric, QuarterTurnPutsTheTopRowOnTheRight) {
  Bitmap b = Flat(3, 2, 0, 0, 0);
  Put(b, 0, 0, 1, 1, 1);
  Put(b, 2, 0, 3, 3, 3);
  Bitmap turned;
  fx::RotateQuarter(b, turned);
  ASSERT_EQ(turned.Width(), 2);
  ASSERT_EQ(turned.Height(), 3);
  EXPECT_EQ(At(turned, 1, 0)[0], 1);
  EXPECT_EQ(At(turned, 1, 2)[0], 3);
}

}  // namespace
}  // namespace pixtrel::test
