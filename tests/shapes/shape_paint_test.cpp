// Painting: the box arithmetic, fills, holes and clips, gradients, captions
// and PaintTo against the on-screen painting.
#include <gtest/gtest.h>

#include "shapes/gradient_fill.h"
#include "shapes/shape_test_util.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {
namespace {

using test::Blank;
using test::Changed;
using test::ChannelDistance;
using test::Count;
using test::SameAt;

Bitmap Painted(ZepShape& s, int w = 80, int h = 80, Color background = clWhite, int x = 0, int y = 0) {
  Bitmap b = Blank(w, h, background);
  s.PaintTo(b.Canvas(), x, y, 1.0, 1.0);
  return b;
}

TEST(ShapeBox, PenWidthSetsTheBox) {
  ZepShape s;
  // Width 1: the rectangle runs from (0, 0) to (65, 65), the pen on its edges.
  Bitmap one = Painted(s);
  EXPECT_EQ(Changed(one), MakeRect(0, 0, 65, 65));
  EXPECT_EQ(one.Pixel(0, 30), clBlack);
  EXPECT_EQ(one.Pixel(64, 30), clBlack);
  EXPECT_EQ(one.Pixel(30, 64), clBlack);
  // Without a pen the fill shows the box: width 4 gives (2, 2) - (64, 64),
  // one pixel short at the right and bottom when no pen draws.
  s.SetBrush({clRed, bsSolid});
  s.SetPen({clBlack, 4, psClear, pmCopy});
  EXPECT_EQ(Changed(Painted(s)), MakeRect(2, 2, 63, 63));
  s.SetPen({clBlack, 1, psClear, pmCopy});
  EXPECT_EQ(Changed(Painted(s)), MakeRect(0, 0, 64, 64));
  // Width 0 takes one more pixel off.
  s.SetPen({clBlack, 0, psClear, pmCopy});
  EXPECT_EQ(Changed(Painted(s)), MakeRect(0, 0, 64, 64));
  s.SetPen({clBlack, 2, psClear, pmCopy});
  EXPECT_EQ(Changed(Painted(s)), MakeRect(1, 1, 64, 64));
}

TEST(ShapeBox, SquareKindsAreCentredInTheShorterSide) {
  ZepShape s;
  s.SetBounds(0, 0, 100, 60);
  s.SetShape(zstSquare);
  EXPECT_EQ(Changed(Painted(s, 120, 80)), MakeRect(20, 0, 80, 60));
  s.SetBounds(0, 0, 60, 100);
  EXPECT_EQ(Changed(Painted(s, 120, 120)), MakeRect(0, 20, 60, 80));
  s.SetShape(zstCircle);
  EXPECT_EQ(Changed(Painted(s, 120, 120)), MakeRect(0, 20, 60, 80));
  s.SetShape(zstRectangle);
  EXPECT_EQ(Changed(Painted(s, 120, 120)), MakeRect(0, 0, 60, 100));
}

TEST(ShapeBox, ScaleMultipliesTheBoxAndOffsetShiftsIt) {
  ZepShape s;
  s.SetBounds(0, 0, 30, 20);
  Bitmap b = Blank(100, 100);
  s.PaintTo(b.Canvas(), 5, 7, 2.0, 3.0);
  EXPECT_EQ(Changed(b), MakeRect(5, 7, 65, 67));
  EXPECT_EQ(s.ScaleX(), 1.0);
  EXPECT_EQ(s.OffsetX(), 0);
  EXPECT_FALSE(s.PaintingForeign());
}

TEST(ShapeBox, EveryKindStaysInsideItsBox) {
  for (int i = 0; i < kShapeTypeCount; ++i) {
    SCOPED_TRACE(ShapeTypeName(static_cast<ZepShapeType>(i)));
    for (bool gradient : {false, true}) {
      ZepShape s;
      s.SetShape(static_cast<ZepShapeType>(i));
      s.SetBounds(0, 0, 50, 40);
      s.SetBrush({clRed, bsSolid});
      s.SetGradient(gradient);
      s.SetFillDirection(static_cast<ZepFillDirection>(i % kFillDirectionCount));
      const Bitmap b = Painted(s, 90, 90, clWhite, 20, 30);
      const Rect r = Changed(b);
      EXPECT_FALSE(r.IsEmpty());
      EXPECT_GE(r.Left, 20);
      EXPECT_GE(r.Top, 30);
      EXPECT_LE(r.Right, 70);
      EXPECT_LE(r.Bottom, 70);
    }
  }
}

TEST(ShapeFill, HolesAreFilledPlainAndCutFromGradients) {
  for (ZepShapeType kind : {zstTorus, zstFrame, zstFrameNarrow, zst1Hole, zst1HoleBig}) {
    SCOPED_TRACE(ShapeTypeName(kind));
    ZepShape s;
    s.SetShape(kind);
    s.SetBrush({clRed, bsSolid});
    EXPECT_EQ(Painted(s, 80, 80, clLime).Pixel(32, 32), clRed);
    s.SetGradient(true);
    EXPECT_EQ(Painted(s, 80, 80, clLime).Pixel(32, 32), clLime);
  }
  ZepShape two;
  two.SetShape(zst2HoleHoriz);
  two.SetGradient(true);
  const Bitmap b = Painted(two, 80, 80, clLime);
  EXPECT_EQ(b.Pixel(16, 32), clLime);  // in the left hole
  EXPECT_EQ(b.Pixel(48, 32), clLime);  // in the right hole
  EXPECT_NE(b.Pixel(32, 32), clLime);  // between them
}

TEST(ShapeFill, GradientClipsFollowTheOutline) {
  ZepShape s;
  s.SetGradient(true);
  s.SetBrush({clRed, bsSolid});
  s.SetGradientColor(clRed);
  s.SetShape(zstPistacheTop);  // round top, square bottom
  Bitmap b = Painted(s, 80, 80, clLime);
  EXPECT_EQ(b.Pixel(2, 2), clLime);
  EXPECT_EQ(b.Pixel(2, 62), clRed);
  s.SetShape(zstBowlLeft);
  b = Painted(s, 80, 80, clLime);
  EXPECT_EQ(b.Pixel(10, 32), clRed);
  EXPECT_EQ(b.Pixel(50, 32), clLime);
  s.SetShape(zstBowlUp);
  b = Painted(s, 80, 80, clLime);
  EXPECT_EQ(b.Pixel(32, 10), clRed);
  EXPECT_EQ(b.Pixel(32, 50), clLime);
  s.SetShape(zstTriangleUp);
  b = Painted(s, 80, 80, clLime);
  EXPECT_EQ(b.Pixel(32, 50), clRed);
  EXPECT_EQ(b.Pixel(5, 10), clLime);
}

TEST(ShapeFill, PolyLineModeDrawsTheFreePolygonOpenAndUnfilled) {
  ZepShape s;
  s.SetShape(zstUser);
  s.SetBrush({clRed, bsSolid});
  Bitmap closed = Painted(s);
  EXPECT_EQ(closed.Pixel(0, 32), clBlack);
  EXPECT_EQ(closed.Pixel(32, 32), clRed);
  s.SetPolyLineMode(true);
  s.SetGradient(true);
  Bitmap open = Painted(s);
  EXPECT_EQ(open.Pixel(0, 32), clWhite);  // the closing edge is left out
  EXPECT_EQ(open.Pixel(64, 32), clBlack);
  EXPECT_EQ(open.Pixel(32, 32), clWhite);
  // The user polygon's vertices span the box from L, T to R, B.
  s.SetPolyLineMode(false);
  s.SetGradient(false);
  s.SetUserVectorString("tri=0,0,1,0,0,1");
  EXPECT_EQ(Changed(Painted(s)), MakeRect(0, 0, 65, 65));
}

TEST(ShapeFill, FarVerticesStayCheapAndKeepTheClipInside) {
  ZepShape s;
  s.SetShape(zstUser);
  s.SetGradient(true);
  s.SetBrush({clRed, bsSolid});
  s.SetGradientColor(clRed);
  // A triangle from the top corners to a vertex far below: over the image
  // it is nearly a rectangle, and the gradient covers the control's area.
  s.SetUserVectorString("far=0,0,1,0,0.5,1e9");
  const Bitmap b = Painted(s, 80, 80, clLime);
  EXPECT_EQ(b.Pixel(32, 40), clRed);
  EXPECT_EQ(b.Pixel(2, 60), clRed);
  EXPECT_EQ(b.Pixel(62, 60), clRed);
  EXPECT_EQ(b.Pixel(32, 70), clLime);
}

TEST(ShapeGradient, RectOutAndRectInRunBetweenBorderAndCentre) {
  ZepShape s;
  s.SetBrush({clRed, bsSolid});
  s.SetGradientColor(clBlack);
  s.SetGradient(true);
  s.SetFillDirection(zgdRectOut);
  Bitmap out = Painted(s);
  // Each step moves the sides by 65 / 510 of a pixel: pixel 1 holds step 14.
  EXPECT_EQ(out.Pixel(1, 1), RGB(14, 0, 0));
  EXPECT_EQ(out.Pixel(1, 32), RGB(14, 0, 0));
  EXPECT_LE(ChannelDistance(out.Pixel(32, 32), clRed), 8);
  s.SetFillDirection(zgdRectIn);
  Bitmap in = Painted(s);
  EXPECT_EQ(in.Pixel(1, 1), RGB(241, 0, 0));
  EXPECT_LE(ChannelDistance(in.Pixel(32, 32), clBlack), 8);
}

TEST(ShapeGradient, StepColoursUseRoundedMulDivAndKeepTheLowByte) {
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(3, 2, 4), 2);
  EXPECT_EQ(MulDiv(128, -255, 255), -128);
  EXPECT_EQ(MulDiv(7, 9, 0), -1);
  GradientSpec spec;
  spec.direction = zgdUp;
  spec.brushColor = RGB(255, 0, 10);
  spec.gradientColor = RGB(0, 255, 10);
  EXPECT_EQ(GradientStepColor(spec, 0), spec.brushColor);
  EXPECT_EQ(GradientStepColor(spec, 255), spec.gradientColor);
  EXPECT_EQ(GradientStepColor(spec, 128), RGB(127, 128, 10));
  // Down, Right, RectOut and CircOut run from the gradient colour.
  for (ZepFillDirection d : {zgdDown, zgdRight, zgdRectOut, zgdCircOut}) {
    spec.direction = d;
    EXPECT_EQ(GradientStepColor(spec, 0), spec.gradientColor);
  }
  // A zero step count divides to -1: the start colour less one, low byte kept.
  spec.direction = zgdHorizCenter;
  spec.brushColor = RGB(0, 5, 255);
  EXPECT_EQ(GradientStepColor(spec, 0, 0), RGB(255, 4, 254));
}

TEST(ShapeGradient, PatternsStartWhereTheyAreNamed) {
  ZepShape s;
  s.SetBrush({clRed, bsSolid});
  s.SetGradientColor(clBlue);
  s.SetGradient(true);
  auto at = [&](ZepFillDirection d, int x, int y) {
    s.SetFillDirection(d);
    return Painted(s).Pixel(x, y);
  };
  const int lo = 2, hi = 62, mid = 32;
  struct Case {
    ZepFillDirection direction;
    int x, y;
    Color expected;
  };
  const Case cases[] = {
      {zgdUp, mid, lo, clRed},
      {zgdUp, mid, hi, clBlue},
      {zgdDown, mid, lo, clBlue},
      {zgdLeft, lo, mid, clRed},
      {zgdRight, lo, mid, clBlue},
      {zgdHorizCenter, lo, mid, clRed},
      {zgdHorizCenter, mid, mid, clBlue},
      {zgdVertCenter, mid, lo, clRed},
      {zgdCircIn, mid, mid, clBlue},
      {zgdCircOut, mid, mid, clRed},
      {zgdNWSE, lo, lo, clRed},
      {zgdNWSE, hi, hi, clBlue},
      {zgdNESW, hi, lo, clRed},
      {zgdSENW, hi, hi, clRed},
      {zgdSWNE, lo, hi, clRed},
      {zgdSWNE, hi, lo, clBlue},
      {zgdUright, lo, mid, clRed},
      {zgdUright, hi, mid, clBlue},
      {zgdULeft, hi, mid, clRed},
      {zgdULeft, lo, mid, clBlue},
      {zgdUDown, mid, lo, clRed},
      {zgdUDown, mid, hi, clBlue},
      {zgdUUp, mid, hi, clRed},
      {zgdUUp, mid, lo, clBlue},
      {zgdRCMix, mid, mid, clBlue},
      {zgdRCModulo, lo, lo, clRed},
      {zgdQuatro, 16, 16, clBlue},
      {zgdQuatro, mid, mid, clRed},
      {zgdDuo, 16, mid, clBlue},
      {zgdLNE, lo, hi, clRed},
      {zgdLNE, hi, lo, clBlue},
      {zgdLNW, hi, hi, clRed},
      {zgdUpDown, lo, lo, clRed},
      {zgdUpDown, hi, lo, clBlue},
      {zgdLeftRight, lo, lo, clRed},
      {zgdLeftRight, lo, hi, clBlue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FillDirectionName(c.direction)) + " at " + std::to_string(c.x) + "," +
                 std::to_string(c.y));
    EXPECT_LE(ChannelDistance(at(c.direction, c.x, c.y), c.expected), 20);
  }
}

TEST(ShapeCaption, WhiteCaptionsDoNotShow) {
  for (ZepShapeType kind : {zstRectangle, zstEllipse, zstUser, zstTorus}) {
    ZepShape s;
    s.SetShape(kind);
    s.SetBrush({clRed, bsSolid});
    const Bitmap plain = Painted(s);
    s.SetCaption("Hello there");
    pixtrel::Font f = s.Font();
    f.color = clWhite;
    s.SetFont(f);
    for (int angle : {0, 30}) {
      s.SetCaptionAngle(angle);
      EXPECT_TRUE(SameAt(plain, Painted(s), 0, 0));
    }
  }
}

TEST(ShapeCaption, PlacementFollowsCentringAndAngle) {
  ZepShape s;
  s.SetBounds(0, 0, 100, 60);
  s.SetBrush({clWhite, bsClear});
  s.SetPen({clBlack, 1, psClear, pmCopy});
  s.SetCaption("Hi");
  // Centred: horizontally in the middle, from the top.
  Rect r = Changed(Painted(s, 100, 60));
  ASSERT_FALSE(r.IsEmpty());
  const int lineHeight = r.Height();
  EXPECT_NEAR((r.Left + r.Right) / 2.0, 50, 3);
  EXPECT_LT(r.Top, 6);
  // Moved with the mouse at angle 0: at the top left, whatever the place.
  s.SetCaptionCentered(false);
  s.SetCaptionX(40);
  s.SetCaptionY(30);
  const Bitmap moved = Painted(s, 100, 60);
  r = Changed(moved);
  EXPECT_LT(r.Left, 4);
  EXPECT_LT(r.Top, 6);
  s.SetCaptionX(0);
  s.SetCaptionY(0);
  EXPECT_TRUE(SameAt(moved, Painted(s, 100, 60), 0, 0));
  // Rotated: at the caption place, rising to the left for 90 degrees.
  s.SetCaptionX(40);
  s.SetCaptionY(50);
  s.SetCaptionAngle(90);
  r = Changed(Painted(s, 100, 60));
  ASSERT_FALSE(r.IsEmpty());
  EXPECT_GE(r.Left, 38);
  EXPECT_LE(r.Right, 56);
  EXPECT_LE(r.Bottom, 52);
  EXPECT_LT(r.Height(), 25);
  EXPECT_GT(r.Height(), r.Width());
  // Long text wraps into more lines.
  s.SetCaptionAngle(0);
  s.SetCaption("one two three four five six");
  EXPECT_GT(Changed(Painted(s, 100, 60)).Height(), 2 * lineHeight);
}

TEST(ShapeCaption, ByUserCallsTheUserDrawingInsteadOfTheCaption) {
  ZepShape s;
  s.SetCaption("Hi");
  s.SetBrush({clWhite, bsClear});
  s.SetPen({clBlack, 1, psClear, pmCopy});
  int calls = 0;
  s.onUserDraw = [&](ZepShape& shape) {
    ++calls;
    EXPECT_TRUE(shape.PaintingForeign());
    EXPECT_EQ(shape.OffsetX(), 3);
    shape.TargetCanvas().SetPixels(shape.OffsetX(), 0, clRed);
  };
  s.SetByUser(true);
  Bitmap b = Blank(80, 80);
  s.PaintTo(b.Canvas(), 3, 0, 1.0, 1.0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Changed(b), MakeRect(3, 0, 4, 1));
}

TEST(ShapePaintTo, MatchesTheOnScreenPixelsShiftedWithoutTheSelectionMark) {
  ZepShape s;
  s.SetBounds(0, 0, 70, 50);
  s.SetShape(zst2HoleVert);
  s.SetGradient(true);
  s.SetFillDirection(zgdNESW);
  s.SetBrush({clYellow, bsSolid});
  s.SetCaption("Cap");
  s.SetPen({clNavy, 2, psSolid, pmCopy});
  s.Surface().Fill(clWhite);
  s.Paint();
  const Bitmap screen = s.Surface();
  Bitmap stamped = Blank(100, 100);
  s.PaintTo(stamped.Canvas(), 10, 20, 1.0, 1.0);
  EXPECT_TRUE(SameAt(screen, stamped, 10, 20));
  EXPECT_EQ(Changed(stamped).Left, 11);  // pen width 2: the box starts at 1

  s.SetSelected(true);
  s.Surface().Fill(clWhite);
  s.Paint();
  EXPECT_EQ(s.Surface().Pixel(35, 25), clRed);  // the mark at the box's middle
  Bitmap selected = Blank(100, 100);
  s.PaintTo(selected.Canvas(), 10, 20, 1.0, 1.0);
  EXPECT_TRUE(SameAt(screen, selected, 10, 20));
  EXPECT_EQ(Count(selected, clRed), 0);
}

TEST(ShapePaintTo, IndexedTargetsTakeTheNearestPaletteColours) {
  ZepShape s;
  s.SetBrush({RGB(250, 5, 5), bsSolid});
  s.SetGradient(true);
  s.SetFillDirection(zgdLeft);
  Bitmap b = Blank(70, 70, clWhite, pf8bit);
  s.PaintTo(b.Canvas(), 0, 0, 1.0, 1.0);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.Pixel(0, 10), clBlack);
  EXPECT_LE(ChannelDistance(b.Pixel(2, 10), clRed), 40);
  EXPECT_EQ(b.Pixel(68, 10), clWhite);
}

}  // namespace
}  // namespace pixtrel::shapes
