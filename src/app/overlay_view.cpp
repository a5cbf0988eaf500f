#include "app/overlay_view.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

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

OverlayView::OverlayView(Overlay& overlay, QWidget* canvas) : QWidget(canvas), overlay_(overlay) {
  setObjectName(QStringLiteral("Overlay"));
  setCursor(Qt::SizeAllCursor);
  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("OverlayPopup"));
  Refresh();
}

void OverlayView::Refresh() {
  shown_ = WithTransparency(overlay_.Image());
  setGeometry(overlay_.Position().X, overlay_.Position().Y, shown_.width(), shown_.height());
  setVisible(overlay_.Visible() && !shown_.isNull());
  if (isVisible()) raise();
  update();
}

void OverlayView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), shown_);
}

void OverlayView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  overlay_.Grab(p.x(), p.y());
}

void OverlayView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  // The mouse in the canvas's coordinates, which are image pixels.
  const QPoint p = mapToParent(event->position().toPoint());
  overlay_.DragTo(p.x(), p.y());
}

void OverlayView::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }

}  // namespace pixtrel
