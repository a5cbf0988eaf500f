// The workspace on the "Image" tab: the displayed image at the top-left of a
// scroll area, at its own size or zoomed, the selection drawn over it as an
// outline that inverts the pixels under it, selection by mouse, dragging the
// selection and the Ctrl-release resize gesture. Zoom is display only: every
// mouse position goes through ImagePoint, so the selection, its status texts
// and the resize gesture are in image pixels at any zoom.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <QString>
#include <functional>
#include <optional>

#include "workspace/selection.h"
#include "workspace/workspace.h"

namespace pixtrel {

class WorkspaceCanvas;

class WorkspaceView : public QScrollArea {
  Q_OBJECT

 public:
  // The view hooks workspace.imageChanged and selection.changed to repaint
  // itself; handlers installed there before keep being called.
  WorkspaceView(Workspace& workspace, Selection& selection, QWidget* parent = nullptr);
  ~WorkspaceView() override;

  // Re-reads the displayed image.
  void Refresh();

  // The image as shown (tests read it).
  const QImage& ShownImage() const;
  // The widget the image is painted on (tests send mouse events to it).
  QWidget* Canvas() const;

  // The zoom: 1 shows every image pixel as one screen pixel. Zoomed in the
  // pixels show whole (nearest), zoomed out smoothed.
  double Zoom() const { return zoom_; }
  // Sets the zoom keeping the image point under anchor (a viewport position;
  // the viewport's centre when none is given) in place.
  void SetZoom(double zoom, std::optional<QPoint> anchor = std::nullopt);
  void ZoomIn(std::optional<QPoint> anchor = std::nullopt);
  void ZoomOut(std::optional<QPoint> anchor = std::nullopt);
  // Fits the whole image in the view, and keeps fitting it as the view or
  // the image changes size until another zoom is chosen. enlarge false:
  // never beyond 100 % (a picture opened fitted).
  void FitToWindow(bool enlarge = true);
  bool Fitting() const { return fitting_; }
  // Whether the displayed image needs more room than the view gives at 100 %.
  bool ImageLargerThanView() const;

  // A canvas position as an image pixel, and an image rectangle as canvas
  // positions (the overlay and the shape place themselves with these).
  QPoint ImagePoint(QPoint canvasPosition) const;
  QRect CanvasRect(const QRect& imageRect) const;

 signals:
  // The status bar's second panel: "x=%d, y=%d" or "x=%d, y=%d, w=%d, h=%d".
  void mouseStatus(const QString& text);
  // After every refresh: the displayed image may have changed.
  void refreshed();
  // The zoom changed (also when fitting follows a new view size).
  void zoomChanged(double zoom);

 private:
  friend class WorkspaceCanvas;

  void FitCanvas();
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void ApplyZoom(double zoom, QPoint anchor);
  // The zoom that fits the image in the view as FitToWindow chose.
  double FitFactor() const;

  Workspace& workspace_;
  Selection& selection_;
  SelectionMouse mouse_;
  WorkspaceCanvas* canvas_;
  QImage shown_;
  double zoom_ = 1.0;
  bool fitting_ = false;
  bool fitEnlarges_ = true;
  std::function<void()> previousImageChanged_;
  std::function<void()> previousSelectionChanged_;
};

}  // namespace pixtrel
