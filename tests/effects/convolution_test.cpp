#include "effects/convolution.h"

#include "fx_test_util.h"

namespace pixtrel::test {
namespace {

namespace ref = reference;
using ref::Plain;

TEST(Convolve3x3, EveryKernelMatchesTheTranscription) {
  for (int n = 0; n < 9; ++n) {
    SCOPED_TRACE("kernel " + std::to_string(n));
    const fx::ConvolutionKernel& k = fx::Kernel(n);
    ExpectMatchesReference([&](Bitmap& b) { fx::Convolve3x3(b, k); },
                           [&](Plain p) { return ref::Convolve3x3(p, k.k.data(), k.divisor); });
  }
  // A kernel given at run time takes the general path.
  const fx::ConvolutionKernel odd{{1, -2, 3, 0, 5, -1, 2, 2, -3}, 3};
  ExpectMatchesReference([&](Bitmap& b) { fx::Convolve3x3(b, odd); },
                         [&](Plain p) { return ref::Convolve3x3(p, odd.k.data(), odd.divisor); });
}

TEST(Convolve3x3, FlatImages) {
  auto flat = [](int kernel, int v) {
    Bitmap b = Flat(6, 5, v, v, v);
    fx::Convolve3x3(b, fx::Kernel(kernel));
    return At(b, 2, 2)[0];
  };
  EXPECT_EQ(flat(fx::kLaplace, 180), 0);
  EXPECT_EQ(flat(fx::kHighpass, 180), 180);
  EXPECT_EQ(flat(fx::kSharpen, 180), 180);
  EXPECT_EQ(flat(fx::kBlur, 255), 255);
  EXPECT_EQ(flat(fx::kSoften, 77), 77);
  EXPECT_EQ(flat(fx::kSoftenLess, 77), 77);
}

TEST(Convolve3x3, SingleWhitePixelUnderBlur) {
  Bitmap b = Flat(7, 7, 0, 0, 0);
  Put(b, 3, 3, 255, 255, 255);
  fx::Convolve3x3(b, fx::Kernel(fx::kBlur));
  EXPECT_EQ(At(b, 3, 3)[1], 63);
  for (auto [x, y] : {std::pair{2, 2}, {3, 2}, {4, 4}, {2, 3}}) EXPECT_EQ(At(b, x, y)[1], 23);
  EXPECT_EQ(At(b, 1, 1)[1], 0);
}

TEST(Convolve3x3, FrameWrapsAround) {
  // White last column: the first column sees it as its left neighbour.
  Bitmap b = Flat(5, 3, 0, 0, 0);
  for (int y = 0; y < 3; ++y) Put(b, 4, y, 255, 255, 255);
  fx::Convolve3x3(b, fx::Kernel(fx::kBlur));
  EXPECT_EQ(At(b, 0, 1)[0], 3 * 3 * 255 / 32);
  EXPECT_EQ(At(b, 1, 1)[0], 0);
}

TEST(FocusFilters, MatchTranscriptions) {
  ExpectMatchesReference([](Bitmap& b) { fx::AntiAlias(b); }, [](Plain p) { return ref::AntiAlias(p); });
  for (int a : {3, 1, 0, 5}) {
    SCOPED_TRACE(a);
    ExpectMatchesReference([&](Bitmap& b) { fx::SplitBlur(b, a); }, [&](Plain p) { return ref::SplitBlur(p, a); });
  }
  ExpectMatchesReference([](Bitmap& b) { fx::GaussianBlur(b, 2); },
                         [](Plain p) {
                           for (int i = 0; i < 3; ++i) p = ref::SplitBlur(p, 3);
                           return p;
                         });
  ExpectMatchesReference([](Bitmap& b) { fx::Emboss(b); }, [](Plain p) { return ref::Emboss(p); });
}

TEST(FocusFilters, KnownValues) {
  Bitmap b = Flat(6, 4, 100, 100, 100);
  fx::Emboss(b);
  EXPECT_EQ(At(b, 2, 2)[0], 127);
  EXPECT_EQ(At(b, 3, 2)[0], 100);  // last three columns untouched
  EXPECT_EQ(At(b, 0, 3)[0], 100);  // last row untouched
  std::mt19937 rng(5);
  Bitmap once = reference::RandomBitmap(9, 9, rng);
  Bitmap depth0 = once;
  fx::GaussianBlur(depth0, 0);
  fx::SplitBlur(once, 3);
  EXPECT_EQ(reference::FromBitmap(depth0), reference::FromBitmap(once));
}

TEST(Trace, MarksEdgesOnTheFarSide) {
  // Left half black, right half white: the first edge in scan order is
  // black to white, so the line lies on the black side's neighbours.
  Bitmap b = Flat(8, 4, 0, 0, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 4; x < 8; ++x) Put(b, x, y, 255, 255, 255);
  fx::Trace(b, 1, RGB(255, 0, 0));
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.Height(), 4);
  int red = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      if (At(b, x, y) == (std::array<int, 3>{0, 0, 255})) ++red;
  EXPECT_GT(red, 0);
  // A flat picture has no edges.
  Bitmap flat = Flat(5, 5, 40, 90, 200);
  const Plain before = reference::FromBitmap(flat);
  fx::Trace(flat, 1, clBlack);
  EXPECT_EQ(reference::FromBitmap(flat), before);
}

}  // namespace
}  // namespace pixtrel::test
