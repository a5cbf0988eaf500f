// The "Blender" tab: the overlay layer cross-faded with the displayed image
// by the blend scroll bar (0 the layer, 100 the image), and "Use", which
// makes the preview the displayed image.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "workspace/overlay.h"
#include "workspace/workspace.h"

namespace pixtrel {

class BlenderPage : public QWidget {
  Q_OBJECT

 public:
  BlenderPage(Workspace& workspace, Overlay& overlay, UserInteraction& ui, QWidget* parent = nullptr);

  // Recomputes the preview at the scroll bar's position (moving the bar, or
  // choosing the tab by hand).
  void Recompute();
  // "Use": the displayed image := the preview, without a snapshot; then
  // usedPreview() asks for the "Image" tab.
  void Use();

  QScrollBar* BlendBar() const { return bar_; }
  QPushButton* UseButton() const { return use_; }
  const Bitmap& Preview() const { return preview_; }

 signals:
  void usedPreview();

 private:
  Workspace& workspace_;
  Overlay& overlay_;
  UserInteraction& ui_;
  QScrollBar* bar_;
  QLabel* amount_;
  QPushButton* use_;
  QLabel* picture_;
  Bitmap preview_;
};

}  // namespace pixtrel
