// The shape's properties, their repaint rules and the user vector string.
#include <gtest/gtest.h>

#include <string>

#include "shapes/zep_shape.h"

namespace pixtrel::shapes {
namespace {

TEST(ZepShapeModel, StartsWithTheCreationValues) {
  ZepShape s;
  EXPECT_EQ(s.Width(), 65);
  EXPECT_EQ(s.Height(), 65);
  EXPECT_EQ(s.UserVectorString(), "usrRectangle=0,0,1,0,1,1,0,1");
  EXPECT_EQ(s.UserPoints(), (std::vector<UserPoint>{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
  EXPECT_EQ(s.Brush().color, clWhite);
  EXPECT_EQ(s.Brush().style, bsSolid);
  EXPECT_EQ(s.GradientColor(), clBlack);
  EXPECT_FALSE(s.Gradient());
  EXPECT_EQ(s.Pen().color, clBlack);
  EXPECT_EQ(s.Pen().width, 1);
  EXPECT_EQ(s.Pen().style, psSolid);
  EXPECT_EQ(s.Shape(), zstRectangle);
  EXPECT_EQ(s.FillDirection(), zgdUp);
  EXPECT_TRUE(s.Caption().empty());
  EXPECT_TRUE(s.CaptionCentered());
  EXPECT_EQ(s.CaptionAngle(), 0);
  EXPECT_FALSE(s.ActiveMouse());
  EXPECT_EQ(s.MouseMode(), mmfixed);
  EXPECT_FALSE(s.Selected());
  EXPECT_FALSE(s.PolyLineMode());
  EXPECT_FALSE(s.byUser());
}

TEST(ZepShapeModel, MainFormShapeIsLoadedHiddenAndMovable) {
  ZepShape s;
  LoadMainFormShape(s);
  EXPECT_EQ(s.Left(), 232);
  EXPECT_EQ(s.Top(), 88);
  EXPECT_EQ(s.Width(), 65);
  EXPECT_FALSE(s.Visible());
  EXPECT_TRUE(s.ActiveMouse());
  EXPECT_EQ(s.MouseMode(), mmMoveObject);
}

TEST(ZepShapeModel, SettersRepaintOnlyOnChangeAndStoredOnesNever) {
  ZepShape s;
  int repaints = 0;
  s.repaintRequested = [&] { ++repaints; };
  s.SetShape(zstRectangle);
  s.SetCaption("");
  s.SetGradient(false);
  s.SetCaptionCentered(true);
  s.SetBrush(s.Brush());
  s.SetPen(s.Pen());
  EXPECT_EQ(repaints, 0);
  s.SetShape(zstCircle);
  s.SetCaption("a");
  s.SetCaptionX(3);
  s.SetCaptionY(4);
  s.SetCaptionAngle(10);
  s.SetCaptionCentered(false);
  s.SetGradient(true);
  s.SetGradientColor(clRed);
  s.SetFillDirection(zgdCircIn);
  s.SetPolyLineMode(true);
  s.SetSelected(true);
  s.SetByUser(true);
  EXPECT_EQ(repaints, 12);
  pixtrel::Pen pen = s.Pen();
  pen.width = 3;
  s.SetPen(pen);
  pixtrel::Brush brush = s.Brush();
  brush.style = bsCross;
  s.SetBrush(brush);
  EXPECT_EQ(repaints, 14);
  s.SetActiveMouse(true);
  s.SetMouseMode(mmSizeObject);
  s.SetGroupName("g");
  s.SetConnectorN("n");
  EXPECT_EQ(repaints, 14);
}

TEST(ZepShapeModel, ValidUserVectorStringsReplaceThePolygon) {
  ZepShape s;
  int repaints = 0;
  s.repaintRequested = [&] { ++repaints; };
  s.SetUserVectorString("tri=0,0,1,0,0.5,1");
  EXPECT_EQ(s.UserVectorString(), "tri=0,0,1,0,0.5,1");
  EXPECT_EQ(s.UserPoints(), (std::vector<UserPoint>{{0, 0}, {1, 0}, {0.5, 1}}));
  EXPECT_EQ(repaints, 1);
  // Spaces separate like commas; quotes enclose; signs and exponents read.
  s.SetUserVectorString("x= 0 , 0.25 \"1\" -1e-1 +.5,1");
  EXPECT_EQ(s.UserPoints(), (std::vector<UserPoint>{{0, 0.25}, {1, -0.1}, {0.5, 1}}));
  // Only the first "=" separates the name.
  s.SetUserVectorString("a=b=1,2");
  EXPECT_EQ(s.UserVectorString(), "x= 0 , 0.25 \"1\" -1e-1 +.5,1");
  s.SetUserVectorString("=3,4");
  EXPECT_EQ(s.UserPoints(), (std::vector<UserPoint>{{3, 4}}));
  std::string hundred = "h=";
  for (int i = 0; i < 100; ++i) hundred += (i ? "," : "") + std::to_string(i % 2);
  s.SetUserVectorString(hundred);
  EXPECT_EQ(s.UserPoints().size(), 50u);
}

TEST(ZepShapeModel, InvalidUserVectorStringsChangeNothing) {
  ZepShape s;
  int repaints = 0;
  s.repaintRequested = [&] { ++repaints; };
  std::string tooMany = "h=";
  for (int i = 0; i < 102; ++i) tooMany += (i ? "," : "") + std::string("1");
  for (const std::string& bad :
       {std::string("odd=0,0,1"), tooMany, std::string("nan=0,0,x,1"), std::string("0,0,1,1"), std::string("empty="),
        std::string("gap=0,,1,1"), std::string("trail=0,1,"), std::string("inf=inf,1"), std::string("comma=1,5,2"),
        std::string("dots=1..2,3"), std::string("exp=1e,2")}) {
    SCOPED_TRACE(bad);
    s.SetUserVectorString(bad);
    EXPECT_EQ(s.UserVectorString(), "usrRectangle=0,0,1,0,1,1,0,1");
    EXPECT_EQ(s.UserPoints().size(), 4u);
  }
  EXPECT_EQ(repaints, 0);
}

TEST(ZepShapeNames, RoundTripEveryKindAndPattern) {
  for (int i = 0; i < kShapeTypeCount; ++i) {
    const auto kind = static_cast<ZepShapeType>(i);
    EXPECT_EQ(ShapeTypeFromName(ShapeTypeName(kind)), kind);
  }
  for (int i = 0; i < kFillDirectionCount; ++i) {
    const auto d = static_cast<ZepFillDirection>(i);
    EXPECT_EQ(FillDirectionFromName(FillDirectionName(d)), d);
  }
  EXPECT_STREQ(ShapeTypeName(zstflower), "zstflower");
  EXPECT_STREQ(ShapeTypeName(zstUser), "zstUser");
  EXPECT_EQ(static_cast<int>(zstUser), 75);
  EXPECT_STREQ(FillDirectionName(zgdLeftRight), "zgdLeftRight");
  EXPECT_EQ(BrushStyleFromName("bsDiagCross"), bsDiagCross);
  EXPECT_EQ(PenStyleFromName("psInsideFrame"), psInsideFrame);
  EXPECT_FALSE(ShapeTypeFromName("zstrectangle"));
}

}  // namespace
}  // namespace pixtrel::shapes
