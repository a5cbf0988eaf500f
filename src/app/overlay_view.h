// The overlay as the user sees it: a borderless child of the workspace's
// canvas at the overlay's position, its transparent colour showing the image
// beneath. Dragging it with the left button moves it; the right button opens
// its pop-up menu ("&Paint", "&Glue", "&Swap", "&Invert"). The positions and
// the commands are the overlay model's; this widget draws and forwards.
#pragma once

#include <QImage>
#include <QMenu>
#include <QWidget>

#include "workspace/overlay.h"

namespace pixtrel {

class WorkspaceView;

class OverlayView : public QWidget {
  Q_OBJECT

 public:
  // A child of the view's canvas, placed and sized at the view's zoom.
  OverlayView(Overlay& overlay, WorkspaceView& view);

  // Re-reads the overlay's image, place and visibility.
  void Refresh();

  // The pop-up menu; its owner adds the commands.
  QMenu* PopupMenu() const { return menu_; }
  // The overlay as drawn: its transparent pixels have alpha 0 (tests read it).
  const QImage& ShownImage() const { return shown_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  Overlay& overlay_;
  WorkspaceView& view_;
  QMenu* menu_;
  QImage shown_;
};

}  // namespace pixtrel
