#include "shapes/shape_menu.h"

#include <algorithm>

namespace pixtrel::shapes {

namespace {

using Item = ShapeMenuItem;
using Run = std::function<void(ZepShape&, UserInteraction&)>;

Item Command(std::string caption, Run run) {
  Item item;
  item.caption = std::move(caption);
  item.run = std::move(run);
  return item;
}

Item CheckItem(std::string caption, Run run) {
  Item item = Command(std::move(caption), std::move(run));
  item.kind = Item::Check;
  return item;
}

Item RadioItem(std::string caption, Run run) {
  Item item = Command(std::move(caption), std::move(run));
  item.kind = Item::Radio;
  return item;
}

Item Separator() {
  Item item;
  item.caption = std::string(1, '-');
  item.kind = Item::Separator;
  return item;
}

Item Submenu(std::string caption, std::vector<Item> items) {
  Item item;
  item.caption = std::move(caption);
  item.kind = Item::Submenu;
  item.items = std::move(items);
  return item;
}

bool Contains(const std::vector<ZepShape*>& list, const ZepShape* shape) {
  return std::find(list.begin(), list.end(), shape) != list.end();
}

void Remove(std::vector<ZepShape*>& list, const ZepShape* shape) {
  list.erase(std::remove(list.begin(), list.end(), shape), list.end());
}

// Checks the radio item named name among items and clears the others.
void CheckRadio(std::vector<Item>& items, const std::string& name) {
  for (Item& item : items)
    if (item.kind == Item::Radio) item.checked = item.caption == name;
}

}  // namespace

ShapeController::ShapeController() = default;

DragRules ShapeController::Rules() const { return DragRules{MouseModeController, MouseMode, MouseGrid, MouseGridSize}; }

ShapeMenuItem* ShapeController::Item(const std::string& caption) {
  for (ShapeMenuItem& item : items_)
    if (item.caption == caption) return &item;
  return nullptr;
}

void ShapeController::BuildImages() { images_ = shapes::BuildImages(BrushColor, GradientColor, BackColor, UserShapes); }

void ShapeController::BuildMenu() {
  items_.clear();
  images_.clear();
  MouseMode = mmfixed;
  MouseModeController = false;
  BuildImages();

  std::vector<ShapeMenuItem> kinds;
  for (int i = 0; i < kShapeTypeCount; ++i) {
    const auto kind = static_cast<ZepShapeType>(i);
    ShapeMenuItem item = Command(ShapeTypeName(kind), [kind](ZepShape& s, UserInteraction&) { s.SetShape(kind); });
    item.image = i;
    kinds.push_back(std::move(item));
  }
  items_.push_back(Submenu("Shape Style", std::move(kinds)));

  if (!UserShapes.empty()) {
    std::vector<ShapeMenuItem> users;
    for (std::size_t i = 0; i < UserShapes.size(); ++i) {
      const std::string line = UserShapes[i];
      ShapeMenuItem item = Command(line.substr(0, line.find('=')), [line](ZepShape& s, UserInteraction&) {
        s.SetUserVectorString(line);
        s.SetShape(zstUser);
      });
      item.image = kShapeTypeCount + kFillDirectionCount + static_cast<int>(i);
      users.push_back(std::move(item));
    }
    items_.push_back(Submenu("UserShape Style", std::move(users)));
  }

  std::vector<ShapeMenuItem> patterns;
  for (int i = 0; i < kFillDirectionCount; ++i) {
    const auto direction = static_cast<ZepFillDirection>(i);
    ShapeMenuItem item = Command(FillDirectionName(direction), [direction](ZepShape& s, UserInteraction&) {
      s.SetFillDirection(direction);
      s.SetGradient(true);
    });
    item.image = kShapeTypeCount + i;
    patterns.push_back(std::move(item));
  }
  items_.push_back(Submenu("GradientStyle", std::move(patterns)));

  items_.push_back(CheckItem("Gradient", [](ZepShape& s, UserInteraction&) { s.SetGradient(!s.Gradient()); }));
  items_.push_back(Command("Gradient Color...", [](ZepShape& s, UserInteraction& ui) {
    if (const std::optional<Color> color = ui.ChooseColor(s.GradientColor())) s.SetGradientColor(*color);
  }));
  items_.push_back(Command("Brush Color...", [](ZepShape& s, UserInteraction& ui) {
    if (const std::optional<Color> color = ui.ChooseColor(s.Brush().color)) {
      pixtrel::Brush brush = s.Brush();
      brush.color = *color;
      s.SetBrush(brush);
    }
  }));

  std::vector<ShapeMenuItem> brushStyles;
  for (int i = bsSolid; i <= bsDiagCross; ++i) {
    const auto style = static_cast<BrushStyle>(i);
    brushStyles.push_back(RadioItem(BrushStyleName(style), [style](ZepShape& s, UserInteraction&) {
      pixtrel::Brush brush = s.Brush();
      brush.style = style;
      s.SetBrush(brush);
    }));
  }
  items_.push_back(Submenu("Brush Style", std::move(brushStyles)));

  std::vector<ShapeMenuItem> penStyles;
  for (int i = psSolid; i <= psInsideFrame; ++i) {
    const auto style = static_cast<PenStyle>(i);
    penStyles.push_back(RadioItem(PenStyleName(style), [style](ZepShape& s, UserInteraction&) {
      pixtrel::Pen pen = s.Pen();
      pen.style = style;
      s.SetPen(pen);
    }));
  }
  std::vector<ShapeMenuItem> pen;
  pen.push_back(Submenu("Style", std::move(penStyles)));
  pen.push_back(Command("Color...", [](ZepShape& s, UserInteraction& ui) {
    if (const std::optional<Color> color = ui.ChooseColor(s.Pen().color)) {
      pixtrel::Pen p = s.Pen();
      p.color = *color;
      s.SetPen(p);
    }
  }));
  pen.push_back(Command("Size...", [](ZepShape& s, UserInteraction& ui) {
    const std::optional<std::string> text =
        ui.InputQuery("Shape Controller", "Enter Pen Size (1..20)", std::to_string(s.Pen().width));
    if (!text) return;
    if (const std::optional<int> width = PenSizeFromPrompt(*text)) {
      pixtrel::Pen p = s.Pen();
      p.width = *width;
      s.SetPen(p);
    }
  }));
  items_.push_back(Submenu("Pen", std::move(pen)));

  std::vector<ShapeMenuItem> caption;
  caption.push_back(Command("Caption...", [this](ZepShape& s, UserInteraction& ui) {
    if (onCaptionEdit) {
      std::string text = s.Caption();
      if (onCaptionEdit(*this, text)) s.SetCaption(text);
      return;
    }
    if (const std::optional<std::string> text = ui.InputQuery("Shape Controller", "Enter Caption", s.Caption()))
      s.SetCaption(*text);
  }));
  caption.push_back(Command("Font...", [this](ZepShape& s, UserInteraction&) {
    if (!chooseFont) return;
    if (const std::optional<pixtrel::Font> font = chooseFont(s.Font())) s.SetFont(*font);
  }));
  caption.push_back(
      Command("Centered", [](ZepShape& s, UserInteraction&) { s.SetCaptionCentered(!s.CaptionCentered()); }));
  caption.push_back(Command("Angle", [](ZepShape& s, UserInteraction& ui) {
    const std::optional<std::string> text =
        ui.InputQuery("Shape Controller", "Enter Caption Angle (-180..0..180)", std::to_string(s.CaptionAngle()));
    if (!text) return;
    if (const std::optional<int> angle = CaptionAngleFromPrompt(*text)) s.SetCaptionAngle(*angle);
  }));
  items_.push_back(Submenu("Caption", std::move(caption)));

  std::vector<ShapeMenuItem> modes;
  for (int i = mmfixed; i <= mmRotateText; ++i) {
    const auto mode = static_cast<ShapeMouseMode>(i);
    modes.push_back(RadioItem(MouseModeName(mode), [this, mode](ZepShape& s, UserInteraction&) {
      s.SetMouseMode(mode);
      if (onMouseModeChanged) onMouseModeChanged(*this, mode);
    }));
  }
  items_.push_back(Submenu("Mouse Mode", std::move(modes)));
  items_.push_back(CheckItem("ActiveMouse", [](ZepShape& s, UserInteraction&) { s.SetActiveMouse(!s.ActiveMouse()); }));

  std::vector<ShapeMenuItem> align;
  const char* alignCaptions[] = {"Top", "Left", "Right", "Bottom"};
  for (int how = 0; how < 4; ++how)
    align.push_back(Command(alignCaptions[how], [this, how](ZepShape&, UserInteraction&) { AlignSelected(how); }));
  align.push_back(Separator());
  align.push_back(Command("Equal Height", [this](ZepShape&, UserInteraction&) { AlignSelected(4); }));
  align.push_back(Command("Equal Width", [this](ZepShape&, UserInteraction&) { AlignSelected(5); }));
  items_.push_back(Submenu("Align/Size", std::move(align)));

  items_.push_back(Command("GroupName", [this](ZepShape& s, UserInteraction& ui) {
    const std::optional<std::string> name = ui.InputQuery("ShapeController", "Enter Groupname", s.GroupName());
    if (!name) return;
    if (SelectedShapes.empty()) {
      s.SetGroupName(*name);
    } else {
      for (ZepShape* selected : SelectedShapes) selected->SetGroupName(*name);
    }
  }));
  struct Connector {
    const char* name;
    const std::string& (ZepShape::*get)() const;
    void (ZepShape::*set)(std::string);
  };
  const Connector connectors[] = {{"ConnectorN", &ZepShape::ConnectorN, &ZepShape::SetConnectorN},
                                  {"ConnectorE", &ZepShape::ConnectorE, &ZepShape::SetConnectorE},
                                  {"ConnectorS", &ZepShape::ConnectorS, &ZepShape::SetConnectorS},
                                  {"ConnectorW", &ZepShape::ConnectorW, &ZepShape::SetConnectorW}};
  for (const Connector& c : connectors) {
    const std::string name = c.name;
    const auto get = c.get;
    const auto set = c.set;
    items_.push_back(Command(name, [name, get, set](ZepShape& s, UserInteraction& ui) {
      if (const std::optional<std::string> value = ui.InputQuery("ShapeController", "Enter " + name, (s.*get)()))
        (s.*set)(*value);
    }));
  }
  items_.push_back(
      CheckItem("PolyLineMode", [](ZepShape& s, UserInteraction&) { s.SetPolyLineMode(!s.PolyLineMode()); }));
  items_.push_back(Separator());
  items_.push_back(Command("BringToFront", [this](ZepShape& s, UserInteraction&) {
    if (Contains(Shapes, &s)) {
      Remove(Shapes, &s);
      Shapes.push_back(&s);
    }
    if (onZOrder) onZOrder(s, true);
  }));
  items_.push_back(Command("SendToBack", [this](ZepShape& s, UserInteraction&) {
    if (Contains(Shapes, &s)) {
      Remove(Shapes, &s);
      Shapes.insert(Shapes.begin(), &s);
    }
    if (onZOrder) onZOrder(s, false);
  }));
  items_.push_back(Command("Delete Object", [this](ZepShape&, UserInteraction&) {
    DeletedShapes.clear();
    for (ZepShape* selected : SelectedShapes) {
      if (!Contains(Shapes, selected)) continue;
      Remove(Shapes, selected);
      DeletedShapes.push_back(selected);
    }
    SelectedShapes.clear();
    if (onShapeDeleted) onShapeDeleted(*this);
  }));
}

void ShapeController::SyncChecks(const ZepShape& shape) {
  for (ShapeMenuItem& item : items_) {
    if (item.caption == "PolyLineMode") item.checked = shape.PolyLineMode();
    if (item.caption == "Gradient") item.checked = shape.Gradient();
    if (item.caption == "ActiveMouse") item.checked = shape.ActiveMouse();
    if (item.caption == "Mouse Mode") CheckRadio(item.items, MouseModeName(shape.MouseMode()));
    if (item.caption == "Brush Style") CheckRadio(item.items, BrushStyleName(shape.Brush().style));
    if (item.caption == "Pen" && !item.items.empty())
      CheckRadio(item.items.front().items, PenStyleName(shape.Pen().style));
  }
}

void ShapeController::ToggleSelection(ZepShape& shape) {
  const std::string& group = shape.GroupName();
  if (!Contains(SelectedShapes, &shape)) {
    if (group.empty()) {
      shape.SetSelected(true);
      SelectedShapes.push_back(&shape);
    } else {
      for (ZepShape* s : Shapes) {
        if (s->GroupName() != group || Contains(SelectedShapes, s)) continue;
        s->SetSelected(true);
        SelectedShapes.push_back(s);
      }
    }
  } else if (group.empty()) {
    shape.SetSelected(false);
    Remove(SelectedShapes, &shape);
  } else {
    for (std::size_t i = SelectedShapes.size(); i-- > 0;) {
      ZepShape* s = SelectedShapes[i];
      if (s->GroupName() != group) continue;
      s->SetSelected(false);
      SelectedShapes.erase(SelectedShapes.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (onShapeSelected) onShapeSelected(*this, shape);
}

void ShapeController::MoveGroup(ZepShape& shape, int dx, int dy) {
  for (ZepShape* s : SelectedShapes)
    if (s != &shape) s->SetBounds(s->Left() + dx, s->Top() + dy, s->Width(), s->Height());
  const int top = shape.Top(), left = shape.Left();
  const int right = shape.Left() + shape.Width(), bottom = shape.Top() + shape.Height();
  for (ZepShape* s : Shapes) {
    if (s == &shape || s->GroupName().empty()) continue;
    const std::string& group = s->GroupName();
    if (shape.ConnectorN() == group) {
      if (s->Top() + 5 < top) s->SetHeight(top - s->Top());
    } else if (shape.ConnectorE() == group) {
      const int sRight = s->Left() + s->Width();
      if (right - 1 < sRight - 5) s->SetBounds(right, s->Top(), sRight - right, s->Height());
    } else if (shape.ConnectorS() == group) {
      const int sBottom = s->Top() + s->Height();
      if (bottom - 1 < sBottom - 5) s->SetBounds(s->Left(), bottom, s->Width(), sBottom - bottom);
    } else if (shape.ConnectorW() == group) {
      if (s->Left() + 5 < left) s->SetWidth(left - s->Left());
    }
  }
}

void ShapeController::AlignSelected(int how) {
  if (SelectedShapes.size() < 2) return;
  const ZepShape& first = *SelectedShapes.front();
  for (std::size_t i = 1; i < SelectedShapes.size(); ++i) {
    ZepShape& s = *SelectedShapes[i];
    switch (how) {
      case 0:
        s.SetTop(first.Top());
        break;
      case 1:
        s.SetLeft(first.Left());
        break;
      case 2:
        s.SetLeft(first.Left() + first.Width() - s.Width());
        break;
      case 3:
        s.SetTop(first.Top() + first.Height() - s.Height());
        break;
      case 4:
        s.SetHeight(first.Height());
        break;
      case 5:
        s.SetWidth(first.Width());
        break;
    }
  }
}

void TrimMainWindowMenu(ShapeController& controller) {
  std::vector<ShapeMenuItem>& items = controller.Items();
  for (std::size_t i = 8; i < items.size(); ++i) items[i].visible = false;
  if (items.size() >= 8) {
    std::vector<ShapeMenuItem>& eighth = items[7].items;
    for (std::size_t i = 0; i < eighth.size() && i < 2; ++i) eighth[i].visible = false;
  }
}

}  // namespace pixtrel::shapes
