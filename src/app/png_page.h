// The "PNG" tab: the image the tab took (PngBase) over a checkerboard,
// blended through its alpha mask; "Uniform" and "Use Shape" choose the mask
// (the chosen one shows red, the other silver), the alpha scroll bar sets
// the uniform level, and "Save" writes the PNG with that alpha channel.
#pragma once

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "shapes/zep_shape.h"
#include "workspace/png_transparency.h"

namespace pixtrel {

class AppDialogs;

class PngPage : public QWidget {
  Q_OBJECT

 public:
  PngPage(PngTransparency& state, shapes::ZepShape& shape, UserInteraction& ui, AppDialogs& dialogs,
          QWidget* parent = nullptr);

  // "&PNG Transparency": the preview shows the base unchanged until the
  // next use of the scroll bar or the buttons.
  void ShowBase();
  // The preview of the current mode.
  void Compose();
  // "Uniform" and "Use Shape".
  void SetMode(PngAlphaMode mode);
  // "Save": the save dialog on the PNG type; writes name.png.
  void Save();

  // The folder the save dialog starts in.
  std::function<std::string()> startFolder;

  QPushButton* UniformButton() const { return uniform_; }
  QPushButton* ShapeButton() const { return shape_; }
  QScrollBar* AlphaBar() const { return bar_; }
  QPushButton* SaveButton() const { return save_; }
  const Bitmap& Preview() const { return preview_; }
  // The preview's pop-up menu ("Preview in Browser"); the window fills it.
  QMenu* PopupMenu() const { return popup_; }

 private:
  void ShowPreview();
  void ShowMode();

  PngTransparency& state_;
  shapes::ZepShape& shapeModel_;
  UserInteraction& ui_;
  AppDialogs& dialogs_;
  QPushButton* uniform_;
  QPushButton* shape_;
  QScrollBar* bar_;
  QLabel* level_;
  QPushButton* save_;
  QLabel* picture_;
  QMenu* popup_;
  Bitmap preview_;
};

}  // namespace pixtrel
