#include "acquire/capture_frame.h"

#include <QRectF>
#include <cmath>

namespace pixtrel::acquire {

namespace {

int Scaled(int designPixels, int dotsPerInch) {
  return static_cast<int>(std::lround(static_cast<double>(designPixels) * dotsPerInch / kCaptureDesignDpi));
}

}  // namespace

QRect CaptureFrameStartBounds(int dotsPerInch) {
  const QRect& d = kCaptureDesignBounds;
  return QRect(Scaled(d.x(), dotsPerInch), Scaled(d.y(), dotsPerInch), Scaled(d.width(), dotsPerInch),
               Scaled(d.height(), dotsPerInch));
}

FrameSize DrawnFrameSize(QSize window, int titleHeight) {
  const int b = kCaptureFrameBorder;
  return FrameSize{window.width(), window.height(), window.width() - 2 * b, window.height() - 2 * b - titleHeight};
}

QPoint DrawnClientOrigin(int titleHeight) { return QPoint(kCaptureFrameBorder, kCaptureFrameBorder + titleHeight); }

QPolygon CaptureFramePolygon(const FrameSize& size) {
  const int w = size.width;
  const int h = size.height;
  const int b = size.Border();
  const int t = size.TopBand();
  QPolygon polygon;
  polygon << QPoint(0, 0) << QPoint(w, 0) << QPoint(w, h) << QPoint(w / 2, h) << QPoint(w / 2, h - b)
          << QPoint(w - b, h - b) << QPoint(w - b, h / 2) << QPoint(w - b, t) << QPoint(w / 2, t) << QPoint(b, t)
          << QPoint(b, h / 2) << QPoint(b, h - b) << QPoint(w / 2, h - b) << QPoint(w / 2, h) << QPoint(0, h);
  return polygon;
}

QRegion CaptureFrameRegion(const FrameSize& size) { return QRegion(CaptureFramePolygon(size), Qt::OddEvenFill); }

QRect CaptureHole(const FrameSize& size) {
  const int b = size.Border();
  return QRect(QPoint(b, size.TopBand()), QPoint(size.width - b - 1, size.height - b - 1));
}

QRect CaptureRect(const FrameSize& size, QPoint clientOrigin) {
  const int b = size.Border();
  const int width = (size.width - b) - b;
  const int height = (size.height - b) - size.TopBand();
  if (width <= 0 || height <= 0) return QRect();
  return QRect(clientOrigin.x(), clientOrigin.y() + 5, width, height);
}

QRect DesktopPictureCut(const QRect& area, const QRect& desktop, QSize picture) {
  if (area.isEmpty() || desktop.isEmpty() || picture.isEmpty()) return QRect();
  const double sx = static_cast<double>(picture.width()) / desktop.width();
  const double sy = static_cast<double>(picture.height()) / desktop.height();
  const QPointF from = QPointF(area.topLeft() - desktop.topLeft());
  const QRect cut = QRectF(from.x() * sx, from.y() * sy, area.width() * sx, area.height() * sy).toAlignedRect();
  return cut.intersected(QRect(QPoint(0, 0), picture));
}

}  // namespace pixtrel::acquire
