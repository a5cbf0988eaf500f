// The shape over the workspace as the user works with it: zepShape1, a
// borderless child of the workspace's canvas at the shape's place, painted
// over the image beneath it and dragged with the mouse in the shape's mouse
// mode; its pop-up menu, mirrored from the shape controller; the shape tool
// bar "shapepanel" above the image; and the commands "&View Shape",
// "Paint Shape" and "Shape as Overlay". The arithmetic is the shape logic's;
// these widgets draw and forward.
#pragma once

#include <QAction>
#include <QButtonGroup>
#include <QMenu>
#include <QToolButton>
#include <QWidget>
#include <utility>
#include <vector>

#include "core/interaction.h"
#include "shapes/shape_controller.h"
#include "shapes/shape_menu.h"
#include "shapes/zep_shape.h"
#include "workspace/workspace.h"

class QBoxLayout;

namespace pixtrel {

class AppDialogs;
class CompositionActions;
class WorkspaceView;

class ShapeView : public QWidget {
  Q_OBJECT

 public:
  // A child of the view's canvas, placed and sized at the view's zoom.
  ShapeView(shapes::ZepShape& shape, shapes::ShapeController& controller, const Workspace& workspace,
            UserInteraction& ui, WorkspaceView& view);

  // Re-reads the shape's place and visibility and repaints.
  void Refresh();
  // The controller's menu as shown; rebuilt by BuildPopup.
  QMenu* PopupMenu() const { return menu_; }
  void BuildPopup();
  // The pop-up menu's action for an item path of captions ("Pen", "Size...").
  QAction* PopupAction(const std::vector<std::string>& path) const;
  // Runs SyncChecks and shows the marks (what a pop-up does first).
  void SyncPopup();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void AddItems(QMenu* menu, std::vector<shapes::ShapeMenuItem>& items, std::vector<std::string> path);

  shapes::ZepShape& shape_;
  shapes::ShapeController& controller_;
  const Workspace& workspace_;
  UserInteraction& ui_;
  WorkspaceView& view_;
  shapes::ShapeDrag drag_;
  // The mouse in the shape's own image pixels.
  QPoint ShapePoint(QPoint widgetPosition) const;
  QMenu* menu_;
  struct Entry {
    std::vector<std::string> path;
    QAction* action;
    shapes::ShapeMenuItem* item;
  };
  std::vector<Entry> entries_;
};

class ShapeActions : public QObject {
  Q_OBJECT

 public:
  // The tool bar goes first into imageArea, above the workspace view.
  ShapeActions(shapes::ZepShape& shape, Workspace& workspace, CompositionActions& compositions, UserInteraction& ui,
               AppDialogs& dialogs, WorkspaceView* view, QBoxLayout* imageArea, QWidget* window);
  ~ShapeActions() override;

  QAction* viewShape;       // Options: "&View Shape" F3, checked while the shape shows
  QAction* paintShape;      // Edit: "Paint Shape" F9
  QAction* shapeAsOverlay;  // Edit: "Shape as Overlay" Ctrl+Shift+F9

  ShapeView* Widget() const { return shapeView_; }
  QWidget* ToolBar() const { return panel_; }
  shapes::ShapeController& Controller() { return controller_; }
  // A tool bar button by its name ("btnmoveObject", "SpeedButton8").
  QToolButton* Button(const QString& name) const;

 private:
  QToolButton* AddButton(const char* name, const char* text, const char* hint, void (ShapeActions::*run)());
  void PressModeButton(shapes::ShapeMouseMode mode);

  // The tool bar's commands.
  void Stamp();
  void MakeOverlay();
  void TextOnly();
  void SolidBrush();
  void SolidPen();
  void FontColor();
  void ToggleBold();
  void ToggleItalic();
  void ToggleUnderline();
  void SelectFont();
  void EditCaption();
  void Larger();
  void Smaller();
  void SizeToImage();

  shapes::ZepShape& shape_;
  Workspace& workspace_;
  CompositionActions& compositions_;
  UserInteraction& ui_;
  AppDialogs& dialogs_;
  WorkspaceView* view_;
  QWidget* window_;
  shapes::ShapeController controller_;
  ShapeView* shapeView_;
  QWidget* panel_;
  QButtonGroup* modes_;
  std::vector<std::pair<shapes::ShapeMouseMode, QToolButton*>> modeButtons_;
};

}  // namespace pixtrel
