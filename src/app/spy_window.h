// SpyF, "Close to Capture": a frame the user moves and sizes over an area of
// the screen, seen through the hole in its middle. It draws its own title
// band and border so that its shape is the same under every window manager,
// keeps above other windows, and when it closes, however it is closed, reads
// the screen area under its hole.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>

#include "acquire/capture_frame.h"

class QToolButton;

namespace pixtrel {

class SpyF : public QDialog {
  Q_OBJECT

 public:
  explicit SpyF(QWidget* parent = nullptr);

  // The picture read from the screen when the frame last closed, handed over
  // once; null when it has not closed since or the screen could not be read.
  QImage TakeCapture();

  // The frame's sizes as the geometry rules see them.
  acquire::FrameSize Frame() const;
  int TitleHeight() const { return titleHeight_; }
  // The rectangle closing would read, in screen coordinates.
  QRect CaptureRectOnScreen() const;
  QToolButton* CloseButton() const { return closeButton_; }

 public slots:
  // Reads the screen while the frame is still shown, then closes.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  enum class Drag { None, Move, Resize };
  // The border edges under a point of the window (none for the title band,
  // the client strip and the hole).
  Qt::Edges EdgesAt(QPoint at) const;
  QRect TitleBand() const;
  void Recut();

  int titleHeight_ = 0;
  QToolButton* closeButton_ = nullptr;
  QImage capture_;
  bool capturing_ = false;
  Drag drag_ = Drag::None;
  Qt::Edges dragEdges_;
  QPoint dragStart_;
  QRect startGeometry_;
};

}  // namespace pixtrel
