#include "app/overlay_view.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/workspace_view.h"
#include "core/qimage_bitmap.h"

namespace pixtrel {

namespace {

// The overlay with the pixels of its transparent colour see-through.
QImage WithTransparency(const Bitmap& image) {
  QImage shown = BitmapToQImage(image).convertToFormat(QImage::Format_ARGB32);
  if (!image.Transparent() || shown.isNull()) return shown;
  const Color key = image.TransparentColor();
  const QRgb rgb = qRgb(GetRValue(key), GetGValue(key), GetBValue(key));
  for (int y = 0; y < shown.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(shown.scanLine(y));
    for (int x = 0; x < shown.width(); ++x)
      if ((row[x] & 0xFFFFFFu) == (rgb & 0xFFFFFFu)) row[x] = 0;
  }
  return shown;
}

}  // namespace

OverlayView::OverlayView(Overlay& overlay, WorkspaceView& view)
    : QWidget(view.Canvas()), overlay_(overlay), view_(view) {
  connect(&view, &WorkspaceView::zoomChanged, this, &OverlayView::Refresh);
  setObjectName(QStringLiteral("Overlay"));
  setCursor(Qt::SizeAllCursor);
  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("OverlayPopup"));
  Refresh();
}

void OverlayView::Refresh() {
  shown_ = WithTransparency(overlay_.Image());
  setGeometry(view_.CanvasRect(QRect(overlay_.Position().X, overlay_.Position().Y, shown_.width(), shown_.height())));
  setVisible(overlay_.Visible() && !shown_.isNull());
  if (isVisible()) raise();
  update();
}

void OverlayView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (view_.Zoom() < 1.0) painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), shown_);
}

void OverlayView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The grab point within the overlay, in image pixels.
  const QPoint p =
      view_.ImagePoint(mapToParent(event->position().toPoint())) - QPoint(overlay_.Position().X, overlay_.Position().Y);
  overlay_.Grab(p.x(), p.y());
}

void OverlayView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  // The mouse in image pixels.
  const QPoint p = view_.ImagePoint(mapToParent(event->position().toPoint()));
  overlay_.DragTo(p.x(), p.y());
}

void OverlayView::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }

}  // namespace pixtrel
