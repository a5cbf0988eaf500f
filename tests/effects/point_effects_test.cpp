#include "effects/point_effects.h"

#include "fx_test_util.h"

namespace pixtrel::test {
namespace {

namespace ref = reference;
using ref::Plain;

TEST(PointEffects, MatchPlainTranscriptions) {
  for (int amount : {25, 0, 255, -40, 600}) {
    SCOPED_TRACE(amount);
    ExpectMatchesReference([&](Bitmap& b) { fx::Lighten(b, amount); },
                           [&](Plain p) { return ref::Lighten(p, amount); });
    ExpectMatchesReference([&](Bitmap& b) { fx::Darken(b, amount); }, [&](Plain p) { return ref::Darken(p, amount); });
    ExpectMatchesReference([&](Bitmap& b) { fx::AdjustContrast(b, amount); },
                           [&](Plain p) { return ref::AdjustContrast(p, amount); });
    ExpectMatchesReference([&](Bitmap& b) { fx::AdjustSaturation(b, amount); },
                           [&](Plain p) { return ref::AdjustSaturation(p, amount); });
  }
  ExpectMatchesReference([](Bitmap& b) { fx::ToGrayscale(b); }, [](Plain p) { return ref::ToGrayscale(p); });
  ExpectMatchesReference([](Bitmap& b) { fx::InvertColors(b); }, [](Plain p) { return ref::InvertColors(p); });
  for (int depth : {100, 10, 7, 255, 2}) {
    SCOPED_TRACE(depth);
    ExpectMatchesReference([&](Bitmap& b) { fx::Posterize(Bitmap(b), b, depth); },
                           [&](Plain p) { return ref::Posterize(p, depth); });
    ExpectMatchesReference([&](Bitmap& b) { fx::Solarize(Bitmap(b), b, depth); },
                           [&](Plain p) { return ref::Solarize(p, depth); });
  }
}

TEST(PointEffects, GrayscaleTiesFollowTheRealComputation) {
  // Every colour whose exact grey ends in .5 (30 R + 59 G + 11 B = 100 k + 50).
  Bitmap ties(256, 256, pf24bit);
  int count = 0;
  for (int r = 0; r < 256 && count < 65536; ++r)
    for (int g = 0; g < 256 && count < 65536; ++g)
      for (int b = 0; b < 256 && count < 65536; b += 1)
        if ((30 * r + 59 * g + 11 * b) % 100 == 50) {
          Put(ties, count % 256, count / 256, b, g, r);
          ++count;
        }
  const Plain expected = ref::ToGrayscale(ref::FromBitmap(ties));
  fx::ToGrayscale(ties);
  EXPECT_EQ(ref::FromBitmap(ties), expected);
}

TEST(PointEffects, KnownValues) {
  auto one = [](int b, int g, int r, auto op) {
    Bitmap bitmap = Flat(1, 1, b, g, r);
    op(bitmap);
    return At(bitmap, 0, 0);
  };
  auto lighten = [](Bitmap& b) { fx::Lighten(b, 25); };
  EXPECT_EQ(one(0, 255, 128, lighten), (std::array<int, 3>{25, 255, 140}));
  auto darken = [](Bitmap& b) { fx::Darken(b, 25); };
  EXPECT_EQ(one(255, 10, 0, darken), (std::array<int, 3>{230, 10, 0}));
  auto contrast = [](Bitmap& b) { fx::AdjustContrast(b, 25); };
  EXPECT_EQ(one(127, 128, 255, contrast), (std::array<int, 3>{127, 128, 255}));
  EXPECT_EQ(one(0, 0, 0, contrast)[0], 0);
  EXPECT_EQ(one(0, 0, 255, [](Bitmap& b) { fx::AdjustSaturation(b, 225); }), (std::array<int, 3>{10, 10, 235}));
  auto gray = [](Bitmap& b) { fx::ToGrayscale(b); };
  EXPECT_EQ(one(0, 255, 0, gray)[0], 150);
  EXPECT_EQ(one(0, 0, 200, gray)[0], 60);
  EXPECT_EQ(one(200, 0, 0, gray)[0], 22);
  auto solarize = [](Bitmap& b) { fx::Solarize(Bitmap(b), b, 50); };
  EXPECT_EQ(one(49, 50, 51, solarize), (std::array<int, 3>{49, 50, 51}));
  EXPECT_EQ(one(50, 51, 52, solarize), (std::array<int, 3>{205, 204, 203}));
  auto posterize = [](Bitmap& b) { fx::Posterize(Bitmap(b), b, 100); };
  EXPECT_EQ(one(149, 150, 250, posterize), (std::array<int, 3>{100, 200, 200}));
  // Levels above 255 are clamped.
  EXPECT_EQ(one(251, 255, 0, posterize), (std::array<int, 3>{255, 255, 0}));
  EXPECT_EQ(one(255, 0, 0, [](Bitmap& b) { fx::Posterize(Bitmap(b), b, 10); })[0], 255);
}

TEST(PointEffects, EmptyBitmapsAndOtherFormats) {
  Bitmap empty(0, 5, pf24bit);
  fx::Lighten(empty, 25);
  fx::Posterize(Bitmap(empty), empty, 100);
  EXPECT_EQ(empty.Width(), 0);
  // A 32-bit picture is converted first, Darken's rule then applies as usual.
  Bitmap device(3, 2, pf32bit);
  device.Fill(RGB(255, 255, 255));
  fx::Darken(device, 25);
  EXPECT_EQ(device.PixelFormat(), pf24bit);
  EXPECT_EQ(At(device, 2, 1), (std::array<int, 3>{230, 230, 230}));
}

TEST(PointEffects, BlendMatchesTranscriptionAndKeepsFirstOutsideSecond) {
  std::mt19937 rng(3);
  for (double t : {0.0, 0.37, 0.5, 1.0}) {
    const Bitmap a = ref::RandomBitmap(31, 9, rng), b = ref::RandomBitmap(31, 9, rng);
    Bitmap out;
    fx::Blend(a, b, out, t);
    EXPECT_EQ(ref::FromBitmap(out), ref::Blend(ref::FromBitmap(a), ref::FromBitmap(b), t)) << t;
  }
  const Bitmap a = Flat(4, 4, 10, 20, 30), small = Flat(2, 2, 110, 120, 130);
  Bitmap out;
  fx::Blend(a, small, out, 0.5);
  EXPECT_EQ(At(out, 1, 1), (std::array<int, 3>{60, 70, 80}));
  EXPECT_EQ(At(out, 3, 3), (std::array<int, 3>{10, 20, 30}));
}

TEST(PointEffects, MaskedBlendUsesTheMaskByteAsOpacity) {
  const Bitmap background = Flat(3, 1, 0, 0, 0), overlay = Flat(3, 1, 200, 100, 255);
  Bitmap mask(3, 1, pf8bit);
  mask.ScanLine(0)[0] = 0;
  mask.ScanLine(0)[1] = 255;
  mask.ScanLine(0)[2] = 128;
  Bitmap out;
  fx::MaskedBlend(background, overlay, mask, 0, 1.0, out);
  EXPECT_EQ(At(out, 0, 0), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(At(out, 1, 0), (std::array<int, 3>{200, 100, 255}));
  // 128 / 255 of 200 = 100.39, of 255 = 128.
  EXPECT_EQ(At(out, 2, 0), (std::array<int, 3>{100, 50, 128}));
  Bitmap wrongMask(2, 1, pf8bit);
  fx::MaskedBlend(background, overlay, wrongMask, 0, 1.0, out);
  EXPECT_EQ(ref::FromBitmap(out), ref::FromBitmap(background));
}

}  // namespace
}  // namespace pixtrel::test
