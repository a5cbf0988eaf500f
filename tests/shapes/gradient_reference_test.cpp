// The nested-rectangle patterns paint only what the next rectangle leaves
// uncovered; a plain reference that paints every rectangle whole must give
// the same pixels.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "shapes/gradient_fill.h"
#include "shapes/shape_test_util.h"

namespace pixtrel::shapes {
namespace {

// Every rectangle of the nests in full, step by step, each drawn without a
// pen (one pixel short at the right and bottom).
Bitmap Reference(const GradientSpec& spec, const std::vector<std::array<double, 4>>& boxes, double dx, double dy) {
  Bitmap b = test::Blank(spec.width, spec.height, clLime);
  Canvas& c = b.Canvas();
  for (int i = 0; i <= 255; ++i) {
    c.Brush() = {GradientStepColor(spec, i), bsSolid};
    const double in = i + 1.0;
    for (const auto& [l, t, r, bottom] : boxes) {
      c.FillRect(MakeRect(TruncToInt(l + in * dx), TruncToInt(t + in * dy), TruncToInt(r - in * dx) - 1,
                          TruncToInt(bottom - in * dy) - 1));
    }
  }
  return b;
}

TEST(GradientReference, NestedRectanglesMatchThePlainReference) {
  for (int w : {1, 2, 7, 60, 65, 131, 600}) {
    for (int h : {1, 3, 44, 65, 257}) {
      SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
      GradientSpec spec;
      spec.brushColor = RGB(255, 255, 0);
      spec.gradientColor = RGB(0, 64, 128);
      spec.width = w;
      spec.height = h;
      const double W = w, H = h, hw = W / 2, hh = H / 2;
      struct Case {
        ZepFillDirection direction;
        std::vector<std::array<double, 4>> boxes;
        double dx, dy;
      };
      const Case cases[] = {
          {zgdRectOut, {{0, 0, W + 2, H + 2}}, W / 2 / 255, H / 2 / 255},
          {zgdRectIn, {{0, 0, W + 2, H + 2}}, W / 2 / 255, H / 2 / 255},
          {zgdQuatro,
           {{0, 0, hw + 2, hh + 2}, {hw, 0, W + 2, hh + 2}, {0, hh, hw + 2, H + 2}, {hw, hh, W + 2, H + 2}},
           W / 4 / 255,
           H / 4 / 255},
          {zgdDuo, {{0, 0, hw + 2, H + 2}, {hw, 0, W + 2, H + 2}}, W / 4 / 255, H / 2 / 255},
      };
      for (const Case& c : cases) {
        SCOPED_TRACE(FillDirectionName(c.direction));
        spec.direction = c.direction;
        Bitmap actual = test::Blank(w, h, clLime);
        GradientFill(actual.Canvas(), spec, Region::FromRect(Bounds(w, h)));
        EXPECT_TRUE(test::SameAt(Reference(spec, c.boxes, c.dx, c.dy), actual, 0, 0));
      }
    }
  }
}

}  // namespace
}  // namespace pixtrel::shapes
