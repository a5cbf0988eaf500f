// The workspace on the "Image" tab: the displayed image at its own size at
// the top-left of a scroll area, the selection drawn over it as an outline
// that inverts the pixels under it, selection by mouse, dragging the
// selection and the Ctrl-release resize gesture.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <QString>
#include <functional>

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

 signals:
  // The status bar's second panel: "x=%d, y=%d" or "x=%d, y=%d, w=%d, h=%d".
  void mouseStatus(const QString& text);
  // After every refresh: the displayed image may have changed.
  void refreshed();

 private:
  friend class WorkspaceCanvas;

  void FitCanvas();
  void resizeEvent(QResizeEvent* event) override;

  Workspace& workspace_;
  Selection& selection_;
  SelectionMouse mouse_;
  WorkspaceCanvas* canvas_;
  QImage shown_;
  std::function<void()> previousImageChanged_;
  std::function<void()> previousSelectionChanged_;
};

}  // namespace pixtrel
