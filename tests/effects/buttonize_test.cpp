#include "effects/buttonize.h"

#include "fx_test_util.h"

namespace pixtrel::test {
namespace {

namespace ref = reference;

TEST(ButtonizeRect, MatchesTranscription) {
  for (int d : {10, 3, 50, 1}) {
    SCOPED_TRACE(d);
    ExpectMatchesReference([&](Bitmap& b) { fx::ButtonizeRect(b, d, 120); },
                           [&](ref::Plain p) { return ref::ButtonizeRect(p, d, 120); });
  }
}

TEST(ButtonizeRect, GreyCornersAndMiddles) {
  Bitmap b = Flat(40, 30, 100, 100, 100);
  fx::ButtonizeRect(b, 10, 120);
  EXPECT_EQ(At(b, 0, 0)[0], 211);   // lightened twice
  EXPECT_EQ(At(b, 20, 0)[0], 172);  // once
  EXPECT_EQ(At(b, 20, 29)[0], 53);  // darkened once
  EXPECT_EQ(At(b, 20, 15)[0], 100);
}

TEST(ButtonizeOval, RingsCarryKindAndStrength) {
  const Bitmap round = fx::OvalBevelMask(60, 40, 5, "round");
  const Bitmap rimmed = fx::OvalBevelMask(60, 40, 5, "rimmed");
  const Bitmap none = fx::OvalBevelMask(60, 40, 5, "square");
  bool lighter = false, darker = false;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      const auto p = At(round, x, y);
      EXPECT_TRUE(p == (std::array<int, 3>{255, 255, 255}) || ((p[1] == 1 || p[1] == 2) && p[2] == 0 && p[0] < 5))
          << x << "," << y;
      if (p[1] == 2) lighter = true;
      if (p[1] == 1) darker = true;
      EXPECT_EQ(At(none, x, y), (std::array<int, 3>{255, 255, 255}));
    }
  EXPECT_TRUE(lighter && darker);
  // The upper-left half lightens in "round" and darkens in "rimmed"; the outermost ring meets the top edge.
  EXPECT_EQ(At(round, 30, 0)[1], 2);
  EXPECT_EQ(At(round, 30, 0)[0], 4);
  EXPECT_EQ(At(rimmed, 30, 0)[1], 1);
  EXPECT_EQ(At(rimmed, 30, 0)[0], 0);
  // The lower-right half darkens (its last row is the platform's rasterisation).
  int lowest = 0;
  for (int y = 20; y < 40; ++y)
    if (At(round, 30, y)[1] != 255) lowest = y;
  EXPECT_GE(lowest, 38);
  EXPECT_EQ(At(round, 30, lowest)[1], 1);
  EXPECT_EQ(At(round, 30, lowest)[0], 4);
}

TEST(ButtonizeOval, FrameReachesTwiceTheWeightAndSmallImagesWork) {
  const Bitmap frame = fx::OvalBevelMask(80, 80, 10, "doubleround");
  int strongest = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x)
      if (At(frame, x, y)[1] != 255) strongest = std::max(strongest, At(frame, x, y)[0]);
  EXPECT_EQ(strongest, 19);
  // Below 3x3 the bevel is applied without smoothing; nothing breaks.
  for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {2, 5}}) {
    Bitmap tiny = Flat(w, h, 100, 100, 100);
    fx::ButtonizeOval(tiny, 10, 120, "round");
    fx::ButtonizeOval(tiny, 10, 120, "doubleround");
  }
  Bitmap tiny = Flat(1, 1, 100, 100, 100);
  const Bitmap mask = fx::OvalBevelMask(1, 1, 10, "round");
  fx::ButtonizeOval(tiny, 10, 120, "round");
  if (At(mask, 0, 0)[1] == 255) {
    EXPECT_EQ(At(tiny, 0, 0)[0], 100);
  }
}

TEST(ButtonizeOval, FlatInteriorIsOnlySmoothed) {
  Bitmap b = Flat(50, 50, 100, 100, 100);
  fx::ButtonizeOval(b, 10, 120, "round");
  EXPECT_EQ(At(b, 25, 25)[0], 100);
  // The top of the ring is lightened, the bottom darkened.
  EXPECT_GT(At(b, 25, 1)[0], 100);
  EXPECT_LT(At(b, 25, 48)[0], 100);
}

TEST(MaskOval, CornersTakeTheColourCentreStays) {
  std::mt19937 rng(4);
  Bitmap b = ref::RandomBitmap(33, 33, rng);
  const Bitmap before = b;
  fx::MaskOval(b, clWhite);
  for (auto [x, y] : {std::pair{0, 0}, {32, 0}, {0, 32}, {32, 32}})
    EXPECT_EQ(At(b, x, y), (std::array<int, 3>{255, 255, 255}));
  EXPECT_EQ(At(b, 16, 16), At(before, 16, 16));
  EXPECT_EQ(At(b, 16, 1), At(before, 16, 1));
  Bitmap colour = Flat(20, 10, 0, 0, 0);
  fx::MaskOval(colour, RGB(10, 20, 30));
  EXPECT_EQ(At(colour, 0, 0), (std::array<int, 3>{30, 20, 10}));
}

}  // namespace
}  // namespace pixtrel::test
