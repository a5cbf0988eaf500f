// The shape controller's menu, its images and marks, selection, group moving
// and alignment.
#include <gtest/gtest.h>

#include "core/scripted_interaction.h"
#include "shapes/shape_menu.h"

namespace pixtrel::shapes {
namespace {

std::vector<std::string> Captions(const std::vector<ShapeMenuItem>& items) {
  std::vector<std::string> captions;
  for (const ShapeMenuItem& item : items) captions.push_back(item.caption);
  return captions;
}

TEST(ShapeMenu, BuildMenuListsEveryItemInOrderWithImages) {
  ShapeController c;
  c.MouseModeController = true;
  c.MouseMode = mmMoveObject;
  c.BuildMenu();
  EXPECT_FALSE(c.MouseModeController);
  EXPECT_EQ(c.MouseMode, mmfixed);
  EXPECT_EQ(Captions(c.Items()),
            (std::vector<std::string>{
                "Shape Style",  "GradientStyle", "Gradient",     "Gradient Color...", "Brush Color...", "Brush Style",
                "Pen",          "Caption",       "Mouse Mode",   "ActiveMouse",       "Align/Size",     "GroupName",
                "ConnectorN",   "ConnectorE",    "ConnectorS",   "ConnectorW",        "PolyLineMode",   "-",
                "BringToFront", "SendToBack",    "Delete Object"}));
  ASSERT_EQ(c.Images().size(), 76u + 26u);
  for (const Bitmap& image : c.Images()) {
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Height(), 16);
  }
  const ShapeMenuItem& kinds = c.Items()[0];
  ASSERT_EQ(kinds.items.size(), 76u);
  EXPECT_EQ(kinds.items[75].caption, "zstUser");
  EXPECT_EQ(kinds.items[75].image, 75);
  EXPECT_EQ(c.Items()[1].items[25].caption, "zgdLeftRight");
  EXPECT_EQ(c.Items()[1].items[25].image, 101);
  EXPECT_EQ(Captions(c.Items()[5].items),
            (std::vector<std::string>{"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal", "bsBDiagonal",
                                      "bsCross", "bsDiagCross"}));
  EXPECT_EQ(Captions(c.Items()[6].items), (std::vector<std::string>{"Style", "Color...", "Size..."}));
  EXPECT_EQ(Captions(c.Items()[6].items[0].items),
            (std::vector<std::string>{"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear",
                                      "psInsideFrame"}));
  EXPECT_EQ(Captions(c.Items()[7].items), (std::vector<std::string>{"Caption...", "Font...", "Centered", "Angle"}));
  EXPECT_EQ(Captions(c.Items()[10].items),
            (std::vector<std::string>{"Top", "Left", "Right", "Bottom", "-", "Equal Height", "Equal Width"}));

  // Building again starts from nothing.
  c.BuildMenu();
  EXPECT_EQ(c.Items().size(), 21u);
  EXPECT_EQ(c.Images().size(), 102u);
}

TEST(ShapeMenu, UserShapesGetTheirOwnItemsAndImages) {
  ShapeController c;
  c.UserShapes = {"usrTri=0,1,0.5,0,1,1", "usrBar=0,0,1,0,1,0.2,0,0.2"};
  c.BuildMenu();
  ASSERT_EQ(c.Images().size(), 104u);
  ASSERT_EQ(c.Items()[1].caption, "UserShape Style");
  EXPECT_EQ(Captions(c.Items()[1].items), (std::vector<std::string>{"usrTri", "usrBar"}));
  EXPECT_EQ(c.Items()[1].items[1].image, 103);
  ZepShape shape;
  ScriptedInteraction ui;
  c.Items()[1].items[0].run(shape, ui);
  EXPECT_EQ(shape.Shape(), zstUser);
  EXPECT_EQ(shape.UserVectorString(), "usrTri=0,1,0.5,0,1,1");
  EXPECT_EQ(shape.UserPoints().size(), 3u);
  // The main window's trimming counts items: with a user shape line the
  // eighth is "Pen".
  TrimMainWindowMenu(c);
  EXPECT_TRUE(c.Items()[7].visible);
  EXPECT_FALSE(c.Items()[8].visible);
}

TEST(ShapeMenu, SyncChecksTakesTheShapesValues) {
  ShapeController c;
  c.BuildMenu();
  ZepShape shape;
  shape.SetPolyLineMode(true);
  shape.SetActiveMouse(true);
  shape.SetMouseMode(mmSizeObject);
  shape.SetBrush({clWhite, bsVertical});
  shape.SetPen({clBlack, 1, psClear, pmCopy});
  c.SyncChecks(shape);
  EXPECT_TRUE(c.Item("PolyLineMode")->checked);
  EXPECT_FALSE(c.Item("Gradient")->checked);
  EXPECT_TRUE(c.Item("ActiveMouse")->checked);
  for (const ShapeMenuItem& item : c.Item("Mouse Mode")->items) EXPECT_EQ(item.checked, item.caption == "mmSizeObject");
  for (const ShapeMenuItem& item : c.Item("Brush Style")->items) EXPECT_EQ(item.checked, item.caption == "bsVertical");
  for (const ShapeMenuItem& item : c.Item("Pen")->items[0].items) EXPECT_EQ(item.checked, item.caption == "psClear");
}

TEST(ShapeMenu, PromptsUseTheirCaptionsAndCancelChangesNothing) {
  ShapeController c;
  c.BuildMenu();
  ZepShape shape;
  ScriptedInteraction ui;
  ui.inputs = {std::string("caption one"), std::nullopt, std::string("grp"), std::string("north")};
  c.Item("Caption")->items[0].run(shape, ui);
  c.Item("Caption")->items[0].run(shape, ui);
  c.Item("GroupName")->run(shape, ui);
  c.Item("ConnectorN")->run(shape, ui);
  EXPECT_EQ(shape.Caption(), "caption one");
  EXPECT_EQ(shape.GroupName(), "grp");
  EXPECT_EQ(shape.ConnectorN(), "north");
  EXPECT_EQ(ui.prompts,
            (std::vector<std::string>{"Shape Controller: Enter Caption", "Shape Controller: Enter Caption",
                                      "ShapeController: Enter Groupname", "ShapeController: Enter ConnectorN"}));
  // onCaptionEdit replaces the prompt.
  c.onCaptionEdit = [](ShapeController&, std::string& caption) {
    caption += "!";
    return true;
  };
  c.Item("Caption")->items[0].run(shape, ui);
  EXPECT_EQ(shape.Caption(), "caption one!");
  EXPECT_EQ(ui.prompts.size(), 4u);
  c.Item("Caption")->items[2].run(shape, ui);
  EXPECT_FALSE(shape.CaptionCentered());
}

TEST(ShapeMenu, ToggleSelectionSelectsTheWholeGroup) {
  ShapeController c;
  ZepShape a, b, d;
  a.SetGroupName("g");
  b.SetGroupName("g");
  c.Shapes = {&a, &b, &d};
  int events = 0;
  c.onShapeSelected = [&](ShapeController&, ZepShape&) { ++events; };
  c.ToggleSelection(a);
  EXPECT_TRUE(a.Selected() && b.Selected());
  EXPECT_FALSE(d.Selected());
  c.ToggleSelection(d);
  EXPECT_EQ(c.SelectedShapes, (std::vector<ZepShape*>{&a, &b, &d}));
  c.ToggleSelection(b);
  EXPECT_EQ(c.SelectedShapes, (std::vector<ZepShape*>{&d}));
  EXPECT_FALSE(a.Selected());
  EXPECT_EQ(events, 3);

  // Delete Object takes the selected shapes that are in Shapes.
  ZepShape outside;
  c.SelectedShapes.push_back(&outside);
  int deleted = 0;
  c.onShapeDeleted = [&](ShapeController&) { ++deleted; };
  c.BuildMenu();
  ScriptedInteraction ui;
  c.Item("Delete Object")->run(a, ui);
  EXPECT_EQ(c.DeletedShapes, (std::vector<ZepShape*>{&d}));
  EXPECT_EQ(c.Shapes, (std::vector<ZepShape*>{&a, &b}));
  EXPECT_TRUE(c.SelectedShapes.empty());
  EXPECT_EQ(deleted, 1);
}

TEST(ShapeMenu, MoveGroupMovesTheSelectionAndStretchesConnectedShapes) {
  ShapeController c;
  ZepShape moved, other, east, west;
  moved.SetBounds(100, 100, 50, 50);
  other.SetBounds(0, 0, 10, 10);
  east.SetBounds(300, 100, 100, 20);
  east.SetGroupName("e");
  west.SetBounds(0, 100, 20, 20);
  west.SetGroupName("w");
  moved.SetConnectorE("e");
  moved.SetConnectorW("w");
  c.Shapes = {&moved, &other, &east, &west};
  c.SelectedShapes = {&moved, &other};
  c.MoveGroup(moved, 5, 7);
  EXPECT_EQ(other.Left(), 5);
  EXPECT_EQ(other.Top(), 7);
  // East starts at the moved shape's right edge and keeps its own right.
  EXPECT_EQ(east.Left(), 150);
  EXPECT_EQ(east.Width(), 250);
  // West reaches the moved shape's left.
  EXPECT_EQ(west.Width(), 100);
}

TEST(ShapeMenu, AlignSizesTheOthersToTheFirstSelected) {
  ShapeController c;
  c.BuildMenu();
  ZepShape first, second;
  first.SetBounds(10, 20, 100, 50);
  second.SetBounds(200, 300, 40, 30);
  c.SelectedShapes = {&first, &second};
  ScriptedInteraction ui;
  ShapeMenuItem& align = *c.Item("Align/Size");
  align.items[2].run(first, ui);  // Right
  EXPECT_EQ(second.Left(), 70);
  align.items[3].run(first, ui);  // Bottom
  EXPECT_EQ(second.Top(), 40);
  align.items[5].run(first, ui);  // Equal Height
  align.items[6].run(first, ui);  // Equal Width
  EXPECT_EQ(second.Width(), 100);
  EXPECT_EQ(second.Height(), 50);
  // One selected shape aligns nothing.
  c.SelectedShapes = {&second};
  align.items[0].run(first, ui);
  EXPECT_EQ(second.Top(), 40);
}

}  // namespace
}  // namespace pixtrel::shapes
