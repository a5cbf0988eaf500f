// The mouse arithmetic, stamping, the overlay and the tool bar rules.
#include <gtest/gtest.h>

#include <QImage>

#include "shapes/shape_controller.h"
#include "shapes/shape_test_util.h"
#include "shapes/stamp.h"
#include "support/corpus.h"

namespace pixtrel::shapes {
namespace {

using test::Blank;
using test::Changed;

TEST(ShapeDragging, MovesByThePointerTravel) {
  ZepShape s;
  s.SetActiveMouse(true);
  s.SetMouseMode(mmMoveObject);
  s.SetBounds(10, 20, 65, 65);
  ShapeDrag drag;
  ShapeMouseDown(s, drag, MouseButton::Left, false, 5, 5, nullptr);
  ShapeMouseMove(s, drag, 12, 1, nullptr);
  EXPECT_EQ(s.Left(), 17);
  EXPECT_EQ(s.Top(), 16);
  // The pointer is now at (5, 5) of the moved control again.
  ShapeMouseMove(s, drag, 5, 5, nullptr);
  EXPECT_EQ(s.Left(), 17);
  EXPECT_EQ(s.Width(), 65);
  ShapeMouseUp(drag);
  ShapeMouseMove(s, drag, 30, 30, nullptr);
  EXPECT_EQ(s.Left(), 17);
}

TEST(ShapeDragging, SnapsToTheGridWhenTheControllerDecides) {
  ZepShape s;
  s.SetActiveMouse(true);
  s.SetBounds(0, 0, 65, 65);
  DragRules rules;
  rules.mouseModeController = true;
  rules.mouseMode = mmMoveObject;
  rules.mouseGrid = true;
  rules.mouseGridSize = 10;
  ShapeDrag drag;
  ShapeMouseDown(s, drag, MouseButton::Left, false, 3, 3, &rules);
  EXPECT_EQ(s.MouseMode(), mmMoveObject);
  ShapeMouseMove(s, drag, 30, 3, &rules);
  EXPECT_EQ(s.Left(), 19);
  EXPECT_EQ(s.Top(), -1);
  // A grid below 2 or a controller that does not decide: no snapping.
  rules.mouseGridSize = 1;
  s.SetBounds(0, 0, 65, 65);
  ShapeMouseMove(s, drag, 30, 3, &rules);
  EXPECT_EQ(s.Left(), 27);
  EXPECT_EQ(SnapToGrid(-27, 10), -20);
}

TEST(ShapeDragging, SizesFromTheKeptDistanceToTheEdges) {
  ZepShape s;
  s.SetActiveMouse(true);
  s.SetMouseMode(mmSizeObject);
  s.SetBounds(5, 5, 65, 65);
  ShapeDrag drag;
  ShapeMouseDown(s, drag, MouseButton::Left, false, 60, 62, nullptr);
  ShapeMouseMove(s, drag, 80, 40, nullptr);
  EXPECT_EQ(s.Width(), 85);
  EXPECT_EQ(s.Height(), 43);
  EXPECT_EQ(s.Left(), 5);
  DragRules rules;
  rules.mouseModeController = true;
  rules.mouseMode = mmSizeObject;
  rules.mouseGrid = true;
  ShapeMouseDown(s, drag, MouseButton::Left, false, 80, 40, &rules);
  ShapeMouseMove(s, drag, 92, 40, &rules);
  EXPECT_EQ(s.Width(), 91);
  EXPECT_EQ(s.Height(), 41);
}

TEST(ShapeDragging, MovesAndRotatesTheCaption) {
  ZepShape s;
  s.SetActiveMouse(true);
  s.SetMouseMode(mmMoveText);
  ShapeDrag drag;
  ShapeMouseDown(s, drag, MouseButton::Left, false, 1, 1, nullptr);
  ShapeMouseMove(s, drag, 23, 17, nullptr);
  EXPECT_FALSE(s.CaptionCentered());
  EXPECT_EQ(s.CaptionX(), 23);
  EXPECT_EQ(s.CaptionY(), 17);
  s.SetMouseMode(mmRotateText);
  s.SetCaptionCentered(true);
  ShapeMouseMove(s, drag, 60, 32, nullptr);
  EXPECT_FALSE(s.CaptionCentered());
  EXPECT_EQ(s.CaptionAngle(), 0);
  EXPECT_EQ(RotateTextAngle(65, 65, 32, 32 - 50), 89);
  EXPECT_EQ(RotateTextAngle(65, 65, 32, 32 + 50), -89);
  EXPECT_EQ(RotateTextAngle(65, 65, 0, 0), 135);
  EXPECT_EQ(RotateTextAngle(65, 65, 0, 32), 180);
}

TEST(ShapeDragging, NeedsActiveMouseAndTheLeftButton) {
  ZepShape s;
  s.SetMouseMode(mmMoveObject);
  ShapeDrag drag;
  ShapeMouseDown(s, drag, MouseButton::Left, false, 1, 1, nullptr);
  EXPECT_FALSE(drag.dragging);
  s.SetActiveMouse(true);
  ShapeMouseDown(s, drag, MouseButton::Right, false, 1, 1, nullptr);
  EXPECT_FALSE(drag.dragging);
  DragRules rules;
  EXPECT_TRUE(ShapeMouseDown(s, drag, MouseButton::Left, true, 1, 1, &rules));
  EXPECT_FALSE(ShapeMouseDown(s, drag, MouseButton::Left, true, 1, 1, nullptr));
  EXPECT_FALSE(drag.dragging);
  s.SetMouseMode(mmfixed);
  ShapeMouseDown(s, drag, MouseButton::Left, false, 1, 1, nullptr);
  ShapeMouseMove(s, drag, 20, 20, nullptr);
  EXPECT_EQ(s.Left(), 0);
}

TEST(ShapeStamping, PaintShapeDrawsAtTheShapesPlace) {
  ZepShape s;
  LoadMainFormShape(s);
  s.SetSelected(true);
  Bitmap image = Blank(400, 300);
  PaintShape(s, image);
  EXPECT_EQ(Changed(image), MakeRect(232, 88, 297, 153));
  EXPECT_EQ(test::Count(image, clRed), 0);
}

TEST(ShapeStamping, OverlayHasTheShapeAtItsCorner) {
  ZepShape s;
  s.SetBounds(150, 90, 40, 30);
  s.SetBrush({clRed, bsSolid});
  const Bitmap overlay = ShapeAsOverlay(s, 200, 100);
  EXPECT_EQ(overlay.Width(), 200);
  EXPECT_EQ(overlay.Height(), 100);
  EXPECT_EQ(Changed(overlay), MakeRect(0, 0, 40, 30));
  EXPECT_EQ(overlay.Pixel(10, 10), clRed);
  EXPECT_EQ(overlay.Pixel(100, 50), clWhite);
}

TEST(ShapeToolBar, FontSizesPromptsAndTextOnly) {
  EXPECT_EQ(LargerFontSize(10), 11);
  EXPECT_EQ(LargerFontSize(143), 157);
  EXPECT_EQ(LargerFontSize(144), 144);
  EXPECT_EQ(LargerFontSize(5), 6);  // 5.5 rounds to even
  EXPECT_EQ(SmallerFontSize(9), 8);
  EXPECT_EQ(SmallerFontSize(8), 8);
  EXPECT_EQ(SmallerFontSize(25), 22);  // 22.5 rounds to even
  EXPECT_EQ(PenSizeFromPrompt("25"), std::nullopt);
  EXPECT_EQ(PenSizeFromPrompt("20"), 20);
  EXPECT_EQ(PenSizeFromPrompt("wide"), 1);
  EXPECT_EQ(PenSizeFromPrompt("0"), std::nullopt);
  EXPECT_EQ(CaptionAngleFromPrompt("-180"), -180);
  EXPECT_EQ(CaptionAngleFromPrompt("181"), std::nullopt);
  EXPECT_EQ(CaptionAngleFromPrompt("x"), 0);
  ZepShape s;
  TextOnly(s);
  EXPECT_EQ(s.Brush().style, bsClear);
  EXPECT_EQ(s.Pen().style, psClear);
  EXPECT_EQ(s.Caption(), "Pixtrel");
  s.SetCaption("kept");
  TextOnly(s);
  EXPECT_EQ(s.Caption(), "kept");
  SizeToImage(s, Blank(123, 45));
  EXPECT_EQ(s.Left(), 0);
  EXPECT_EQ(s.Width(), 123);
  EXPECT_EQ(s.Height(), 45);
}

TEST(ShapeMenu, BuildImagesPaintsEveryKindPatternAndUserShape) {
  const auto images = BuildImages(clBlue, clWhite, clWhite, {"tri=0,0,1,0,0.5,1", "bad"});
  ASSERT_EQ(images.size(), std::size_t(kShapeTypeCount + kFillDirectionCount + 2));
  for (const Bitmap& image : images) {
    EXPECT_EQ(image.Width(), 16);
    EXPECT_FALSE(Changed(image).IsEmpty());
  }
  // The first image is the rectangle: pen on the edge, blue inside.
  EXPECT_EQ(images[0].Pixel(0, 0), clBlack);
  EXPECT_EQ(images[0].Pixel(8, 8), clBlue);
  // zgdUp from the blue brush to the white gradient colour on a square.
  EXPECT_LT(GetRValue(images[kShapeTypeCount].Pixel(8, 1)), 40);
  EXPECT_GT(GetRValue(images[kShapeTypeCount].Pixel(8, 14)), 150);
  // A line that does not parse leaves the sample's previous polygon.
  EXPECT_TRUE(test::SameAt(images[images.size() - 2], images.back(), 0, 0));
}

// ---- stamping a request -------------------------------------------------------

TEST(StampShape, PaintsTheShapeTheRequestDescribes) {
  StampRequest r;
  r.kind = zstArrowUp;
  r.left = 10;
  r.top = 5;
  r.width = 40;
  r.height = 60;
  r.brushColor = clRed;
  r.gradient = zgdRectOut;
  r.gradientColor = clBlack;
  r.penWidth = 2;
  Bitmap stamped = Blank(120, 80);
  StampShape(r, stamped);

  ZepShape s;
  s.SetShape(zstArrowUp);
  s.SetBounds(10, 5, 40, 60);
  s.SetBrush({clRed, bsSolid});
  s.SetGradient(true);
  s.SetFillDirection(zgdRectOut);
  s.SetPen({clBlack, 2, psSolid, pmCopy});
  Bitmap expected = Blank(120, 80);
  PaintShape(s, expected);
  EXPECT_TRUE(test::SameAt(expected, stamped, 0, 0));
  EXPECT_FALSE(Changed(stamped).IsEmpty());
}

TEST(StampShape, UnsetValuesKeepTheNewShapesAndAPlacedCaptionIsNotCentred) {
  StampRequest r;
  r.userVector = "tri=0,0,1,0,0.5,1";
  r.width = r.height = 30;
  r.caption = "Hi";
  ZepShape plain;
  BuildStampShape(r, plain);
  const ZepShape fresh;
  EXPECT_EQ(plain.Shape(), zstUser);  // no kind: the free polygon
  EXPECT_EQ(plain.Brush().color, fresh.Brush().color);
  EXPECT_EQ(plain.Pen().width, fresh.Pen().width);
  EXPECT_EQ(plain.Font().name, fresh.Font().name);
  EXPECT_FALSE(plain.Gradient());
  EXPECT_TRUE(plain.CaptionCentered());

  r.captionY = 4;
  ZepShape placed;
  BuildStampShape(r, placed);
  EXPECT_FALSE(placed.CaptionCentered());
  r.captionCentered = true;
  ZepShape centred;
  BuildStampShape(r, centred);
  EXPECT_TRUE(centred.CaptionCentered());
}

}  // namespace
}  // namespace pixtrel::shapes
