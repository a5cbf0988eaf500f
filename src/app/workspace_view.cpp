#include "app/workspace_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "core/qimage_bitmap.h"
#include "workspace/editing.h"
#include "workspace/zoom.h"

namespace pixtrel {

// The surface under the scroll area: the image at (0, 0), zoomed, and the
// empty area beside it, one coordinate system for both; the view's
// ImagePoint turns widget coordinates into image pixels.
class WorkspaceCanvas : public QWidget {
 public:
  explicit WorkspaceCanvas(WorkspaceView& view) : QWidget(nullptr), view_(view) {
    setObjectName("WorkspaceCanvas");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    const QRect area = event->rect();
    if (area.isEmpty()) return;
    // Composed off screen in RGB32 so that the outline can invert exactly the
    // pixels it covers, each once.
    QImage frame(area.size(), QImage::Format_RGB32);
    frame.fill(palette().color(QPalette::Window));
    {
      QPainter painter(&frame);
      painter.translate(-area.topLeft());
      PaintImage(painter, area);
    }
    if (view_.selection_.Visible()) {
      const Rect image = view_.selection_.Normalized();
      const double zoom = view_.zoom_;
      InvertOutline(frame, area,
                    Rect{ViewPositionOf(image.Left, zoom), ViewPositionOf(image.Top, zoom),
                         std::max(ViewPositionOf(image.Right, zoom), ViewPositionOf(image.Left, zoom) + 1),
                         std::max(ViewPositionOf(image.Bottom, zoom), ViewPositionOf(image.Top, zoom) + 1)});
    }
    QPainter painter(this);
    painter.drawImage(area.topLeft(), frame);
  }

  void mousePressEvent(QMouseEvent* event) override {
    const QPoint p = view_.ImagePoint(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ControlModifier)) {
      const QImage& image = view_.shown_;
      const bool overImage = p.x() >= 0 && p.y() >= 0 && p.x() < image.width() && p.y() < image.height();
      view_.mouse_.LeftPress(p.x(), p.y(), overImage);
    }
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    const QPoint p = view_.ImagePoint(event->position().toPoint());
    const std::string text = view_.mouse_.Move(p.x(), p.y(), (event->buttons() & Qt::LeftButton) != 0,
                                               (event->modifiers() & Qt::ControlModifier) != 0);
    emit view_.mouseStatus(QString::fromStdString(text));
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    const QPoint p = view_.ImagePoint(event->position().toPoint());
    if (event->button() == Qt::LeftButton) view_.mouse_.Release();
    if (event->modifiers() & Qt::ControlModifier) ResizeGesture(view_.workspace_, p.x(), p.y());
  }

 private:
  // Inverts the one-pixel outline of rect (right and bottom exclusive) where
  // it crosses the frame, which shows area of the canvas.
  static void InvertOutline(QImage& frame, const QRect& area, const Rect& rect) {
    if (rect.IsEmpty()) return;
    const int left = rect.Left, top = rect.Top, right = rect.Right - 1, bottom = rect.Bottom - 1;
    const auto invert = [&](int x, int y) {
      const int fx = x - area.left(), fy = y - area.top();
      if (fx < 0 || fy < 0 || fx >= frame.width() || fy >= frame.height()) return;
      QRgb* row = reinterpret_cast<QRgb*>(frame.scanLine(fy));
      row[fx] = 0xFF000000u | (~row[fx] & 0x00FFFFFFu);
    };
    const int x0 = std::max(left, area.left()), x1 = std::min(right, area.right());
    for (int x = x0; x <= x1; ++x) {
      invert(x, top);
      if (bottom != top) invert(x, bottom);
    }
    const int y0 = std::max(top + 1, area.top()), y1 = std::min(bottom - 1, area.bottom());
    for (int y = y0; y <= y1; ++y) {
      invert(left, y);
      if (right != left) invert(right, y);
    }
  }

  // The part of the image under area (canvas coordinates): as it is at 100 %,
  // whole pixels zoomed in, the smoothed copy zoomed out.
  void PaintImage(QPainter& painter, const QRect& area) {
    const QImage& shown = view_.shown_;
    if (shown.isNull()) return;
    const double zoom = view_.zoom_;
    if (zoom == 1.0) {
      painter.drawImage(area.topLeft(), shown, area);
      return;
    }
    if (zoom < 1.0) {
      const QSize size(ZoomedLength(shown.width(), zoom), ZoomedLength(shown.height(), zoom));
      if (smoothed_.size() != size || smoothedKey_ != shown.cacheKey()) {
        smoothed_ = shown.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        smoothedKey_ = shown.cacheKey();
      }
      painter.drawImage(area.topLeft(), smoothed_, area);
      return;
    }
    const QRect source = QRect(view_.ImagePoint(area.topLeft()), view_.ImagePoint(area.bottomRight()))
                             .adjusted(0, 0, 1, 1)
                             .intersected(shown.rect());
    if (source.isEmpty()) return;
    painter.drawImage(view_.CanvasRect(source), shown, source);
  }

  WorkspaceView& view_;
  QImage smoothed_;
  qint64 smoothedKey_ = 0;
};

WorkspaceView::WorkspaceView(Workspace& workspace, Selection& selection, QWidget* parent)
    : QScrollArea(parent), workspace_(workspace), selection_(selection), mouse_(selection) {
  setObjectName("WorkspaceView");
  canvas_ = new WorkspaceCanvas(*this);
  canvas_->setFocusPolicy(Qt::ClickFocus);
  canvas_->setFocusProxy(this);
  setFocusPolicy(Qt::StrongFocus);
  setWidget(canvas_);
  setWidgetResizable(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  previousImageChanged_ = workspace_.imageChanged;
  workspace_.imageChanged = [this] {
    if (previousImageChanged_) previousImageChanged_();
    Refresh();
  };
  previousSelectionChanged_ = selection_.changed;
  selection_.changed = [this] {
    if (previousSelectionChanged_) previousSelectionChanged_();
    canvas_->update();
  };
  Refresh();
}

WorkspaceView::~WorkspaceView() {
  workspace_.imageChanged = previousImageChanged_;
  selection_.changed = previousSelectionChanged_;
}

void WorkspaceView::Refresh() {
  shown_ = BitmapToQImage(workspace_.Image());
  if (fitting_) {
    const double fit = FitFactor();
    if (fit != zoom_) {
      zoom_ = fit;
      emit zoomChanged(zoom_);
    }
  }
  FitCanvas();
  canvas_->update();
  emit refreshed();
}

const QImage& WorkspaceView::ShownImage() const { return shown_; }

QWidget* WorkspaceView::Canvas() const { return canvas_; }

void WorkspaceView::FitCanvas() {
  const QSize viewport = maximumViewportSize();
  const QSize image(ZoomedLength(shown_.width(), zoom_), ZoomedLength(shown_.height(), zoom_));
  const QSize size(std::max(image.width(), viewport.width()), std::max(image.height(), viewport.height()));
  // Scroll bars appear only when the image itself is larger than the view.
  QSize fitted = size;
  if (image.width() <= viewport.width() && image.height() > viewport.height())
    fitted.setWidth(std::max(image.width(), viewport.width() - verticalScrollBar()->sizeHint().width()));
  if (image.height() <= viewport.height() && image.width() > viewport.width())
    fitted.setHeight(std::max(image.height(), viewport.height() - horizontalScrollBar()->sizeHint().height()));
  if (canvas_->size() != fitted) canvas_->resize(fitted);
}

void WorkspaceView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  if (fitting_) {
    const double fit = FitFactor();
    if (fit != zoom_) {
      zoom_ = fit;
      canvas_->update();
      emit zoomChanged(zoom_);
    }
  }
  FitCanvas();
}

void WorkspaceView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QScrollArea::wheelEvent(event);
    return;
  }
  const int delta = event->angleDelta().y();
  if (delta > 0) ZoomIn(event->position().toPoint());
  if (delta < 0) ZoomOut(event->position().toPoint());
  event->accept();
}

void WorkspaceView::SetZoom(double zoom, std::optional<QPoint> anchor) {
  fitting_ = false;
  ApplyZoom(std::clamp(zoom, kMinZoom, kMaxZoom), anchor.value_or(viewport()->rect().center()));
}

void WorkspaceView::ZoomIn(std::optional<QPoint> anchor) { SetZoom(ZoomInStep(zoom_), anchor); }

void WorkspaceView::ZoomOut(std::optional<QPoint> anchor) { SetZoom(ZoomOutStep(zoom_), anchor); }

void WorkspaceView::FitToWindow(bool enlarge) {
  fitting_ = true;
  fitEnlarges_ = enlarge;
  ApplyZoom(FitFactor(), QPoint(0, 0));
}

double WorkspaceView::FitFactor() const {
  const QSize viewport = maximumViewportSize();
  const double fit = FitZoom(shown_.width(), shown_.height(), viewport.width(), viewport.height());
  return fitEnlarges_ ? fit : std::min(1.0, fit);
}

bool WorkspaceView::ImageLargerThanView() const {
  const QSize viewport = maximumViewportSize();
  return LargerThanView(shown_.width(), shown_.height(), viewport.width(), viewport.height());
}

void WorkspaceView::ApplyZoom(double zoom, QPoint anchor) {
  const double old = zoom_;
  const int h = ScrollKeepingPoint(horizontalScrollBar()->value(), anchor.x(), old, zoom);
  const int v = ScrollKeepingPoint(verticalScrollBar()->value(), anchor.y(), old, zoom);
  zoom_ = zoom;
  FitCanvas();
  horizontalScrollBar()->setValue(h);
  verticalScrollBar()->setValue(v);
  canvas_->update();
  if (old != zoom_) emit zoomChanged(zoom_);
}

QPoint WorkspaceView::ImagePoint(QPoint canvasPosition) const {
  return {ImagePixelAt(canvasPosition.x(), zoom_), ImagePixelAt(canvasPosition.y(), zoom_)};
}

QRect WorkspaceView::CanvasRect(const QRect& imageRect) const {
  const int left = ViewPositionOf(imageRect.left(), zoom_), top = ViewPositionOf(imageRect.top(), zoom_);
  const int right = ViewPositionOf(imageRect.left() + imageRect.width(), zoom_);
  const int bottom = ViewPositionOf(imageRect.top() + imageRect.height(), zoom_);
  return QRect(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

}  // namespace pixtrel
