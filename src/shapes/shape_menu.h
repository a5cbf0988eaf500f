// The shape controller: the pop-up menu a shape opens with the right button
// (kinds, gradients, colours, brush and pen styles, caption, mouse mode,
// alignment, groups and z-order), its 16 x 16 images, the check marks it
// takes from the shape each time it pops up, and the selection and group
// moving the mouse asks of it. The menu is a tree of plain items; the
// desktop program mirrors it in a menu of its own and runs Click for the
// item the user chose.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "shapes/shape_controller.h"
#include "shapes/zep_shape.h"

namespace pixtrel::shapes {

struct ShapeMenuItem {
  enum Kind { Command, Check, Radio, Separator, Submenu };

  std::string caption;
  Kind kind = Command;
  // Index into the controller's Images(); -1 for none.
  int image = -1;
  bool checked = false;
  bool visible = true;
  // What a click does to the shape that opened the menu; prompts and
  // dialogs go through ui.
  std::function<void(ZepShape& shape, UserInteraction& ui)> run;
  std::vector<ShapeMenuItem> items;
};

class ShapeController {
 public:
  ShapeController();

  // ---- Published properties ----
  std::vector<std::string> UserShapes;
  Color BrushColor = clBlue;
  Color GradientColor = clWhite;
  Color BackColor = clWhite;
  ShapeMouseMode MouseMode = mmfixed;
  bool MouseModeController = false;
  bool MouseGrid = false;
  int MouseGridSize = 10;

  std::function<void(ShapeController&)> onShapeDeleted;
  std::function<void(ShapeController&, ShapeMouseMode)> onMouseModeChanged;
  std::function<void(ShapeController&, ZepShape&)> onShapeSelected;
  // Replaces the caption prompt when set: may change caption; true accepts.
  std::function<bool(ShapeController&, std::string& caption)> onCaptionEdit;
  // The font dialog: the chosen font, nothing when cancelled. Without it
  // "Font..." does nothing.
  std::function<std::optional<pixtrel::Font>(const pixtrel::Font&)> chooseFont;
  // The z-order of a shape changed ("BringToFront" true, "SendToBack" false).
  std::function<void(ZepShape&, bool front)> onZOrder;

  // The shapes the controller manages, in z-order, and those selected. The
  // controller does not own them; "Delete Object" takes them out of Shapes
  // and hands them to onShapeDeleted's owner through DeletedShapes.
  std::vector<ZepShape*> Shapes;
  std::vector<ZepShape*> SelectedShapes;
  std::vector<ZepShape*> DeletedShapes;

  // ---- Operations ----
  // Rebuilds the menu from nothing; turns MouseModeController off and
  // MouseMode to mmfixed first.
  void BuildMenu();
  void BuildImages();
  // The check and radio marks from the shape (run on every pop-up).
  void SyncChecks(const ZepShape& shape);
  void ToggleSelection(ZepShape& shape);
  void MoveGroup(ZepShape& shape, int dx, int dy);

  // What the controller lends a shape's mouse handling.
  DragRules Rules() const;

  std::vector<ShapeMenuItem>& Items() { return items_; }
  const std::vector<ShapeMenuItem>& Items() const { return items_; }
  const std::vector<Bitmap>& Images() const { return images_; }
  // A top-level item by caption (nullptr when there is none).
  ShapeMenuItem* Item(const std::string& caption);

 private:
  void AlignSelected(int how);

  std::vector<ShapeMenuItem> items_;
  std::vector<Bitmap> images_;
};

// The main window's trimming: every top-level item after the eighth and the
// first two entries of the eighth ("Caption..." and "Font...") hidden.
void TrimMainWindowMenu(ShapeController& controller);

}  // namespace pixtrel::shapes
