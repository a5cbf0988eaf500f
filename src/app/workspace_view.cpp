#include "app/workspace_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "core/qimage_bitmap.h"
#include "workspace/editing.h"

namespace pixtrel {

// The surface under the scroll area: the image at (0, 0) and the empty area
// beside it, one coordinate system for both, so widget coordinates are image
// pixels.
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
      if (!view_.shown_.isNull()) painter.drawImage(QPoint(0, 0), view_.shown_, area);
    }
    if (view_.selection_.Visible()) InvertOutline(frame, area, view_.selection_.Normalized());
    QPainter painter(this);
    painter.drawImage(area.topLeft(), frame);
  }

  void mousePressEvent(QMouseEvent* event) override {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ControlModifier)) {
      const QImage& image = view_.shown_;
      const bool overImage = p.x() >= 0 && p.y() >= 0 && p.x() < image.width() && p.y() < image.height();
      view_.mouse_.LeftPress(p.x(), p.y(), overImage);
    }
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    const QPoint p = event->position().toPoint();
    const std::string text = view_.mouse_.Move(p.x(), p.y(), (event->buttons() & Qt::LeftButton) != 0,
                                               (event->modifiers() & Qt::ControlModifier) != 0);
    emit view_.mouseStatus(QString::fromStdString(text));
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    const QPoint p = event->position().toPoint();
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

  WorkspaceView& view_;
};

WorkspaceView::WorkspaceView(Workspace& workspace, Selection& selection, QWidget* parent)
    : QScrollArea(parent), workspace_(workspace), selection_(selection), mouse_(selection) {
  setObjectName("WorkspaceView");
  canvas_ = new WorkspaceCanvas(*this);
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
  FitCanvas();
  canvas_->update();
  emit refreshed();
}

const QImage& WorkspaceView::ShownImage() const { return shown_; }

QWidget* WorkspaceView::Canvas() const { return canvas_; }

void WorkspaceView::FitCanvas() {
  const QSize viewport = maximumViewportSize();
  const QSize size(std::max(shown_.width(), viewport.width()), std::max(shown_.height(), viewport.height()));
  // Scroll bars appear only when the image itself is larger than the view.
  QSize fitted = size;
  if (shown_.width() <= viewport.width() && shown_.height() > viewport.height())
    fitted.setWidth(std::max(shown_.width(), viewport.width() - verticalScrollBar()->sizeHint().width()));
  if (shown_.height() <= viewport.height() && shown_.width() > viewport.width())
    fitted.setHeight(std::max(shown_.height(), viewport.height() - horizontalScrollBar()->sizeHint().height()));
  if (canvas_->size() != fitted) canvas_->resize(fitted);
}

void WorkspaceView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  FitCanvas();
}

}  // namespace pixtrel
